#include "table/sweep_guard.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace mosfet::table {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double smallest_subnormal = 0x0.0000000000001p-1022;

struct SweepParameters {
    double VGDelta = 1.0;
    std::int32_t NVGate = 6;
    double VDDelta = 1.0;
    double VDmax = 20.0;
};

std::ostream& operator<<(std::ostream& out, const SweepParameters& s) {
    return out << "VGDelta " << s.VGDelta << " NVGate " << s.NVGate << " VDDelta " << s.VDDelta
               << " VDmax " << s.VDmax;
}

SweepPlan plan_for(const SweepParameters& s) {
    return plan_sweep(model::ModelParameters{}, s.VGDelta, s.NVGate);
}

std::optional<std::string> refusal(const SweepParameters& s) {
    return sweep_refusal(plan_for(s), s.VDDelta, s.VDmax);
}

std::optional<SweepSize> size(const SweepParameters& s) {
    return sweep_size(plan_for(s), s.VDDelta, s.VDmax);
}

bool says_never_ends(const std::optional<std::string>& refusal) {
    return refusal && refusal->ends_with(": the sweep would never end");
}

TEST(SweepGuard, RefusesSweepsThatNeverEndOrNeverFitNamingTheParameter) {
    const std::string never = ": the sweep would never end";
    const std::string steps = ": the sweep would take more than 1000000000 steps";
    const std::string numbers = ": the table would hold more than 1000000000 numbers";
    struct Case {
        SweepParameters s;
        std::string message;
    };
    const Case cases[] = {
        // The saturation pass's VD never rises and its first value does not end it.
        {{1.0, 6, 0.0, 20.0}, "VDDelta must be positive" + never},
        {{1.0, 6, -0.0, 20.0}, "VDDelta must be positive" + never},
        {{1.0, 6, -1.0, 20.0}, "VDDelta must be positive" + never},
        {{1.0, 6, -inf, 20.0}, "VDDelta must be positive" + never},
        {{1.0, -1, -1.0, 20.0}, "VDDelta must be positive" + never},  // a row at -1, then spins
        {{1.0, 0, 0.0, 0.0}, "VDDelta must be positive" + never},     // rows at 0.0 forever
        // The triode pass's VD falls, or stays, below Vsat.
        {{-1.0, 0, 1.0, 20.0}, "VGDelta must not be negative when NVGate is not positive" + never},
        {{-0.5, -3, 1.0, 20.0}, "VGDelta must not be negative when NVGate is not positive" + never},
        {{-inf, -1, 1.0, 20.0}, "VGDelta must not be negative when NVGate is not positive" + never},
        {{smallest_subnormal, 5, 1.0, 20.0}, "VGDelta is too small" + never},  // step rounds to 0
        // VD passes no finite VDmax that is +inf.
        {{1.0, 6, 1.0, inf}, "VDmax must be finite" + never},
        {{1.0, 6, inf, inf}, "VDmax must be finite" + never},  // rows at +inf forever
        // Stuck below the end: 20 + 1e-300 == 20.
        {{1.0, 6, 1e-300, 20.0}, "VDDelta is too small for VDmax" + never},
        {{0.0, 0, smallest_subnormal, 1e-300}, "VDDelta is too small for VDmax" + never},
        {{1e6, 1, 1e-12, 20.0}, "VDDelta is too small for NVGate times VGDelta" + never},
        // An infinite Vsat is passed only by a sum that overflows, which needs VDDelta > 2^970.
        {{inf, 1, 1.0, 20.0}, "VGDelta is infinite" + never},
        {{inf, 1, 0x1p970, 20.0}, "VGDelta is infinite" + never},  // 2^1023 + 2^970 ties to 2^1023
        {{inf, 1, 1e295, 20.0}, "VGDelta is infinite" + steps},
        {{1e308, 2, 1.0, 20.0}, "VGDelta is too large for NVGate" + never},
        {{1e300, 1000000000, inf, 20.0}, "VGDelta is too large for NVGate" + steps},
        // Ends, but only after about 1e15 silent steps.
        {{1e6, 1, 1e-9, 20.0}, "VDDelta is too small for NVGate times VGDelta" + steps},
        {{10.0, 1, 1e-8, 0.0}, "VDDelta is too small for NVGate times VGDelta" + steps},
        {{1.0, 6, 1e-9, 20.0}, "VDDelta is too small for VDmax" + steps},
        {{1.0, 1000000000, 1.0, 20.0}, "NVGate is too large" + steps},
        {{1.0, std::numeric_limits<std::int32_t>::max(), 1.0, 20.0}, "NVGate is too large" + steps},
        // Rows x (curves + 2) above 1e9.
        {{0.01, 1000, 1e-5, 20.0}, "NVGate or VDmax / VDDelta is too large" + numbers},
        {{0.0, 0, 1e-7, 33.4}, "NVGate or VDmax / VDDelta is too large" + numbers},
        {{0.0, std::numeric_limits<std::int32_t>::max(), 1.0, 20.0},
         "NVGate or VDmax / VDDelta is too large" + numbers},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.s);
        EXPECT_EQ(refusal(c.s).value_or("accepted"), c.message);
    }
}

