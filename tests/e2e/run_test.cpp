// End-to-end: the built tool in a fresh folder per case; files, standard output, standard error
// and exit status compared byte for byte.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tool_runner.hpp"

namespace mosfet::e2e {
namespace {

const std::string parameter_file = "MOSFET_input_data.txt";
const std::string usage_notes = "ReadMe2Use.txt";
const std::string curve_table = "MOSFET_transistor_vi.csv";
const std::string normal_exit = " Normal exit.\r\n";

const std::string default_parameter_file =
    "Data file for MOSFET model and v-i courve plotter\r\n"
    "     2.00000000000000    ,VTransition, Volts; typically 2 Volts\r\n"
    "     100.000000000000    ,V_DS_Early, Volts; typically 100 Volts\r\n"
    "    0.800000000000000E-03,K_conductance_parameter, Amp/Volt^2; from 8 X 10^(-4) to 1\r\n"
    "     1.00000000000000    ,VGDelta, Volts; difference in gate voltage for v-i plots\r\n"
    "                        6,NVGate, number of v-i plots; VG = i*VGDelta+VTransistion, "
    "i=0,NVGate\r\n"
    "     1.00000000000000    ,VDDelta, Volts; plot granularity in constant current region\r\n"
    "     20.0000000000000    ,VDmax, Volts; maximum drain voltage for v-i plots\r\n"
    "\r\n";

// A parameter file with the given seven number fields (each padded to 25 columns).
std::string parameter_file_with(const std::vector<std::string>& fields) {
    std::string text = "edited by hand\r\n";
    for (const std::string& field : fields) {
        text += field + std::string(field.size() < 25 ? 25 - field.size() : 0, ' ') + ",\r\n";
    }
    return text + "\r\n";
}

RunOptions with_arguments_given(std::vector<std::string> arguments) {
    RunOptions options;
    options.arguments = std::move(arguments);
    return options;
}

std::string diagnostic(const std::string& heading, const std::string& message,
                       const std::string& statement) {
    return "? " + heading + "\r\n? " + message + "\r\n? " + statement + ",...\n";
}

// A run that must succeed; returns the table's lines (the last element is the empty text after
// the final CR LF).
std::vector<std::string> table_of_successful_run(const ScratchFolder& folder) {
    const ToolRun run = run_tool(folder);
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(run.out, normal_exit);
    EXPECT_EQ(run.err, "");
    return crlf_lines(folder.read(curve_table));
}

TEST(FirstRun, WritesTheThreeFilesAndTheClosingLine) {
    ScratchFolder folder;
    const ToolRun run = run_tool(folder);
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out, normal_exit);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(folder.names(), (std::vector<std::string>{parameter_file, curve_table, usage_notes}));

    EXPECT_EQ(folder.read(parameter_file), default_parameter_file);
    EXPECT_EQ(folder.read(parameter_file).size(), 614U);

