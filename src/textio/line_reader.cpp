#include "textio/line_reader.hpp"

namespace mosfet::textio {}  // namespace mosfet::textio
