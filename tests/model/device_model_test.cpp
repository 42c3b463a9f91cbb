#include "model/device_model.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace mosfet::model {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// Results are compared bit for bit: a regrouped product or a -0.0 must show.
std::uint64_t bits(double x) {
    return std::bit_cast<std::uint64_t>(x);
}

struct Results {
    double current;
    double transconductance;
    double output_conductance;
};

Results evaluate(const ModelParameters& p, double VD, double VG) {
    return {drain_current(p, VD, VG), transconductance(p, VD, VG), output_conductance(p, VD, VG)};
}

void expect_bits(const Results& got, const Results& want) {
    EXPECT_EQ(bits(got.current), bits(want.current)) << got.current << " vs " << want.current;
    EXPECT_EQ(bits(got.transconductance), bits(want.transconductance))
        << got.transconductance << " vs " << want.transconductance;
    EXPECT_EQ(bits(got.output_conductance), bits(want.output_conductance))
        << got.output_conductance << " vs " << want.output_conductance;
}

// Expected values were evaluated one rounded binary64 operation at a time in the written
// grouping. The decimal literals read back to the same double.
TEST(DeviceModel, RegionFormulasAreEvaluatedInTheirGroupingWithDefaults) {
    struct Case {
        double VD;
        double VG;
        Results want;
    };
    const Case cases[] = {
        // Triode, Vov = 1.0, m = 1.001.
        {0.1, 3.0, {0.000152152, 0x1.4fe13ec9bf513p-13, 0x1.7a436809a9a1fp-10}},
        // VD == Vov takes the triode formulas; only the output conductance tells the two apart
        // (saturation would give 8e-06).
        {1.0, 3.0, {0.000808, 0.001616, 8.000000000000001e-06}},
        // Saturation.
        {2.0, 3.0, {0.0008160000000000001, 0.0016320000000000002, 8e-06}},
        // Points where (m * K) * x would differ in the last bit from m * (K * x).
        {0.1, 9.5, {0x1.38c9c278ad5d4p-10, 0x1.4fe13ec9bf513p-13, 0x1.84c06e9a92680p-7}},
        {0.1, 2.5, {0x1.2e4ab8825f62bp-14, 0x1.4fe13ec9bf513p-13, 0x1.5041e1ccb92bbp-11}},
        {0x1.ccccccccccccdp+0,
         3.7,
         {0x1.347e3f7ea3a7bp-9, 0x1.6aeee149b17a0p-9, 0x1.83e3a4d58ce4fp-16}},
        {0x1.e666666666667p+0,
         3.7,
         {0x1.34cbd36c67f71p-9, 0x1.6b4a25e8f2c84p-9, 0x1.83e3a4d58ce4fp-16}},
        {0x1.3333333333334p-1,
         2.5,
         {0x1.a5f26d7045e34p-13, 0x1.a5f26d7045e34p-11, 0x1.0c6f7a0b5ed8dp-19}},
    };
    const ModelParameters defaults;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "VD " << c.VD << " VG " << c.VG);
        expect_bits(evaluate(defaults, c.VD, c.VG), c.want);
    }
}

TEST(DeviceModel, JustAboveTheOverdriveIsSaturation) {
    const ModelParameters defaults;
    const double VD = std::nextafter(1.0, 2.0);
    EXPECT_EQ(bits(output_conductance(defaults, VD, 3.0)), bits(8e-06));
}

TEST(DeviceModel, ZeroOrNegativeDrainVoltageGivesPositiveZero) {
    const ModelParameters defaults;
    for (double VD : {0.0, -0.0, -5e-324, -1.0, -1e300, -inf}) {
        for (double VG : {3.0, 100.0, inf, nan}) {
            SCOPED_TRACE(testing::Message() << "VD " << VD << " VG " << VG);
            expect_bits(evaluate(defaults, VD, VG), {0.0, 0.0, 0.0});
        }
    }
}

TEST(DeviceModel, GateAtOrBelowVTransitionIsCutOff) {
    ModelParameters p;
    p.VTransition = 0.7;
    for (double VG : {0.7, std::nextafter(0.7, 0.0), 0.0, -3.0, -inf}) {
        for (double VD : {0.1, 5.0, inf, nan}) {
            SCOPED_TRACE(testing::Message() << "VD " << VD << " VG " << VG);
            expect_bits(evaluate(p, VD, VG), {0.0, 0.0, 0.0});
        }
    }
    EXPECT_GT(drain_current(p, 0.1, std::nextafter(0.7, 1.0)), 0.0);
}

TEST(DeviceModel, NaNDrainVoltageIsSaturationAboveCutoff) {
    const ModelParameters defaults;
    EXPECT_TRUE(std::isnan(drain_current(defaults, nan, 3.0)));
    EXPECT_TRUE(std::isnan(transconductance(defaults, nan, 3.0)));
    // (K * (Vov * Vov)) / V_DS_Early does not involve VD.
    EXPECT_EQ(bits(output_conductance(defaults, nan, 3.0)), bits(8e-06));
}

TEST(DeviceModel, NaNGateVoltageOrParameterPassesTheTestsAndGivesNaN) {
    ModelParameters nan_threshold;
    nan_threshold.VTransition = nan;
    const ModelParameters defaults;
    const Results results[] = {evaluate(defaults, 1.0, nan), evaluate(nan_threshold, 1.0, 3.0)};
    for (const Results& r : results) {
        EXPECT_TRUE(std::isnan(r.current));
        EXPECT_TRUE(std::isnan(r.transconductance));
        EXPECT_TRUE(std::isnan(r.output_conductance));
    }
}

TEST(DeviceModel, ZeroEarlyVoltageGivesInfinitiesOrNaNButCutoffStaysZero) {
    ModelParameters p;
    p.V_DS_Early = 0.0;
    struct Case {
        double VD;
        double VG;
        Results want;
    };
    const Case cases[] = {
        {1.0, 4.0, {inf, inf, inf}},   // triode: m = +inf
        {2.0, 3.0, {inf, inf, inf}},   // saturation: (K * 1) / 0.0
        {1.0, 3.0, {inf, inf, nan}},   // VD == Vov: m * ((Vov - VD) * 2.0) is inf * 0
        {1.0, 2.0, {0.0, 0.0, 0.0}},   // cutoff
        {0.0, 3.0, {0.0, 0.0, 0.0}},   // m = 0 / 0 + 1 is NaN but unused
        {-1.0, 3.0, {0.0, 0.0, 0.0}},  // m = -inf, unused
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "VD " << c.VD << " VG " << c.VG);
        const Results got = evaluate(p, c.VD, c.VG);
        // Any NaN will do where a NaN is expected; everything else bit for bit.
        if (std::isnan(c.want.output_conductance)) {
            EXPECT_TRUE(std::isnan(got.output_conductance));
            expect_bits({got.current, got.transconductance, 0.0},
                        {c.want.current, c.want.transconductance, 0.0});
        } else {
            expect_bits(got, c.want);
        }
    }
}

}  // namespace
}  // namespace mosfet::model
