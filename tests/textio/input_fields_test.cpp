#include "textio/input_fields.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace mosfet::textio {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr std::uint64_t nan_bits = 0x7FFF0000FFFFFFFF;
constexpr std::uint64_t sign_bit = std::uint64_t{1} << 63;

std::uint64_t bits(double x) {
    return std::bit_cast<std::uint64_t>(x);
}

// Compares bit patterns, so that -0.0 differs from 0.0 and a NaN's payload counts.
void expect_reads(std::string_view text, int d, std::uint64_t expected_bits) {
    SCOPED_TRACE("field \"" + std::string(text) + "\", d = " + std::to_string(d));
    const RealField field = parse_general_field(text, d);
    EXPECT_EQ(field.error, FieldError::none);
    EXPECT_EQ(bits(field.value), expected_bits)
        << "got " << field.value << ", expected " << std::bit_cast<double>(expected_bits);
}

struct TakeCase {
    std::string line;
    std::size_t column;
    int w;
    std::string text;
    std::size_t next_column;
};

TEST(TakeField, TakesUpToWidthStopsAfterCommaAndRemovesEveryBlank) {
    const std::vector<TakeCase> cases = {
        {"     2.00000000000000    ,VTransition", 0, 25, "2.00000000000000", 25},
        {"2.5,VTransition", 0, 25, "2.5", 4},
        {"2,5", 0, 25, "2", 2},
        {",5", 0, 25, "", 1},
        {"1,2,3", 2, 25, "2", 4},
        {"2.5 E 3", 0, 25, "2.5E3", 7},
        {" 2 500 ", 0, 25, "2500", 7},
        {"      ", 0, 25, "", 6},
        {"", 0, 25, "", 0},
        // The line ends before the field is full: only what is there, no failure.
        {"2.5", 0, 25, "2.5", 3},
        {"abc", 5, 25, "", 5},
        {"abc", 3, 25, "", 3},
        // A value straddling column 25 is cut there; one starting after it is not seen.
        {std::string(23, ' ') + "3.75", 0, 25, "3.", 25},
        {std::string(25, ' ') + "3.75", 0, 25, "", 25},
        // A comma beyond the width does not end the field early.
        {"1234,5", 0, 3, "123", 3},
        {"1234,5", 3, 3, "4", 5},
        {"123", 0, 0, "", 0},
        {"123", 0, -4, "", 0},
    };
    for (const TakeCase& c : cases) {
        SCOPED_TRACE("line \"" + c.line + "\" from column " + std::to_string(c.column));
        std::size_t column = c.column;
        EXPECT_EQ(take_field(c.line, column, c.w), c.text);
        EXPECT_EQ(column, c.next_column);
    }
}

struct RealCase {
    std::string text;
    double expected;
};

void expect_table(const std::vector<RealCase>& cases, int d) {
    for (const RealCase& c : cases) {
        expect_reads(c.text, d, bits(c.expected));
    }
}

TEST(GeneralField, FixedPointTextAsTheToolWritesItReadsTheExactValue) {
    expect_table({{"2.00000000000000", 2.0},
                  {"100.000000000000", 100.0},
                  {"0.800000000000000E-03", 0x1.a36e2eb1c432dp-11},
                  {"1.00000000000000", 1.0},
                  {"20.0000000000000", 20.0}},
                 15);
    // The exponent form gives the binary64 value nearest to 0.0008.
    expect_reads("0.800000000000000E-03", 15, bits(0.0008));
}

TEST(GeneralField, WithoutAPointTheMantissaIsAnIntegerTimesTenToMinusD) {
    expect_table({{"2", 0x1.203af9ee75616p-49},   // 2e-15
                  {"20", 0x1.6849b86a12b9bp-46},  // 2e-14
                  {"3", 0x1.b05876e5b0120p-49},   // 3e-15
                  {"2500", 0x1.5fd7fe1796495p-39},
                  {"2.", 2.0},
                  {"3.", 3.0},
                  {"3.0", 3.0},
                  // The implied point comes before the exponent is applied.
                  {"1E2", 0x1.c25c268497682p-44},    // 1e-13
                  {"15E3", 0x1.07e1fe91b0b70p-36},   // 15e-12
                  {"1-2-3", 0x1.70ef54646d497p-57},  // 1e-17
                  {"", 0.0},
                  {"E5", 0.0},
                  {"1234567890123456", 1.234567890123456},
                  {"-25", -0x1.c25c268497682p-46}},  // -25e-15
                 15);
    expect_table({{"25", 25.0}, {"25E1", 250.0}}, 0);
    expect_table({{"2500", 25.0}, {"5", 0.05}, {"-5", -0.05}}, 2);
    // A negative d counts as none.
    expect_table({{"25", 25.0}}, -3);
    // An implied point far to the left underflows to zero without building the zeros.
    expect_table({{"7", 0.0}, {"-7", -0.0}}, INT_MAX);
}

