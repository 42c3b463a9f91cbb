#include "textio/decimal_digits.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <utility>

namespace mosfet::textio {
namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();

double from_bits(std::uint64_t bits) {
    return std::bit_cast<double>(bits);
}

std::string text(const std::array<char, 17>& digits) {
    return std::string(digits.begin(), digits.end());
}

struct DigitCase {
    double x;
    int n;
    DigitMode mode;
    const char* digits;
    int exponent;
};

constexpr DigitMode places = DigitMode::decimal_places;
constexpr DigitMode significant = DigitMode::significant_digits;

void expect_digits(const DigitCase& c) {
    SCOPED_TRACE(testing::Message() << std::hexfloat << c.x << " n=" << c.n);
    const DigitString ds = decimal_digits(c.x, c.n, c.mode);
    EXPECT_EQ(ds.kind, DigitString::Kind::finite);
    EXPECT_EQ(text(ds.digits), c.digits);
    EXPECT_EQ(ds.exponent, c.exponent);
}

TEST(DecimalDigits, RoundsHalfUpAtTheRequestedPosition) {
    const DigitCase cases[] = {
        {12.25, 1, places, "12300000000000000", 2},      // scaled to 1.225 (just above the tie)
        {0x1.3cp+0, 5, places, "12343800000000000", 1},  // 1.234375, an exact tie: up
        {0x1.3cp+0, 6, significant, "12343800000000000", 1},
        {0x1p-3, 2, places, "13000000000000000", 0},     // 0.125, an exact tie: up
        {1.36, 6, significant, "13600000000000000", 1},  // 1.3600000000000000977: down
        {0.0008, 15, significant, "80000000000000000", -3},
        {0.0012345, 6, significant, "12345000000000000", -2},
        {-2.5, 0, places, "30000000000000000", 1},  // magnitude only, the sign is apart
    };
    for (const DigitCase& c : cases) {
        expect_digits(c);
    }
}

TEST(DecimalDigits, CarriesThroughNinesAndPastTheFirstDigit) {
    const DigitCase cases[] = {
        {9.96, 1, places, "10000000000000000", 2},   // carry past D1: X grows
        {0.05, 1, places, "10000000000000000", 0},   // c = 1 and D1 = 5
        {0.04, 1, places, "00000000000000000", -1},  // c = 1 and D1 = 4: nothing kept
        {9.9999995, 6, significant, "10000000000000000", 2},
        {0.9999999999999999, 6, significant, "10000000000000000", 1},
        {0.0999995, 6, places, "10000000000000000", 0},
        {0.09999949, 6, places, "99999000000000000", -1},
        {0x1.9999999999976p-4, 15, places, "10000000000000000", 0},
        {0x1.9999999999975p-4, 15, places, "99999999999999000", -1},
        {1e99, 6, significant, "10000000000000000", 100},  // scaled 9.999...96: two to three digits
    };
    for (const DigitCase& c : cases) {
        expect_digits(c);
    }
}

TEST(DecimalDigits, KeepsAtMostSixteenSignificantDigits) {
    const DigitCase cases[] = {
        // 1.000000000000000666...: D17 = 6 rounds D16 up, then D17 reads 0.
        {0x1.0000000000003p+0, 16, significant, "10000000000000010", 1},
        {0x1.0000000000003p+0, 30, significant, "10000000000000010", 1},
        {0x1.0000000000003p+0, 40, places, "10000000000000010", 1},
        // 2/3 scaled to 6.66666666666666629...: D17 = 2 is dropped.
        {0x1.5555555555555p-1, 16, significant, "66666666666666660", 0},
        {0x1.5555555555555p-1, 30, places, "66666666666666660", 0},
        {0x1.5555555555555p-1, 15, significant, "66666666666666700", 0},
    };
    for (const DigitCase& c : cases) {
        expect_digits(c);
    }
}

TEST(DecimalDigits, LeavesValuesFarBelowTheLastPlaceUnrounded) {
    const DigitCase cases[] = {
        {0.000123, 1, places, "12299999999999999", -3},  // c = -1: all 17 truncated digits
        {-1e-300, 1, places, "10000000000000006", -299},
        {0.0123, 0, places, "12299999999999999", -1},  // c = 0
        {0.0123, 1, places, "00000000000000000", -1},  // c = 1: nothing kept
    };
    for (const DigitCase& c : cases) {
        expect_digits(c);
    }
}

TEST(DecimalDigits, ExtremeNormalValues) {
    const DigitCase cases[] = {
        {0x1.fffffffffffffp+1023, 16, significant, "17976931348623150", 309},
        // The scaled value's 16th digit is 4, not the 5 of the exact value: "...231", not "...232".
        {0x1.fffffffffffffp+1023, 15, significant, "17976931348623100", 309},
        {0x1p-1022, 16, significant, "22250738585072030", -307},
    };
    for (const DigitCase& c : cases) {
        expect_digits(c);
    }
}

TEST(DecimalDigits, ZeroAndSubnormalsAreAllZerosAndKeepTheirSign) {
    const struct {
        double x;
        bool sign_bit;
    } cases[] = {
        {0.0, false},
        {-0.0, true},
        {0x1p-1074, false},
        {-0x1p-1074, true},
        {0x0.fffffffffffffp-1022, false},
        {-0x0.fffffffffffffp-1022, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hexfloat << c.x);
        for (const DigitMode mode : {places, significant}) {
            const DigitString ds = decimal_digits(c.x, 6, mode);
            EXPECT_EQ(ds.kind, DigitString::Kind::finite);
            EXPECT_EQ(ds.sign_bit, c.sign_bit);
            EXPECT_EQ(text(ds.digits), "00000000000000000");
            EXPECT_EQ(ds.exponent, 0);
        }
    }
}

TEST(DecimalDigits, InfinitiesAndNansKeepTheSignBit) {
    const struct {
        double x;
        DigitString::Kind kind;
        bool sign_bit;
    } cases[] = {
        {infinity, DigitString::Kind::infinity, false},
        {-infinity, DigitString::Kind::infinity, true},
        {from_bits(0x7FF8000000000000), DigitString::Kind::nan, false},
        {from_bits(0xFFF8000000000000), DigitString::Kind::nan, true},
        {from_bits(0x7FF0000000000001), DigitString::Kind::nan, false},  // signalling
        {from_bits(0xFFFFFFFFFFFFFFFF), DigitString::Kind::nan, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::bit_cast<std::uint64_t>(c.x));
        const DigitString ds = decimal_digits(c.x, 6, significant);
        EXPECT_EQ(ds.kind, c.kind);
        EXPECT_EQ(ds.sign_bit, c.sign_bit);
    }
}

TEST(PowerOfTen, IsExactUpToTwentyTwo) {
    double exact = 1.0;
    for (std::uint32_t k = 1; k <= 22; ++k) {
        exact *= 10.0;  // exact while 5^k < 2^53
        EXPECT_EQ(power_of_ten(k), exact) << k;
    }
}

// The fast field's scaling table is evaluated at compile time; its bits must be those the
// conversion gets at run time.
TEST(PowerOfTen, GivesTheSameBitsAtCompileTimeAndAtRunTime) {
    constexpr auto compiled = [] {
        std::array<double, 309> table{};
        for (std::uint32_t k = 1; k < table.size(); ++k) {
            table[k] = power_of_ten(k);
        }
        return table;
    }();
    for (std::uint32_t k = 1; k < compiled.size(); ++k) {
        volatile std::uint32_t run_time_k = k;  // keeps the call out of constant folding
        EXPECT_EQ(std::bit_cast<std::uint64_t>(power_of_ten(run_time_k)),
                  std::bit_cast<std::uint64_t>(compiled[k]))
            << k;
    }
}

TEST(LeadingDigits, TruncatesTheExactExpansion) {
    const struct {
        double v;
        const char* digits;
    } cases[] = {
        {1.0, "10000000000000000"},
        {0x1.3333333333333p+0, "11999999999999999"},  // 1.1999999999999999555...
        {0x1.3ffffffffffffp+3, "99999999999999982"},  // largest below 10: 9.99999999999999822...
        {0x1.8p+0, "15000000000000000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hexfloat << c.v);
        EXPECT_EQ(text(leading_digits(c.v)), c.digits);
    }
}

// ---- Property: the digits equal an independent reference --------------------------------------

struct Scaled {
    double v;
    int exponent;
};

// The scaling of the conversion, step by step as the field layout defines it.
Scaled scale_as_defined(double x) {
    const auto bexp = static_cast<int>((std::bit_cast<std::uint64_t>(x) >> 52) & 0x7FF);
    const std::int32_t p = ((bexp - 1023) * 19728) >> 16;
    const double a = std::fabs(x);
    double v = a;
    if (p > 0) {
        v = a / power_of_ten(static_cast<std::uint32_t>(p));
    } else if (p < 0) {
        v = a * power_of_ten(static_cast<std::uint32_t>(-p));
    }
    int exponent = p + 1;
    if (v >= 10.0) {
        v = v / 10.0;
        exponent = p + 2;
    }
    if (v < 1.0) {
        v = v * 10.0;
        exponent = p;
    }
    return {v, exponent};
}

// v has at most 52 fraction bits, so 60 decimals are its exact expansion.
std::string exact_leading_digits(double v) {
    std::array<char, 80> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), v,
                                      std::chars_format::fixed, 60);
    std::string digits(buffer.data(), result.ptr);
    digits.erase(1, 1);  // the point after the single integer digit
    return digits.substr(0, 17);
}

