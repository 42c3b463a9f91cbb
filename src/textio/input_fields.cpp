#include "textio/input_fields.hpp"

#include <algorithm>
#include <bit>
#include <limits>

#include "textio/decimal_digits.hpp"

namespace mosfet::textio {
namespace {

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
bool is_sign(char c) {
    return c == '+' || c == '-';
}
bool is_exponent_letter(char c) {
    return c == 'E' || c == 'e' || c == 'D' || c == 'd' || c == 'Q' || c == 'q';
}
bool is_special_letter(char c) {
    return c == 'I' || c == 'i' || c == 'N' || c == 'n';
}
bool is_real_character(char c) {
    return is_digit(c) || c == '.' || is_sign(c) || is_exponent_letter(c);
}
unsigned digit_value(char c) {
    return static_cast<unsigned>(c - '0');
}

// Decimal exponents are kept in [-exponent_cap, exponent_cap]. The cap lies far beyond every
// 32-bit exponent and far below the int64 range, so the sum of two capped terms never overflows.
constexpr std::int64_t exponent_cap = std::int64_t{1} << 40;

std::int64_t add_capped(std::int64_t a, std::int64_t b) {
    return std::clamp(a + b, -exponent_cap, exponent_cap);
}
std::int64_t capped(std::uint64_t n) {
    return static_cast<std::int64_t>(std::min(n, static_cast<std::uint64_t>(exponent_cap)));
}

// The parts of a real field after its sign, with the implied decimal point already placed:
// value = integer_digits . (fraction_zeros zeros) fraction_digits x 10^exponent.
struct DecimalText {
    std::string_view integer_digits;
    std::uint64_t fraction_zeros = 0;
    std::string_view fraction_digits;
    std::int64_t exponent = 0;
};

std::size_t digit_run(std::string_view text, std::size_t from) {
    std::size_t end = from;
    while (end < text.size() && is_digit(text[end])) {
        ++end;
    }
    return end;
}

// The exponent at the start of `rest`: an exponent letter with an optional sign and digits, or a
// sign with digits. No digits, or anything else, is exponent 0. "E-12" -> -12, "+3" -> 3,
// "E" -> 0, ".5" -> 0. Too many digits saturate at the cap.
std::int64_t read_exponent(std::string_view rest) {
    if (rest.empty() || !(is_exponent_letter(rest[0]) || is_sign(rest[0]))) {
        return 0;
    }
    std::size_t i = is_exponent_letter(rest[0]) ? 1 : 0;
    bool negative = false;
    if (i < rest.size() && is_sign(rest[i])) {
        negative = rest[i] == '-';
        ++i;
    }
    std::int64_t magnitude = 0;
    for (; i < rest.size() && is_digit(rest[i]); ++i) {
        magnitude = std::min(magnitude * 10 + digit_value(rest[i]), exponent_cap);
    }
    return negative ? -magnitude : magnitude;
}

// `body` is the checked field after its sign. Without a ".", the mantissa (everything before the
// first exponent letter or sign, all digits) is read as an integer times 10^-d, the same as if a
// point were put before its last d digits, after d - m zeros when it has only m < d digits.
DecimalText split_decimal(std::string_view body, int d) {
    DecimalText parts;
    if (body.find('.') == std::string_view::npos) {
        const std::size_t mantissa_end = std::min(body.find_first_of("EeDdQq+-"), body.size());
        const std::string_view mantissa = body.substr(0, mantissa_end);
        const auto decimals = static_cast<std::size_t>(std::max(d, 0));
        if (mantissa.size() >= decimals) {
            parts.integer_digits = mantissa.substr(0, mantissa.size() - decimals);
            parts.fraction_digits = mantissa.substr(mantissa.size() - decimals);
        } else {
            parts.fraction_zeros = decimals - mantissa.size();
            parts.fraction_digits = mantissa;
        }
        parts.exponent = read_exponent(body.substr(mantissa_end));
        return parts;
    }
    const std::size_t integer_end = digit_run(body, 0);
    parts.integer_digits = body.substr(0, integer_end);
    std::size_t next = integer_end;
    if (next < body.size() && body[next] == '.') {
        const std::size_t fraction_end = digit_run(body, next + 1);
        parts.fraction_digits = body.substr(next + 1, fraction_end - next - 1);
        next = fraction_end;
    }
    parts.exponent = read_exponent(body.substr(next));
    return parts;
}

// The digits as M x 10^shift with M a 64-bit integer. Digits are taken while 10 M + digit fits;
// from the first that does not, integer digits only raise the shift and fraction digits are
// dropped (truncation). Fraction zeros wait until a non-zero digit follows, so trailing zeros
// never use up room in M.
struct Accumulated {
    std::uint64_t mantissa = 0;
    std::int64_t shift = 0;
};

class DigitAccumulator {
  public:
    void integer_digit(char c) {
        if (!push(digit_value(c))) {
            result_.shift = add_capped(result_.shift, 1);
        }
    }
    void fraction_zeros(std::uint64_t count) { held_zeros_ += count; }
    void fraction_digit(char c) {
        if (c == '0') {
            ++held_zeros_;
            return;
        }
        if (result_.mantissa == 0) {
            // Zeros pushed into a zero mantissa change only the shift.
            result_.shift = add_capped(result_.shift, -capped(held_zeros_));
            held_zeros_ = 0;
        }
        for (; held_zeros_ > 0 && !full_; --held_zeros_) {
            push_fraction(0);
        }
        held_zeros_ = 0;
        push_fraction(digit_value(c));
    }
    Accumulated result() const { return result_; }

