#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Number input fields: the text of one fixed-width field of a line, read as a real value with
// d implied decimals or as a signed 32-bit integer. Pure functions; the line reader turns their
// errors into run failures.
//
// Taking a field: the next min(w, rest of line) characters; a comma ends the field early and
// is taken with it; then every blank is removed.
//
// Real field spellings (d = 15):
//   "2.00000000000000" -> 2.0          "2" -> 2e-15          "2." -> 2.0
//   "2.5E-3" "2.5e-3" "2.5D-3" "2.5Q-3" "2.5-3" -> 0.0025    "1.5E" -> 1.5
//   ""  -> 0.0        "-" -> -0.0      ".5" "+.5" -> 0.5
//   "1E2" -> 1e-13 (the implied point comes before the exponent)
//   "1.2.3" -> 1.2    "1.0E2E3" -> 100 (parsing stops at the first misfit)
//   "Inf" "-infinity" "I" -> +-infinity      "NaN" "nonsense" -> NaN (0x7FFF0000FFFFFFFF)
//   "1.0E309" -> infinity   "1.0E-400" -> 0.0   "4.9E-324" -> smallest subnormal
//   an exponent too long for 32 bits saturates: infinity or zero as its sign says
//   "abc" "1.5x" "$2" -> illegal character
// Integer field spellings:
//   "6" "+6" -> 6    "-6" -> -6    "" "-" -> 0    "6,7" -> 6 (the comma ends the field)
//   "6.0" "6E0" "six" -> illegal character
//   outside -2147483648 .. 2147483647 -> integer overflow

namespace mosfet::textio {

enum class FieldError { none, illegal_character, integer_overflow };

// Takes the field starting at `column` of `line` and moves `column` past it (and past an ending
// comma). Returns the field text with every blank removed.
std::string take_field(std::string_view line, std::size_t& column, int w);

struct RealField {
    double value = 0.0;
    FieldError error = FieldError::none;
};
struct IntegerField {
    std::int32_t value = 0;
    FieldError error = FieldError::none;
};

// `text` is a field already taken (no blanks, no comma). For the real field, d < 0 counts as 0.
RealField parse_general_field(std::string_view text, int d);
IntegerField parse_integer_field(std::string_view text);

}  // namespace mosfet::textio
