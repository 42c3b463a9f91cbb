#include "textio/output_fields.hpp"

namespace mosfet::textio {}  // namespace mosfet::textio