TEST(GeneralField, ExponentLettersAndABareSignStartTheExponent) {
    expect_table({{"2.5E-3", 0.0025},
                  {"2.5e-3", 0.0025},
                  {"2.5D-3", 0.0025},
                  {"2.5d-3", 0.0025},
                  {"2.5Q-3", 0.0025},
                  {"2.5q-3", 0.0025},
                  {"2.5-3", 0.0025},
                  {"2.5E3", 2500.0},
                  {"2.5E+3", 2500.0},
                  {"2.5+3", 2500.0},
                  {"1.5E", 1.5},
                  {"1.5E-", 1.5},
                  {"1.5-", 1.5},
                  {"1.5E-+3", 1.5}},
                 15);
}

TEST(GeneralField, SignsPointsAndEmptyFields) {
    expect_table({{".5", 0.5},
                  {"+.5", 0.5},
                  {"-.5", -0.5},
                  {"+2.5", 2.5},
                  {"-2.5", -2.5},
                  {".", 0.0},
                  {"+", 0.0},
                  {"0.000", 0.0},
                  {"0E400", 0.0}},
                 15);
    // "-" sets the sign bit of zero too.
    expect_reads("-", 15, sign_bit);
    expect_reads("-0", 15, sign_bit);
    expect_reads("-0.0E5", 15, sign_bit);
    expect_reads("--", 15, sign_bit);
}

TEST(GeneralField, ParsingStopsAtTheFirstCharacterThatDoesNotFit) {
    expect_table({{"1.2.3", 1.2},
                  {"1.5-2-3", 0x1.eb851eb851eb8p-7},  // 0.015
                  {"1.0E2E3", 100.0},
                  {"1E2.5", 100.0},
                  {"1.5E2.5", 150.0},
                  {"+-5", 0.0}},
                 15);
}

TEST(GeneralField, SpecialValuesLookOnlyAtTheFirstLetterAfterTheSign) {
    expect_reads("Inf", 15, bits(inf));
    expect_reads("I", 15, bits(inf));
    expect_reads("infinity", 15, bits(inf));
    expect_reads("+I$%&", 15, bits(inf));
    expect_reads("-infinity", 15, bits(-inf));
    expect_reads("NaN", 15, nan_bits);
    expect_reads("nonsense", 15, nan_bits);
    expect_reads("n", 15, nan_bits);
    expect_reads("-NaN", 15, nan_bits | sign_bit);
}

