#include "textio/decimal_digits.hpp"

#include <bit>
#include <cassert>
#include <cmath>
#include <cstddef>

namespace mosfet::textio {

namespace {

constexpr int digit_count = 17;
constexpr std::uint64_t fraction_mask = (std::uint64_t{1} << 52) - 1;

int biased_exponent(double x) {
    return static_cast<int>((std::bit_cast<std::uint64_t>(x) >> 52) & 0x7FFU);
}

struct Scaled {
    double v = 0.0;    // 1 <= v < 10
    int exponent = 0;  // X, with |x| close to v x 10^(X - 1)
};

// Scales |x| (normal, bexp in 1 .. 2046) into [1, 10) with one multiplication or division by
// 10^|p| and at most one more by 10. p = floor((bexp - 1023) log10 2) with log10 2 taken as 19728 /
// 2^16; |bexp - 1023| <= 1023 so the product fits easily in 32 bits, and >> on a negative int is an
// arithmetic shift.
Scaled scale_to_unit_decade(double x, int bexp) {
    const std::int32_t p = ((bexp - 1023) * 19728) >> 16;
    const double a = std::fabs(x);
    Scaled s;
    if (p > 0) {
        s.v = a / power_of_ten(static_cast<std::uint32_t>(p));
    } else if (p < 0) {
        s.v = a * power_of_ten(static_cast<std::uint32_t>(-p));
    } else {
        s.v = a;
    }
    s.exponent = p + 1;
    if (s.v >= 10.0) {
        s.v = s.v / 10.0;
        s.exponent = p + 2;
    }
    if (s.v < 1.0) {
        s.v = s.v * 10.0;
        s.exponent = p;
    }
    return s;
}

// Half up at position c (1 <= c <= 17): D(c) .. D17 become '0', and when the old D(c) was 5 or
// more one unit is added to D(c - 1), carrying through nines; a carry past D1 leaves "1000..."
// and raises the exponent.
void round_half_up(DigitString& ds, int c) {
    const auto cut = static_cast<std::size_t>(c - 1);
    const bool up = ds.digits[cut] >= '5';
    for (std::size_t i = cut; i < ds.digits.size(); ++i) {
        ds.digits[i] = '0';
    }
    if (!up) {
        return;
    }
    for (std::size_t i = cut; i > 0; --i) {
        char& digit = ds.digits[i - 1];
        if (digit != '9') {
            ++digit;
            return;
        }
        digit = '0';
    }
    ds.digits[0] = '1';
    ++ds.exponent;
}

}  // namespace

std::array<char, 17> leading_digits(double v) {
    assert(v >= 1.0 && v < 10.0);
    // Fixed point with 52 fraction bits: v = m x 2^shift / 2^52 with the 53-bit significand m
    // and 0 <= shift <= 3, so m << shift < 2^56 and every (fraction x 10) < 2^56 as well.
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
    const auto shift = static_cast<unsigned>(biased_exponent(v) - 1023);
    std::uint64_t fixed = ((bits & fraction_mask) | (fraction_mask + 1)) << shift;
    std::array<char, 17> digits{};
    for (char& digit : digits) {
        digit = static_cast<char>('0' + (fixed >> 52));
        fixed = (fixed & fraction_mask) * 10;
    }
    return digits;
}

DigitString decimal_digits(double x, int n, DigitMode mode) {
    DigitString ds;
    ds.sign_bit = std::signbit(x);
    ds.digits.fill('0');
    const int bexp = biased_exponent(x);
    if (bexp == 2047) {
        const bool nan = (std::bit_cast<std::uint64_t>(x) & fraction_mask) != 0;
        ds.kind = nan ? DigitString::Kind::nan : DigitString::Kind::infinity;
        return ds;
    }
    if (bexp == 0) {
        return ds;  // zero and subnormals: all zeros, X = 0, nothing to round
    }
    const Scaled scaled = scale_to_unit_decade(x, bexp);
    ds.exponent = scaled.exponent;
    ds.digits = leading_digits(scaled.v);

    // 64 bits: n may be any int.
    const std::int64_t c =
        mode == DigitMode::decimal_places ? std::int64_t{n} + 1 + ds.exponent : std::int64_t{n} + 1;
    if (c <= 0) {
        return ds;
    }
    round_half_up(ds, static_cast<int>(c < digit_count ? c : digit_count));
    return ds;
}

}  // namespace mosfet::textio
