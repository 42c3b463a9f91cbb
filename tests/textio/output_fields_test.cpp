#include "textio/output_fields.hpp"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <string_view>

namespace mosfet::textio {
namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();
const double nan = std::bit_cast<double>(std::uint64_t{0x7FF8000000000000});
const double negative_nan = std::bit_cast<double>(std::uint64_t{0xFFF8000000000000});

struct FieldCase {
    double x;
    const char* field;
};

template <std::size_t N>
void expect_general_fields(const FieldCase (&cases)[N], int w, int d) {
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hexfloat << c.x);
        EXPECT_EQ(general_field(c.x, w, d), c.field);
    }
}

template <std::size_t N>
void expect_fixed_fields(const FieldCase (&cases)[N], int w, int d) {
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hexfloat << c.x);
        EXPECT_EQ(fixed_field(c.x, w, d), c.field);
    }
}

// ---- General field, width 25 with 15 digits: the parameter file -------------------------------

TEST(GeneralField25x15, ValuesOfANewParameterFile) {
    const FieldCase cases[] = {
        {2.0, "     2.00000000000000    "},    {100.0, "     100.000000000000    "},
        {0.0008, "    0.800000000000000E-03"}, {1.0, "     1.00000000000000    "},
        {20.0, "     20.0000000000000    "},   {-1234567.0, "    -1234567.00000000    "},
        {0.0, "    0.000000000000000    "},
    };
    expect_general_fields(cases, 25, 15);
}

TEST(GeneralField25x15, SwitchesToTheExponentFormAtTenToTheFifteen) {
    const FieldCase cases[] = {
        {1e14, "     100000000000000.    "},
        {1e15, "    0.100000000000000E+16"},
        // 999999999999999.5 scales to 9.99999999999999467..., so its sixteenth digit is 4.
        {0x1.c6bf52633fffcp+49, "     999999999999999.    "},
        {0x1.c6bf52633fffdp+49, "    0.100000000000000E+16"},  // 999999999999999.625
    };
    expect_general_fields(cases, 25, 15);
}

TEST(GeneralField25x15, SwitchesToTheFixedFormWhereTheValueRoundsToOneTenth) {
    const FieldCase cases[] = {
        {0x1.9999999999976p-4, "    0.100000000000000    "},
        {0x1.9999999999975p-4, "    0.999999999999995E-01"},
        {0.1, "    0.100000000000000    "},
    };
    expect_general_fields(cases, 25, 15);
}

TEST(GeneralField25x15, FifteenthDigitComesFromTheScaledValue) {
    const FieldCase cases[] = {
        {0x1.fffffffffffffp+1023, "    0.179769313486231+309"},  // exact value ...2315708...
        {0x1.1c835bd3f7d78p+538, "    0.999999999999999+162"},   // nearest double to 1e162
        {0x1.0f0cf064dd592p+73, "    0.100000000000000E+23"},    // 1e22, exact
        {0x1.52d02c7e14af6p+76, "    0.100000000000000E+24"},    // nearest double to 1e23
        {0x1p-1022, "    0.222507385850720-307"},
        {-1e-300, "   -0.100000000000000-299"},
    };
    expect_general_fields(cases, 25, 15);
}

TEST(GeneralField25x15, NotANumberAndInfinitiesFillTheWholeWidth) {
    const FieldCase cases[] = {
        {infinity, "                      INF"},
        {-infinity, "                     -INF"},
        {nan, "                      NaN"},
        {negative_nan, "                     -NaN"},
    };
    expect_general_fields(cases, 25, 15);
}

// ---- General field, width 15 with 6 digits: the curve table ----------------------------------