    const std::vector<std::string> notes = crlf_lines(folder.read(usage_notes));
    ASSERT_EQ(notes.size(), 20U);  // nineteen lines, then nothing after the last CR LF
    EXPECT_EQ(notes[3], "To use, edit the file MOSFET_input_data.txt");
    EXPECT_EQ(notes[5],
              "If the program is called and MOSFET_input_data.txt is not present, it generates a "
              "new");
    EXPECT_EQ(notes[14], "To plot the v-i curves, load the output file MOSFET_transistor_vi.csv");
    EXPECT_EQ(notes[17], "without markers.\"");
    EXPECT_EQ(notes[18], "");
    EXPECT_EQ(notes[19], "");
}

TEST(FirstRun, WritesTheDefaultCurveTable) {
    ScratchFolder folder;
    const std::vector<std::string> lines = table_of_successful_run(folder);
    ASSERT_EQ(lines.size(), 78U);  // 77 lines and the empty rest after the last CR LF
    EXPECT_EQ(lines.back(), "");
    const std::pair<int, const char*> expected[] = {
        {1, "VD V,Bound, 2.0 V, 3.0 V, 4.0 V, 5.0 V, 6.0 V, 7.0 V, 8.0 V"},
        {2, "0.000000,0.000000,0.000000,0.000000,0.000000,0.000000,0.000000,0.000000,0.000000"},
        {3, "0.100000,0.800800E-02,0.000000,0.152152,0.312312,0.472472,0.632632,0.792792,0.952952"},
        {4, "0.200000,0.320640E-01,0.000000,0.288576,0.609216,0.929856,1.25050,1.57114,1.89178"},
        {5, "0.300000,0.722160E-01,0.000000,0.409224,0.890664,1.37210,1.85354,2.33498,2.81642"},
        {62, "6.00000,30.5280,0.000000,0.848000,3.39200,7.63200,13.5680,21.2000,30.5280"},
        {63, "6.00000,30.5280,0.000000,0.848000,3.39200,7.63200,13.5680,21.2000,30.5280"},
        {64, "7.00000,,0.000000,0.856000,3.42400,7.70400,13.6960,21.4000,30.8160"},
        {77, "20.0000,,0.000000,0.960000,3.84000,8.64000,15.3600,24.0000,34.5600"},
    };
    for (const auto& [number, text] : expected) {
        SCOPED_TRACE(number);
        EXPECT_EQ(lines[static_cast<std::size_t>(number - 1)], text);
    }
    for (std::size_t i = 1; i < 77; ++i) {
        EXPECT_EQ(lines[i].find(' '), std::string::npos) << "row " << i + 1;
    }
}

// The whole default table, as it has always been written.
TEST(FirstRun, WritesTheDefaultTableByteForByte) {
    ScratchFolder folder;
    table_of_successful_run(folder);
    std::ifstream golden(MOSFET_TEST_DATA "/default_table.csv", std::ios::binary);
    const std::string expected((std::istreambuf_iterator<char>(golden)),
                               std::istreambuf_iterator<char>());
    ASSERT_EQ(expected.size(), 5710U);
    EXPECT_EQ(folder.read(curve_table), expected);
}

TEST(LaterRun, ReadsTheParameterFileAndWritesTheSameTable) {
    ScratchFolder folder;
    table_of_successful_run(folder);
    const std::string first_table = folder.read(curve_table);
    const std::string notes = folder.read(usage_notes);

    table_of_successful_run(folder);
    EXPECT_EQ(folder.read(parameter_file), default_parameter_file);
    EXPECT_EQ(folder.read(usage_notes), notes);
    EXPECT_EQ(folder.read(curve_table), first_table);
}

TEST(LaterRun, FollowsAnEditedParameterFileAndLeavesItAsSaved) {
    ScratchFolder folder;
    // Bare line feeds, comments removed, NVGate 3.
    const std::string edited =
        "\n2.0\n100.0\n0.0008\n1.0\n3\n1.0\n20.0\n\nextra lines are never read\n";
    folder.write(parameter_file, edited);
    const std::vector<std::string> lines = table_of_successful_run(folder);
    EXPECT_EQ(lines[0], "VD V,Bound, 2.0 V, 3.0 V, 4.0 V, 5.0 V");
    EXPECT_EQ(lines[1], "0.000000,0.000000,0.000000,0.000000,0.000000,0.000000");
    EXPECT_EQ(folder.read(parameter_file), edited);
    EXPECT_FALSE(folder.exists(usage_notes));
}

TEST(LaterRun, KeepsADeletedUsageNotesFileAbsent) {
    ScratchFolder folder;
    table_of_successful_run(folder);
    std::filesystem::remove(folder / usage_notes);
    table_of_successful_run(folder);
    EXPECT_FALSE(folder.exists(usage_notes));
}

TEST(FirstRun, RewritesAnOldUsageNotesFileFromItsStart) {
    ScratchFolder folder;
    table_of_successful_run(folder);
    const std::string notes = folder.read(usage_notes);
    std::filesystem::remove(folder / parameter_file);
    folder.write(usage_notes, notes + std::string(5000, 'x'));
    table_of_successful_run(folder);
    EXPECT_EQ(folder.read(usage_notes), notes);
    EXPECT_EQ(folder.read(parameter_file), default_parameter_file);
}

TEST(Run, IgnoresCommandLineArguments) {
    ScratchFolder plain;
    ScratchFolder with_arguments;
    table_of_successful_run(plain);
    const ToolRun run =
        run_tool(with_arguments, with_arguments_given({"--help", "-x", "file.txt"}));
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out, normal_exit);
    EXPECT_EQ(with_arguments.read(curve_table), plain.read(curve_table));
}

TEST(Run, CutsAStaleLongerCurveTable) {
    ScratchFolder folder;
    table_of_successful_run(folder);
    const std::string table = folder.read(curve_table);
    folder.write(curve_table, table + std::string(100000, 'z'));
    table_of_successful_run(folder);
    EXPECT_EQ(folder.read(curve_table), table);
}

