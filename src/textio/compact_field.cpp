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

constexpr std::uint64_t fraction_mask = (std::uint64_t{1} << 52) - 1;

// ---- Scaling: the same binary64 operations as decimal_digits, read as a 52-bit fixed point ----

// p = floor((bexp - 1023) x 19728 / 2^16) lies in -308 .. 307 for every normal value.
constexpr int most_negative_p = -308;
constexpr int most_positive_p = 307;

// (|x| * up) / down with the pair for p is |x| * 10^-p for p < 0, |x| / 10^p for p > 0 and |x|
// for p = 0: the one rounded operation of the plain conversion, since a product with 1.0 and a
// quotient by 1.0 are exact. No branch on the sign of p.
struct ScaleFactors {
    double up = 1.0;
    double down = 1.0;
};

constexpr std::array<ScaleFactors, most_positive_p - most_negative_p + 1> scale_factors = [] {
    std::array<ScaleFactors, most_positive_p - most_negative_p + 1> table{};
    for (int p = most_negative_p; p <= most_positive_p; ++p) {
        ScaleFactors& f = table[static_cast<std::size_t>(p - most_negative_p)];
        if (p < 0) {
            f.up = power_of_ten(static_cast<std::uint32_t>(-p));
        } else if (p > 0) {
            f.down = power_of_ten(static_cast<std::uint32_t>(p));
        }
    }
    return table;
}();

struct Scaled {
    std::uint64_t fixed = 0;  // v x 2^52, where 1 <= v < 10 is |x| scaled: 2^52 <= fixed < 2^56
    int exponent = 0;         // X: |x| is close to 0.v x 10^X
};

// |x| (normal, biased exponent bexp) scaled into [1, 10) exactly as decimal_digits scales it.
Scaled scale(double magnitude, int bexp) {
    const std::int32_t p = ((bexp - 1023) * 19728) >> 16;
    const ScaleFactors& f = scale_factors[static_cast<std::size_t>(p - most_negative_p)];
    double v = (magnitude * f.up) / f.down;
    int exponent = p + 1;
    if (v >= 10.0) {
        v = v / 10.0;
        exponent = p + 2;
    }
    if (v < 1.0) {
        v = v * 10.0;
        exponent = p;
    }
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
    const auto shift = static_cast<unsigned>((bits >> 52) - 1023);  // 0 .. 3
    return {((bits & fraction_mask) | (fraction_mask + 1)) << shift, exponent};
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

// head(7): the first six digits rounded, or 10^6 after a carry past D1. fixed x 10^5 < 2^73.
std::uint64_t six_digit_head(std::uint64_t fixed) {
    const uint128 scaled = static_cast<uint128>(fixed) * 100000U + (std::uint64_t{1} << 51);
    return static_cast<std::uint64_t>(scaled >> 52);
}

// carry_bounds[c]: the least fixed whose rounding at digit c carries past D1,
// ceil(10 x 2^52 - 2^51 / 10^(c-2)).
constexpr std::array<std::uint64_t, 18> carry_bounds = [] {
    std::array<std::uint64_t, 18> table{};
    std::uint64_t power = 1;  // 10^(c-2)
    for (std::size_t c = 2; c < table.size(); ++c) {
        table[c] = 10 * (std::uint64_t{1} << 52) - (std::uint64_t{1} << 51) / power;
        power *= 10;
    }
    return table;
}();

// ---- Text --------------------------------------------------------------------------------------

// Texts are put together in a 64-bit word and stored at once, first character in the lowest byte
// (a store of small pieces read back as one word would stall the load).
static_assert(std::endian::native == std::endian::little);

constexpr std::array<std::uint16_t, 100> digit_pairs = [] {
    std::array<std::uint16_t, 100> table{};
    for (unsigned i = 0; i < 100; ++i) {
        table[i] = static_cast<std::uint16_t>((('0' + i % 10) << 8) | ('0' + i / 10));
    }
    return table;
}();

std::uint64_t pair_text(std::uint64_t n) {  // n < 100
    return digit_pairs[static_cast<std::size_t>(n)];
}

// n / 10^4 in 32.32 fixed point, a little high: t = n x 429497 = n x (2^32 / 10^4 + e) with
// e < 0.28, so the fraction is (n mod 10^4) / 10^4 plus less than 10^6 x 0.28 / 2^32 < 7 x 10^-5.
// Multiplying the fraction by 100 twice gives the next pairs: the excess grows to under 0.007
// and 0.7 of a unit of the pair, never enough to reach the next integer.
std::uint64_t six_digit_text(std::uint64_t n) {  // n < 10^6
    constexpr std::uint64_t low_half = 0xFFFFFFFF;
    std::uint64_t t = n * 429497;
    const std::uint64_t first = pair_text(t >> 32);
    t = (t & low_half) * 100;
    const std::uint64_t second = pair_text(t >> 32);
    t = (t & low_half) * 100;
    return first | second << 16 | pair_text(t >> 32) << 32;
}

// Stores the first `bytes` characters of the text.
template <std::size_t bytes>
void store(char* out, std::uint64_t text) {
    static_assert(bytes <= sizeof text);
    std::memcpy(out, &text, bytes);
}

// The fixed form: "0." and the six digits when x2 = 0, otherwise the six digits with the point
// after the first x2 of them ("123457." for x2 = 6). Writes 9 bytes at most.
char* put_fixed_form(char* out, std::uint64_t six, int x2) {
    *out = '0';
    out += x2 == 0 ? 1 : 0;
    const auto split = static_cast<unsigned>(8 * x2);  // 0 .. 48
    const std::uint64_t digits = six_digit_text(six);
    const std::uint64_t before = digits & ((std::uint64_t{1} << split) - 1);
    store<8>(out, before | std::uint64_t{'.'} << split | (digits ^ before) << 8);
    return out + 7;
}

// "0.DDDDDD" and four characters of exponent: "E+07", "E-03", or "+100", "-299" past 99.
char* put_exponent_form(char* out, std::uint64_t six, int exponent) {
    store<8>(out, std::uint64_t{'0'} | std::uint64_t{'.'} << 8 | six_digit_text(six) << 16);
    const std::uint64_t sign = exponent < 0 ? '-' : '+';
    const auto magnitude = static_cast<std::uint64_t>(exponent < 0 ? -exponent : exponent);
    const std::uint64_t lead =
        magnitude <= 99 ? (std::uint64_t{'E'} | sign << 8) : (sign | ('0' + magnitude / 100) << 8);
    store<4>(out + 8, lead | pair_text(magnitude % 100) << 16);
    return out + 12;
}

}  // namespace

