#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

// How a fuzz target reports a finding: what went wrong on standard error, then abort(), which
// libFuzzer records as a crash together with the input that caused it.

namespace mosfet::fuzz {

[[noreturn]] inline void finding(const std::string& what) {
    std::fprintf(stderr, "finding: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

inline void require(bool holds, const std::string& what) {
    if (!holds) {
        finding(what);
    }
}

}  // namespace mosfet::fuzz