struct UnreadableParameterFile {
    const char* name;
    std::string content;
    std::string message;
};

TEST(LaterRun, StopsOnAnUnreadableParameterFileLeavingEverythingAsItWas) {
    const std::string eight_lines = default_parameter_file.substr(0, 612);
    const UnreadableParameterFile cases[] = {
        {"empty file", "", "Attempt to read past end of file"},
        {"ninth line removed", eight_lines, "Attempt to read past end of file"},
        {"eighth line without its line feed", eight_lines.substr(0, 610),
         "Attempt to read past end of file"},
        {"unit after the value",
         parameter_file_with({"2.0 V", "100.0", "0.0008", "1.0", "6", "1.0", "20.0"}),
         "Illegal character in numeric input"},
        {"decimal point in NVGate",
         parameter_file_with({"2.0", "100.0", "0.0008", "1.0", "6.0", "1.0", "20.0"}),
         "Illegal character in numeric input"},
        {"header line removed", default_parameter_file.substr(51),
         "Illegal character in numeric input"},
        {"NVGate beyond 32 bits",
         parameter_file_with({"2.0", "100.0", "0.0008", "1.0", "4294967302", "1.0", "20.0"}),
         "Integer overflow in numeric input"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        folder.write(parameter_file, c.content);
        folder.write(curve_table, "an earlier table\r\n");
        const ToolRun run = run_tool(folder);
        EXPECT_EQ(run.exit_status, 255);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, diagnostic("Run-Time Error:", c.message, "READ(UNIT=11"));
        EXPECT_EQ(folder.read(parameter_file), c.content);
        EXPECT_EQ(folder.read(curve_table), "an earlier table\r\n");
        EXPECT_FALSE(folder.exists(usage_notes));
    }
}

TEST(FirstRun, StopsAtAFolderNamedLikeTheParameterFile) {
    ScratchFolder folder;
    std::filesystem::create_directory(folder / parameter_file);
    const ToolRun run = run_tool(folder);
    EXPECT_EQ(run.exit_status, 255);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, diagnostic("System Error:", "Access Denied.", "OPEN(UNIT=11"));
    EXPECT_EQ(folder.names(), std::vector<std::string>{parameter_file});
}

TEST(LaterRun, StopsAtAReadOnlyParameterFile) {
    ScratchFolder folder;
    folder.write(parameter_file, default_parameter_file);
    std::filesystem::permissions(folder / parameter_file, std::filesystem::perms::owner_read |
                                                              std::filesystem::perms::group_read |
                                                              std::filesystem::perms::others_read);
    const ToolRun run = run_tool(folder, as_nobody());
    EXPECT_EQ(run.exit_status, 255);
    EXPECT_EQ(run.err, diagnostic("System Error:", "Access Denied.", "OPEN(UNIT=11"));
    EXPECT_EQ(folder.names(), std::vector<std::string>{parameter_file});
    EXPECT_EQ(folder.read(parameter_file), default_parameter_file);
}

TEST(FirstRun, StopsAtAReadOnlyUsageNotesFileAfterWritingTheParameterFile) {
    ScratchFolder folder;
    folder.write(usage_notes, "kept\r\n");
    std::filesystem::permissions(folder / usage_notes, std::filesystem::perms::owner_read |
                                                           std::filesystem::perms::others_read);
    const ToolRun run = run_tool(folder, as_nobody());
    EXPECT_EQ(run.exit_status, 255);
    EXPECT_EQ(run.err, diagnostic("System Error:", "Access Denied.", "OPEN(UNIT=12"));
    EXPECT_EQ(folder.read(parameter_file), default_parameter_file);
    EXPECT_EQ(folder.read(usage_notes), "kept\r\n");
    EXPECT_FALSE(folder.exists(curve_table));

    // The next run finds the parameter file and never writes the usage notes.
    const ToolRun next = run_tool(folder, as_nobody());
    EXPECT_EQ(next.exit_status, 0) << next.err;
    EXPECT_EQ(folder.read(usage_notes), "kept\r\n");
    EXPECT_TRUE(folder.exists(curve_table));
}

