#pragma once

// The fast path of the curve table's numbers: the 15/6 general field with its blanks removed,
// written straight into a line buffer. Its text is exactly format_general(x, 15, 6) without the
// blanks; format_general stays the readable statement of the rules, this one is built for speed
// (one scaling, the digits from the significand by 128-bit integer arithmetic, no digit loop).
//
//   compact_general_15_6(0.0)        -> "0.000000"
//   compact_general_15_6(123456.7)   -> "123457."
//   compact_general_15_6(0.0012345)  -> "0.123450E-02"
//   compact_general_15_6(-1234567.0) -> "-0.123457E+07"
//   compact_general_15_6(1e-300)     -> "0.100000-299"
//   compact_general_15_6(-infinity)  -> "-INF"

namespace mosfet::textio {

// The longest text, "-0.123457E+07", and the room the writer needs: it may write a byte past a
// shorter text, never past compact_general_room bytes.
inline constexpr int compact_general_room = 13;

// Writes the text at `out` and returns the position after it.
char* compact_general_15_6(double x, char* out);

}  // namespace mosfet::textio
