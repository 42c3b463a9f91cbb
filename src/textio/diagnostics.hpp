#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The run-time diagnostic that ends a failed run: three lines on standard error,
//
//   "? <heading>"                    CR LF
//   "? <message>"                    CR LF
//   "? <STATEMENT>(UNIT=<channel>,..." LF      (channel "*" for standard output)
//
// for example "? Run-Time Error:", "? Attempt to read past end of file", "? READ(UNIT=11,...".
// Failures travel as a thrown RunFailure up to the run driver, which hands it to fail_run.

namespace mosfet::textio {

enum class Statement { inquire, open, write, read, close };
enum class Heading { run_time_error, system_error };

inline constexpr std::string_view run_time_error_heading = "Run-Time Error:";
inline constexpr std::string_view system_error_heading = "System Error:";

// The system's own messages.
inline constexpr std::string_view read_past_end_message = "Attempt to read past end of file";
inline constexpr std::string_view illegal_character_message = "Illegal character in numeric input";
inline constexpr std::string_view integer_overflow_message = "Integer overflow in numeric input";
inline constexpr std::string_view buffer_allocation_message = "Buffer allocation failed";
inline constexpr std::string_view bad_file_specification_message = "Bad file specification";

struct RunFailure {
    Statement statement = Statement::write;
    std::optional<std::int32_t> channel;  // nothing: standard output, shown as "*"
    Heading heading = Heading::run_time_error;
    std::string message;
};

// The whole diagnostic text, all three lines with their terminators.
std::string diagnostic_text(const RunFailure& failure);

// The operating system's error as the diagnostic words it: access refused is "Access Denied.",
// a full disk or a file-size limit "There is not enough space on the disk.", anything else the
// system's own text for the error.
std::string system_error_text(int errno_value);

// Throw a RunFailure: one of the system's own messages, or an operating-system error.
[[noreturn]] void raise_failure(Statement statement, std::optional<std::int32_t> channel,
                                std::string_view message);
[[noreturn]] void raise_system_failure(Statement statement, std::optional<std::int32_t> channel,
                                       int errno_value);

}  // namespace mosfet::textio
