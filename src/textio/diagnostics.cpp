#include "textio/diagnostics.hpp"

#include <cerrno>
#include <cstring>

namespace mosfet::textio {
namespace {

std::string_view statement_name(Statement statement) {
    switch (statement) {
        case Statement::inquire:
            return "INQUIRE";
        case Statement::open:
            return "OPEN";
        case Statement::write:
            return "WRITE";
        case Statement::read:
            return "READ";
        case Statement::close:
            break;
    }
    return "CLOSE";
}

}  // namespace

std::string diagnostic_text(const RunFailure& failure) {
    const std::string_view heading =
        failure.heading == Heading::system_error ? system_error_heading : run_time_error_heading;
    std::string text;
    text.append("? ").append(heading).append("\r\n");
    text.append("? ").append(failure.message).append("\r\n");
    text.append("? ").append(statement_name(failure.statement)).append("(UNIT=");
    text.append(failure.channel ? std::to_string(*failure.channel) : std::string("*"));
    // The third line ends with a bare line feed, unlike the other two.
    text.append(",...\n");
    return text;
}

std::string system_error_text(int errno_value) {
    switch (errno_value) {
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
            return "Access Denied.";
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return "There is not enough space on the disk.";
        default:
            break;
    }
    return std::strerror(errno_value);
}

void raise_failure(Statement statement, std::optional<std::int32_t> channel,
                   std::string_view message) {
    throw RunFailure{statement, channel, Heading::run_time_error, std::string(message)};
}

void raise_system_failure(Statement statement, std::optional<std::int32_t> channel,
                          int errno_value) {
    throw RunFailure{statement, channel, Heading::system_error, system_error_text(errno_value)};
}

}  // namespace mosfet::textio
