#include "table/sweep.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace mosfet::table {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

std::uint64_t bits(double x) {
    return std::bit_cast<std::uint64_t>(x);
}

struct SweepParameters {
    double VGDelta = 1.0;
    std::int32_t NVGate = 6;
    double VDDelta = 1.0;
    double VDmax = 20.0;
};

SweepPlan default_plan(const SweepParameters& s) {
    return plan_sweep(model::ModelParameters{}, s.VGDelta, s.NVGate);
}

std::vector<TableRow> sweep_rows(const SweepParameters& s) {
    std::vector<TableRow> rows;
    run_sweep(default_plan(s), s.VDDelta, s.VDmax,
              [&rows](const TableRow& row) { rows.push_back(row); });
    return rows;
}

// The saturation pass writes 1.0, 2.0, ... 20.0 after the triode rows, all plain.
void expect_whole_volt_plain_rows(const std::vector<TableRow>& rows, std::size_t first) {
    ASSERT_EQ(rows.size(), first + 20);
    for (std::size_t i = first; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].VD, static_cast<double>(i - first + 1)) << i;
        EXPECT_FALSE(rows[i].is_bound_row) << i;
    }
}

TEST(PlanSweep, DerivesCurveCountVsatAndTriodeStep) {
    struct Case {
        double VGDelta;
        std::int32_t NVGate;
        std::int64_t curves;
        double Vsat;
        double triode_step;
    };
    const Case cases[] = {
        {1.0, 6, 7, 6.0, 0.1},
        {0.3, 7, 8, 2.1, 0.03},
        {-0.5, 0, 1, -0.0, -0.05},
        {1.0, -1, 0, -1.0, 0.1},
        {2.0, std::numeric_limits<std::int32_t>::max(), 2147483648, 4294967294.0, 0.2},
        {1.0, std::numeric_limits<std::int32_t>::min(), 0, -2147483648.0, 0.1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.VGDelta << " x " << c.NVGate);
        const SweepPlan plan = plan_sweep(model::ModelParameters{}, c.VGDelta, c.NVGate);
        EXPECT_EQ(plan.curve_count, c.curves);
        EXPECT_EQ(bits(plan.Vsat), bits(c.Vsat));
        EXPECT_EQ(bits(plan.triode_step), bits(c.triode_step));
    }
}

TEST(PlanSweep, GateVoltagesAreMultiplesAddedToVTransitionNotAccumulated) {
    const SweepPlan plan = plan_sweep(model::ModelParameters{}, 0.3, 7);
    // Accumulating 0.3 would give 2.5999999999999996, 2.8999999999999995, ...
    const double want[] = {2.0, 2.3, 2.6, 2.9, 3.2, 3.5, 3.8, 4.1};
    for (std::int64_t i = 0; i < 8; ++i) {
        EXPECT_EQ(bits(gate_voltage(plan, i)), bits(want[i])) << i;
    }
}

TEST(RunSweep, DefaultsGiveSeventySixRowsOfWhichTheFirstSixtyTwoAreBoundRows) {
    const std::vector<TableRow> rows = sweep_rows({});
    ASSERT_EQ(rows.size(), 76u);
    // The triode pass accumulates 0.1: 0.1 + 0.1 + 0.1 is 0.30000000000000004.
    const std::pair<std::size_t, double> accumulated[] = {
        {0, 0.0},
        {1, 0.1},
        {2, 0.2},
        {3, 0x1.3333333333334p-2},  // 0.30000000000000004
        {4, 0.4},
        {8, 0x1.9999999999999p-1},   // 0.7999999999999999
        {60, 0x1.7fffffffffffap+2},  // 5.999999999999995, the last triode row
        {61, 6.0},                   // the saturation pass's row at Vsat
    };
    for (const auto& [index, VD] : accumulated) {
        EXPECT_EQ(bits(rows[index].VD), bits(VD)) << index;
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].is_bound_row, i < 62) << i;
    }
    for (std::size_t i = 62; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].VD, static_cast<double>(i - 55)) << i;
    }
}

