#include "driver/run.hpp"

// Arguments are ignored: everything comes from the parameter file.
int main() {
    return mosfet::driver::run();
}
