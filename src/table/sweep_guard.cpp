#include "table/sweep_guard.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>

namespace mosfet::table {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();

constexpr std::string_view negative_gate_step =
    "VGDelta must not be negative when NVGate is not positive";
constexpr std::string_view vanishing_gate_step = "VGDelta is too small";
constexpr std::string_view overflowing_vsat = "VGDelta is too large for NVGate";
constexpr std::string_view infinite_gate_step = "VGDelta is infinite";
constexpr std::string_view long_triode_pass = "NVGate is too large";
constexpr std::string_view nonpositive_drain_step = "VDDelta must be positive";
constexpr std::string_view infinite_VDmax = "VDmax must be finite";
constexpr std::string_view small_drain_step_for_VDmax = "VDDelta is too small for VDmax";
constexpr std::string_view small_drain_step_for_Vsat =
    "VDDelta is too small for NVGate times VGDelta";
constexpr std::string_view large_table = "NVGate or VDmax / VDDelta is too large";

// The limits are written out in the texts.
static_assert(max_sweep_steps == 1000000000.0 && max_table_numbers == 1000000000.0);
constexpr std::string_view never_ends = ": the sweep would never end";
constexpr std::string_view too_many_steps = ": the sweep would take more than 1000000000 steps";
constexpr std::string_view too_many_numbers = ": the table would hold more than 1000000000 numbers";

struct PassSize {
    bool ends = true;
    double steps = 0.0;
    double rows = 0.0;
    std::string_view cause;  // what to change when the pass never ends or takes too long
};

PassSize endless(std::string_view cause) {
    return {false, 0.0, 0.0, cause};
}

// The number of additions x <- d + x from x = 0.0 until x >= T, for 0 < d < T (T may be +inf),
// or nothing when x stops rising below T.
//
// Let P be the least power of two with ulp(P) = P / 2^52 >= 2 d. Below P every addition raises
// x, by d within ulp(x) / 2 <= 2^-53 x, so up to N = T / d steps the count is N within a
// relative 2^-53 N. From P on, d + x rounds back to x (a tie rounds to the even x; x reaches P
// itself when d is a power of two). The sum overflows to +inf only when P is +inf: its last
// finite values are in [2^1023, 2^1024), whose ulp is 2^971.
std::optional<double> accumulation_steps(double d, double T) {
    int e = 0;
    const double f = std::frexp(d, &e);  // d = f * 2^e, 0.5 <= f < 1
    const double P = std::ldexp(1.0, f == 0.5 ? e + 52 : e + 53);
    if (T > P) {
        return std::nullopt;
    }
    if (T == inf) {
        return std::ceil(std::numeric_limits<double>::max() / d);
    }
    return std::max(1.0, std::ceil(T / d));
}

// Rows at VD = 0, t, t + t, ... while Vsat > VD (t = VGDelta / 10.0): one step per row.
PassSize triode_pass(const SweepPlan& plan) {
    const double t = plan.triode_step;
    if (!(plan.Vsat > t)) {
        return {true, 1.0, 1.0, {}};
    }
    // Vsat > t. A t at or below zero never rises: it is negative with VGDelta, which then gives
    // Vsat > t only for NVGate <= 0, or a positive VGDelta / 10.0 rounded to zero.
    if (!(t > 0.0)) {
        return endless(plan.VGDelta < 0.0 ? negative_gate_step : vanishing_gate_step);
    }
    // Vsat / t is about 10 NVGate, far below 2^53, unless Vsat overflowed.
    const std::string_view cause = std::isinf(plan.Vsat) ? overflowing_vsat : long_triode_pass;
    const std::optional<double> steps = accumulation_steps(t, plan.Vsat);
    if (!steps) {
        return endless(cause);
    }
    return {true, *steps, *steps, cause};
}

// VD = VDDelta, VDDelta + VDDelta, ... until neither Vsat > VD nor VDmax >= VD; a row for each
// VD on the way that is not below Vsat.
PassSize saturation_pass(const SweepPlan& plan, double VDDelta, double VDmax) {
    const double Vsat = plan.Vsat;
    const auto ends_at = [&](double VD) { return !(Vsat > VD) && !(VDmax >= VD); };
    // 0.0 is added as the pass adds it: -0.0 becomes 0.0.
    if (ends_at(VDDelta + 0.0)) {
        return {true, 1.0, 0.0, {}};
    }
    // VDDelta is not NaN here. The end condition holds for every VD above one where it holds,
    // so a VD that never rises never reaches it.
    if (!(VDDelta > 0.0)) {
        return endless(nonpositive_drain_step);
    }
    if (VDmax == inf) {
        return endless(infinite_VDmax);
    }
    // VD rises; the pass ends at the first VD >= Vsat and > VDmax, a NaN bound holding none
    // back. VDDelta < target, since the first VD did not end the pass.
    const double lowest = std::isnan(Vsat) ? -inf : Vsat;
    const double above_VDmax = std::isnan(VDmax) ? -inf : std::nextafter(VDmax, inf);
    const double target = std::max(lowest, above_VDmax);
    std::string_view cause = small_drain_step_for_VDmax;
    if (lowest >= above_VDmax) {
        cause = Vsat != inf                ? small_drain_step_for_Vsat
                : std::isinf(plan.VGDelta) ? infinite_gate_step
                                           : overflowing_vsat;
    }
    const std::optional<double> steps = accumulation_steps(VDDelta, target);
    if (!steps) {
        return endless(cause);
    }
    // Rows at the multiples of VDDelta from the first not below Vsat up to VDmax.
    double rows = 0.0;
    if (VDmax >= lowest) {
        const double first = std::ceil(std::max(lowest, VDDelta) / VDDelta);
        rows = std::clamp(std::floor(VDmax / VDDelta) - first + 1.0, 0.0, *steps);
    }
    return {true, *steps, rows, cause};
}

struct Assessment {
    std::optional<SweepSize> size;  // nothing when a pass never ends
    std::optional<std::string> refusal;
};

std::string reason(std::string_view cause, std::string_view consequence) {
    std::string text(cause);
    text += consequence;
    return text;
}

Assessment assess(const SweepPlan& plan, double VDDelta, double VDmax) {
    const PassSize triode = triode_pass(plan);
    if (!triode.ends) {
        return {std::nullopt, reason(triode.cause, never_ends)};
    }
    const PassSize saturation = saturation_pass(plan, VDDelta, VDmax);
    if (!saturation.ends) {
        return {std::nullopt, reason(saturation.cause, never_ends)};
    }
    const SweepSize size{triode.steps + saturation.steps, triode.rows + saturation.rows};
    if (size.steps > max_sweep_steps) {
        const PassSize& longer = triode.steps >= saturation.steps ? triode : saturation;
        return {size, reason(longer.cause, too_many_steps)};
    }
    // Each row holds VD, the Bound column and one current per curve.
    const double numbers = size.rows * (static_cast<double>(plan.curve_count) + 2.0);
    if (numbers > max_table_numbers) {
        return {size, reason(large_table, too_many_numbers)};
    }
    return {size, std::nullopt};
}

}  // namespace

std::optional<SweepSize> sweep_size(const SweepPlan& plan, double VDDelta, double VDmax) {
    return assess(plan, VDDelta, VDmax).size;
}

std::optional<std::string> sweep_refusal(const SweepPlan& plan, double VDDelta, double VDmax) {
    return assess(plan, VDDelta, VDmax).refusal;
}

}  // namespace mosfet::table
