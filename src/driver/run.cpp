#include "driver/run.hpp"

namespace mosfet::driver {

int run() { return 0; }

}  // namespace mosfet::driver
