// The fault matrix: for each file the tool opens (channel 10 the curve table, 11 the parameter
// file, written on a first run and read on a later one, 12 the usage notes) and each operation
// on it, a failure of that operation ends the run with exit status 255 and the right diagnostic,
// the files finished before it are complete, and no later file is touched.
//
// Real faults wherever the machine gives them: a folder or a link into a missing folder in place
// of a file, permissions with privileges dropped, /dev/full, a file-size limit, /proc/self/mem
// (which fails every read at its first byte). Only a failing close(2) and an I/O error on a
// write come from the file layer's test hook, with the whole run in a forked child.
//
// The parameter file and the usage notes are far smaller than the 8192-byte output buffer, so
// their bytes reach the disk only at the close: a failing write(2) on them is reported as CLOSE.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "driver/run.hpp"
#include "textio/fault_injection.hpp"
#include "textio/files.hpp"
#include "tool_runner.hpp"

namespace mosfet::e2e {
namespace {

namespace fs = std::filesystem;

const std::string parameter_file = "MOSFET_input_data.txt";
const std::string usage_notes = "ReadMe2Use.txt";
const std::string curve_table = "MOSFET_transistor_vi.csv";

const std::string full_disk = "There is not enough space on the disk.";
const std::string access_denied = "Access Denied.";
const std::string io_error = std::strerror(EIO);
const std::string no_such_file = std::strerror(ENOENT);

// What earlier runs left, which a failing run must not touch.
const std::string old_notes = "old usage notes\r\n";
const std::string old_table = "an earlier table\r\n";

// A parameter file whose table (about 24 kB) takes several output buffers.
const std::string long_table_parameters =
    "long table\r\n2.0,\r\n100.0,\r\n0.0008,\r\n1.0,\r\n6,\r\n0.05,\r\n20.0,\r\n\r\n";

// The three files of a successful run in an empty folder, and the table of a run on
// long_table_parameters.
struct Reference {
    std::string parameters;
    std::string notes;
    std::string table;
    std::string long_table;
};

const Reference& reference() {
    static const Reference files = [] {
        ScratchFolder first;
        EXPECT_EQ(run_tool(first).exit_status, 0);
        ScratchFolder long_run;
        long_run.write(parameter_file, long_table_parameters);
        EXPECT_EQ(run_tool(long_run).exit_status, 0);
        return Reference{first.read(parameter_file), first.read(usage_notes),
                         first.read(curve_table), long_run.read(curve_table)};
    }();
    return files;
}

// The whole run in a forked child of this test, in `folder`, with the fault injected.
ToolRun run_with_injected_fault(const ScratchFolder& folder, const textio::InjectedFault& fault) {
    ScratchFolder capture;
    const fs::path out_path = capture / "stdout";
    const fs::path err_path = capture / "stderr";
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (out < 0 || err < 0 || chdir(folder.path().c_str()) != 0 || dup2(out, 1) < 0 ||
            dup2(err, 2) < 0) {
            _exit(127);
        }
        textio::inject_fault(fault);
        _exit(driver::run());
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    ToolRun run;
    if (WIFEXITED(status)) {
        run.exit_status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        run.terminating_signal = WTERMSIG(status);
    }
    run.out = capture.read("stdout");
    run.err = capture.read("stderr");
    return run;
}

// How a name in the folder stands: absent, a folder, a link and its target, or a file and its
// bytes.
std::string state_of(const ScratchFolder& folder, const std::string& name) {
    const fs::path path = folder / name;
    const fs::file_status status = fs::symlink_status(path);
    if (!fs::exists(status)) {
        return "absent";
    }
    if (fs::is_symlink(status)) {
        return "link to " + fs::read_symlink(path).string();
    }
    if (fs::is_directory(status)) {
        return "folder";
    }
    return "file \"" + folder.read(name) + "\"";
}

std::string file_state(const std::string& bytes) {
    return "file \"" + bytes + "\"";
}

using Fault = std::variant<RunOptions, textio::InjectedFault>;

textio::InjectedFault hook(textio::SystemCall call, std::int32_t channel, int nth = 1) {
    return {call, channel, nth, EIO};
}

struct Cell {
    std::string name;
    std::function<void(const ScratchFolder&)> prepare;
    Fault fault;
    std::string heading;
    std::string message;
    std::string statement;  // for example "CLOSE(UNIT=11"
    // The bytes a file must hold after the run; a name not listed must be as it was before.
    std::map<std::string, std::string> written;
};

// A first run: no parameter file; earlier usage notes and table that a failure before their
// turn must leave alone.
void first_run(const ScratchFolder& folder) {
    folder.write(usage_notes, old_notes);
    folder.write(curve_table, old_table);
}

// A later run: the default parameter file and an earlier table.
void later_run(const ScratchFolder& folder) {
    folder.write(parameter_file, reference().parameters);
    folder.write(curve_table, old_table);
}

void make_read_only(const fs::path& path) {
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read |
                              fs::perms::owner_exec | fs::perms::group_exec |
                              fs::perms::others_exec);
}

std::vector<Cell> matrix() {
    using textio::SystemCall;
    const Reference& ref = reference();
    const std::string system = "System Error:";
    return {
        // Channel 11, the parameter file of a first run: open, write, close.
        {"11 open: the folder refuses a new file",
         [](const ScratchFolder& f) {
             first_run(f);
             make_read_only(f.path());
         },
         as_nobody(),
         system,
         access_denied,
         "OPEN(UNIT=11",
         {}},
        {"11 open: a link into a missing folder",
         [](const ScratchFolder& f) {
             first_run(f);
             fs::create_symlink("missing/MOSFET_input_data.txt", f / parameter_file);
         },
         RunOptions{},
         system,
         no_such_file,
         "OPEN(UNIT=11",
         {}},
        {"11 open: a file without read permission counts as absent, and is not replaced",
         [](const ScratchFolder& f) {
             first_run(f);
             f.write(parameter_file, "kept\r\n");
             fs::permissions(f / parameter_file, fs::perms::owner_write);
         },
         as_nobody(),
         system,
         access_denied,
         "OPEN(UNIT=11",
         {}},
        {"11 write: a file-size limit inside the parameter file",
         first_run,
         with_file_size_limit(100),
         system,
         full_disk,
         "CLOSE(UNIT=11",
         {{parameter_file, ref.parameters.substr(0, 100)}}},
        {"11 close: close(2) fails",
         first_run,
         hook(SystemCall::close, 11),
         system,
         io_error,
         "CLOSE(UNIT=11",
         {{parameter_file, ref.parameters}}},

        // Channel 11, the parameter file of a later run: open, read, close.
        {"11 open for reading: a read-only parameter file",
         [](const ScratchFolder& f) {
             later_run(f);
             make_read_only(f / parameter_file);
         },
         as_nobody(),
         system,
         access_denied,
         "OPEN(UNIT=11",
         {}},
        {"11 read: every read fails (/proc/self/mem)",
         [](const ScratchFolder& f) {
             f.write(curve_table, old_table);
             fs::create_symlink("/proc/self/mem", f / parameter_file);
         },
         RunOptions{},
         system,
         io_error,
         "READ(UNIT=11",
         {}},
        {"11 close after reading: close(2) fails",
         later_run,
         hook(SystemCall::close, 11),
         system,
         io_error,
         "CLOSE(UNIT=11",
         {}},

        // Channel 12, the usage notes: open, write, close.
        {"12 open: a folder named like the usage notes",
         [](const ScratchFolder& f) {
             f.write(curve_table, old_table);
             fs::create_directory(f / usage_notes);
         },
         RunOptions{},
         system,
         access_denied,
         "OPEN(UNIT=12",
         {{parameter_file, ref.parameters}}},
        {"12 write: a device that is always full, written at every line end",
         [](const ScratchFolder& f) {
             f.write(curve_table, old_table);
             fs::create_symlink("/dev/full", f / usage_notes);
         },
         RunOptions{},
         system,
         full_disk,
         "WRITE(UNIT=12",
         {{parameter_file, ref.parameters}}},
        {"12 write: a file-size limit inside the usage notes",
         first_run,
         with_file_size_limit(700),
         system,
         full_disk,
         "CLOSE(UNIT=12",
         {{parameter_file, ref.parameters}, {usage_notes, ref.notes.substr(0, 700)}}},
        {"12 write: an I/O error before any byte leaves the earlier notes as they were",
         first_run,
         hook(SystemCall::write, 12),
         system,
         io_error,
         "CLOSE(UNIT=12",
         {{parameter_file, ref.parameters}}},
        {"12 close: close(2) fails",
         first_run,
         hook(SystemCall::close, 12),
         system,
         io_error,
         "CLOSE(UNIT=12",
         {{parameter_file, ref.parameters}, {usage_notes, ref.notes}}},

        // Channel 10, the curve table: open, write, close.
        {"10 open: a folder named like the table",
         [](const ScratchFolder& f) { fs::create_directory(f / curve_table); },
         RunOptions{},
         system,
         access_denied,
         "OPEN(UNIT=10",
         {{parameter_file, ref.parameters}, {usage_notes, ref.notes}}},
        {"10 open: a read-only earlier table",
         [](const ScratchFolder& f) {
             f.write(curve_table, old_table);
             make_read_only(f / curve_table);
         },
         as_nobody(),
         system,
         access_denied,
         "OPEN(UNIT=10",
         {{parameter_file, ref.parameters}, {usage_notes, ref.notes}}},
        {"10 open: a link into a missing folder",
         [](const ScratchFolder& f) {
             fs::create_symlink("missing/MOSFET_transistor_vi.csv", f / curve_table);
         },
         RunOptions{},
         system,
         no_such_file,
         "OPEN(UNIT=10",
         {{parameter_file, ref.parameters}, {usage_notes, ref.notes}}},
        {"10 write: a file-size limit right at the end of the first full buffer",
         [](const ScratchFolder& f) {
             f.write(parameter_file, long_table_parameters);
             f.write(curve_table, old_table);
         },
         with_file_size_limit(8192),
         system,
         full_disk,
         "WRITE(UNIT=10",
         {{curve_table, ref.long_table.substr(0, 8192)}}},
        {"10 close: a file-size limit inside the table's last buffer",
         first_run,
         with_file_size_limit(1000),
         system,
         full_disk,
         "CLOSE(UNIT=10",
         {{parameter_file, ref.parameters},
          {usage_notes, ref.notes},
          {curve_table, ref.table.substr(0, 1000)}}},
        {"10 close: close(2) fails",
         first_run,
         hook(SystemCall::close, 10),
         system,
         io_error,
         "CLOSE(UNIT=10",
         {{parameter_file, ref.parameters}, {usage_notes, ref.notes}, {curve_table, ref.table}}},
    };
}

TEST(FaultMatrix, EveryFailedOperationEndsTheRunWithItsDiagnosticAndKeepsWhatWasDone) {
    ASSERT_GT(reference().long_table.size(), 2 * textio::output_buffer_size);
    for (const Cell& cell : matrix()) {
        SCOPED_TRACE(cell.name);
        ScratchFolder folder;
        cell.prepare(folder);
        std::map<std::string, std::string> before;
        for (const std::string& name : {parameter_file, usage_notes, curve_table}) {
            before[name] = state_of(folder, name);
        }

        const ToolRun run =
            std::holds_alternative<RunOptions>(cell.fault)
                ? run_tool(folder, std::get<RunOptions>(cell.fault))
                : run_with_injected_fault(folder, std::get<textio::InjectedFault>(cell.fault));

        EXPECT_EQ(run.terminating_signal, 0);
        EXPECT_EQ(run.exit_status, 255);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "? " + cell.heading + "\r\n? " + cell.message + "\r\n? " +
                               cell.statement + ",...\n");
        for (const std::string& name : {parameter_file, usage_notes, curve_table}) {
            const auto written = cell.written.find(name);
            EXPECT_EQ(state_of(folder, name),
                      written == cell.written.end() ? before[name] : file_state(written->second))
                << name;
        }
        for (const std::string& name : folder.names()) {
            EXPECT_TRUE(name == parameter_file || name == usage_notes || name == curve_table)
                << "stray file " << name;
        }
    }
}

}  // namespace
}  // namespace mosfet::e2e
