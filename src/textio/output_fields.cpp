#include "textio/output_fields.hpp"

#include <array>
#include <cmath>
#include <cstddef>
#include <string_view>

#include "textio/decimal_digits.hpp"

namespace mosfet::textio {

namespace {

char* fill(char* out, char ch, int count) {
    for (int i = 0; i < count; ++i) {
        *out++ = ch;
    }
    return out;
}

char* put(char* out, std::string_view text) {
    for (const char ch : text) {
        *out++ = ch;
    }
    return out;
}

char* asterisks(char* out, int w) {
    return fill(out, '*', w);
}

// Negative zero is written as zero; a subnormal keeps its sign.
bool is_negative(double x) {
    return std::signbit(x) && x != 0.0;
}

// D(position), with every position past the seventeenth reading '0'.
char digit_at(const DigitString& ds, int position) {
    return position <= static_cast<int>(ds.digits.size())
               ? ds.digits[static_cast<std::size_t>(position - 1)]
               : '0';
}

// D(first) .. D(last); nothing when last < first.
char* put_digits(char* out, const DigitString& ds, int first, int last) {
    for (int position = first; position <= last; ++position) {
        *out++ = digit_at(ds, position);
    }
    return out;
}

// "INF" or "NaN" right-justified in w, after "-" when the sign bit is set, NaN included.
char* put_not_finite(char* out, const DigitString& ds, int w) {
    const int s = ds.sign_bit ? 1 : 0;
    if (w - 3 - s < 0) {
        return asterisks(out, w);
    }
    out = fill(out, ' ', w - 3 - s);
    out = fill(out, '-', s);
    return put(out, ds.kind == DigitString::Kind::infinity ? "INF" : "NaN");
}

// Four characters: "E+07", "E-03" for |X| <= 99, "+100", "-299" up to 999 (binary64 values
// have |X| <= 310).
char* put_exponent(char* out, int exponent) {
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude <= 99) {
        *out++ = 'E';
    }
    *out++ = exponent < 0 ? '-' : '+';
    if (magnitude > 99) {
        *out++ = static_cast<char>('0' + magnitude / 100);
    }
    *out++ = static_cast<char>('0' + magnitude / 10 % 10);
    *out++ = static_cast<char>('0' + magnitude % 10);
    return out;
}

}  // namespace

char* format_fixed(double x, int w, int d, char* out) {
    if (w <= 0) {
        return out;
    }
    if (d < 0 || d > w - 2) {
        return asterisks(out, w);
    }
    const DigitString ds = decimal_digits(x, d, DigitMode::decimal_places);
    if (ds.kind != DigitString::Kind::finite) {
        return put_not_finite(out, ds, w);
    }
    const int s = is_negative(x) ? 1 : 0;
    const int e = ds.exponent;
    const int b = w - s - d - 1;  // room left of the point after the sign
    if (e >= 1) {
        if (b < e) {
            return asterisks(out, w);
        }
        out = fill(out, ' ', b - e);
        out = fill(out, '-', s);
        out = put_digits(out, ds, 1, e);
        *out++ = '.';
        return put_digits(out, ds, e + 1, e + d);
    }
    if (e + d >= 1) {  // below 1 after rounding, zero included
        if (b < 0) {
            return asterisks(out, w);
        }
        if (b >= 1) {
            out = fill(out, ' ', b - 1);
        }
        out = fill(out, '-', s);
        if (b >= 1) {
            *out++ = '0';
        }
        *out++ = '.';
        out = fill(out, '0', -e);
        return put_digits(out, ds, 1, e + d);
    }
    // Shows as zero: never a minus sign.
    if (d >= 1) {
        if (b >= 1) {
            out = fill(out, ' ', w - d - 2);
            *out++ = '0';
        } else {
            out = fill(out, ' ', w - d - 1);
        }
        *out++ = '.';
        return fill(out, '0', d);
    }
    out = fill(out, ' ', w - 2);
    return put(out, "0.");
}

char* format_exponent(double x, int w, int d, char* out) {
    if (w <= 0) {
        return out;
    }
    const DigitString ds = decimal_digits(x, d, DigitMode::significant_digits);
    if (ds.kind != DigitString::Kind::finite) {
        return put_not_finite(out, ds, w);
    }
    const int s = is_negative(x) ? 1 : 0;
    if (d < 0 || d > w - s - 5) {
        return asterisks(out, w);
    }
    const int f = w - s - d - 5;  // room before the point after the sign
    if (f >= 1) {
        out = fill(out, ' ', f - 1);
    }
    out = fill(out, '-', s);
    if (f >= 1) {
        *out++ = '0';
    }
    *out++ = '.';
    out = put_digits(out, ds, 1, d);
    return put_exponent(out, ds.exponent);
}

char* format_general(double x, int w, int d, char* out) {
    if (w <= 0) {
        return out;
    }
    if (d < 0 || d > w - 6) {
        return asterisks(out, w);
    }
    const DigitString rounded = decimal_digits(x, d, DigitMode::decimal_places);
    if (rounded.kind != DigitString::Kind::finite) {
        return put_not_finite(out, rounded, w);
    }
    // x1: digits before the point of |x| rounded to d decimals; x2: the same once rounded to d
    // significant digits. The fixed form needs 0 <= x1 and x2 <= d.
    const int x1 = rounded.exponent;
    if (x1 < 0 || x1 > d) {
        return format_exponent(x, w, d, out);
    }
    const int x2 = decimal_digits(x, d - x1, DigitMode::decimal_places).exponent;
    if (x2 > d) {
        return format_exponent(x, w, d, out);
    }
    out = format_fixed(x, w - 4, d - x2, out);
    return fill(out, ' ', 4);
}

char* format_integer(std::int32_t n, int w, char* out) {
    if (w <= 0) {
        return out;
    }
    std::array<char, 11> text{};  // "-2147483648" is the longest
    std::size_t start = text.size();
    // The magnitude in unsigned arithmetic: -n overflows for the most negative n.
    std::uint32_t magnitude =
        n < 0 ? 0U - static_cast<std::uint32_t>(n) : static_cast<std::uint32_t>(n);
    do {
        text[--start] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (n < 0) {
        text[--start] = '-';
    }
    const int length = static_cast<int>(text.size() - start);
    if (length > w) {
        return asterisks(out, w);
    }
    out = fill(out, ' ', w - length);
    return put(out, std::string_view(text.data() + start, text.size() - start));
}

namespace {

std::string blank_text(int w) {
    return std::string(w > 0 ? static_cast<std::size_t>(w) : 0, ' ');
}

}  // namespace

std::string general_field(double x, int w, int d) {
    std::string text = blank_text(w);
    format_general(x, w, d, text.data());
    return text;
}

std::string fixed_field(double x, int w, int d) {
    std::string text = blank_text(w);
    format_fixed(x, w, d, text.data());
    return text;
}

std::string exponent_field(double x, int w, int d) {
    std::string text = blank_text(w);
    format_exponent(x, w, d, text.data());
    return text;
}

std::string integer_field(std::int32_t n, int w) {
    std::string text = blank_text(w);
    format_integer(n, w, text.data());
    return text;
}

}  // namespace mosfet::textio