std::uint64_t ten_to(int k) {
    std::uint64_t r = 1;
    for (int i = 0; i < k; ++i) {
        r *= 10;
    }
    return r;
}

// Half-up rounding done on the 17 truncated digits read as one integer T < 10^17: keep the
// first c - 1 digits q = floor(T / 10^(18 - c)) and add one when the next digit is 5 or more.
std::pair<std::string, int> round_reference(const std::string& truncated, int exponent,
                                            std::int64_t c) {
    if (c <= 0) {
        return {truncated, exponent};
    }
    const int kept = static_cast<int>(std::min<std::int64_t>(c, 17)) - 1;
    const std::uint64_t t = std::stoull(truncated);
    const std::uint64_t unit = ten_to(17 - kept);
    std::uint64_t q = t / unit;
    if ((t / (unit / 10)) % 10 >= 5) {
        ++q;
    }
    if (q == ten_to(kept)) {
        return {"1" + std::string(16, '0'), exponent + 1};
    }
    std::string digits = kept == 0 ? std::string() : std::to_string(q);
    digits.insert(0, static_cast<std::size_t>(kept) - digits.size(), '0');
    digits.resize(17, '0');
    return {digits, exponent};
}

void expect_matches_reference(double x, int n, DigitMode mode) {
    const Scaled scaled = scale_as_defined(x);
    ASSERT_GE(scaled.v, 1.0);
    ASSERT_LT(scaled.v, 10.0);
    const std::string truncated = exact_leading_digits(scaled.v);
    ASSERT_EQ(text(leading_digits(scaled.v)), truncated);

    const std::int64_t c = mode == places ? std::int64_t{n} + 1 + scaled.exponent : n + 1;
    const auto [digits, exponent] = round_reference(truncated, scaled.exponent, c);
    const DigitString ds = decimal_digits(x, n, mode);
    ASSERT_EQ(text(ds.digits), digits);
    ASSERT_EQ(ds.exponent, exponent);
    ASSERT_EQ(ds.sign_bit, std::signbit(x));
}

