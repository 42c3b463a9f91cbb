// Fuzz target: the number fields on arbitrary binary64 bit patterns (the first 8 bytes) and
// 32-bit integers (the next 4, else the low half of the same bits), at the widths the tool
// writes: 25/15 and 15/6 general fields, the 4/1 fixed field of the table header and the
// 25-column integer field. Each field is exactly its width, holds only the characters a field
// may hold, and reads back through the input field reader: the general fields to within half a
// unit of their last significant digit, the fixed field to within half of its last decimal, the
// integer field exactly, infinities and NaN as themselves. A subnormal value is written as a
// signed zero and reads back as one.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "finding.hpp"
#include "textio/input_fields.hpp"
#include "textio/output_fields.hpp"

namespace mosfet::fuzz {
namespace {

// What a field may hold: blanks, digits, ".", signs, the exponent letter, asterisks for what
// does not fit, and the letters of INF and NaN.
bool only_field_characters(std::string_view text) {
    return text.find_first_not_of(" 0123456789.+-E*INFa") == std::string_view::npos;
}

std::string without_blanks(std::string_view text) {
    std::string compact;
    for (const char c : text) {
        if (c != ' ') {
            compact += c;
        }
    }
    return compact;
}

std::string show(double x) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &x, sizeof bits);
    char text[64];
    std::snprintf(text, sizeof text, "%a (bits %016llx)", x, static_cast<unsigned long long>(bits));
    return text;
}

// The value read back agrees with x: the same infinity or NaN, or within `tolerance` of x. A
// finite x whose rounded digits lie beyond the largest binary64 value may read back as the
// infinity of its sign.
bool reads_back(double x, double read, double tolerance) {
    if (std::isnan(x)) {
        return std::isnan(read);
    }
    if (std::isinf(x) || std::isinf(read)) {
        const bool beyond_largest = std::fabs(x) + tolerance >= std::numeric_limits<double>::max();
        return std::isinf(read) && std::signbit(read) == std::signbit(x) &&
               (std::isinf(x) || beyond_largest);
    }
    return std::fabs(read - x) <= tolerance;
}

// Half a unit of the d-th significant digit is at most 0.5 * 10^(1-d) of |x|; the decimal
// conversions on the way out and back add a few binary64 roundings, and a value just above the
// smallest normal one may read back as a subnormal with fewer bits.
double general_tolerance(double x, int d) {
    const double half_unit = 0.5 * std::pow(10.0, 1 - d);
    return std::fabs(x) * (half_unit * (1.0 + 1e-9) + 0x1p-50) +
           4.0 * std::numeric_limits<double>::denorm_min();
}

void check_general(double x, int w, int d) {
    const std::string field = textio::general_field(x, w, d);
    const std::string where =
        std::to_string(w) + "/" + std::to_string(d) + " field \"" + field + "\" of " + show(x);
    require(field.size() == static_cast<std::size_t>(w), "width of " + where);
    require(only_field_characters(field), "character in " + where);
    require(field.find('*') == std::string::npos, "asterisks in " + where);
    const textio::RealField read = textio::parse_general_field(without_blanks(field), d);
    require(read.error == textio::FieldError::none, "unreadable " + where);
    // A subnormal value is written as a zero that keeps its sign.
    const bool subnormal = x != 0.0 && std::fabs(x) < std::numeric_limits<double>::min();
    if (subnormal) {
        require(read.value == 0.0 && std::signbit(read.value) == std::signbit(x),
                where + " reads back as " + show(read.value));
        return;
    }
    require(reads_back(x, read.value, general_tolerance(x, d)),
            where + " reads back as " + show(read.value));
}

// The header's gate voltage: asterisks exactly when the value rounded to one decimal needs more
// than four characters (from 99.95 up, from -9.95 down; a little room either side for the
// rounding of the boundary), otherwise within half a unit of the decimal.
void check_fixed(double x) {
    const std::string field = textio::fixed_field(x, 4, 1);
    const std::string where = "4/1 field \"" + field + "\" of " + show(x);
    require(field.size() == 4, "width of " + where);
    require(only_field_characters(field), "character in " + where);
    if (field == "****") {
        require(x >= 99.94 || x <= -9.94, "needless asterisks in " + where);
        return;
    }
    require(field.find('*') == std::string::npos, "stray asterisk in " + where);
    require(!std::isfinite(x) || (x < 99.96 && x > -9.96), "no asterisks in " + where);
    const textio::RealField read = textio::parse_general_field(without_blanks(field), 1);
    require(read.error == textio::FieldError::none, "unreadable " + where);
    require(reads_back(x, read.value, 0.05 * (1.0 + 1e-9)),
            where + " reads back as " + show(read.value));
}

void check_integer(std::int32_t n) {
    const std::string field = textio::integer_field(n, 25);
    const std::string where = "integer field \"" + field + "\" of " + std::to_string(n);
    require(field.size() == 25, "width of " + where);
    require(field.find_first_not_of(" 0123456789-") == std::string::npos, "character in " + where);
    const std::size_t first = field.find_first_not_of(' ');
    require(first != std::string::npos && field.find(' ', first) == std::string::npos,
            "not right-aligned: " + where);
    const textio::IntegerField read = textio::parse_integer_field(without_blanks(field));
    require(read.error == textio::FieldError::none && read.value == n,
            where + " reads back as " + std::to_string(read.value));
}

}  // namespace
}  // namespace mosfet::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace mosfet::fuzz;
    std::uint64_t bits = 0;
    std::memcpy(&bits, data, size < sizeof bits ? size : sizeof bits);
    double x = 0.0;
    std::memcpy(&x, &bits, sizeof x);
    std::uint32_t integer_bits = static_cast<std::uint32_t>(bits);
    if (size >= 12) {
        std::memcpy(&integer_bits, data + 8, sizeof integer_bits);
    }
    std::int32_t n = 0;
    std::memcpy(&n, &integer_bits, sizeof n);

    check_general(x, 25, 15);
    check_general(x, 15, 6);
    check_fixed(x);
    check_integer(n);
    return 0;
}
