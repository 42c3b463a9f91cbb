// Fuzz target: a whole run of the tool, in this process, in a scratch folder holding an
// arbitrary parameter file and a stale curve table. The outcome is foretold from the bytes
// alone, through the pieces a run is made of but not through the file layer:
//   - a parameter file the reader refuses: exit status 255, that READ diagnostic, the table
//     untouched;
//   - a sweep the guard refuses: 255, the guard's OPEN diagnostic on channel 10, the table
//     untouched;
//   - otherwise: status 0, the closing line, and a table file that is exactly the header and
//     the rows built in memory (the stale table's longer tail cut off).
// In every case the parameter file is unchanged, no usage notes appear, nothing is left open.
// Accepted sweeps above a small size are skipped before the run (after checking that the guard
// kept them within its own limits): a run of up to 1e9 steps is too slow for fuzzing.

#include <fcntl.h>
#include <sanitizer/common_interface_defs.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "driver/parameter_file.hpp"
#include "driver/run.hpp"
#include "finding.hpp"
#include "model/device_model.hpp"
#include "table/curve_table.hpp"
#include "table/sweep.hpp"
#include "table/sweep_guard.hpp"
#include "textio/diagnostics.hpp"
#include "textio/files.hpp"
#include "textio/line_reader.hpp"