TEST(RunSweep, TriodePassAccumulatesTheStepWhileBelowVsat) {
    struct Case {
        double VGDelta;
        std::int32_t NVGate;
        std::size_t triode_rows;
        double last_triode_VD;
        std::size_t all_rows;
        double first_saturation_VD;
        bool first_saturation_is_bound;
    };
    const Case cases[] = {
        {1.0, 6, 61, 0x1.7fffffffffffap+2, 76, 6.0, true},     // 5.999999999999995
        {0.3, 7, 70, 0x1.08f5c28f5c292p+1, 88, 3.0, false},    // 2.070000000000001
        {0.1, 10, 100, 0x1.fae147ae147b4p-1, 120, 1.0, true},  // 0.9900000000000007
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.VGDelta << " x " << c.NVGate);
        const std::vector<TableRow> rows = sweep_rows({c.VGDelta, c.NVGate, 1.0, 20.0});
        ASSERT_EQ(rows.size(), c.all_rows);
        for (std::size_t i = 0; i < c.triode_rows; ++i) {
            EXPECT_TRUE(rows[i].is_bound_row) << i;
        }
        EXPECT_EQ(bits(rows[c.triode_rows - 1].VD), bits(c.last_triode_VD));
        EXPECT_EQ(rows[c.triode_rows].VD, c.first_saturation_VD);
        EXPECT_EQ(rows[c.triode_rows].is_bound_row, c.first_saturation_is_bound);
        EXPECT_EQ(rows.back().VD, 20.0);
    }
}

TEST(RunSweep, SaturationPassAccumulatesFromZeroAgain) {
    // VDDelta 0.7: the first accumulated value not below 6.0 is 6.300000000000001, not 6.0
    // and not 6.3 = 9 * 0.7.
    const std::vector<TableRow> rows = sweep_rows({1.0, 6, 0.7, 20.0});
    ASSERT_EQ(rows.size(), 81u);
    EXPECT_EQ(bits(rows[61].VD), bits(0x1.9333333333334p+2));
    EXPECT_EQ(bits(rows[62].VD), bits(0x1.c000000000001p+2));  // 7.000000000000001
    EXPECT_EQ(bits(rows[63].VD), bits(0x1.ecccccccccccep+2));
    EXPECT_EQ(bits(rows.back().VD), bits(0x1.3999999999997p+4));  // 19.59999999999999
    EXPECT_FALSE(rows[61].is_bound_row);
}

TEST(RunSweep, VDmaxBoundsTheSaturationPassInclusively) {
    struct Case {
        double VDmax;
        std::size_t rows;
    };
    // Below Vsat no saturation row is written; at Vsat the row at 6.0 is.
    const Case cases[] = {{3.0, 61}, {0x1.7fffffffffffap+2, 61}, {6.0, 62}, {6.5, 62}, {-1.0, 61}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "VDmax " << c.VDmax);
        const std::vector<TableRow> rows = sweep_rows({1.0, 6, 1.0, c.VDmax});
        ASSERT_EQ(rows.size(), c.rows);
        EXPECT_TRUE(rows.back().is_bound_row);
    }
}

TEST(RunSweep, NoGateStepsWritesOneTriodeRowThenPlainSaturationRows) {
    for (double VGDelta : {1.0, 0.0}) {
        SCOPED_TRACE(testing::Message() << "VGDelta " << VGDelta);
        const SweepParameters s{VGDelta, 0, 1.0, 20.0};
        EXPECT_EQ(default_plan(s).curve_count, 1);
        EXPECT_EQ(gate_voltage(default_plan(s), 0), 2.0);
        const std::vector<TableRow> rows = sweep_rows(s);
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows[0].VD, 0.0);
        EXPECT_TRUE(rows[0].is_bound_row);  // 0.0 >= 0.0
        expect_whole_volt_plain_rows(rows, 1);
    }
}

TEST(RunSweep, ZeroVGDeltaPutsEveryCurveAtVTransition) {
    const SweepParameters s{0.0, 6, 1.0, 20.0};
    const SweepPlan plan = default_plan(s);
    for (std::int64_t i = 0; i < plan.curve_count; ++i) {
        EXPECT_EQ(gate_voltage(plan, i), 2.0);
    }
    const std::vector<TableRow> rows = sweep_rows(s);
    ASSERT_FALSE(rows.empty());
    EXPECT_TRUE(rows[0].is_bound_row);
    expect_whole_volt_plain_rows(rows, 1);
}

