#include "textio/diagnostics.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace mosfet::textio {
namespace {

TEST(DiagnosticText, IsThreeLinesWithABareLineFeedLast) {
    const RunFailure failure{Statement::read, 11, Heading::run_time_error,
                             std::string(read_past_end_message)};
    EXPECT_EQ(diagnostic_text(failure),
              "? Run-Time Error:\r\n"
              "? Attempt to read past end of file\r\n"
              "? READ(UNIT=11,...\n");
}

TEST(DiagnosticText, NamesEveryStatementAndChannel) {
    struct Case {
        Statement statement;
        std::optional<std::int32_t> channel;
        const char* third_line;
    };
    const Case cases[] = {
        {Statement::inquire, 11, "? INQUIRE(UNIT=11,...\n"},
        {Statement::open, 10, "? OPEN(UNIT=10,...\n"},
        {Statement::write, 12, "? WRITE(UNIT=12,...\n"},
        {Statement::close, -7, "? CLOSE(UNIT=-7,...\n"},
        {Statement::write, std::nullopt, "? WRITE(UNIT=*,...\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.third_line);
        const std::string text =
            diagnostic_text(RunFailure{c.statement, c.channel, Heading::system_error, "x"});
        EXPECT_EQ(text, std::string("? System Error:\r\n? x\r\n") + c.third_line);
    }
}

TEST(SystemErrorText, MapsAccessAndSpaceErrorsToTheirTexts) {
    for (int e : {EACCES, EPERM, EISDIR, EROFS}) {
        EXPECT_EQ(system_error_text(e), "Access Denied.") << e;
    }
    for (int e : {ENOSPC, EDQUOT, EFBIG}) {
        EXPECT_EQ(system_error_text(e), "There is not enough space on the disk.") << e;
    }
    EXPECT_EQ(system_error_text(ENOENT), std::strerror(ENOENT));
}

TEST(RaiseFailure, CarriesHeadingAndMessage) {
    try {
        raise_system_failure(Statement::open, 11, EACCES);
        FAIL() << "no throw";
    } catch (const RunFailure& f) {
        EXPECT_EQ(f.heading, Heading::system_error);
        EXPECT_EQ(f.message, "Access Denied.");
        EXPECT_EQ(f.channel, 11);
    }
}

}  // namespace
}  // namespace mosfet::textio
