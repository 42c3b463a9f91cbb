#include "textio/decimal_digits.hpp"

namespace mosfet::textio {}  // namespace mosfet::textio
