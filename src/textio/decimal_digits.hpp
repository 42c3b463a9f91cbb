#pragma once

#include <array>
#include <cassert>
#include <cstdint>

// Decimal conversion of a binary64 value for the number fields.
//
// The digits are not a correctly rounded conversion: x is scaled by a square-and-multiply power
// of ten into [1, 10), the first 17 digits of that scaled binary64 value are taken truncated,
// and the result is rounded half up at the requested position, with at most 16 significant
// digits kept. The value is 0.D1 D2 D3 ... x 10^exponent.
//
//   decimal_digits(12.25, 1, decimal_places)      -> "1230...", exponent 2   (tie rounds up)
//   decimal_digits(0.0008, 15, significant_digits) -> "8000...", exponent -3
//   zero and subnormals                           -> "0000...", exponent 0

namespace mosfet::textio {

enum class DigitMode { decimal_places, significant_digits };

struct DigitString {
    enum class Kind { finite, infinity, nan };
    Kind kind = Kind::finite;
    bool sign_bit = false;  // the sign bit of x, whatever its kind
    int exponent = 0;       // X
    // D1 .. D17 as characters '0' .. '9'; positions past the kept digits read '0'.
    std::array<char, 17> digits{};
};

// Rounds at digit c = n + 1 + X (decimal places) or c = n + 1 (significant digits), c capped at
// 17. When c <= 0 (a value far below the last place asked for, or a negative n) the 17
// truncated digits and X come back unrounded. Infinities and NaNs carry no digits (all '0').
DigitString decimal_digits(double x, int n, DigitMode mode);

// The first 17 digits of the exact decimal expansion of v, truncated; D1 is the integer part.
// Requires 1 <= v < 10 (the scaled value inside decimal_digits).
//   leading_digits(1.5)     -> "15000000000000000"
//   leading_digits(0x1.3333333333333p+0) (nearest to 1.2) -> "11999999999999999"
std::array<char, 17> leading_digits(double v);

// 10^k for k >= 1 by square-and-multiply, every product rounded to binary64; exact up to
// k = 22. Shared with the number reader, and evaluated at compile time for the table of the
// fast field (constant evaluation rounds each product to binary64 as well, so the bits are
// the same).
//   power_of_ten(1) -> 10.0;  power_of_ten(22) -> 1e22 exactly;
//   power_of_ten(308) -> 0x1.1ccf385ebc8a3p+1023 (the nearest value to 1e308 ends in ...8a0p)
constexpr double power_of_ten(std::uint32_t k) {
    assert(k >= 1);
    // Square-and-multiply from the lowest bit: after each step acc * power^(k remaining) equals
    // 10^k up to the rounding of the products made so far.
    double power = 10.0;
    double acc = 1.0;
    for (;;) {
        const bool bit = (k & 1U) != 0;
        k >>= 1U;
        if (k == 0) {
            return acc * power;
        }
        if (bit) {
            acc = acc * power;
        }
        power = power * power;
    }
}

}  // namespace mosfet::textio
