// Fuzz target: the parameter file reader on arbitrary bytes. Every input gives either the seven
// values or a READ failure on channel 11 with one of the reader's messages; any other exception
// escapes and is a finding. Lines after the ninth are never read, so the bytes up to the ninth
// line feed give the same result, bit for bit.

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "driver/parameter_file.hpp"
#include "finding.hpp"
#include "textio/diagnostics.hpp"
#include "textio/line_reader.hpp"

namespace mosfet::fuzz {
namespace {

using Outcome = std::variant<driver::RunParameters, textio::RunFailure>;

Outcome read_all(std::string_view bytes) {
    textio::LineReader reader(driver::parameter_file_channel, bytes);
    try {
        return driver::read_parameter_file(reader);
    } catch (const textio::RunFailure& failure) {
        return failure;
    }
}

bool is_reader_message(std::string_view message) {
    return message == textio::read_past_end_message ||
           message == textio::illegal_character_message ||
           message == textio::integer_overflow_message ||
           message == textio::buffer_allocation_message;
}

// The bits of the seven values, NaN payloads and signs of zero included.
std::string bits_of(const driver::RunParameters& p) {
    std::string text;
    for (const double x :
         {p.VTransition, p.V_DS_Early, p.K_conductance_parameter, p.VGDelta, p.VDDelta, p.VDmax}) {
        text += std::to_string(std::bit_cast<std::uint64_t>(x)) + " ";
    }
    return text + std::to_string(p.NVGate);
}

std::string describe(const Outcome& outcome) {
    if (const auto* p = std::get_if<driver::RunParameters>(&outcome)) {
        return "values " + bits_of(*p);
    }
    return "failure " + textio::diagnostic_text(std::get<textio::RunFailure>(outcome));
}

// The bytes up to and including the ninth line feed (all of them when there are fewer).
std::string_view first_nine_lines(std::string_view bytes) {
    std::size_t end = 0;
    for (int line = 0; line < 9; ++line) {
        const std::size_t lf = bytes.find('\n', end);
        if (lf == std::string_view::npos) {
            return bytes;
        }
        end = lf + 1;
    }
    return bytes.substr(0, end);
}

}  // namespace
}  // namespace mosfet::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace mosfet;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto line_feeds = std::count(bytes.begin(), bytes.end(), '\n');

    const fuzz::Outcome outcome = fuzz::read_all(bytes);
    if (const auto* failure = std::get_if<textio::RunFailure>(&outcome)) {
        fuzz::require(failure->statement == textio::Statement::read &&
                          failure->channel == driver::parameter_file_channel &&
                          failure->heading == textio::Heading::run_time_error &&
                          fuzz::is_reader_message(failure->message),
                      "not a reader's failure: " + fuzz::describe(outcome));
        fuzz::require(failure->message != textio::read_past_end_message || line_feeds < 9,
                      "end of file with nine lines there");
    } else {
        fuzz::require(line_feeds >= 9, "seven values from fewer than nine lines");
    }
    const fuzz::Outcome prefix_outcome = fuzz::read_all(fuzz::first_nine_lines(bytes));
    fuzz::require(fuzz::describe(prefix_outcome) == fuzz::describe(outcome),
                  "lines after the ninth changed the result: " + fuzz::describe(outcome) + " / " +
                      fuzz::describe(prefix_outcome));
    return 0;
}
