#pragma once

// The whole life of the program: read or create the parameter file, write the curve table,
// print the closing line. Returns the exit status: 0, or 255 after a failure, whose three-line
// diagnostic is then on standard error.

namespace mosfet::driver {

int run();

}  // namespace mosfet::driver