  private:
    bool push(unsigned digit) {
        constexpr std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
        if (full_ || result_.mantissa > (max - digit) / 10) {
            full_ = true;
            return false;
        }
        result_.mantissa = result_.mantissa * 10 + digit;
        return true;
    }
    void push_fraction(unsigned digit) {
        if (push(digit)) {
            result_.shift = add_capped(result_.shift, -1);
        }
    }

    Accumulated result_;
    std::uint64_t held_zeros_ = 0;
    bool full_ = false;
};

Accumulated accumulate(const DecimalText& parts) {
    DigitAccumulator digits;
    for (const char c : parts.integer_digits) {
        digits.integer_digit(c);
    }
    digits.fraction_zeros(parts.fraction_zeros);
    for (const char c : parts.fraction_digits) {
        digits.fraction_digit(c);
    }
    return digits.result();
}

// M as binary64 keeping only its 53 most significant bits (truncation, not rounding).
double truncated_to_double(std::uint64_t m) {
    const int excess = static_cast<int>(std::bit_width(m)) - std::numeric_limits<double>::digits;
    if (excess > 0) {
        m = m >> excess << excess;
    }
    return static_cast<double>(m);
}

// value x 10^e, with the powers of ten formed by square-and-multiply. Below 10^-307 the value is
// first divided by 10^(-307 - e), so that the last power of ten stays a normal number.
double scale_by_power_of_ten(double value, std::int32_t e) {
    std::int64_t exponent = e;
    if (exponent < -307) {
        value = value / power_of_ten(static_cast<std::uint32_t>(-307 - exponent));
        exponent = -307;
    }
    if (exponent > 0) {
        value = value * power_of_ten(static_cast<std::uint32_t>(exponent));
    } else if (exponent < 0) {
        value = value / power_of_ten(static_cast<std::uint32_t>(-exponent));
    }
    return value;
}

double special_value(char letter, bool negative) {
    const double magnitude = letter == 'I' || letter == 'i'
                                 ? std::numeric_limits<double>::infinity()
                                 : std::bit_cast<double>(std::uint64_t{0x7FFF0000FFFFFFFF});
    return negative ? -magnitude : magnitude;
}

}  // namespace

std::string take_field(std::string_view line, std::size_t& column, int w) {
    const std::size_t rest = column < line.size() ? line.size() - column : 0;
    const std::size_t width = std::min(static_cast<std::size_t>(std::max(w, 0)), rest);
    std::string_view field = line.substr(std::min(column, line.size()), width);
    const std::size_t comma = field.find(',');
    column += comma == std::string_view::npos ? field.size() : comma + 1;
    field = field.substr(0, comma);

    std::string text;
    text.reserve(field.size());
    for (const char c : field) {
        if (c != ' ') {
            text.push_back(c);
        }
    }
    return text;
}

RealField parse_general_field(std::string_view text, int d) {
    const bool has_sign = !text.empty() && is_sign(text[0]);
    const bool negative = has_sign && text[0] == '-';
    const std::string_view body = text.substr(has_sign ? 1 : 0);
    if (!body.empty() && is_special_letter(body[0])) {
        return {special_value(body[0], negative), FieldError::none};
    }
    if (!std::all_of(body.begin(), body.end(), is_real_character)) {
        return {0.0, FieldError::illegal_character};
    }

    const DecimalText parts = split_decimal(body, d);
    const Accumulated digits = accumulate(parts);
    double value = 0.0;
    if (digits.mantissa != 0) {
        // An exponent beyond the 32-bit range saturates: the value overflows to infinity or
        // underflows to zero, as it would with the exact exponent.
        const auto e = static_cast<std::int32_t>(std::clamp<std::int64_t>(
            add_capped(parts.exponent, digits.shift), std::numeric_limits<std::int32_t>::min(),
            std::numeric_limits<std::int32_t>::max()));
        value = scale_by_power_of_ten(truncated_to_double(digits.mantissa), e);
    }
    return {negative ? -value : value, FieldError::none};
}

IntegerField parse_integer_field(std::string_view text) {
    const bool has_sign = !text.empty() && is_sign(text[0]);
    const bool negative = has_sign && text[0] == '-';
    const std::string_view digits = text.substr(has_sign ? 1 : 0);
    if (!std::all_of(digits.begin(), digits.end(), is_digit)) {
        return {0, FieldError::illegal_character};
    }
    // |value| <= limit <= 2^31 at every step, so the 64-bit accumulation never overflows.
    const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
    std::int64_t magnitude = 0;
    for (const char c : digits) {
        magnitude = magnitude * 10 + digit_value(c);
        if (magnitude > limit) {
            return {0, FieldError::integer_overflow};
        }
    }
    return {static_cast<std::int32_t>(negative ? -magnitude : magnitude), FieldError::none};
}

}  // namespace mosfet::textio