namespace mosfet::fuzz {
namespace {

const std::string parameter_file = "MOSFET_input_data.txt";
const std::string usage_notes = "ReadMe2Use.txt";
const std::string curve_table = "MOSFET_transistor_vi.csv";
constexpr std::int32_t curve_table_channel = 10;

// Accepted sweeps beyond these are not run (the default sweep: 82 steps, 693 numbers).
constexpr double max_fuzzed_steps = 20000.0;
constexpr double max_fuzzed_numbers = 4000.0;

// Longer than the default table, so that a run that succeeds must cut it.
std::string stale_table() {
    std::string text;
    while (text.size() < 9000) {
        text += "an earlier table, line " + std::to_string(text.size()) + "\r\n";
    }
    return text;
}

struct Outcome {
    int status = 0;
    std::string out;
    std::string err;
    std::optional<std::string> table;
};

// ---------------------------------------------------------------------------------------------
// The outcome foretold.

Outcome refused(const textio::RunFailure& failure) {
    return {255, "", textio::diagnostic_text(failure), stale_table()};
}

// Nothing when the sweep is accepted but too big to fuzz.
std::optional<Outcome> foretell(std::string_view bytes) {
    textio::LineReader reader(driver::parameter_file_channel, bytes);
    driver::RunParameters p;
    try {
        p = driver::read_parameter_file(reader);
    } catch (const textio::RunFailure& failure) {
        return refused(failure);
    }
    const model::ModelParameters model{p.K_conductance_parameter, p.VTransition, p.V_DS_Early};
    const table::SweepPlan plan = table::plan_sweep(model, p.VGDelta, p.NVGate);
    if (const auto refusal = table::sweep_refusal(plan, p.VDDelta, p.VDmax)) {
        return refused({textio::Statement::open, curve_table_channel,
                        textio::Heading::run_time_error, *refusal});
    }
    const std::optional<table::SweepSize> size = table::sweep_size(plan, p.VDDelta, p.VDmax);
    require(size.has_value(), "the guard accepted a sweep that never ends");
    const double numbers = size->rows * (static_cast<double>(plan.curve_count) + 2.0);
    require(size->steps <= table::max_sweep_steps && numbers <= table::max_table_numbers,
            "the guard accepted a sweep beyond its limits");
    if (size->steps > max_fuzzed_steps || numbers > max_fuzzed_numbers) {
        return std::nullopt;
    }
    std::string table = table::header_line(plan) + "\r\n";
    double rows = 0.0;
    table::run_sweep(plan, p.VDDelta, p.VDmax, [&](const table::TableRow& row) {
        table += table::row_line(plan, row) + "\r\n";
        rows += 1.0;
    });
    require(std::fabs(rows - size->rows) <= 1e-6 * size->rows + 2.0,
            "the sweep has " + std::to_string(rows) + " rows, its size said " +
                std::to_string(size->rows));
    return Outcome{0, " Normal exit.\r\n", "", table};
}

// ---------------------------------------------------------------------------------------------
// The scratch folder and the captured standard output and error.

struct Scratch {
    std::string root;
    int work = -1;  // the folder the run works in
    int home = -1;  // the working folder the fuzzer started in
    int out = -1;   // captures, next to the work folder
    int err = -1;
    int saved_out = -1;
    int saved_err = -1;
};
Scratch scratch;

void remove_in_work(const std::string& name) {
    require(::unlinkat(scratch.work, name.c_str(), 0) == 0 || errno == ENOENT,
            "cannot remove " + name);
}

void remove_scratch() {
    for (const std::string& name : {parameter_file, usage_notes, curve_table}) {
        static_cast<void>(::unlinkat(scratch.work, name.c_str(), 0));
    }
    static_cast<void>(::rmdir((scratch.root + "/work").c_str()));
    static_cast<void>(::unlink((scratch.root + "/stdout").c_str()));
    static_cast<void>(::unlink((scratch.root + "/stderr").c_str()));
    static_cast<void>(::rmdir(scratch.root.c_str()));
}

void write_in_work(const std::string& name, std::string_view bytes) {
    const int fd =
        ::openat(scratch.work, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    require(fd >= 0, "cannot create " + name);
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        require(written > 0, "cannot write " + name);
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    ::close(fd);
}

std::string read_all(int fd) {
    std::string bytes;
    char chunk[65536];
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(fd, chunk, sizeof chunk, at);
        require(got >= 0, "cannot read back a file");
        if (got == 0) {
            return bytes;
        }
        bytes.append(chunk, static_cast<std::size_t>(got));
        at += got;
    }
}

std::optional<std::string> read_in_work(const std::string& name) {
    const int fd = ::openat(scratch.work, name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        require(errno == ENOENT, "cannot open " + name);
        return std::nullopt;
    }
    std::string bytes = read_all(fd);
    ::close(fd);
    return bytes;
}

void set_up_scratch() {
    const char* temporary = std::getenv("TMPDIR");
    std::string pattern =
        std::string(temporary && *temporary ? temporary : "/tmp") + "/mosfet-vi-fuzz-XXXXXX";
    require(::mkdtemp(pattern.data()) != nullptr, "cannot make a scratch folder");
    scratch.root = pattern;
    require(::mkdir((scratch.root + "/work").c_str(), 0700) == 0, "cannot make the work folder");
    scratch.work = ::open((scratch.root + "/work").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    scratch.home = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int capture_flags = O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC;
    scratch.out = ::open((scratch.root + "/stdout").c_str(), capture_flags, 0600);
    scratch.err = ::open((scratch.root + "/stderr").c_str(), capture_flags, 0600);
    scratch.saved_out = ::fcntl(1, F_DUPFD_CLOEXEC, 3);
    scratch.saved_err = ::fcntl(2, F_DUPFD_CLOEXEC, 3);
    require(scratch.work >= 0 && scratch.home >= 0 && scratch.out >= 0 && scratch.err >= 0 &&
                scratch.saved_out >= 0 && scratch.saved_err >= 0,
            "cannot set up the scratch folder");
    // Sanitizer reports still reach the real standard error while the run's is captured.
    __sanitizer_set_report_fd(
        reinterpret_cast<void*>(static_cast<std::intptr_t>(scratch.saved_err)));
    std::atexit(remove_scratch);
}

// The run with its standard output and error captured and the work folder as working folder.
Outcome run_in_scratch() {
    for (const int capture : {scratch.out, scratch.err}) {
        // The captures share their offsets with descriptors 1 and 2: back to the start.
        require(::ftruncate(capture, 0) == 0 && ::lseek(capture, 0, SEEK_SET) == 0,
                "cannot empty a capture");
    }
    ::dup2(scratch.out, 1);
    ::dup2(scratch.err, 2);
    ::fchdir(scratch.work);
    Outcome outcome;
    bool threw = false;
    try {
        outcome.status = driver::run();
    } catch (...) {
        threw = true;
    }
    ::fchdir(scratch.home);
    ::dup2(scratch.saved_out, 1);
    ::dup2(scratch.saved_err, 2);
    require(!threw, "the run let an exception escape");
    outcome.out = read_all(scratch.out);
    outcome.err = read_all(scratch.err);
    outcome.table = read_in_work(curve_table);
    return outcome;
}

std::string describe(const Outcome& o) {
    std::string text = "status " + std::to_string(o.status) + ", out \"" + o.out + "\", err \"" +
                       o.err + "\", table ";
    if (!o.table) {
        return text + "absent";
    }
    return text + std::to_string(o.table->size()) + " bytes: \"" + o.table->substr(0, 200) +
           "...\"";
}

}  // namespace
}  // namespace mosfet::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    mosfet::fuzz::set_up_scratch();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace mosfet;
    using namespace mosfet::fuzz;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::optional<Outcome> expected = foretell(bytes);
    if (!expected) {
        return 0;
    }
    remove_in_work(usage_notes);
    write_in_work(parameter_file, bytes);
    write_in_work(curve_table, stale_table());

    const Outcome actual = run_in_scratch();
    require(textio::open_channel_count() == 0, "the run left a channel open");
    require(actual.status == expected->status && actual.out == expected->out &&
                actual.err == expected->err && actual.table == expected->table,
            "expected " + describe(*expected) + "\nactual   " + describe(actual));
    require(read_in_work(parameter_file) == std::string(bytes), "the parameter file changed");
    require(!read_in_work(usage_notes), "usage notes written on the read path");
    return 0;
}