TEST(RunSweep, NegativeNVGateHasNoCurvesAndAPlainFirstRow) {
    const SweepParameters s{1.0, -1, 1.0, 20.0};
    EXPECT_EQ(default_plan(s).curve_count, 0);
    const std::vector<TableRow> rows = sweep_rows(s);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0].VD, 0.0);
    EXPECT_FALSE(rows[0].is_bound_row);  // Vsat = -1.0
    expect_whole_volt_plain_rows(rows, 1);
}

TEST(RunSweep, NaNSaturationParametersEndTheSaturationPassAtOnce) {
    for (const SweepParameters& s :
         {SweepParameters{1.0, 6, nan, 20.0}, SweepParameters{1.0, 6, 1.0, nan}}) {
        SCOPED_TRACE(testing::Message() << "VDDelta " << s.VDDelta << " VDmax " << s.VDmax);
        const std::vector<TableRow> rows = sweep_rows(s);
        ASSERT_EQ(rows.size(), 61u);
        EXPECT_EQ(bits(rows.back().VD), bits(0x1.7fffffffffffap+2));
    }
}

TEST(RunSweep, NaNVGDeltaWritesOnlyPlainRowsWithNaNCurrents) {
    const SweepParameters s{nan, 6, 1.0, 20.0};
    const SweepPlan plan = default_plan(s);
    const std::vector<TableRow> rows = sweep_rows(s);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0].VD, 0.0);
    EXPECT_FALSE(rows[0].is_bound_row);
    EXPECT_EQ(bits(curve_current_mA(plan, 0.0, 3)), bits(0.0));  // VD = 0 is zero before VG
    EXPECT_TRUE(std::isnan(curve_current_mA(plan, 1.0, 3)));
    expect_whole_volt_plain_rows(rows, 1);
}

// Bound and currents of some rows of the default table, evaluated one rounded operation at a
// time: Bound = (m * (K * (VD * VD))) * 1000.0, current = drain_current(VD, VG(i)) * 1000.0.
TEST(TableRowValues, DefaultTableRowsCarryBoundAndCurrentsInMilliamperes) {
    struct Case {
        std::size_t index;
        double VD;
        bool is_bound_row;
        double Bound;
        double currents[7];
    };
    const Case cases[] = {
        {0, 0.0, true, 0.0, {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0}},
        {1,
         0.1,
         true,
         0.008008,
         {0.0, 0.15215199999999998, 0.31231200000000003, 0.47247200000000006, 0.6326320000000001,
          0.7927919999999999, 0.952952}},
        {60,
         0x1.7fffffffffffap+2,
         true,
         30.52799999999995,
         {0.0, 0.8480000000000001, 3.3920000000000003, 7.632000000000001, 13.568000000000001, 21.2,
          30.528000000000006}},
        {61,
         6.0,
         true,
         30.528000000000002,
         {0.0, 0.8480000000000001, 3.3920000000000003, 7.632000000000001, 13.568000000000001, 21.2,
          30.528000000000002}},
        {75,
         20.0,
         false,
         0.0,
         {0.0, 0.9600000000000001, 3.8400000000000003, 8.64, 15.360000000000001, 24.0, 34.56}},
    };
    const SweepPlan plan = default_plan({});
    const std::vector<TableRow> rows = sweep_rows({});
    ASSERT_EQ(rows.size(), 76u);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << c.index);
        const TableRow& row = rows[c.index];
        EXPECT_EQ(bits(row.VD), bits(c.VD));
        ASSERT_EQ(row.is_bound_row, c.is_bound_row);
        if (row.is_bound_row) {
            EXPECT_EQ(bits(row.Bound), bits(c.Bound)) << row.Bound;
        }
        for (std::int64_t i = 0; i < plan.curve_count; ++i) {
            const double got = curve_current_mA(plan, row.VD, i);
            EXPECT_EQ(bits(got), bits(c.currents[i])) << "curve " << i << ": " << got;
        }
    }
}

}  // namespace
}  // namespace mosfet::table
