#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "table/sweep.hpp"

// Refuses, before any file is touched, sweeps that would never end or never fit:
//   - a pass whose accumulated drain voltage stops changing before its end condition holds
//     (VDDelta <= 0 where it matters, VGDelta < 0 with NVGate <= 0, a VDDelta too small for
//     VDmax, an infinite Vsat, ...);
//   - passes that would take more than max_sweep_steps drain-voltage steps in all, rows
//     written or not;
//   - a table that would hold more than max_table_numbers numbers (rows x (curves + 2)).
// The check is a handful of operations: it never walks the passes.

namespace mosfet::table {

inline constexpr double max_sweep_steps = 1e9;
inline constexpr double max_table_numbers = 1e9;

// Estimated size of a sweep that ends.
struct SweepSize {
    double steps = 0.0;  // drain-voltage steps of both passes, rows written or not
    double rows = 0.0;   // rows of the table
};

// The reason the sweep is refused, naming the parameter to change, or nothing when it is
// accepted. Example: VDDelta 0 with the defaults gives
// "VDDelta must be positive: the sweep would never end".
std::optional<std::string> sweep_refusal(const SweepPlan& plan, double VDDelta, double VDmax);

}  // namespace mosfet::table