// The general field's decisions, on one scaling. With X from the scaling:
//   x1 = X, or X + 1 after a carry past D1, for |x| rounded to 6 decimals (digit c1 = 7 + X);
//   x2 the same for |x| rounded to 6 - x1 decimals (digit 7 + X - x1);
//   the fixed form when 0 <= x1 and x2 <= 6 (then x1 <= x2), else the exponent form (digit 7).
// X <= -2 gives x1 <= -1 and X >= 7 gives x1 >= 7, so only -1 <= X <= 6 needs a closer look, and
// there c1 >= 6. A carry at c1 means one at digit 6 <= c1 too, so x2 = X + 1 after a carry at c1
// or at digit 7, else X. The fixed field rounds once more, at digit 7 + X - x2: at digit 7 when
// x2 = X (no carry there), at digit 6 when x2 = X + 1 (a carry there): the digits are head(7)
// or "100000", with x2 digits before the point.
char* compact_general_15_6(double x, char* out) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
    const bool sign_bit = (bits >> 63) != 0;
    const bool fraction = (bits & fraction_mask) != 0;
    const auto bexp = static_cast<int>((bits >> 52) & 0x7FF);
    *out = '-';
    if (bexp == 2047) {
        out += sign_bit ? 1 : 0;
        std::memcpy(out, fraction ? "NaN" : "INF", 3);
        return out + 3;
    }
    if (bexp == 0) {  // zero and subnormals; only a subnormal keeps its minus sign
        out += sign_bit && fraction ? 1 : 0;
        std::memcpy(out, "0.000000", 8);
        return out + 8;
    }
    out += sign_bit ? 1 : 0;
    const Scaled s = scale(std::fabs(x), bexp);
    const int X = s.exponent;
    const std::uint64_t head = six_digit_head(s.fixed);
    const bool carry7 = head == 1000000;
    if (X >= -1 && X <= 6) {
        const bool carry1 = s.fixed >= carry_bounds[static_cast<std::size_t>(7 + X)];
        const int x1 = X + (carry1 ? 1 : 0);
        const int x2 = X + (carry1 || carry7 ? 1 : 0);
        if (x1 >= 0 && x2 <= 6) {
            return put_fixed_form(out, x2 == X ? head : 100000, x2);
        }
    }
    return put_exponent_form(out, carry7 ? 100000 : head, X + (carry7 ? 1 : 0));
}

}  // namespace mosfet::textio
