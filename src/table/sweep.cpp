#include "table/sweep.hpp"

#include <algorithm>

namespace mosfet::table {

SweepPlan plan_sweep(const model::ModelParameters& model, double VGDelta, std::int32_t NVGate) {
    SweepPlan plan;
    plan.model = model;
    plan.VGDelta = VGDelta;
    plan.NVGate = NVGate;
    // Widened so that NVGate = 2147483647 gives a count instead of overflowing.
    plan.curve_count = std::max<std::int64_t>(std::int64_t{NVGate} + 1, 0);
    plan.Vsat = static_cast<double>(NVGate) * VGDelta;
    plan.triode_step = VGDelta / 10.0;
    return plan;
}

double gate_voltage(const SweepPlan& plan, std::int64_t i) {
    // i < 2^31, so the conversion is exact.
    return plan.model.VTransition + (static_cast<double>(i) * plan.VGDelta);
}

double curve_current_mA(const SweepPlan& plan, double VD, std::int64_t i) {
    return model::drain_current(plan.model, VD, gate_voltage(plan, i)) * 1000.0;
}

TableRow table_row(const SweepPlan& plan, double VD) {
    TableRow row;
    row.VD = VD;
    row.is_bound_row = plan.Vsat >= VD;
    if (row.is_bound_row) {
        // The drain current, in milliamperes, at the edge of saturation of a curve whose
        // overdrive equals VD.
        const double m = VD / plan.model.V_DS_Early + 1.0;
        row.Bound = (m * (plan.model.K_conductance_parameter * (VD * VD))) * 1000.0;
    }
    return row;
}

}  // namespace mosfet::table
