#include "textio/input_fields.hpp"

namespace mosfet::textio {}  // namespace mosfet::textio
