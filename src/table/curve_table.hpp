#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "model/device_model.hpp"
#include "table/sweep.hpp"

// The curve table file: a header line, then one blank-free comma-separated line per table row.
//
//   header      "VD V,Bound" then ",<VG as 4/1 fixed field> V" for every gate voltage
//               ("VD V,Bound, 2.0 V, 3.0 V")
//   Bound row   VD,Bound,I0,I1,...        ("0.100000,0.800800E-02,0.000000,0.152152")
//   plain row   VD,,I0,I1,...             ("7.00000,,0.000000,0.856000")
//
// Numbers in rows are 15/6 general fields with every blank removed. Every row carries all of
// its currents and the header is one line, however many curves there are.

namespace mosfet::table {

// Writes "<base name without leading and trailing blanks>.csv" on the given channel, after
// refusing (as a failed OPEN on that channel) a sweep that would never end or never fit.
void write_curve_table(const model::ModelParameters& model, std::int32_t channel,
                       std::string_view base_name, double VGDelta, std::int32_t NVGate,
                       double VDDelta, double VDmax);

// The header line, for tests and small tables.
std::string header_line(const SweepPlan& plan);

// One row's line, without its terminator.
std::string row_line(const SweepPlan& plan, const TableRow& row);

// Appends row_line's text to `line`; a loop that clears and reuses one string allocates nothing
// once the string has grown.
void append_row_line(std::string& line, const SweepPlan& plan, const TableRow& row);

}  // namespace mosfet::table
