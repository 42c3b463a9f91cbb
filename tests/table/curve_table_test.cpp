#include "table/curve_table.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "textio/files.hpp"

namespace mosfet::table {
namespace {

const model::ModelParameters defaults;

TEST(HeaderLine, KeepsTheBlanksOfItsFields) {
    EXPECT_EQ(header_line(plan_sweep(defaults, 1.0, 6)),
              "VD V,Bound, 2.0 V, 3.0 V, 4.0 V, 5.0 V, 6.0 V, 7.0 V, 8.0 V");
}

TEST(HeaderLine, HasOneGroupPerGateVoltageEvenWhenItDoesNotFit) {
    struct Case {
        double VTransition;
        double VGDelta;
        std::int32_t NVGate;
        const char* header;
    };
    const Case cases[] = {
        {2.0, 1.0, -1, "VD V,Bound"},
        {2.0, 1.0, -5, "VD V,Bound"},
        {2.0, 1.0, 0, "VD V,Bound, 2.0 V"},
        {98.0, 1.0, 2, "VD V,Bound,98.0 V,99.0 V,**** V"},
        {-9.0, -0.5, 2, "VD V,Bound,-9.0 V,-9.5 V,**** V"},
        {0.0, -0.04, 1, "VD V,Bound, 0.0 V, 0.0 V"},
        {0.0, NAN, 1, "VD V,Bound, NaN V, NaN V"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        model::ModelParameters model = defaults;
        model.VTransition = c.VTransition;
        EXPECT_EQ(header_line(plan_sweep(model, c.VGDelta, c.NVGate)), c.header);
    }
}

TEST(HeaderLine, StaysOneLineBeyondTwentyCurves) {
    const std::string header = header_line(plan_sweep(defaults, 1.0, 20));
    EXPECT_EQ(header.find('\n'), std::string::npos);
    EXPECT_EQ(header.substr(header.size() - 14), ",21.0 V,22.0 V");
}

TEST(RowLine, WritesBoundAndPlainRowsWithoutBlanks) {
    const SweepPlan plan = plan_sweep(defaults, 1.0, 6);
    EXPECT_EQ(row_line(plan, table_row(plan, 0.1)),
              "0.100000,0.800800E-02,0.000000,0.152152,0.312312,0.472472,0.632632,0.792792,"
              "0.952952");
    EXPECT_EQ(row_line(plan, table_row(plan, 7.0)),
              "7.00000,,0.000000,0.856000,3.42400,7.70400,13.6960,21.4000,30.8160");
}

TEST(RowLine, ShowsOnlyVDAndBoundWithoutCurves) {
    const SweepPlan no_curves = plan_sweep(defaults, 1.0, -1);
    EXPECT_EQ(row_line(no_curves, table_row(no_curves, 0.0)), "0.000000,");
    EXPECT_EQ(row_line(no_curves, table_row(no_curves, 20.0)), "20.0000,");
    const SweepPlan flat = plan_sweep(defaults, 0.0, -1);
    EXPECT_EQ(row_line(flat, table_row(flat, 0.0)), "0.000000,0.000000");
}

TEST(RowLine, KeepsTheMinusSignOfNegativeCurrents) {
    model::ModelParameters model = defaults;
    model.K_conductance_parameter = -0.0008;
    const SweepPlan plan = plan_sweep(model, 1.0, 1);
    EXPECT_EQ(row_line(plan, table_row(plan, 0.5)), "0.500000,-0.201000,0.000000,-0.603000");
}

std::string file_bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The file gets the lines that header_line and row_line give, CR LF after each: where numbers of
// every length fall across the end of the file's buffer, and where lines are longer than it.
TEST(CurveTableFile, HoldsTheSameLinesAsTheStringFormsAcrossBufferEnds) {
    namespace fs = std::filesystem;
    struct Case {
        const char* name;
        double K;
        double VGDelta;
        std::int32_t NVGate;
        double VDDelta;
        double VDmax;
    };
    const Case cases[] = {
        // Negative currents in fixed and exponent form, 600 Bound rows, 40 buffer ends.
        {"varied numbers", -0.000123456789, 0.0137, 60, 0.37, 8.0},
        // VGDelta 0: one row at VD = 0, then plain rows of 5000 zero currents, 45 KB each.
        {"long lines", 0.0008, 0.0, 5000, 1.0, 3.0},
    };
    char pattern[] = "/tmp/curve_table_test.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path folder = pattern;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        model::ModelParameters model = defaults;
        model.K_conductance_parameter = c.K;
        write_curve_table(model, 10, (folder / "table").string(), c.VGDelta, c.NVGate, c.VDDelta,
                          c.VDmax);

        const SweepPlan plan = plan_sweep(model, c.VGDelta, c.NVGate);
        std::string expected = header_line(plan) + "\r\n";
        run_sweep(plan, c.VDDelta, c.VDmax,
                  [&](const TableRow& row) { expected += row_line(plan, row) + "\r\n"; });
        EXPECT_GT(expected.size(), 20 * textio::output_buffer_size);
        EXPECT_TRUE(file_bytes(folder / "table.csv") == expected) << "the file differs";
    }
    fs::remove_all(folder);
}

}  // namespace
}  // namespace mosfet::table
