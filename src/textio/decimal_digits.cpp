#include "textio/decimal_digits.hpp"

#include <cassert>

namespace mosfet::textio {

double power_of_ten(std::uint32_t k) {
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