TEST(GeneralField15x6, CurveTableValues) {
    const FieldCase cases[] = {
        {0.0, "   0.000000    "},
        {0.1, "   0.100000    "},
        {0.2, "   0.200000    "},
        {0.35, "   0.350000    "},
        {1.0, "    1.00000    "},
        {6.0, "    6.00000    "},
        {20.0, "    20.0000    "},
        {1.36, "    1.36000    "},
        {0.0012345, "   0.123450E-02"},
        {1.0E-5, "   0.100000E-04"},
        {123456.7, "    123457.    "},
        {1234567.0, "   0.123457E+07"},
        {999999.5, "   0.100000E+07"},
        {999999.4, "    999999.    "},
        {-1.0, "   -1.00000    "},
        {-0.5, "  -0.500000    "},
        {-0.0, "   0.000000    "},
        {-1234567.0, "  -0.123457E+07"},
        {0.30000000000000004, "   0.300000    "},
        {0.9999999999999999, "    1.00000    "},
        {9.9999995, "    10.0000    "},
        {0.0999995, "   0.100000    "},
        {0.09999949, "   0.999995E-01"},
        {9.99E99, "   0.999000+100"},
        {1.0E-300, "   0.100000-299"},
        {infinity, "            INF"},
        {-infinity, "           -INF"},
        {nan, "            NaN"},
        {negative_nan, "           -NaN"},
        {-0x1p-1074, "  -0.000000    "},
    };
    expect_general_fields(cases, 15, 6);
}

TEST(GeneralField15x6, RoundingCornersThatDecideTheForm) {
    const FieldCase cases[] = {
        // The largest value below 10^6 that stays fixed, and the first that does not.
        {0x1.e847effffffffp+19, "    999999.    "},
        {0x1.e847f00000000p+19, "   0.100000E+07"},  // 999999.5
        // The first value that rounds up to 0.1 at six places, and the one below it.
        {0x1.99991361dc93fp-4, "   0.100000    "},  // 0.0999995
        {0x1.99991361dc93ep-4, "   0.999995E-01"},
        // Exact ties in the truncated digits round up.
        {0x1.3cp+0, "    1.23438    "},  // 1.234375
        {0x1.41p+3, "    10.0313    "},  // 10.03125, scaled to 1.003125
        {-0x1.3cp+0, "   -1.23438    "},
        // Carries that reach the first digit and lengthen the exponent.
        {1e99, "   0.100000+100"},
        {9.99e98, "   0.999000E+99"},
        {-1e-300, "  -0.100000-299"},
    };
    expect_general_fields(cases, 15, 6);
}

TEST(GeneralField15x6, ExtremeAndSubnormalValues) {
    const FieldCase cases[] = {
        {0x1.fffffffffffffp+1023, "   0.179769+309"},
        {-0x1.fffffffffffffp+1023, "  -0.179769+309"},
        {0x1p-1022, "   0.222507-307"},
        {0x1p-1074, "   0.000000    "},
        {0x0.fffffffffffffp-1022, "   0.000000    "},
        {-0x0.fffffffffffffp-1022, "  -0.000000    "},
    };
    expect_general_fields(cases, 15, 6);
}

// The exponent part written for the decimal exponent e: "E+07", "E-05", "+100", "-299".
std::string exponent_part(int e) {
    const int magnitude = e < 0 ? -e : e;
    const std::string digits = std::to_string(magnitude);
    std::string part(magnitude > 99 ? "" : "E");
    part += e < 0 ? '-' : '+';
    part.append((magnitude > 99 ? 3 : 2) - digits.size(), '0');
    part += digits;
    return part;
}

TEST(GeneralField15x6, PowersOfTenShowOneFollowedByZeros) {
    const char* const fixed_form[] = {"   0.100000    ", "    1.00000    ", "    10.0000    ",
                                      "    100.000    ", "    1000.00    ", "    10000.0    ",
                                      "    100000.    "};
    for (int k = -307; k <= 308; ++k) {
        std::string literal("1e");
        literal += std::to_string(k);
        const double x = std::stod(literal);
        SCOPED_TRACE(k);
        if (k >= -1 && k <= 5) {
            EXPECT_EQ(general_field(x, 15, 6), fixed_form[k + 1]);
            continue;
        }
        std::string expected("   0.100000");
        expected += exponent_part(k + 1);
        EXPECT_EQ(general_field(x, 15, 6), expected);
    }
}

TEST(GeneralField, TooNarrowFieldsAreAsterisks) {
    EXPECT_EQ(general_field(1.0, 11, 6), "***********");
    EXPECT_EQ(general_field(nan, 11, 6), "***********");
    EXPECT_EQ(general_field(1.0, 1, 0), "*");
    EXPECT_EQ(general_field(1.0, 12, -1), "************");
    EXPECT_EQ(general_field(1.0, 0, 6), "");
}

