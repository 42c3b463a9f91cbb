#include "textio/files.hpp"

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace mosfet::textio {
namespace {

namespace fs = std::filesystem;

const std::string full_disk_text = "There is not enough space on the disk.";
const std::string access_denied_text = "Access Denied.";

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Text whose every position differs from its neighbours, so a misplaced piece shows.
std::string patterned_text(std::size_t size) {
    std::string text(size, ' ');
    for (std::size_t i = 0; i < size; ++i) {
        text[i] = static_cast<char>('a' + i % 26);
    }
    return text;
}

std::size_t open_descriptor_count() {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

std::optional<RunFailure> failure_of(const std::function<void()>& action) {
    try {
        action();
    } catch (const RunFailure& failure) {
        return failure;
    }
    return std::nullopt;
}

RunFailure system_failure(Statement statement, std::optional<std::int32_t> channel,
                          const std::string& text) {
    return {statement, channel, Heading::system_error, text};
}

RunFailure own_failure(Statement statement, std::optional<std::int32_t> channel,
                       std::string_view text) {
    return {statement, channel, Heading::run_time_error, std::string(text)};
}

// The diagnostic text names statement, channel, heading and message: equal texts, equal
// failures.
void expect_failure(const std::optional<RunFailure>& actual, const RunFailure& expected) {
    ASSERT_TRUE(actual.has_value()) << "no failure raised";
    EXPECT_EQ(diagnostic_text(*actual), diagnostic_text(expected));
}

// Closes whatever a test left open, without any output. Every failed close still frees its
// channel, so one attempt per channel is enough.
void discard_open_channels() {
    for (std::size_t attempts = open_channel_count(); attempts > 0; --attempts) {
        try {
            end_run();
        } catch (const RunFailure&) {
        }
    }
    EXPECT_EQ(open_channel_count(), 0u) << "a failed close kept its channel";
}

// Points a standard descriptor at a file for as long as it lives.
class Redirect {
  public:
    Redirect(int fd, const char* path) : fd_(fd), saved_(::dup(fd)) {
        std::fflush(nullptr);
        const int target = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        EXPECT_GE(target, 0) << path;
        EXPECT_GE(::dup2(target, fd_), 0);
        ::close(target);
    }
    ~Redirect() {
        std::fflush(nullptr);
        ::dup2(saved_, fd_);
        ::close(saved_);
    }
    Redirect(const Redirect&) = delete;
    Redirect& operator=(const Redirect&) = delete;

  private:
    int fd_;
    int saved_;
};

// Runs `check` in a forked child and returns its answer: empty when everything was as expected,
// otherwise what was not. The answer comes back through a pipe.
std::string run_in_child(const std::function<std::string()>& check) {
    int ends[2];
    if (::pipe(ends) != 0) {
        return "pipe failed";
    }
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        return "fork failed";
    }
    if (pid == 0) {
        ::close(ends[0]);
        std::string answer;
        try {
            answer = check();
        } catch (...) {
            answer = "unexpected exception";
        }
        const bool sent = ::write(ends[1], answer.data(), answer.size()) >= 0;
        ::_exit(sent ? 0 : 1);
    }
    ::close(ends[1]);
    std::string answer;
    char chunk[256];
    for (ssize_t got; (got = ::read(ends[0], chunk, sizeof chunk)) > 0;) {
        answer.append(chunk, static_cast<std::size_t>(got));
    }
    ::close(ends[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return "child ended with status " + std::to_string(status) + "; " + answer;
    }
    return answer;
}

// In a child: become the unprivileged user "nobody" (root passes every permission check).
std::string drop_privileges() {
    if (::geteuid() != 0) {
        return "";
    }
    if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
        ::setresuid(65534, 65534, 65534) != 0) {
        return std::string("cannot drop privileges: ") + std::strerror(errno);
    }
    return "";
}

// Empty when the action raised exactly the expected failure.
std::string mismatch(const std::function<void()>& action, const RunFailure& expected) {
    const std::optional<RunFailure> actual = failure_of(action);
    if (!actual) {
        return "no failure raised";
    }
    if (diagnostic_text(*actual) != diagnostic_text(expected)) {
        return "raised " + diagnostic_text(*actual);
    }
    return "";
}

// Each test runs in a fresh scratch folder as its working directory.
class Files : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/files_test.XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder_ = pattern;
        old_cwd_ = fs::current_path();
        fs::current_path(folder_);
        descriptors_ = open_descriptor_count();
    }
    void TearDown() override {
        discard_open_channels();
        EXPECT_EQ(open_descriptor_count(), descriptors_) << "a file handle was left open";
        fs::current_path(old_cwd_);
        fs::remove_all(folder_);
    }

    fs::path folder_;
    fs::path old_cwd_;
    std::size_t descriptors_ = 0;
};

