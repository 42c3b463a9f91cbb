#include "table/curve_table.hpp"

namespace mosfet::table {}  // namespace mosfet::table
