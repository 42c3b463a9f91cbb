#pragma once

#include <cstdint>

#include "model/device_model.hpp"

// The drain-voltage sweep: one curve per gate voltage VG(i) = VTransition + (i * VGDelta),
// i = 0 .. NVGate, and two passes over the drain voltage VD, each accumulating VD by one rounded
// addition per step (never recomputed as a multiple of the step):
//
//   triode pass      VD = 0, t, t+t, ... (t = VGDelta / 10.0) while Vsat > VD, a row each;
//   saturation pass  VD = VDDelta, 2 VDDelta, ... from zero again; a row for each VD that is not
//                    below Vsat and not above VDmax; the pass ends at the first VD that is
//                    neither below Vsat nor at or below VDmax (or compares unordered).
//
// Vsat = NVGate * VGDelta. A row is a Bound row when Vsat >= VD; its Bound is
// (m * (K * (VD * VD))) * 1000.0 with m = VD / V_DS_Early + 1.0. Currents are in milliamperes.
//
// Nothing is stored per curve: gate voltages and currents are computed when asked for, so a
// sweep with many curves takes no more memory than one with a few.

namespace mosfet::table {

struct SweepPlan {
    model::ModelParameters model;
    double VGDelta = 0.0;
    std::int32_t NVGate = 0;
    std::int64_t curve_count = 0;  // max(NVGate + 1, 0)
    double Vsat = 0.0;             // NVGate * VGDelta
    double triode_step = 0.0;      // VGDelta / 10.0
};

// One table row as the sweep hands it over. The currents are not stored in it: ask
// curve_current_mA(plan, row.VD, i) for i = 0 .. curve_count - 1.
struct TableRow {
    double VD = 0.0;
    bool is_bound_row = false;
    double Bound = 0.0;  // milliamperes; meaningful only in a Bound row
};

SweepPlan plan_sweep(const model::ModelParameters& model, double VGDelta, std::int32_t NVGate);

// VTransition + (i * VGDelta), i converted exactly.
double gate_voltage(const SweepPlan& plan, std::int64_t i);

// drain_current(VD, VG(i)) * 1000.0
double curve_current_mA(const SweepPlan& plan, double VD, std::int64_t i);

// The row for drain voltage VD (its form and Bound).
TableRow table_row(const SweepPlan& plan, double VD);

// Runs the triode pass, then the saturation pass, handing each row to on_row(const TableRow&)
// as it arises. The caller must have made sure that the passes end (see sweep_guard.hpp).
template <class RowHandler>
void run_sweep(const SweepPlan& plan, double VDDelta, double VDmax, RowHandler&& on_row) {
    double VD = 0.0;
    do {
        on_row(table_row(plan, VD));
        VD = plan.triode_step + VD;
    } while (plan.Vsat > VD);

    VD = 0.0;
    for (;;) {
        VD = VDDelta + VD;
        if (plan.Vsat > VD) {
            continue;
        }
        if (!(VDmax >= VD)) {
            return;
        }
        on_row(table_row(plan, VD));
    }
}

}  // namespace mosfet::table