TEST(GeneralField, AnyOtherCharacterIsIllegal) {
    for (const std::string text : {"abc", "1.5x", "$2", "2.0V", "1I", "2.5F3", "0x10", "1/2"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(parse_general_field(text, 15).error, FieldError::illegal_character);
    }
}

TEST(GeneralField, OutOfRangeValuesOverflowAndUnderflow) {
    expect_table({{"1.0E309", inf},
                  {"-1.0E309", -inf},
                  // 10^308 and 10^307 come from square-and-multiply, a few units off.
                  {"1.0E308", 0x1.1ccf385ebc8a3p+1023},
                  {"1.0E-400", 0.0},
                  {"4.9E-324", 0x0.0000000000001p-1022},
                  {"1.0E-307", 0x1.1fa182c40c60bp-1020}},
                 15);
    expect_reads("-1.0E-400", 15, sign_bit);
}

TEST(GeneralField, AnExponentTooLongFor32BitsSaturates) {
    const std::string many_digits(1000, '9');
    expect_table({{"1E99999999999", inf},
                  {"-1E99999999999", -inf},
                  {"1.0E-99999999999", 0.0},
                  {"0E99999999999", 0.0},
                  {"0.0E-99999999999", 0.0},
                  {"1.0E" + many_digits, inf},
                  {"1.0E-" + many_digits, 0.0},
                  // In range as written, pushed out of range by the digits of the mantissa.
                  {"1.0E2147483647", inf},
                  {"123456789012345678901234567890.E2147483647", inf},
                  {"1.0E-2147483648", 0.0},
                  {"0.000000000000000000001E-2147483648", 0.0},
                  {"1E-2147483648", 0.0}},
                 15);
    expect_reads("-1.0E-99999999999", 15, sign_bit);
    expect_reads("-0E99999999999", 15, sign_bit);
}

TEST(GeneralField, DigitsBeyond64BitsAreDroppedNotRounded) {
    // The first twenty digits fit in M; the rest are dropped:
    // 12345678901234567890 -> truncated to 53 bits, then divided by 10^10.
    expect_reads("1234567890.12345678901234567890", 15, bits(0x1.26580b487e6b7p+30));
    expect_table({{"18446744073709551615.", 0x1.fffffffffffffp+63},
                  // The 20th integer digit does not fit: it only raises the exponent.
                  {"18446744073709551616.", 0x1.fffffffffffffp+63},
                  {"123456789012345678901234567890.", 0x1.8ee90ff6c373ep+96}},
                 15);
}

TEST(GeneralField, MantissaBitsBelowThe53MostSignificantAreTruncated) {
    // 2^53 + 3 lies halfway between 2^53 + 2 and 2^53 + 4; rounding would give 2^53 + 4.
    expect_reads("9007199254740995.", 15, bits(0x1.0000000000001p+53));
    expect_reads("9007199254740993.", 15, bits(0x1p+53));
}

TEST(GeneralField, TrailingFractionZerosTakeNoRoomInTheMantissa) {
    expect_table(
        {{"1.000000000000000000000000000000", 1.0},
         {"2.50000000000000000000000000000E-3", 0.0025},
         // M = 12345678901234567 (truncated to 53 bits) / 10^16; with the two zeros taken in,
         // M = 1234567890123456700 / 10^18 would come out one unit lower.
         {"1.234567890123456700", 0x1.3c0ca428c59fbp+0},
         // Held zeros that fill M push the final 1 out: M = 10^19, exponent -20.
         {"0.1000000000000000000000000000000000001", 0.1},
         {"0.0000000000000000000000000000000000000000000000000025", 0x1.dee7a4ad4b81fp-169}},
        15);
}

struct IntegerCase {
    std::string text;
    std::int32_t value;
    FieldError error;
};

TEST(IntegerField, SignAndDigitsOnlyWithinThe32BitRange) {
    const std::vector<IntegerCase> cases = {
        {"6", 6, FieldError::none},
        {"+6", 6, FieldError::none},
        {"-6", -6, FieldError::none},
        {"", 0, FieldError::none},
        {"-", 0, FieldError::none},
        {"+", 0, FieldError::none},
        {"0000000000000000000006", 6, FieldError::none},
        {"-0000000000000000000000000000000", 0, FieldError::none},
        {"2147483647", INT32_MAX, FieldError::none},
        {"-2147483648", INT32_MIN, FieldError::none},
        {"2147483648", 0, FieldError::integer_overflow},
        {"-2147483649", 0, FieldError::integer_overflow},
        {"4294967302", 0, FieldError::integer_overflow},
        {"99999999999999999999999999999999", 0, FieldError::integer_overflow},
        {"6.0", 0, FieldError::illegal_character},
        {"6E0", 0, FieldError::illegal_character},
        {"six", 0, FieldError::illegal_character},
        {"+-6", 0, FieldError::illegal_character},
        {"6-", 0, FieldError::illegal_character},
        // The character check covers the whole field before any value is formed.
        {"99999999999999999999x", 0, FieldError::illegal_character},
    };
    for (const IntegerCase& c : cases) {
        SCOPED_TRACE("field \"" + c.text + "\"");
        const IntegerField field = parse_integer_field(c.text);
        EXPECT_EQ(field.error, c.error);
        if (c.error == FieldError::none) {
            EXPECT_EQ(field.value, c.value);
        }
    }
}

TEST(IntegerField, BlanksAndACommaAreDealtWithWhenTakingTheField) {
    const std::vector<std::pair<std::string, std::int32_t>> cases = {
        {"  6  ", 6}, {"6,7", 6}, {std::string(24, ' ') + "6", 6}, {std::string(25, ' '), 0}};
    for (const auto& [line, value] : cases) {
        SCOPED_TRACE("line \"" + line + "\"");
        std::size_t column = 0;
        const IntegerField field = parse_integer_field(take_field(line, column, 25));
        EXPECT_EQ(field.error, FieldError::none);
        EXPECT_EQ(field.value, value);
    }
}

}  // namespace
}  // namespace mosfet::textio
