#include "table/sweep_guard.hpp"

namespace mosfet::table {}  // namespace mosfet::table
