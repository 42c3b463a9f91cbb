#include "textio/files.hpp"

namespace mosfet::textio {}  // namespace mosfet::textio