TEST_F(Files, WriteLineEndsEveryLineWithCrLf) {
    struct Case {
        std::vector<std::string> lines;
        std::string bytes;
    };
    const Case cases[] = {
        {{}, ""},
        {{""}, "\r\n"},
        {{"a,b"}, "a,b\r\n"},
        {{"x", "", "y z"}, "x\r\n\r\ny z\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        fs::remove("out.txt");
        open_file(10, "out.txt");
        for (const std::string& line : c.lines) {
            write_line(10, line);
        }
        close_file(10);
        EXPECT_EQ(read_file("out.txt"), c.bytes);
    }
}

TEST_F(Files, WriteTextContinuesTheCurrentLine) {
    open_file(10, "out.txt");
    write_text(10, "ab");
    write_text(10, "");
    write_text(10, "cd");
    write_line(10, "e");
    write_text(10, "f");
    close_file(10);
    EXPECT_EQ(read_file("out.txt"), "abcde\r\nf");
}

TEST_F(Files, AbsentFileIsCreatedEmptyAtOpen) {
    open_file(10, "new.csv");
    EXPECT_TRUE(fs::is_regular_file("new.csv"));
    EXPECT_EQ(fs::file_size("new.csv"), 0u);
    close_file(10);
    EXPECT_EQ(fs::file_size("new.csv"), 0u);
}

TEST_F(Files, NamesLoseSurroundingBlanksOnly) {
    open_file(12, "  a b.txt   ");
    write_line(12, "z");
    close_file(12);
    EXPECT_EQ(read_file("a b.txt"), "z\r\n");
    EXPECT_TRUE(file_exists("a b.txt  "));
    EXPECT_TRUE(file_exists("   a b.txt"));
    EXPECT_FALSE(file_exists("ab.txt"));
}

TEST_F(Files, EmptyNameIsBadFileSpecification) {
    for (const char* name : {"", " ", "        "}) {
        SCOPED_TRACE(std::string("'") + name + "'");
        expect_failure(
            failure_of([&] { file_exists(name); }),
            own_failure(Statement::inquire, std::nullopt, bad_file_specification_message));
        expect_failure(failure_of([&] { open_file(12, name); }),
                       own_failure(Statement::open, 12, bad_file_specification_message));
        EXPECT_EQ(open_channel_count(), 0u);
    }
}

TEST_F(Files, FileExistsOnlyForWhatOpensForReading) {
    write_file("present.txt", "data\r\n");
    write_file("empty.txt", "");
    fs::create_directory("folder.txt");
    fs::create_symlink("/dev/null", "device.txt");
    fs::create_symlink("nowhere.txt", "dangling.txt");
    struct Case {
        const char* name;
        bool exists;
    };
    const Case cases[] = {
        {"absent.txt", false},  {"present.txt", true}, {"empty.txt", true},
        {"folder.txt", false},  {"device.txt", true},  {"dangling.txt", false},
        {"PRESENT.TXT", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(file_exists(c.name), c.exists);
    }
}

TEST_F(Files, FileExistsForANameHeldByAnOpenChannel) {
    open_file(10, "held.csv");
    fs::remove("held.csv");
    EXPECT_TRUE(file_exists("held.csv"));
    EXPECT_TRUE(file_exists(" held.csv "));
    close_file(10);
    EXPECT_FALSE(file_exists("held.csv"));
}

TEST_F(Files, OutputReachesTheFileOnlyInFullBuffers) {
    // A line is the text plus 2 bytes; full 8192-byte buffers go out as they fill, the rest
    // at the close.
    struct Case {
        std::size_t text_size;
        std::size_t size_while_open;
    };
    const Case cases[] = {
        {0, 0}, {10, 0}, {8189, 0}, {8190, 8192}, {8191, 8192}, {20000, 16384},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text_size);
        fs::remove("out.txt");
        const std::string text = patterned_text(c.text_size);
        open_file(10, "out.txt");
        write_line(10, text);
        EXPECT_EQ(fs::file_size("out.txt"), c.size_while_open);
        close_file(10);
        EXPECT_EQ(read_file("out.txt"), text + "\r\n");
    }
}

// Text placed in the buffer's free end and committed is appended as write_text appends it; the
// commit that fills the buffer writes it out at once.
TEST_F(Files, TextBuiltInTheBufferIsAppendedAtItsCommit) {
    open_file(10, "out.txt");
    write_text(10, "ab");
    std::span<char> space = output_space(10);
    ASSERT_EQ(space.size(), output_buffer_size - 2);
    std::memcpy(space.data(), "cdeXX", 5);
    commit_output(10, 3);  // the uncommitted "XX" is not text
    write_line(10, "f");

    const std::string fill = patterned_text(output_buffer_size - 8);  // after "abcdef" CR LF
    space = output_space(10);
    ASSERT_EQ(space.size(), fill.size());
    std::memcpy(space.data(), fill.data(), fill.size());
    commit_output(10, fill.size());
    EXPECT_EQ(fs::file_size("out.txt"), output_buffer_size);
    EXPECT_EQ(output_space(10).size(), output_buffer_size);

    commit_output(10, 0);
    write_line(10, "g");
    close_file(10);
    EXPECT_EQ(read_file("out.txt"), "abcdef\r\n" + fill + "g\r\n");
}

TEST_F(Files, LargeTextPieceIsWrittenWhole) {
    const std::string text = patterned_text(3 * 1024 * 1024 + 5);
    open_file(10, "big.txt");
    write_text(10, text);
    write_line(10, "end");
    close_file(10);
    EXPECT_TRUE(read_file("big.txt") == text + "end\r\n");
}

TEST_F(Files, StaleLongerFileIsCutAtTheFirstPhysicalWrite) {
    const std::string stale(30000, 'x');
    write_file("table.csv", stale);
    open_file(10, "table.csv");
    write_line(10, "new");
    EXPECT_EQ(read_file("table.csv"), stale) << "nothing is written before the buffer goes out";
    close_file(10);
    EXPECT_EQ(read_file("table.csv"), "new\r\n");

    write_file("table.csv", stale);
    const std::string first = patterned_text(output_buffer_size);
    open_file(10, "table.csv");
    write_text(10, first);
    EXPECT_EQ(read_file("table.csv"), first) << "the first physical write cuts the old tail";
    write_line(10, "tail");
    close_file(10);
    EXPECT_EQ(read_file("table.csv"), first + "tail\r\n");
}

TEST_F(Files, FileOpenedAndClosedUnwrittenStaysUnchanged) {
    const std::string content = "header\r\n  1.0  \r\nlast line without terminator";
    write_file("params.txt", content);
    open_file(11, "params.txt");
    close_file(11);
    EXPECT_EQ(read_file("params.txt"), content);

    open_file(11, "params.txt");
    char chunk[64];
    while (read_bytes(11, chunk, sizeof chunk) > 0) {
    }
    close_file(11);
    EXPECT_EQ(read_file("params.txt"), content);
}

TEST_F(Files, ReadBytesGivesTheFileFromItsFirstByteThenZero) {
    const std::string content = "line 1\r\nline 2\n\r\n" + patterned_text(10000);
    write_file("params.txt", content);
    for (std::size_t capacity : {std::size_t{1}, std::size_t{7}, std::size_t{8192}}) {
        SCOPED_TRACE(capacity);
        open_file(11, "params.txt");
        std::string got;
        std::vector<char> chunk(capacity);
        for (std::size_t n; (n = read_bytes(11, chunk.data(), capacity)) > 0;) {
            EXPECT_LE(n, capacity);
            got.append(chunk.data(), n);
        }
        EXPECT_EQ(read_bytes(11, chunk.data(), capacity), 0u);
        close_file(11);
        EXPECT_TRUE(got == content);
    }
}

TEST_F(Files, ClosingAChannelNotOpenDoesNothing) {
    EXPECT_NO_THROW(close_file(10));
    open_file(10, "a.txt");
    close_file(10);
    EXPECT_NO_THROW(close_file(10));
    EXPECT_EQ(open_channel_count(), 0u);
}

TEST_F(Files, FolderNamedLikeTheFileIsAccessDeniedAtOpen) {
    fs::create_directory("MOSFET_input_data.txt");
    EXPECT_FALSE(file_exists("MOSFET_input_data.txt"));
    expect_failure(failure_of([] { open_file(11, "MOSFET_input_data.txt"); }),
                   system_failure(Statement::open, 11, access_denied_text));
    EXPECT_EQ(open_channel_count(), 0u);
    EXPECT_TRUE(fs::is_directory("MOSFET_input_data.txt"));
}

TEST_F(Files, FullDiskFailsTheWriteOrTheClose) {
    fs::create_symlink("/dev/full", "full.csv");
    struct Case {
        const char* what;
        std::function<void()> action;
        RunFailure expected;
        bool still_open;
    };
    const Case cases[] = {
        {"line end on a device", [] { write_line(10, "row"); },
         system_failure(Statement::write, 10, full_disk_text), true},
        {"full buffer", [] { write_text(10, patterned_text(output_buffer_size)); },
         system_failure(Statement::write, 10, full_disk_text), true},
        {"rest at close",
         [] {
             write_text(10, "row");
             close_file(10);
         },
         system_failure(Statement::close, 10, full_disk_text), false},
        {"rest at end of run",
         [] {
             write_text(10, "row");
             end_run();
         },
         system_failure(Statement::close, 10, full_disk_text), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(file_exists("full.csv"));
        open_file(10, "full.csv");
        expect_failure(failure_of(c.action), c.expected);
        // A failed write leaves the channel open with its text still waiting; a failed close
        // frees the channel all the same.
        EXPECT_EQ(open_channel_count(), c.still_open ? 1u : 0u);
        if (c.still_open) {
            expect_failure(failure_of([] { close_file(10); }),
                           system_failure(Statement::close, 10, full_disk_text));
        }
        EXPECT_EQ(open_channel_count(), 0u);
        EXPECT_EQ(open_descriptor_count(), descriptors_);
    }
}

TEST_F(Files, NonDiskFileIsWrittenAtEveryLineEndAndNeverCut) {
    ASSERT_EQ(::mkfifo("pipe.csv", 0600), 0);
    const int reader = ::open("pipe.csv", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    const auto drain = [reader] {
        std::string got;
        char chunk[256];
        for (ssize_t n; (n = ::read(reader, chunk, sizeof chunk)) > 0;) {
            got.append(chunk, static_cast<std::size_t>(n));
        }
        return got;
    };
    EXPECT_TRUE(file_exists("pipe.csv"));
    open_file(10, "pipe.csv");
    write_line(10, "abc");
    EXPECT_EQ(drain(), "abc\r\n");
    write_text(10, "partial");
    EXPECT_EQ(drain(), "");
    write_line(10, "");
    EXPECT_EQ(drain(), "partial\r\n");
    write_text(10, "rest");
    close_file(10);
    EXPECT_EQ(drain(), "rest");
    ::close(reader);

    // A device cannot be cut either: cutting it would fail.
    fs::create_symlink("/dev/null", "null.csv");
    open_file(10, "null.csv");
    write_line(10, patterned_text(20000));
    EXPECT_NO_THROW(close_file(10));
}

// A named pipe nobody reads is opened for reading only, so the run never becomes its own writer:
// with no writer it ends at once, with one it gives what the writer sent, then ends when the
// writer closes. Neither the existence test nor the open waits for the other end.
TEST_F(Files, NamedPipeNobodyReadsIsReadToTheEndOfWhatItsWriterSent) {
    ASSERT_EQ(::mkfifo("MOSFET_input_data.txt", 0600), 0);
    char buffer[64];
    EXPECT_TRUE(file_exists("MOSFET_input_data.txt"));
    open_file(11, "MOSFET_input_data.txt");
    EXPECT_EQ(read_bytes(11, buffer, sizeof buffer), 0u);
    close_file(11);

    // A writer that has already sent its bytes: a reader end held for a moment lets it open
    // without waiting, and the bytes stay in the pipe after that end is gone.
    const int held_reader = ::open("MOSFET_input_data.txt", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(held_reader, 0);
    const int writer = ::open("MOSFET_input_data.txt", O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::write(writer, "sent\n", 5), 5);
    ::close(held_reader);
    open_file(11, "MOSFET_input_data.txt");
    ASSERT_EQ(read_bytes(11, buffer, sizeof buffer), 5u);
    EXPECT_EQ(std::string(buffer, 5), "sent\n");
    ::close(writer);
    EXPECT_EQ(read_bytes(11, buffer, sizeof buffer), 0u);
    close_file(11);
}

// The size limit stops the second 8192-byte write part way, at byte 10000. The text that went
// out stays; what did not is either lost when the run fails, or, once the limit is lifted,
// written out at the close right after the bytes already there, never a second time.
TEST_F(Files, FileSizeLimitStopsTheFileWhereTheDiskStopped) {
    constexpr rlim_t limit = 10000;
    const auto line = [](int i) { return "row " + std::to_string(i) + "," + patterned_text(90); };
    std::string all_lines;
    for (int i = 0; i < 1000; ++i) {
        all_lines += line(i) + "\r\n";
    }
    struct Case {
        const char* ending;
        bool lift_limit;
        std::size_t file_size;
    };
    const Case cases[] = {
        {"run fails", false, limit},
        {"limit lifted, then closed", true, 2 * output_buffer_size},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ending);
        fs::remove("table.csv");
        const std::string answer = run_in_child([&]() -> std::string {
            begin_run();
            const rlimit size_limit{limit, RLIM_INFINITY};
            if (::setrlimit(RLIMIT_FSIZE, &size_limit) != 0) {
                return "setrlimit failed";
            }
            open_file(10, "table.csv");
            const std::string wrong = mismatch(
                [&] {
                    for (int i = 0; i < 1000; ++i) {
                        write_line(10, line(i));
                    }
                },
                system_failure(Statement::write, 10, full_disk_text));
            if (!wrong.empty()) {
                return wrong;
            }
            if (c.lift_limit) {
                const rlimit no_limit{RLIM_INFINITY, RLIM_INFINITY};
                if (::setrlimit(RLIMIT_FSIZE, &no_limit) != 0) {
                    return "setrlimit failed";
                }
                close_file(10);
                return "";
            }
            const Redirect to_file(STDERR_FILENO, "stderr.txt");
            const int status = fail_run(system_failure(Statement::write, 10, full_disk_text));
            if (status != 255 || open_channel_count() != 0) {
                return "fail_run gave " + std::to_string(status);
            }
            return "";
        });
        EXPECT_EQ(answer, "");
        EXPECT_TRUE(read_file("table.csv") == all_lines.substr(0, c.file_size));
        EXPECT_EQ(fs::file_size("table.csv"), c.file_size);
    }
    EXPECT_EQ(read_file("stderr.txt"),
              "? System Error:\r\n? There is not enough space on the disk.\r\n"
              "? WRITE(UNIT=10,...\n");
}

TEST_F(Files, PermissionRefusalsAreAccessDenied) {
    fs::permissions(folder_, fs::perms::all);
    const std::string content = "user's own text\r\n";
    write_file("read_only.txt", content);
    fs::permissions("read_only.txt",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    write_file("unreadable.txt", content);
    fs::permissions("unreadable.txt", fs::perms::none);
    fs::create_directory("locked");
    fs::permissions("locked", fs::perms::owner_read | fs::perms::owner_exec |
                                  fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
    struct Case {
        const char* name;
        bool exists;
    };
    const Case cases[] = {
        {"read_only.txt", true},      // readable, but not writable
        {"unreadable.txt", false},    // counts as absent, and cannot be replaced
        {"locked/notes.txt", false},  // no permission to create
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string answer = run_in_child([&]() -> std::string {
            if (std::string dropped = drop_privileges(); !dropped.empty()) {
                return dropped;
            }
            if (file_exists(c.name) != c.exists) {
                return "file_exists said " + std::to_string(!c.exists);
            }
            return mismatch([&] { open_file(11, c.name); },
                            system_failure(Statement::open, 11, access_denied_text));
        });
        EXPECT_EQ(answer, "");
    }
    EXPECT_EQ(read_file("read_only.txt"), content);
    EXPECT_EQ(read_file("unreadable.txt"), content);
    EXPECT_FALSE(fs::exists("locked/notes.txt"));
}

TEST_F(Files, FailRunFlushesAndClosesEveryChannelThenWritesTheDiagnostic) {
    write_file("params.txt", std::string(5000, 'x'));
    open_file(10, "table.csv");
    open_file(11, "params.txt");
    write_line(10, "a,b");
    write_text(10, "c");
    write_line(11, "p");
    const RunFailure failure = own_failure(Statement::read, 11, read_past_end_message);
    int status = 0;
    {
        const Redirect to_file(STDERR_FILENO, "stderr.txt");
        status = fail_run(failure);
    }
    EXPECT_EQ(status, 255);
    EXPECT_EQ(open_channel_count(), 0u);
    EXPECT_EQ(read_file("table.csv"), "a,b\r\nc");
    EXPECT_EQ(read_file("params.txt"), "p\r\n");
    EXPECT_EQ(read_file("stderr.txt"),
              "? Run-Time Error:\r\n? Attempt to read past end of file\r\n? READ(UNIT=11,...\n");
}

TEST_F(Files, FailRunGoesOnPastAChannelThatCannotBeWritten) {
    fs::create_symlink("/dev/full", "full.csv");
    open_file(10, "full.csv");
    open_file(12, "notes.txt");
    write_text(10, "lost");
    write_line(12, "kept");
    const RunFailure failure = system_failure(Statement::write, 10, full_disk_text);
    int status = 0;
    {
        const Redirect to_file(STDERR_FILENO, "stderr.txt");
        status = fail_run(failure);
    }
    EXPECT_EQ(status, 255);
    EXPECT_EQ(open_channel_count(), 0u);
    EXPECT_EQ(read_file("notes.txt"), "kept\r\n");
    EXPECT_EQ(read_file("stderr.txt"), diagnostic_text(failure));
}

TEST_F(Files, EndRunClosesEveryChannelAndWritesNothingElse) {
    open_file(10, "table.csv");
    open_file(12, "notes.txt");
    write_line(10, "t");
    write_line(12, "n");
    int status = -1;
    {
        const Redirect out(STDOUT_FILENO, "stdout.txt");
        const Redirect err(STDERR_FILENO, "stderr.txt");
        status = end_run();
    }
    EXPECT_EQ(status, 0);
    EXPECT_EQ(open_channel_count(), 0u);
    EXPECT_EQ(read_file("table.csv"), "t\r\n");
    EXPECT_EQ(read_file("notes.txt"), "n\r\n");
    EXPECT_EQ(read_file("stdout.txt"), "");
    EXPECT_EQ(read_file("stderr.txt"), "");
}

TEST_F(Files, ConsoleLineIsABlankTheTextAndCrLf) {
    struct Case {
        const char* text;
        const char* bytes;
    };
    const Case cases[] = {
        {"Normal exit.", " Normal exit.\r\n"},
        {"", " \r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        {
            const Redirect out(STDOUT_FILENO, "stdout.txt");
            write_console_line(c.text);
        }
        EXPECT_EQ(read_file("stdout.txt"), c.bytes);
    }
}

TEST_F(Files, ConsoleLineFailureNamesStandardOutput) {
    std::optional<RunFailure> failure;
    {
        const Redirect out(STDOUT_FILENO, "/dev/full");
        failure = failure_of([] { write_console_line("Normal exit."); });
    }
    expect_failure(failure, system_failure(Statement::write, std::nullopt, full_disk_text));
}

}  // namespace
}  // namespace mosfet::textio