TEST(CurveTable, ReportsAFullDiskOnChannel10) {
    ScratchFolder folder;
    std::filesystem::create_symlink("/dev/full", folder / curve_table);
    const ToolRun run = run_tool(folder);
    EXPECT_EQ(run.exit_status, 255);
    EXPECT_EQ(run.out, "");
    // /dev/full is not a disk file, so each line is written at once: the header fails.
    EXPECT_EQ(run.err, diagnostic("System Error:", "There is not enough space on the disk.",
                                  "WRITE(UNIT=10"));
    EXPECT_EQ(folder.read(parameter_file), default_parameter_file);
    EXPECT_EQ(crlf_lines(folder.read(usage_notes)).size(), 20U);
}

TEST(CurveTable, KeepsWhatWasWrittenBeforeAFileSizeLimit) {
    // A table of about 100 kB: several buffers' worth.
    const std::string parameters =
        parameter_file_with({"2.0", "100.0", "0.0008", "1.0", "6", "0.01", "20.0"});
    ScratchFolder unlimited;
    unlimited.write(parameter_file, parameters);
    table_of_successful_run(unlimited);
    const std::string whole = unlimited.read(curve_table);
    ASSERT_GT(whole.size(), 60000U);

    ScratchFolder limited;
    limited.write(parameter_file, parameters);
    const ToolRun run = run_tool(limited, with_file_size_limit(50000));
    EXPECT_EQ(run.exit_status, 255);
    EXPECT_EQ(run.terminating_signal, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, diagnostic("System Error:", "There is not enough space on the disk.",
                                  "WRITE(UNIT=10"));
    EXPECT_EQ(limited.read(curve_table), whole.substr(0, 50000));
}

// Mended: every row carries all of its currents and the header is one line, however many
// curves there are.
TEST(CurveTable, WritesEveryCurrentOfEveryRowBeyondTwentyCurves) {
    ScratchFolder folder;
    folder.write(parameter_file,
                 parameter_file_with({"2.0", "100.0", "0.0008", "1.0", "20", "1.0", "30.0"}));
    const std::vector<std::string> lines = table_of_successful_run(folder);
    std::string header = "VD V,Bound";
    for (int vg = 2; vg <= 22; ++vg) {
        header += (vg < 10 ? ", " : ",") + std::to_string(vg) + ".0 V";
    }
    EXPECT_EQ(lines[0], header);
    const auto commas = [](const std::string& line) {
        return std::count(line.begin(), line.end(), ',');
    };
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        SCOPED_TRACE(lines[i]);
        EXPECT_EQ(commas(lines[i]), 22);  // VD, Bound (or empty), 21 currents
    }
    EXPECT_EQ(lines[lines.size() - 2],
              "30.0000,,0.000000,1.04000,4.16000,9.36000,16.6400,26.0000,37.4400,50.9600,66.5600,"
              "84.2400,104.000,125.840,149.760,175.760,203.840,234.000,266.240,300.560,336.960,"
              "375.440,416.000");
}

