#include "textio/compact_field.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "textio/decimal_digits.hpp"
#include "textio/output_fields.hpp"

namespace mosfet::textio {
namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();

// Optimised builds check a few million values in seconds; the unoptimised sanitizer build
// checks a twentieth of them.
#ifdef NDEBUG
constexpr int scale = 1;
#else
constexpr int scale = 20;
#endif

double from_bits(std::uint64_t bits) {
    return std::bit_cast<double>(bits);
}

// The fast text, written into a buffer whose bytes past the writer's room must stay untouched;
// "(wrote past its room)" when they did not.
std::string compact(double x) {
    constexpr char untouched = '#';
    std::array<char, compact_general_room + 8> buffer{};
    buffer.fill(untouched);
    const char* end = compact_general_15_6(x, buffer.data());
    const bool within = end <= buffer.data() + compact_general_room &&
                        std::all_of(buffer.begin() + compact_general_room, buffer.end(),
                                    [](char c) { return c == untouched; });
    return within ? std::string(buffer.data(), static_cast<std::size_t>(end - buffer.data()))
                  : "(wrote past its room)";
}

// The plain rules' 15/6 general field with its blanks removed.
std::string plain(double x) {
    std::string field = general_field(x, 15, 6);
    std::erase(field, ' ');
    return field;
}

// Checks every value and stops at the first difference (one message, not millions).
void expect_same_text(const std::vector<double>& values) {
    for (const double x : values) {
        const std::string expected = plain(x);
        const std::string actual = compact(x);
        if (actual != expected) {
            ADD_FAILURE() << std::hexfloat << x << ": compact \"" << actual << "\", plain \""
                          << expected << "\"";
            return;
        }
    }
}

// x and its neighbours up to `steps` representable values away on each side.
void add_neighbourhood(std::vector<double>& values, double x, int steps) {
    double down = x;
    double up = x;
    values.push_back(x);
    for (int i = 0; i < steps; ++i) {
        down = std::nextafter(down, -infinity);
        up = std::nextafter(up, infinity);
        values.push_back(down);
        values.push_back(up);
    }
}

TEST(CompactGeneralField, CurveTableValues) {
    const struct {
        double x;
        const char* text;
    } cases[] = {
        {0.0, "0.000000"},
        {-0.0, "0.000000"},
        {0.1, "0.100000"},
        {1.36, "1.36000"},
        {20.0, "20.0000"},
        {123456.7, "123457."},
        {999999.4, "999999."},
        {999999.5, "0.100000E+07"},
        {9.9999995, "10.0000"},
        {0.0999995, "0.100000"},
        {0.09999949, "0.999995E-01"},
        {0.0012345, "0.123450E-02"},
        {-0.5, "-0.500000"},
        {-1234567.0, "-0.123457E+07"},
        {9.99E99, "0.999000+100"},
        {1.0E-300, "0.100000-299"},
        {-0x1p-1074, "-0.000000"},
        {infinity, "INF"},
        {-infinity, "-INF"},
        {from_bits(0x7FF8000000000000), "NaN"},
        {from_bits(0xFFF8000000000000), "-NaN"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hexfloat << c.x);
        EXPECT_EQ(compact(c.x), c.text);
    }
}

// ---- The fast text equals the plain rules -------------------------------------------------------

TEST(CompactGeneralFieldProperty, EverySixDigitIntegerAndItsMillionth) {
    std::vector<double> values;
    for (int n = 100000; n <= 999999; n += scale) {
        values.push_back(n);                               // "123456."
        values.push_back(n / 1e6);                         // "0.123456", or a neighbour of it
        values.push_back(-static_cast<double>(n) * 1e-9);  // exponent form
    }
    expect_same_text(values);
}

// Values whose digit c (c = 2 .. 16) is a tie or a carry through nines, in every decade that can
// take the fixed form and a few that cannot, with their neighbours.
TEST(CompactGeneralFieldProperty, TiesAndCarriesAtEveryRoundingDigit) {
    std::mt19937_64 random(1211);
    std::vector<double> values;
    for (int exponent = -9; exponent <= 9; ++exponent) {  // X
        for (int c = 2; c <= 16; ++c) {
            const double unit = std::pow(10.0, exponent - (c - 1));  // the place of digit c - 1
            const std::uint64_t low = static_cast<std::uint64_t>(std::pow(10.0, c - 2));
            std::uniform_int_distribution<std::uint64_t> head(low, 10 * low - 1);
            for (int i = 0; i < 1200 / scale; ++i) {
                add_neighbourhood(values, (static_cast<double>(head(random)) + 0.5) * unit, 3);
            }
            add_neighbourhood(values, (static_cast<double>(10 * low) - 0.5) * unit, 50 / scale);
        }
    }
    expect_same_text(values);
}

TEST(CompactGeneralFieldProperty, EdgesOfTheFixedForm) {
    std::vector<double> values;
    // 0.1 - 0.5e-6 rounds up to 0.1 at six places; 10^6 - 0.5 rounds up to 10^6; each decade edge
    // in between moves the point.
    for (const double edge : {0.0999995, 0.1, 0.99999949, 0.9999995, 1.0, 9.9999995, 10.0,
                              99.999995, 999.99995, 9999.9995, 99999.995, 999999.5, 1e6}) {
        add_neighbourhood(values, edge, 20000 / scale);
        add_neighbourhood(values, -edge, 200 / scale);
    }
    expect_same_text(values);
}

TEST(CompactGeneralFieldProperty, PowersOfTenAndEveryBinade) {
    std::vector<double> values;
    for (std::uint32_t k = 1; k <= 308; ++k) {
        add_neighbourhood(values, power_of_ten(k), 8);
        add_neighbourhood(values, 1.0 / power_of_ten(k), 8);
        add_neighbourhood(values, std::pow(10.0, -static_cast<double>(k)), 8);
    }
    for (std::uint64_t bexp = 1; bexp <= 2046; ++bexp) {
        for (const std::uint64_t fraction :
             {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{0x4000000000000},
              std::uint64_t{0x9999999999999}, (std::uint64_t{1} << 52) - 1}) {
            values.push_back(from_bits((bexp << 52) | fraction));
            values.push_back(-from_bits((bexp << 52) | fraction));
        }
    }
    expect_same_text(values);
}

TEST(CompactGeneralFieldProperty, SubnormalsZerosAndNonFiniteValues) {
    std::mt19937_64 random(1074);
    std::vector<double> values = {0.0,
                                  -0.0,
                                  0x1p-1074,
                                  -0x1p-1074,
                                  0x0.fffffffffffffp-1022,
                                  -0x0.fffffffffffffp-1022,
                                  infinity,
                                  -infinity};
    for (int i = 0; i < 20000 / scale; ++i) {
        const std::uint64_t bits = random();
        values.push_back(from_bits(bits & 0x800FFFFFFFFFFFFF));  // subnormal or zero
        values.push_back(from_bits(bits | 0x7FF0000000000000));  // NaN (or infinity)
    }
    expect_same_text(values);
}

TEST(CompactGeneralFieldProperty, RandomBitPatternsAndTableLikeValues) {
    std::mt19937_64 random(20261212);
    std::uniform_real_distribution<double> milliamperes(0.0, 200.0);
    std::uniform_real_distribution<double> decade(-12.0, 12.0);
    std::vector<double> values;
    for (int i = 0; i < 1000000 / scale; ++i) {
        values.push_back(from_bits(random()));
        values.push_back(milliamperes(random));
        values.push_back(std::pow(10.0, decade(random)));
    }
    expect_same_text(values);
}

}  // namespace
}  // namespace mosfet::textio