TEST(DecimalDigitsProperty, EveryBinaryExponentScalesIntoOneToTen) {
    // Scaling is monotonic in the significand, so the extremes of each binade cover it.
    for (std::uint64_t bexp = 1; bexp <= 2046; ++bexp) {
        for (const std::uint64_t fraction :
             {std::uint64_t{0}, (std::uint64_t{1} << 52) - 1, std::uint64_t{0x9999999999999}}) {
            const double x = from_bits((bexp << 52) | fraction);
            SCOPED_TRACE(testing::Message() << std::hexfloat << x);
            ASSERT_NO_FATAL_FAILURE(expect_matches_reference(x, 15, significant));
            ASSERT_NO_FATAL_FAILURE(expect_matches_reference(-x, 6, places));
        }
    }
}

TEST(DecimalDigitsProperty, RandomValuesMatchTheExactExpansionOfTheScaledValue) {
    std::mt19937_64 random(20261211);
    std::uniform_int_distribution<int> count(-3, 24);
    for (int i = 0; i < 300000; ++i) {
        const std::uint64_t bits = random();
        const auto bexp = (bits >> 52) & 0x7FF;
        if (bexp == 0 || bexp == 2047) {
            continue;
        }
        const double x = from_bits(bits);
        SCOPED_TRACE(testing::Message() << std::hexfloat << x);
        ASSERT_NO_FATAL_FAILURE(
            expect_matches_reference(x, count(random), (bits & 1) != 0 ? places : significant));
    }
}

}  // namespace
}  // namespace mosfet::textio