TEST(CurveTable, RefusesAnEndlessSweepBeforeTouchingTheTable) {
    struct Case {
        const char* name;
        std::vector<std::string> fields;
    };
    const Case cases[] = {
        {"VDDelta zero", {"2.0", "100.0", "0.0008", "1.0", "6", "0.0", "20.0"}},
        {"VDDelta negative", {"2.0", "100.0", "0.0008", "1.0", "6", "-1.0", "20.0"}},
        {"negative VGDelta, NVGate 0", {"2.0", "100.0", "0.0008", "-1.0", "0", "1.0", "20.0"}},
        {"VDDelta far too small", {"2.0", "100.0", "0.0008", "1.0", "6", "1.0E-300", "20.0"}},
        {"infinite VDmax", {"2.0", "100.0", "0.0008", "1.0", "6", "1.0", "1E99999999999"}},
        {"ends after 1e15 silent steps",
         {"2.0", "100.0", "0.0008", "1.0E6", "1", "1.0E-9", "20.0"}},
        {"too many steps", {"2.0", "100.0", "0.0008", "1.0", "6", "1.0E-8", "20.0"}},
        {"too many numbers", {"2.0", "100.0", "0.0008", "0.0", "100000", "0.001", "20.0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        folder.write(parameter_file, parameter_file_with(c.fields));
        folder.write(curve_table, "an earlier table\r\n");
        const ToolRun run = run_tool(folder);
        EXPECT_EQ(run.exit_status, 255);
        EXPECT_EQ(run.out, "");
        const std::vector<std::string> err = crlf_lines(run.err);
        ASSERT_EQ(err.size(), 3U) << run.err;
        EXPECT_EQ(err[0], "? Run-Time Error:");
        EXPECT_NE(err[1].find("V"), std::string::npos) << "names a parameter";
        EXPECT_EQ(err[2], "? OPEN(UNIT=10,...\n");
        EXPECT_EQ(folder.read(curve_table), "an earlier table\r\n");
    }
}

// The closing line is written like any other line: when standard output is closed, or a pipe
// nobody reads, the run does not die of a signal; every file is complete, and the failed write
// is reported on standard output's channel with the system's text for the error.
TEST(ClosingLine, FailsThroughTheDiagnosticWhenStandardOutputCannotBeWritten) {
    ScratchFolder normal;
    table_of_successful_run(normal);
    struct Case {
        const char* name;
        RunOptions options;
        int error;
    };
    RunOptions closed;
    closed.close_standard_output = true;
    RunOptions broken_pipe;
    broken_pipe.standard_output_to_closed_pipe = true;
    const Case cases[] = {
        {"standard output closed", closed, EBADF},
        {"pipe nobody reads", broken_pipe, EPIPE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        const ToolRun run = run_tool(folder, c.options);
        EXPECT_EQ(run.terminating_signal, 0);
        EXPECT_EQ(run.exit_status, 255);
        EXPECT_EQ(run.err, diagnostic("System Error:", std::strerror(c.error), "WRITE(UNIT=*"));
        EXPECT_EQ(folder.names(), normal.names());
        for (const std::string& name : normal.names()) {
            EXPECT_EQ(folder.read(name), normal.read(name)) << name;
        }
    }
}

// A parameter file that never ends a line (a link to a device that gives zeros for ever) is
// refused once the line passes the reader's bound, instead of taking all memory.
TEST(LaterRun, StopsAtAParameterFileThatNeverEndsALine) {
    ScratchFolder folder;
    std::filesystem::create_symlink("/dev/zero", folder / parameter_file);
    folder.write(curve_table, "an earlier table\r\n");
    const ToolRun run = run_tool(folder);
    EXPECT_EQ(run.exit_status, 255);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, diagnostic("Run-Time Error:", "Buffer allocation failed", "READ(UNIT=11"));
    EXPECT_EQ(folder.read(curve_table), "an earlier table\r\n");
    EXPECT_FALSE(folder.exists(usage_notes));
}

// A named pipe called like the parameter file, with nobody writing to it: it can be opened for
// reading, so the run takes the read path, and it ends at once instead of waiting for ever.
TEST(LaterRun, StopsAtANamedPipeNobodyWritesTo) {
    ScratchFolder folder;
    ASSERT_EQ(mkfifo((folder / parameter_file).c_str(), 0666), 0);
    folder.write(curve_table, "an earlier table\r\n");
    const ToolRun run = run_tool(folder);
    EXPECT_EQ(run.exit_status, 255);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              diagnostic("Run-Time Error:", "Attempt to read past end of file", "READ(UNIT=11"));
    EXPECT_EQ(folder.read(curve_table), "an earlier table\r\n");
    EXPECT_FALSE(folder.exists(usage_notes));
}

// A named pipe called like the curve table with nobody reading it is opened for reading only:
// the first line cannot be written, and the run ends there instead of waiting for ever once the
// pipe is full (this table is far larger than a pipe holds).
TEST(CurveTable, StopsAtANamedPipeNobodyReads) {
    ScratchFolder folder;
    folder.write(parameter_file,
                 parameter_file_with({"2.0", "100.0", "0.0008", "1.0", "6", "0.01", "20.0"}));
    ASSERT_EQ(mkfifo((folder / curve_table).c_str(), 0666), 0);
    const ToolRun run = run_tool(folder);
    EXPECT_EQ(run.exit_status, 255);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, diagnostic("System Error:", std::strerror(EBADF), "WRITE(UNIT=10"));
}

#if !defined(__SANITIZE_ADDRESS__)
// Mended: nothing grows with the number of rows or curves.
TEST(CurveTable, KeepsMemorySmallForManyCurvesAndRows) {
    ScratchFolder folder;
    folder.write(parameter_file,
                 parameter_file_with({"2.0", "100.0", "0.0008", "0.0", "200000", "1.0", "5.0"}));
    const ToolRun run = run_tool(folder);
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_LT(run.peak_resident_kib, 16 * 1024);
}
#endif

}  // namespace
}  // namespace mosfet::e2e