// ---- Fixed field ------------------------------------------------------------------------------

TEST(FixedField4x1, CurveTableHeaderValues) {
    const FieldCase cases[] = {
        {2.0, " 2.0"},   {3.0, " 3.0"},          {4.0, " 4.0"},        {5.0, " 5.0"},
        {6.0, " 6.0"},   {7.0, " 7.0"},          {8.0, " 8.0"},        {10.0, "10.0"},
        {100.0, "****"}, {-1.0, "-1.0"},         {9.96, "10.0"},       {99.94, "99.9"},
        {99.96, "****"}, {-9.94, "-9.9"},        {-9.96, "****"},      {0.05, " 0.1"},
        {0.04, " 0.0"},  {-0.04, " 0.0"},        {0.0, " 0.0"},        {-0.0, " 0.0"},
        {12.25, "12.3"}, {-10.0, "****"},        {infinity, " INF"},   {-infinity, "-INF"},
        {nan, " NaN"},   {negative_nan, "-NaN"}, {-0x1p-1074, "-0.0"},
    };
    expect_fixed_fields(cases, 4, 1);
}

TEST(FixedField, ZeroBeforeThePointOnlyWhenThereIsRoom) {
    const struct {
        double x;
        int w;
        int d;
        const char* field;
    } cases[] = {
        {0.001, 4, 2, "0.00"},   // shows as zero: no sign
        {-0.001, 4, 2, " .00"},  // b = 0: no "0", and still no sign
        {-0.5, 4, 2, "-.50"},
        {0.5, 4, 2, "0.50"},
        {0.04, 3, 1, "0.0"},
        {-0.04, 3, 1, " .0"},
        {0.0123, 8, 4, "  0.0123"},  // zeros between the point and D1
        {0x1p-3, 5, 2, " 0.13"},     // 0.125: exact tie rounds up
        {0.5, 25, 22, " 0.5000000000000000000000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << " " << c.w << "/" << c.d);
        EXPECT_EQ(fixed_field(c.x, c.w, c.d), c.field);
    }
}

TEST(FixedField, NoDecimalsStillWritesThePoint) {
    const struct {
        double x;
        int w;
        const char* field;
    } cases[] = {
        {123456.7, 7, "123457."}, {0.3, 3, " 0."},  {-0.3, 3, " 0."}, {-0.7, 3, "-1."},
        {2.5, 3, " 3."},          {-2.5, 3, "-3."}, {0.0, 2, "0."},   {1234567.0, 7, "*******"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.x);
        EXPECT_EQ(fixed_field(c.x, c.w, 0), c.field);
    }
}

TEST(FixedField, ShowsAtMostSixteenSignificantDigits) {
    // 1.000000000000000666...: the seventeenth digit rounds the sixteenth up.
    EXPECT_EQ(fixed_field(0x1.0000000000003p+0, 25, 20), "   1.00000000000000100000");
    EXPECT_EQ(fixed_field(0x1.5555555555555p-1, 25, 20), "   0.66666666666666660000");
    EXPECT_EQ(fixed_field(123456789012345678.0, 22, 1), "  123456789012345700.0");
}

TEST(FixedField, TooNarrowFieldsAreAsterisks) {
    EXPECT_EQ(fixed_field(1.0, 2, 1), "**");
    EXPECT_EQ(fixed_field(infinity, 2, 1), "**");
    EXPECT_EQ(fixed_field(1.0, 1, 0), "*");
    EXPECT_EQ(fixed_field(1.0, 10, -1), "**********");
    EXPECT_EQ(fixed_field(-infinity, 3, 1), "***");  // "-INF" needs 4
    EXPECT_EQ(fixed_field(infinity, 3, 1), "INF");
}

// ---- Exponent form ----------------------------------------------------------------------------

TEST(ExponentField, TwoDigitExponentWithTheLetterThreeWithout) {
    const struct {
        double x;
        int w;
        int d;
        const char* field;
    } cases[] = {
        {0.5, 12, 6, "0.500000E+00"},
        {1234567.0, 12, 6, "0.123457E+07"},
        {0.0008, 12, 6, "0.800000E-03"},
        {0.0, 12, 6, "0.000000E+00"},
        {-0.5, 12, 6, "-.500000E+00"},  // f = 0: no "0" before the point
        {-0.5, 13, 6, "-0.500000E+00"},
        {0.5, 11, 6, ".500000E+00"},
        {0.5, 10, 6, "**********"},
        {9.99E99, 15, 6, "   0.999000+100"},
        {1.0E-300, 15, 6, "   0.100000-299"},
        {-1.0E-300, 15, 6, "  -0.100000-299"},
        {9.9999996, 15, 6, "   0.100000E+02"},
        {0x1.5555555555555p-2, 25, 19, "0.3333333333333333000E+00"},
        {negative_nan, 4, 6, "-NaN"},
        {-infinity, 3, 0, "***"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << " " << c.w << "/" << c.d);
        EXPECT_EQ(exponent_field(c.x, c.w, c.d), c.field);
    }
}

// ---- Integer field ----------------------------------------------------------------------------

TEST(IntegerField, RightJustifiedWithAMinusSign) {
    const struct {
        std::int32_t n;
        int w;
        const char* field;
    } cases[] = {
        {6, 25, "                        6"},
        {-6, 25, "                       -6"},
        {0, 25, "                        0"},
        {std::numeric_limits<std::int32_t>::min(), 11, "-2147483648"},
        {std::numeric_limits<std::int32_t>::min(), 10, "**********"},
        {std::numeric_limits<std::int32_t>::max(), 11, " 2147483647"},
        {-1, 1, "*"},
        {7, 1, "7"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.n);
        EXPECT_EQ(integer_field(c.n, c.w), c.field);
    }
}

// ---- Every field is exactly w characters of the allowed set -----------------------------------

bool allowed(char ch) {
    return std::string_view(" 0123456789.-+E*INFNa").find(ch) != std::string_view::npos;
}

template <typename Format>
void expect_exact_width(Format format, int w) {
    constexpr char untouched = '\x7F';
    std::array<char, 64> buffer{};
    buffer.fill(untouched);
    const char* end = format(buffer.data() + 4);
    ASSERT_EQ(end, buffer.data() + 4 + w);
    for (int i = 0; i < static_cast<int>(buffer.size()); ++i) {
        const char ch = buffer[static_cast<std::size_t>(i)];
        if (i < 4 || i >= 4 + w) {
            ASSERT_EQ(ch, untouched) << "write outside the field at " << i - 4;
        } else {
            ASSERT_TRUE(allowed(ch)) << "character " << static_cast<int>(ch) << " at " << i - 4;
        }
    }
}

TEST(FieldProperty, EveryFieldIsExactlyWidthCharactersOfTheAllowedSet) {
    std::mt19937_64 random(4711);
    std::uniform_int_distribution<int> width(1, 40);
    std::uniform_int_distribution<int> digits(0, 25);
    for (int i = 0; i < 20000; ++i) {
        // Every other value lies within 10^+-12, where the fixed forms are reached.
        std::uint64_t bits = random();
        if (i % 2 == 0) {
            bits = (bits & 0x800FFFFFFFFFFFFF) | ((983 + bits % 80) << 52);
        }
        const double x = std::bit_cast<double>(bits);
        const int w = width(random);
        const int d = digits(random);
        SCOPED_TRACE(testing::Message() << std::hexfloat << x << " " << w << "/" << d);
        ASSERT_NO_FATAL_FAILURE(
            expect_exact_width([&](char* out) { return format_general(x, w, d, out); }, w));
        ASSERT_NO_FATAL_FAILURE(
            expect_exact_width([&](char* out) { return format_fixed(x, w, d, out); }, w));
        ASSERT_NO_FATAL_FAILURE(
            expect_exact_width([&](char* out) { return format_exponent(x, w, d, out); }, w));
        const auto n = static_cast<std::int32_t>(static_cast<std::uint32_t>(random()));
        ASSERT_NO_FATAL_FAILURE(
            expect_exact_width([&](char* out) { return format_integer(n, w, out); }, w));
        // A general field as wide as the tool uses it always fits.
        if (w >= d + 6) {
            ASSERT_EQ(general_field(x, w, d).find('*'), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace mosfet::textio
