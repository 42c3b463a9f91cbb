#include "driver/parameter_file.hpp"

namespace mosfet::driver {}  // namespace mosfet::driver
