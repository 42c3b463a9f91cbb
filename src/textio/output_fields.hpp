#pragma once

#include <cstdint>
#include <string>

// Fixed-width number fields. Every formatter writes exactly w characters at `out` and returns
// the position after them; only blanks, digits, ".", "-", "+", "E", "*" and the letters of
// INF and NaN occur. Examples:
//
//   format_general(0.0008, 25, 15) -> "    0.800000000000000E-03"
//   format_general(6.0, 15, 6)     -> "    6.00000    "
//   format_general(0.0, 15, 6)     -> "   0.000000    "
//   format_fixed(12.25, 4, 1)      -> "12.3"          format_fixed(100.0, 4, 1) -> "****"
//   format_exponent(1e-300, 15, 6) -> "   0.100000-299"
//   format_integer(-6, 25)         -> 23 blanks, "-6"
//
// Fields narrower than the tool ever uses (fixed w < d + 2, general w < d + 6) and a negative d
// give w asterisks, whatever x is (infinities and NaN included); w <= 0 writes nothing.

namespace mosfet::textio {

char* format_general(double x, int w, int d, char* out);
char* format_fixed(double x, int w, int d, char* out);
char* format_exponent(double x, int w, int d, char* out);
char* format_integer(std::int32_t n, int w, char* out);

// The same, as strings: for writers of short lines and for tests.
std::string general_field(double x, int w, int d);
std::string fixed_field(double x, int w, int d);
std::string exponent_field(double x, int w, int d);
std::string integer_field(std::int32_t n, int w);

}  // namespace mosfet::textio
