#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "table/sweep.hpp"

// Refuses, before any file is touched, sweeps that would never end or never fit:
//   - a pass whose accumulated drain voltage stops changing, or moves away from its end, before
//     its end condition holds;
//   - passes that would take more than max_sweep_steps drain-voltage steps in all, rows
//     written or not;
//   - a table that would hold more than max_table_numbers numbers (rows x (curves + 2)).
// The check is a handful of operations: it never walks the passes.
//
// Every refusal reads "<cause>: <consequence>". The cause names the parameter to change:
//   "VGDelta must not be negative when NVGate is not positive"  triode pass never ends
//   "VGDelta is too small"                    the triode step rounds to zero
//   "VGDelta is too large for NVGate"         NVGate * VGDelta overflows to infinity
//   "VGDelta is infinite"                     so is Vsat, which the saturation pass must pass
//   "NVGate is too large"                     the triode pass is too long
//   "VDDelta must be positive"                the saturation pass never rises to its end
//   "VDmax must be finite"                    the saturation pass never passes VDmax
//   "VDDelta is too small for VDmax"          the saturation pass is too long or gets stuck
//   "VDDelta is too small for NVGate times VGDelta"  the same, below Vsat
//   "NVGate or VDmax / VDDelta is too large"  the table is too large
// and the consequence is one of
//   "the sweep would never end"
//   "the sweep would take more than 1000000000 steps"
//   "the table would hold more than 1000000000 numbers" (always with the last cause).

namespace mosfet::table {

inline constexpr double max_sweep_steps = 1e9;
inline constexpr double max_table_numbers = 1e9;

// Estimated size of a sweep that ends.
struct SweepSize {
    double steps = 0.0;  // drain-voltage steps of both passes, rows written or not
    double rows = 0.0;   // rows of the table
};

// The size of the sweep, or nothing when a pass would never end. Both counts are within a
// relative 1e-6 (plus one or two) of the real ones wherever they are below 1e10; larger
// estimates only say that the sweep is that long or longer. Examples: the defaults (VGDelta 1,
// NVGate 6, VDDelta 1, VDmax 20) give 61 + 21 steps and 76 rows; VDDelta 0 gives nothing;
// VGDelta 1e6, NVGate 1, VDDelta 1e-9 gives about 1e15 steps.
std::optional<SweepSize> sweep_size(const SweepPlan& plan, double VDDelta, double VDmax);

// The reason the sweep is refused, naming the parameter to change, or nothing when it is
// accepted. Examples with the default model: VDDelta 0 with the other defaults gives
// "VDDelta must be positive: the sweep would never end"; the defaults give nothing; VGDelta
// 0.5, NVGate 18, VDDelta 0.0001, VDmax 50 (410,180 rows) give nothing.
std::optional<std::string> sweep_refusal(const SweepPlan& plan, double VDDelta, double VDmax);

}  // namespace mosfet::table