TEST(SweepGuard, AcceptsEverySweepThatEndsAndFits) {
    const SweepParameters cases[] = {
        {},                          // the defaults
        {0.3, 7, 1.0, 20.0},         // triode step 0.03
        {0.1, 10, 1.0, 20.0},        // Vsat 1.0
        {1.0, 0, 1.0, 20.0},         // one curve, Vsat 0
        {1.0, -1, 1.0, 20.0},        // no curves
        {1.0, -3, 1.0, 20.0},        // NVGate negative
        {1.0, 6, 1.0, 3.0},          // VDmax below Vsat
        {1.0, 6, 1.0, -inf},         // ends at the first VD not below Vsat
        {0.0, 6, 1.0, 20.0},         // VGDelta 0
        {-0.0, -2, 1.0, 20.0},       // Vsat -0.0 is not above a step of -0.0
        {-1.0, 3, 1.0, 20.0},        // VGDelta negative with NVGate positive: Vsat < step
        {-inf, 0, 1.0, 20.0},        // 0 x -inf: Vsat NaN
        {1.0, 6, nan, 20.0},         // NaN VDDelta ends the saturation pass at once
        {1.0, 6, 1.0, nan},          // NaN VDmax ends it at the first VD not below Vsat
        {nan, 6, 1.0, 20.0},         // NaN Vsat ends the triode pass at once
        {1.0, -1, -1.0, -5.0},       // VDDelta negative, but -1 is not below Vsat, above VDmax
        {1.0, 0, 0.0, -1.0},         // VDDelta 0, but 0 ends the pass at once
        {1.0, 6, inf, 20.0},         // VD = +inf ends the saturation pass at once
        {inf, 1, inf, 20.0},         // Vsat = +inf, passed at once
        {inf, 1, 1e307, 20.0},       // Vsat = +inf, passed by overflow after 18 steps
        {1e308, 2, 1e307, 20.0},     // both passes end by overflow
        {0.5, 18, 0.0001, 50.0},     // the benchmark: 410,180 rows of 19 curves
        {10.0, 1, 1.0001e-8, 0.0},   // just under 1e9 steps
        {0.0, 0, 1e-7, 33.3},        // just under 1e9 numbers
        {0.0, 20000000, 1.0, 20.0},  // 21 rows of 20000001 curves
    };
    for (const SweepParameters& s : cases) {
        SCOPED_TRACE(testing::Message() << s);
        EXPECT_EQ(refusal(s).value_or("accepted"), "accepted");
    }
}

TEST(SweepSize, EstimatesStepsAndRowsWithoutWalking) {
    struct Case {
        SweepParameters s;
        double steps;
        double rows;
    };
    const Case cases[] = {
        {{}, 61 + 21, 76},
        {{0.5, 18, 0.0001, 50.0}, 180 + 500000, 410180},
        {{1e6, 1, 1e-9, 20.0}, 1e15, 10},
        {{inf, 1, 1e307, 20.0}, 1 + 18, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.s);
        const std::optional<SweepSize> got = size(c.s);
        ASSERT_TRUE(got.has_value());
        EXPECT_NEAR(got->steps, c.steps, 2.0 + 1e-6 * c.steps);
        EXPECT_NEAR(got->rows, c.rows, 2.0 + 1e-6 * c.steps);
    }
    EXPECT_FALSE(size({1.0, 6, 0.0, 20.0}).has_value());
}

// A counting copy of run_sweep's two loops, stopped after `cap` steps or as soon as VD repeats
// exactly (then the passes would go round for ever).
struct Walk {
    bool ended = false;
    bool repeats = false;
    std::int64_t steps = 0;
    std::int64_t rows = 0;
    double last_row_VD = nan;
};

