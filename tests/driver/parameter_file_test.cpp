#include "driver/parameter_file.hpp"

#include <gtest/gtest.h>

#include <string>

#include "textio/diagnostics.hpp"

namespace mosfet::driver {
namespace {

std::string joined(const std::vector<std::string>& lines, const std::string& terminator) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + terminator;
    }
    return text;
}

RunParameters read_text(const std::string& bytes) {
    textio::LineReader reader(parameter_file_channel, bytes);
    return read_parameter_file(reader);
}

void expect_same(const RunParameters& a, const RunParameters& b) {
    EXPECT_EQ(a.VTransition, b.VTransition);
    EXPECT_EQ(a.V_DS_Early, b.V_DS_Early);
    EXPECT_EQ(a.K_conductance_parameter, b.K_conductance_parameter);
    EXPECT_EQ(a.VGDelta, b.VGDelta);
    EXPECT_EQ(a.NVGate, b.NVGate);
    EXPECT_EQ(a.VDDelta, b.VDDelta);
    EXPECT_EQ(a.VDmax, b.VDmax);
}

TEST(ParameterFileLines, DefaultFileHasNineLinesWithFieldsOf25Columns) {
    const std::vector<std::string> lines = parameter_file_lines(RunParameters{});
    const std::vector<std::string> expected = {
        "Data file for MOSFET model and v-i courve plotter",
        "     2.00000000000000    ,VTransition, Volts; typically 2 Volts",
        "     100.000000000000    ,V_DS_Early, Volts; typically 100 Volts",
        "    0.800000000000000E-03,K_conductance_parameter, Amp/Volt^2; from 8 X 10^(-4) to 1",
        "     1.00000000000000    ,VGDelta, Volts; difference in gate voltage for v-i plots",
        "                        6,NVGate, number of v-i plots; VG = i*VGDelta+VTransistion, "
        "i=0,NVGate",
        "     1.00000000000000    ,VDDelta, Volts; plot granularity in constant current region",
        "     20.0000000000000    ,VDmax, Volts; maximum drain voltage for v-i plots",
        "",
    };
    EXPECT_EQ(lines, expected);
    const std::size_t lengths[] = {49, 63, 64, 84, 82, 94, 85, 75, 0};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].size(), lengths[i]) << "line " << i + 1;
    }
    EXPECT_EQ(joined(lines, "\r\n").size(), 614U);
}

// Values with at most fifteen significant digits and small exponents come back exactly.
TEST(ReadParameterFile, ReadsBackWhatWasWritten) {
    const RunParameters samples[] = {
        RunParameters{},
        {-1.5, 0.0, 0.00125, 0.3, -7, 123456789.0, 1.0e20},
        {0.1, 1.0e15, 0.999999999999999, 1.0e-3, 2147483647, 0.005, 0.0},
    };
    for (const RunParameters& p : samples) {
        SCOPED_TRACE(p.NVGate);
        expect_same(read_text(joined(parameter_file_lines(p), "\r\n")), p);
    }
}

TEST(ReadParameterFile, ToleratesWhatAHandEditorDoes) {
    const std::string written = joined(parameter_file_lines(RunParameters{}), "\r\n");
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"bare line feeds", joined(parameter_file_lines(RunParameters{}), "\n")},
        {"more than nine lines", written + "a tenth line\r\nand more"},
        {"comments and header edited",
         "my transistor\n2.0,a\n100.0,b\n0.0008,c\n1.0,d\n6,e\n1.0,f\n20.0,g\n\n"},
        {"value followed at once by the comma",
         "\n2.,x\n100.,x\n8.E-4,x\n1.,x\n6,x\n1.,x\n20.,x\n\n"},
        {"tabs and blanks around values", "\n\t2.0\n 100.0 \n0.0008\n1. 0\n 6\n1.0\n2 0.0\n\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        expect_same(read_text(c.bytes), RunParameters{});
    }
}

TEST(ReadParameterFile, ReadsNumbersWithoutAPointAsFifteenImpliedDecimals) {
    const RunParameters p = read_text("\n2.0\n100.0\n0.0008\n3\n\n1.0\n20.0\n\n");
    EXPECT_EQ(p.VGDelta, 3e-15);
    EXPECT_EQ(p.NVGate, 0);  // an all-blank integer field
}

TEST(ReadParameterFile, FailsOnShortOrMalformedFiles) {
    const std::string written = joined(parameter_file_lines(RunParameters{}), "\r\n");
    struct Case {
        const char* name;
        std::string bytes;
        std::string_view message;
    };
    const Case cases[] = {
        {"empty", "", textio::read_past_end_message},
        {"ninth line missing", written.substr(0, written.size() - 2),
         textio::read_past_end_message},
        {"eighth line without its line feed", written.substr(0, written.size() - 3),
         textio::read_past_end_message},
        {"header removed: NVGate taken from the VDDelta line", written.substr(51),
         textio::illegal_character_message},
        {"unit after a value", "\n2.0 V\n100.0\n0.0008\n1.0\n6\n1.0\n20.0\n\n",
         textio::illegal_character_message},
        {"decimal point in NVGate", "\n2.0\n100.0\n0.0008\n1.0\n6.0\n1.0\n20.0\n\n",
         textio::illegal_character_message},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            read_text(c.bytes);
            ADD_FAILURE() << "read without failure";
        } catch (const textio::RunFailure& failure) {
            EXPECT_EQ(failure.statement, textio::Statement::read);
            EXPECT_EQ(failure.channel, parameter_file_channel);
            EXPECT_EQ(failure.message, c.message);
        }
    }
}

}  // namespace
}  // namespace mosfet::driver
