#include "driver/usage_notes.hpp"

namespace mosfet::driver {}  // namespace mosfet::driver