Walk walk_passes(const SweepPlan& plan, double VDDelta, double VDmax, std::int64_t cap) {
    Walk walk;
    const auto step = [&](double& VD, double delta) {
        const double next = delta + VD;
        walk.repeats = std::bit_cast<std::uint64_t>(next) == std::bit_cast<std::uint64_t>(VD);
        VD = next;
        ++walk.steps;
    };
    const auto row = [&](double VD) {
        ++walk.rows;
        walk.last_row_VD = VD;
    };
    double VD = 0.0;
    do {
        row(VD);
        step(VD, plan.triode_step);
        if (plan.Vsat > VD && (walk.repeats || walk.steps >= cap)) {
            return walk;
        }
    } while (plan.Vsat > VD);
    VD = 0.0;
    for (;;) {
        step(VD, VDDelta);
        if (plan.Vsat > VD) {
            if (walk.repeats || walk.steps >= cap) {
                return walk;
            }
            continue;
        }
        if (!(VDmax >= VD)) {
            walk.ended = true;
            return walk;
        }
        row(VD);
        if (walk.repeats || walk.steps >= cap) {
            return walk;
        }
    }
}

// Ties the guard to the sweep itself: wherever it accepts a sweep estimated shorter than the cap,
// the sweep ends with about the estimated steps and rows; wherever the sweep does not end within
// the cap, the guard refuses it or estimates it longer; where the sweep provably goes round for
// ever, the guard says so.
TEST(SweepGuardProperty, AgreesWithTheWalkedSweep) {
    constexpr std::int64_t cap = 200000;
    std::mt19937_64 engine(20240611);
    const auto uniform = [&engine](double low, double high) {
        return low + (high - low) * (static_cast<double>(engine() >> 11) * 0x1p-53);
    };
    const auto pick = [&engine, &uniform](const std::vector<double>& pool, double low,
                                          double high) {
        const std::uint64_t r = engine() % 10;
        return r < 7 ? pool[engine() % pool.size()] : uniform(low, high);
    };
    const std::vector<double> gate_steps = {0.0,
                                            -0.0,
                                            1.0,
                                            0.3,
                                            0.1,
                                            2.5,
                                            -0.5,
                                            -1.0,
                                            1e-9,
                                            nan,
                                            inf,
                                            -inf,
                                            1e300,
                                            1e308,
                                            smallest_subnormal,
                                            0x0.0000000000006p-1022};
    const std::vector<double> drain_steps = {0.0,
                                             -0.0,
                                             -1.0,
                                             -inf,
                                             1.0,
                                             0.5,
                                             0.7,
                                             0.01,
                                             1e-3,
                                             1e-5,
                                             1e-300,
                                             nan,
                                             inf,
                                             1e300,
                                             1e307,
                                             0x1p970,
                                             smallest_subnormal};
    const std::vector<double> drain_maxima = {0.0, -0.0, -5.0, 20.0, 3.0,  6.0,
                                              1e3, nan,  inf,  -inf, 1e300};

    std::vector<SweepParameters> sets = {
        {inf, 1, 1e307, 20.0},
        {1e308, 2, 1e307, 20.0},
        {1e308, 2, 1e307, inf},
        {1.0, -1, -1.0, -5.0},
    };
    for (int i = 0; i < 3000; ++i) {
        sets.push_back({pick(gate_steps, -1.0, 3.0), static_cast<std::int32_t>(engine() % 34) - 3,
                        pick(drain_steps, -0.5, 3.0), pick(drain_maxima, -5.0, 60.0)});
    }
    for (const SweepParameters& s : sets) {
        SCOPED_TRACE(testing::Message() << s);
        const SweepPlan plan = plan_for(s);
        const std::optional<std::string> refused = sweep_refusal(plan, s.VDDelta, s.VDmax);
        const std::optional<SweepSize> estimate = sweep_size(plan, s.VDDelta, s.VDmax);
        const Walk walk = walk_passes(plan, s.VDDelta, s.VDmax, cap);
        if (walk.ended) {
            ASSERT_FALSE(refused.has_value()) << *refused;
            ASSERT_TRUE(estimate.has_value());
            const double tolerance = 2.0 + 1e-6 * estimate->steps;
            EXPECT_NEAR(estimate->steps, static_cast<double>(walk.steps), tolerance);
            EXPECT_NEAR(estimate->rows, static_cast<double>(walk.rows), tolerance);
            // The copy walks as the sweep does.
            std::int64_t rows = 0;
            double last_row_VD = nan;
            run_sweep(plan, s.VDDelta, s.VDmax, [&](const TableRow& row) {
                ++rows;
                last_row_VD = row.VD;
            });
            EXPECT_EQ(rows, walk.rows);
            EXPECT_EQ(std::bit_cast<std::uint64_t>(last_row_VD),
                      std::bit_cast<std::uint64_t>(walk.last_row_VD));
        } else if (walk.repeats) {
            EXPECT_TRUE(says_never_ends(refused)) << refused.value_or("accepted");
        } else if (!refused) {
            ASSERT_TRUE(estimate.has_value());
            EXPECT_GT(estimate->steps, static_cast<double>(cap) * (1.0 - 1e-6) - 2.0);
        }
    }
}

}  // namespace
}  // namespace mosfet::table
