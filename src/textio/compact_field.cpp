#include "textio/compact_field.hpp"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "textio/decimal_digits.hpp"

namespace mosfet::textio {
namespace {

// GCC's 128-bit unsigned integer (the extension keyword keeps -Wpedantic quiet).
__extension__ typedef unsigned __int128 uint128;

// ---- Scaling: the same binary64 operations as decimal_digits, read as a 52-bit fixed point ----

// For each biased exponent bexp of a normal value: p = floor((bexp - 1023) x 19728 / 2^16) as the
// plain conversion estimates it, and 10^|p| by the same square-and-multiply (1.0 for p = 0).
struct ScaleEntry {
    double power = 1.0;
    int p = 0;
};

constexpr std::array<ScaleEntry, 2047> scale_entries = [] {
    std::array<ScaleEntry, 2047> table{};
    for (int bexp = 1; bexp <= 2046; ++bexp) {
        ScaleEntry& entry = table[static_cast<std::size_t>(bexp)];
        entry.p = ((bexp - 1023) * 19728) >> 16;
        if (entry.p != 0) {
            entry.power =
                power_of_ten(static_cast<std::uint32_t>(entry.p < 0 ? -entry.p : entry.p));
        }
    }
    return table;
}();

struct Scaled {
    std::uint64_t fixed = 0;  // v x 2^52, where 1 <= v < 10 is |x| scaled: 2^52 <= fixed < 2^56
    int exponent = 0;         // X: |x| is close to v x 10^(X-1)
};

constexpr std::uint64_t fraction_mask = (std::uint64_t{1} << 52) - 1;

// |x| (normal, biased exponent bexp) scaled into [1, 10) exactly as decimal_digits scales it: one
// division by 10^p for p > 0, else one multiplication (by 1.0 for p = 0, which is exact).
// Divisions are slow and few run at once, so the common case of the one by 10.0 is done in
// integers: for 10 <= v < 16, v = m x 2^-49 with its 53-bit significand m, and v / 10.0 lies in
// [1, 1.6), where binary64 values are the multiples of 2^-52; v / 10 = (4m / 5) x 2^-52, and 4m / 5
// is never halfway between two whole numbers, so the rounded quotient is floor((4m + 2) / 5).
Scaled scale(double magnitude, int bexp) {
    const ScaleEntry& entry = scale_entries[static_cast<std::size_t>(bexp)];
    double v = entry.p > 0 ? magnitude / entry.power : magnitude * entry.power;
    int exponent = entry.p + 1;
    if (v >= 10.0) {
        exponent = entry.p + 2;
        const std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
        if (bits >> 52 == 1026) {  // binary exponent 3: v < 16
            const std::uint64_t m = (bits & fraction_mask) | (fraction_mask + 1);
            return {(4 * m + 2) / 5, exponent};
        }
        v = v / 10.0;
    }
    if (v < 1.0) {
        v = v * 10.0;
        exponent = entry.p;
    }
    // v x 2^52 is a whole number below 2^56: exact, and so is its conversion.
    return {static_cast<std::uint64_t>(static_cast<std::int64_t>(v * 0x1p52)), exponent};
}

// ---- Rounding ----------------------------------------------------------------------------------
//
// With T = floor(v x 10^16), the 17 truncated digits, rounding half up at digit c (2 <= c <= 17)
// keeps floor((T + 5 x 10^(17-c)) / 10^(18-c)) as D1 .. D(c-1). Since floor((floor(a) + b) / m) =
// floor((a + b) / m) for whole b and m > 0, that is
//
//   head(c) = floor(v x 10^(c-2) + 1/2) = floor((fixed x 10^(c-2) + 2^51) / 2^52),
//
// where 10^(c-2) <= head(c) <= 10^(c-1), and head(c) = 10^(c-1) exactly when the carry passes D1:
// when v >= 10 - 5 x 10^(1-c). That bound grows with c, so a carry past D1 at digit c means one at
// every earlier digit as well.

// head(7): the first six digits rounded, or 10^6 after a carry past D1. Scaled by 2^12, the
// quotient by 2^52 becomes the upper half of a 128-bit product: fixed x 10^5 x 2^12 < 2^85.
std::uint32_t six_digit_head(std::uint64_t fixed) {
    const uint128 scaled = static_cast<uint128>(fixed) * (100000U << 12) + (std::uint64_t{1} << 63);
    return static_cast<std::uint32_t>(scaled >> 64);
}

// The least fixed whose rounding at digit 6 carries past D1: ceil(10 x 2^52 - 2^51 / 10^4).
constexpr std::uint64_t carry_at_digit_6 =
    10 * (std::uint64_t{1} << 52) - (std::uint64_t{1} << 51) / 10000;

// ---- Text --------------------------------------------------------------------------------------
//
// Texts are put together in a 64-bit word and stored at once, first character in the lowest byte
// (small stores read back as one word would stall the load).
static_assert(std::endian::native == std::endian::little);

template <std::size_t bytes>
void store(char* out, std::uint64_t text) {
    static_assert(bytes <= sizeof text);
    std::memcpy(out, &text, bytes);
}

constexpr std::uint64_t text_of(const char* chars, std::size_t length) {
    std::uint64_t text = 0;
    for (std::size_t i = 0; i < length; ++i) {
        text |= static_cast<std::uint64_t>(static_cast<unsigned char>(chars[i])) << (8 * i);
    }
    return text;
}

// "000" .. "999".
constexpr std::array<std::uint32_t, 1000> digit_triples = [] {
    std::array<std::uint32_t, 1000> table{};
    for (unsigned i = 0; i < table.size(); ++i) {
        const char chars[3] = {static_cast<char>('0' + i / 100),
                               static_cast<char>('0' + i / 10 % 10),
                               static_cast<char>('0' + i % 10)};
        table[i] = static_cast<std::uint32_t>(text_of(chars, 3));
    }
    return table;
}();

std::uint64_t six_digit_text(std::uint32_t n) {  // n < 10^6
    return digit_triples[n / 1000] | std::uint64_t{digit_triples[n % 1000]} << 24;
}

// The fixed form with x2 digits before the point, from the six digits: the first x2 of them stay,
// the rest move up by `shift` bytes, and `fill` puts in the point (and the "0" before it).
struct PointLayout {
    std::uint64_t kept = 0;
    unsigned shift = 0;
    std::uint64_t fill = 0;
    int length = 0;
};

constexpr std::array<PointLayout, 7> point_layouts = [] {
    std::array<PointLayout, 7> table{};
    table[0] = {0, 16, text_of("0.", 2), 8};  // "0.123456"
    for (unsigned x2 = 1; x2 < table.size(); ++x2) {
        table[x2] = {(std::uint64_t{1} << (8 * x2)) - 1, 8, std::uint64_t{'.'} << (8 * x2), 7};
    }
    return table;
}();

// The exponent part for X = -330 .. 330: "E+07", "E-03", and without the letter past 99: "+100".
constexpr int most_exponent = 330;
constexpr std::array<std::uint32_t, 2 * most_exponent + 1> exponent_parts = [] {
    std::array<std::uint32_t, 2 * most_exponent + 1> table{};
    for (int e = -most_exponent; e <= most_exponent; ++e) {
        const int m = e < 0 ? -e : e;
        const char sign = e < 0 ? '-' : '+';
        const char last_two[2] = {static_cast<char>('0' + m / 10 % 10),
                                  static_cast<char>('0' + m % 10)};
        const char chars[4] = {m <= 99 ? 'E' : sign,
                               m <= 99 ? sign : static_cast<char>('0' + m / 100), last_two[0],
                               last_two[1]};
        table[static_cast<std::size_t>(e + most_exponent)] =
            static_cast<std::uint32_t>(text_of(chars, 4));
    }
    return table;
}();

char* put_fixed_form(char* out, std::uint32_t six, int x2) {
    const PointLayout& layout = point_layouts[static_cast<std::size_t>(x2)];
    const std::uint64_t digits = six_digit_text(six);
    store<8>(out, (digits & layout.kept) | (digits & ~layout.kept) << layout.shift | layout.fill);
    return out + layout.length;
}

char* put_exponent_form(char* out, std::uint32_t six, int exponent) {
    store<8>(out, text_of("0.", 2) | six_digit_text(six) << 16);
    store<4>(out + 8, exponent_parts[static_cast<std::size_t>(exponent + most_exponent)]);
    return out + 12;
}

// Zero, subnormals (written as zero, a negative one keeping its sign), infinities and NaNs; out
// of line, so that the common path stays short.
[[gnu::noinline]] char* put_unscaled(std::uint64_t bits, char* out) {
    const bool sign_bit = (bits >> 63) != 0;
    const bool fraction = (bits & fraction_mask) != 0;
    *out = '-';
    if ((bits >> 52 & 0x7FF) == 0) {
        out += sign_bit && fraction ? 1 : 0;
        store<8>(out, text_of("0.000000", 8));
        return out + 8;
    }
    out += sign_bit ? 1 : 0;
    store<4>(out, fraction ? text_of("NaN", 3) : text_of("INF", 3));
    return out + 3;
}

}  // namespace

// The general field's decisions, on one scaling. With X from the scaling, the plain rules take
//   x1 = X, or X + 1 after a carry past D1, for |x| rounded to 6 decimals (digit c1 = 7 + X),
//   x2 the same for |x| rounded to 6 - x1 decimals (digit c2 = 7 + X - x1),
// and the fixed form when 0 <= x1 <= 6 and x2 <= 6, else the exponent form (rounded at digit 7).
// A carry at a digit means one at every earlier digit. For 0 <= X <= 6, c1 >= 7, so x1 <= x2 =
// X + (carry at 7): c2 is 6 only after a carry at c1, and then digits 6 and 7 carry too. For
// X = -1, c1 = 6: the fixed form needs a carry at 6, and then x2 = 0. X <= -2 and X >= 7 always
// take the exponent form. The fixed field rounds once more, at digit 7 + X - x2: digit 7, or 6
// after a carry at 7, so its digits are head(7), or "100000" after a carry. Hence, with (six, e)
// the exponent form's digits and exponent, the fixed form is taken exactly when 0 <= e <= 6 (then
// x2 = e, with the same digits), and when X = -1 carries at digit 6 but not at 7 ("0.100000").
char* compact_general_15_6(double x, char* out) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
    const auto bexp = static_cast<int>((bits >> 52) & 0x7FF);
    if (static_cast<unsigned>(bexp - 1) >= 2046) {  // zero, subnormal, infinity, NaN
        return put_unscaled(bits, out);
    }
    *out = '-';
    out += (bits >> 63) != 0 ? 1 : 0;
    const Scaled s = scale(std::fabs(x), bexp);
    const std::uint32_t head = six_digit_head(s.fixed);
    const bool carried = head == 1000000;
    const std::uint32_t six = carried ? 100000 : head;
    const int e = s.exponent + (carried ? 1 : 0);
    if (e >= 0 && e <= 6) {
        return put_fixed_form(out, six, e);
    }
    if (s.exponent == -1 && s.fixed >= carry_at_digit_6) {
        return put_fixed_form(out, 100000, 0);
    }
    return put_exponent_form(out, six, e);
}

}  // namespace mosfet::textio
