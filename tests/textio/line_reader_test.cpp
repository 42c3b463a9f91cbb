#include "textio/line_reader.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "textio/diagnostics.hpp"

namespace mosfet::textio {
namespace {

constexpr std::int32_t parameter_channel = 11;

// Runs `action` and checks that it fails as a READ on the parameter channel with `message`.
void expect_read_failure(const std::function<void()>& action, std::string_view message) {
    try {
        action();
        ADD_FAILURE() << "no failure, expected \"" << message << "\"";
    } catch (const RunFailure& failure) {
        EXPECT_EQ(failure.statement, Statement::read);
        EXPECT_EQ(failure.channel, parameter_channel);
        EXPECT_EQ(failure.heading, Heading::run_time_error);
        EXPECT_EQ(failure.message, message);
    }
}

// All lines of `bytes`, read until the reader fails at the end of the file.
std::vector<std::string> read_all_lines(std::string_view bytes) {
    LineReader reader(parameter_channel, bytes);
    std::vector<std::string> lines;
    try {
        reader.begin_read();
        for (;;) {
            lines.emplace_back(reader.current_line());
            reader.next_line();
        }
    } catch (const RunFailure& failure) {
        EXPECT_EQ(failure.message, read_past_end_message);
    }
    return lines;
}

struct LinesCase {
    std::string bytes;
    std::vector<std::string> lines;
};

TEST(LineReader, LineFeedEndsALineCarriageReturnsAreDroppedTabsGoToTheNextStop) {
    const std::vector<LinesCase> cases = {
        {"ab\r\ncd\r\n", {"ab", "cd"}},
        {"ab\ncd\n", {"ab", "cd"}},
        {"\r\n\n", {"", ""}},
        {"a\rb\r\r\n", {"ab"}},
        {"\rab\n", {"ab"}},
        {"\tx\n", {"        x"}},
        {"abc\tx\n", {"abc     x"}},
        {"abcdefg\tx\n", {"abcdefg x"}},
        {"abcdefgh\tx\n", {"abcdefgh        x"}},
        {"\t\tx\n", {std::string(16, ' ') + "x"}},
        // A dropped carriage return takes no column.
        {"ab\r\tx\n", {"ab      x"}},
        // Every other byte is kept as it is.
        {std::string("a\0b\x7f\xff\f\n", 7), {std::string("a\0b\x7f\xff\f", 6)}},
        // Bytes after the last line feed are no line.
        {"ab\ncd", {"ab"}},
        {"ab\ncd\r", {"ab"}},
        {"", {}},
        {"ab", {}},
    };
    for (const LinesCase& c : cases) {
        SCOPED_TRACE("file \"" + c.bytes + "\"");
        EXPECT_EQ(read_all_lines(c.bytes), c.lines);
    }
}

TEST(LineReader, EndOfFileBeforeTheLineFeedFailsEvenWithCharactersCollected) {
    expect_read_failure(
        [] {
            LineReader reader(parameter_channel, "");
            reader.begin_read();
        },
        read_past_end_message);
    expect_read_failure(
        [] {
            LineReader reader(parameter_channel, "2.5");
            reader.begin_read();
        },
        read_past_end_message);
    // Reads are eager: next_line needs a whole line even when nothing is taken from it.
    expect_read_failure(
        [] {
            LineReader reader(parameter_channel, "header\n2.5\n");
            reader.begin_read();
            reader.next_line();
            EXPECT_EQ(reader.read_general_field(25, 15), 2.5);
            reader.next_line();
        },
        read_past_end_message);
}

TEST(LineReader, LinesLongerThanTheReadChunkAreWhole) {
    // The file is taken in 64 KiB chunks: the first line's CR LF is split between two chunks and
    // the longer lines span several.
    const std::string first(65535, 'a');
    const std::string second = "\t" + std::string(70000, 'b');
    const std::string third(10'000'000, 'c');
    const std::string bytes = first + "\r\n" + second + "\r\n" + third + "\n2.5\n";
    LineReader reader(parameter_channel, bytes);
    reader.begin_read();
    EXPECT_EQ(reader.current_line(), first);
    reader.next_line();
    EXPECT_EQ(reader.current_line(), "        " + second.substr(1));
    reader.next_line();
    EXPECT_EQ(reader.current_line(), third);
    reader.next_line();
    EXPECT_EQ(reader.read_general_field(25, 15), 2.5);
}

// A line may be as long as max_line_length, counted both in bytes taken from the file and in
// characters after tab expansion; one more is refused as a failed buffer allocation, so a file
// that never ends a line cannot take all memory.
TEST(LineReader, LinesBeyondTheLengthBoundFailAsABufferAllocation) {
    const std::string longest(max_line_length, 'x');
    {
        const std::string bytes = longest + "\n2.5\n";
        LineReader reader(parameter_channel, bytes);
        reader.begin_read();
        EXPECT_EQ(reader.current_line().size(), max_line_length);
        reader.next_line();
        EXPECT_EQ(reader.read_general_field(25, 15), 2.5);
    }
    const std::vector<std::pair<const char*, std::string>> refused = {
        {"one byte more", longest + "x\n"},
        {"one byte more, no line feed yet", longest + "x"},
        {"carriage returns, taken though dropped", longest + "\r\n"},
        {"tabs that expand beyond the bound", std::string(max_line_length / 8 + 1, '\t') + "\n"},
    };
    for (const auto& [name, bytes] : refused) {
        SCOPED_TRACE(name);
        expect_read_failure(
            [&bytes] {
                LineReader reader(parameter_channel, bytes);
                reader.begin_read();
            },
            buffer_allocation_message);
    }
}

TEST(LineReader, FieldsFollowOneAnotherAlongTheLineAndRestartOnTheNextLine) {
    LineReader reader(parameter_channel, "1.5,2.5\n\t3.5\n  7,8\n");
    reader.begin_read();
    EXPECT_EQ(reader.read_general_field(25, 15), 1.5);
    EXPECT_EQ(reader.read_general_field(25, 15), 2.5);
    // Past the end of the line the field is empty.
    EXPECT_EQ(reader.read_general_field(25, 15), 0.0);
    reader.next_line();
    // The tab fills the first 8 columns.
    EXPECT_EQ(reader.read_general_field(8, 15), 0.0);
    EXPECT_EQ(reader.read_general_field(25, 15), 3.5);
    reader.next_line();
    EXPECT_EQ(reader.read_integer_field(25), 7);
    EXPECT_EQ(reader.read_integer_field(25), 8);
}

TEST(LineReader, FieldFailuresAreReadFailuresOfTheChannel) {
    const struct {
        std::string line;
        bool integer_field;
        std::string_view message;
    } cases[] = {
        {"2.0 V", false, illegal_character_message},
        {"abc", false, illegal_character_message},
        {"$2,comment", false, illegal_character_message},
        {"6.0", true, illegal_character_message},
        {"six", true, illegal_character_message},
        {"2147483648", true, integer_overflow_message},
        {"4294967302", true, integer_overflow_message},
        {"-2147483649", true, integer_overflow_message},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const std::string bytes = c.line + "\n";
        expect_read_failure(
            [&bytes, &c] {
                LineReader reader(parameter_channel, bytes);
                reader.begin_read();
                if (c.integer_field) {
                    reader.read_integer_field(25);
                } else {
                    reader.read_general_field(25, 15);
                }
            },
            c.message);
    }
}

// The parameter file as the tool writes it, with CR LF line ends.
std::string default_parameter_file() {
    const std::vector<std::string> lines = {
        "Data file for MOSFET model and v-i courve plotter",
        "     2.00000000000000    ,VTransition, Volts; typically 2 Volts",
        "     100.000000000000    ,V_DS_Early, Volts; typically 100 Volts",
        "    0.800000000000000E-03,K_conductance_parameter, Amp/Volt^2; from 8 X 10^(-4) to 1",
        "     1.00000000000000    ,VGDelta, Volts; difference in gate voltage for v-i plots",
        std::string(24, ' ') +
            "6,NVGate, number of v-i plots; VG = i*VGDelta+VTransistion, i=0,NVGate",
        "     1.00000000000000    ,VDDelta, Volts; plot granularity in constant current region",
        "     20.0000000000000    ,VDmax, Volts; maximum drain voltage for v-i plots",
        "",
    };
    std::string bytes;
    for (const std::string& line : lines) {
        bytes += line + "\r\n";
    }
    return bytes;
}

TEST(LineReader, TheDefaultParameterFileReadsBackItsExactValues) {
    const std::string bytes = default_parameter_file();
    ASSERT_EQ(bytes.size(), 614U);
    LineReader reader(parameter_channel, bytes);
    reader.begin_read();
    std::vector<double> reals;
    for (int i = 0; i < 4; ++i) {
        reader.next_line();
        reals.push_back(reader.read_general_field(25, 15));
    }
    reader.next_line();
    EXPECT_EQ(reader.read_integer_field(25), 6);
    for (int i = 0; i < 2; ++i) {
        reader.next_line();
        reals.push_back(reader.read_general_field(25, 15));
    }
    reader.next_line();
    const std::vector<double> expected = {2.0, 100.0, 0x1.a36e2eb1c432dp-11, 1.0, 1.0, 20.0};
    ASSERT_EQ(reals.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(reals[i]),
                  std::bit_cast<std::uint64_t>(expected[i]));
    }
    EXPECT_EQ(reals[2], 0.0008);
}

TEST(LineReader, WithoutTheHeaderTheIntegerFieldMeetsADecimalPoint) {
    const std::string bytes = default_parameter_file();
    const std::string shifted = bytes.substr(bytes.find('\n') + 1);
    expect_read_failure(
        [&shifted] {
            LineReader reader(parameter_channel, shifted);
            reader.begin_read();
            for (int i = 0; i < 4; ++i) {
                reader.next_line();
                reader.read_general_field(25, 15);
            }
            reader.next_line();
            reader.read_integer_field(25);
        },
        illegal_character_message);
}

}  // namespace
}  // namespace mosfet::textio
