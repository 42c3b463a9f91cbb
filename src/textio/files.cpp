#include "textio/files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "textio/fault_injection.hpp"

namespace mosfet::textio {
namespace {

// ---------------------------------------------------------------------------------------------
// Operating-system calls. Every call the file layer makes to the system goes through one of
// these few functions; each reports a failure as its errno value, 0 meaning success.

struct Transfer {
    std::size_t done = 0;  // bytes moved before `error` stopped the transfer
    int error = 0;
};

struct Opened {
    int fd = -1;
    int error = 0;
};

struct FileKind {
    bool regular = false;
    bool directory = false;
    bool fifo = false;
    int error = 0;
};

// O_NOCTTY: a terminal named as a file never becomes the controlling terminal.
Opened open_descriptor(const std::string& path, int flags) {
    for (;;) {
        const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0) {
            return {fd, 0};
        }
        if (errno != EINTR) {
            return {-1, errno};
        }
    }
}

FileKind file_kind(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return {false, false, false, errno};
    }
    return {S_ISREG(info.st_mode), S_ISDIR(info.st_mode), S_ISFIFO(info.st_mode), 0};
}

// Writes all `size` bytes, going on after partial writes and interrupted calls. A write that
// moves nothing without reporting an error is taken as a full disk, so the loop always ends.
Transfer write_all(int fd, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t written = ::write(fd, data + done, size - done);
        if (written > 0) {
            done += static_cast<std::size_t>(written);
        } else if (written == 0) {
            return {done, ENOSPC};
        } else if (errno != EINTR) {
            return {done, errno};
        }
    }
    return {done, 0};
}

Transfer read_some(int fd, char* buffer, std::size_t capacity) {
    for (;;) {
        const ssize_t got = ::read(fd, buffer, capacity);
        if (got >= 0) {
            return {static_cast<std::size_t>(got), 0};
        }
        if (errno != EINTR) {
            return {0, errno};
        }
    }
}

// Sets the end of the file at the current position when the file reaches beyond it.
int cut_at_position(int fd) {
    const off_t position = ::lseek(fd, 0, SEEK_CUR);
    if (position < 0) {
        return errno;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return errno;
    }
    if (info.st_size <= position) {
        return 0;
    }
    while (::ftruncate(fd, position) != 0) {
        if (errno != EINTR) {
            return errno;
        }
    }
    return 0;
}

// Not retried on EINTR: Linux releases the descriptor whatever close reports.
int close_descriptor(int fd) {
    return ::close(fd) == 0 ? 0 : errno;
}

// A named pipe is opened for writing when a reader is there, otherwise for reading. Opened for
// reading and writing, as a file is, the run would be its own writer, and a read would wait for
// ever instead of meeting the end of the file. Neither open waits for the other end; afterwards
// reads and writes wait as they do on any pipe.
Opened open_named_pipe(const std::string& path) {
    Opened opened = open_descriptor(path, O_WRONLY | O_NONBLOCK);
    if (opened.fd < 0 && opened.error == ENXIO) {
        opened = open_descriptor(path, O_RDONLY | O_NONBLOCK);
    }
    if (opened.fd < 0) {
        return opened;
    }
    const int flags = ::fcntl(opened.fd, F_GETFL);
    if (flags < 0 || ::fcntl(opened.fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int error = errno;
        static_cast<void>(close_descriptor(opened.fd));
        return {-1, error};
    }
    return opened;
}

// ---------------------------------------------------------------------------------------------
// The fault a test injects (fault_injection.hpp); never set in the tool.

std::optional<InjectedFault> injected_fault;
int injected_fault_calls = 0;  // calls of the fault's kind on its channel so far

// The error the injected fault gives this call, or 0 when the call goes to the system.
int injected_error(SystemCall call, std::int32_t channel) {
    if (!injected_fault || injected_fault->call != call || injected_fault->channel != channel) {
        return 0;
    }
    ++injected_fault_calls;
    return injected_fault_calls >= injected_fault->nth ? injected_fault->error : 0;
}

// ---------------------------------------------------------------------------------------------
// The channel table.

struct Channel {
    std::int32_t number = 0;
    std::string name;
    int fd = -1;
    std::array<char, output_buffer_size> buffer{};
    std::size_t count = 0;          // bytes waiting in `buffer`, 0 <= count <= output_buffer_size
    bool truncate_pending = false;  // a disk file not yet written: its old tail is still there
    bool console = false;           // not a disk file: written at every line end, never cut
};

std::vector<Channel> channel_table;

std::vector<Channel>::iterator find_channel(std::int32_t number) {
    return std::find_if(channel_table.begin(), channel_table.end(),
                        [number](const Channel& c) { return c.number == number; });
}

// The entry of an open channel. The callers never use a channel that is not open; should one
// do so anyway, it is reported as the system reports a bad handle.
Channel& open_channel(std::int32_t number, Statement statement) {
    const auto found = find_channel(number);
    if (found == channel_table.end()) {
        raise_system_failure(statement, number, EBADF);
    }
    return *found;
}

std::string_view trim_blanks(std::string_view name) {
    const std::size_t first = name.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = name.find_last_not_of(' ');
    return name.substr(first, last - first + 1);
}

// The trimmed name as a path for the system; an empty name or no memory raises.
std::string path_for(std::string_view name, Statement statement,
                     std::optional<std::int32_t> channel) {
    const std::string_view trimmed = trim_blanks(name);
    if (trimmed.empty()) {
        raise_failure(statement, channel, bad_file_specification_message);
    }
    try {
        return std::string(trimmed);
    } catch (const std::bad_alloc&) {
        raise_failure(statement, channel, buffer_allocation_message);
    }
}

enum class Probe { absent, named_pipe, other };

// Whether the file opens for reading and is not a folder (Linux opens a folder read-only without
// complaint), and whether it is a named pipe. O_NONBLOCK keeps the probe of a pipe with no
// writer from waiting.
Probe probe_for_reading(const std::string& path) {
    const Opened probe = open_descriptor(path, O_RDONLY | O_NONBLOCK);
    if (probe.fd < 0) {
        return Probe::absent;
    }
    const FileKind kind = file_kind(probe.fd);
    static_cast<void>(close_descriptor(probe.fd));
    if (kind.error != 0 || kind.directory) {
        return Probe::absent;
    }
    return kind.fifo ? Probe::named_pipe : Probe::other;
}

// Opens the file for a channel: an existing file for reading and writing, a new one created (and
// emptied should it appear after the probe), a named pipe as open_named_pipe says.
Opened open_for_channel(const std::string& path) {
    switch (probe_for_reading(path)) {
        case Probe::named_pipe:
            return open_named_pipe(path);
        case Probe::other:
            return open_descriptor(path, O_RDWR);
        case Probe::absent:
            break;
    }
    return open_descriptor(path, O_RDWR | O_CREAT | O_TRUNC);
}

// Writes out what the buffer holds. The bytes written leave the buffer even when the write then
// fails, so a later attempt goes on where this one stopped instead of writing them twice. The
// first bytes that reach a disk file cut off its old tail. Returns errno, or 0.
int write_out(Channel& channel) {
    if (channel.count == 0) {
        return 0;
    }
    const int fault = injected_error(SystemCall::write, channel.number);
    const Transfer written = fault != 0
                                 ? Transfer{0, fault}
                                 : write_all(channel.fd, channel.buffer.data(), channel.count);
    std::memmove(channel.buffer.data(), channel.buffer.data() + written.done,
                 channel.count - written.done);
    channel.count -= written.done;
    int error = written.error;
    if (written.done > 0 && channel.truncate_pending) {
        const int cut_error = cut_at_position(channel.fd);
        if (cut_error == 0) {
            channel.truncate_pending = false;
        } else if (error == 0) {
            error = cut_error;
        }
    }
    return error;
}

void append(Channel& channel, std::string_view text) {
    while (!text.empty()) {
        const std::size_t piece = std::min(output_buffer_size - channel.count, text.size());
        std::memcpy(channel.buffer.data() + channel.count, text.data(), piece);
        channel.count += piece;
        text.remove_prefix(piece);
        if (channel.count == output_buffer_size) {
            if (const int error = write_out(channel); error != 0) {
                raise_system_failure(Statement::write, channel.number, error);
            }
        }
    }
}

struct ReleaseErrors {
    int write_error = 0;
    int close_error = 0;
};

// Writes out the buffer and closes the handle; the caller removes the entry.
ReleaseErrors release(Channel& channel) {
    const int write_error = write_out(channel);
    const int close_error = close_descriptor(channel.fd);
    const int fault = injected_error(SystemCall::close, channel.number);
    return {write_error, close_error != 0 ? close_error : fault};
}

}  // namespace

void begin_run() {
    static_cast<void>(std::signal(SIGXFSZ, SIG_IGN));
    static_cast<void>(std::signal(SIGPIPE, SIG_IGN));
}

bool file_exists(std::string_view name) {
    const std::string path = path_for(name, Statement::inquire, std::nullopt);
    const bool held = std::any_of(channel_table.begin(), channel_table.end(),
                                  [&path](const Channel& c) { return c.name == path; });
    return held || probe_for_reading(path) != Probe::absent;
}

void open_file(std::int32_t channel, std::string_view name) {
    Channel entry;
    entry.number = channel;
    entry.name = path_for(name, Statement::open, channel);
    try {
        // Room for the entry before the file is opened, so that no handle is left behind.
        channel_table.reserve(channel_table.size() + 1);
    } catch (const std::bad_alloc&) {
        raise_failure(Statement::open, channel, buffer_allocation_message);
    }
    // An existing file keeps its content until the first write.
    const Opened opened = open_for_channel(entry.name);
    if (opened.fd < 0) {
        raise_system_failure(Statement::open, channel, opened.error);
    }
    const FileKind kind = file_kind(opened.fd);
    if (kind.error != 0) {
        static_cast<void>(close_descriptor(opened.fd));
        raise_system_failure(Statement::open, channel, kind.error);
    }
    entry.fd = opened.fd;
    entry.truncate_pending = kind.regular;
    entry.console = !kind.regular;
    channel_table.push_back(std::move(entry));
}

void write_text(std::int32_t channel, std::string_view text) {
    append(open_channel(channel, Statement::write), text);
}

std::span<char> output_space(std::int32_t channel) {
    Channel& entry = open_channel(channel, Statement::write);
    return std::span<char>(entry.buffer).subspan(entry.count);
}

void commit_output(std::int32_t channel, std::size_t count) {
    Channel& entry = open_channel(channel, Statement::write);
    assert(count <= output_buffer_size - entry.count);
    entry.count += count;
    if (entry.count == output_buffer_size) {
        if (const int error = write_out(entry); error != 0) {
            raise_system_failure(Statement::write, channel, error);
        }
    }
}

void write_line(std::int32_t channel, std::string_view text) {
    Channel& entry = open_channel(channel, Statement::write);
    append(entry, text);
    append(entry, "\r\n");
    if (entry.console) {
        if (const int error = write_out(entry); error != 0) {
            raise_system_failure(Statement::write, channel, error);
        }
    }
}

std::size_t read_bytes(std::int32_t channel, char* buffer, std::size_t capacity) {
    const Transfer got = read_some(open_channel(channel, Statement::read).fd, buffer, capacity);
    if (got.error != 0) {
        raise_system_failure(Statement::read, channel, got.error);
    }
    return got.done;
}

void close_file(std::int32_t channel) {
    const auto found = find_channel(channel);
    if (found == channel_table.end()) {
        return;
    }
    const ReleaseErrors errors = release(*found);
    channel_table.erase(found);
    if (errors.write_error != 0) {
        raise_system_failure(Statement::close, channel, errors.write_error);
    }
    if (errors.close_error != 0) {
        raise_system_failure(Statement::close, channel, errors.close_error);
    }
}

void write_console_line(std::string_view text) {
    std::string line;
    try {
        line.reserve(text.size() + 3);
        line.append(" ").append(text).append("\r\n");
    } catch (const std::bad_alloc&) {
        raise_failure(Statement::write, std::nullopt, buffer_allocation_message);
    }
    const Transfer written = write_all(STDOUT_FILENO, line.data(), line.size());
    if (written.error != 0) {
        raise_system_failure(Statement::write, std::nullopt, written.error);
    }
}

int end_run() {
    while (!channel_table.empty()) {
        close_file(channel_table.front().number);
    }
    return 0;
}

int fail_run(const RunFailure& failure) {
    // The run is already lost: a further failure here changes nothing in the diagnostic.
    for (Channel& channel : channel_table) {
        static_cast<void>(release(channel));
    }
    channel_table.clear();
    try {
        const std::string text = diagnostic_text(failure);
        static_cast<void>(write_all(STDERR_FILENO, text.data(), text.size()));
    } catch (const std::bad_alloc&) {
        // No memory left even for the diagnostic: the exit status still tells.
    }
    return 255;
}

std::size_t open_channel_count() {
    return channel_table.size();
}

void inject_fault(std::optional<InjectedFault> fault) {
    injected_fault = fault;
    injected_fault_calls = 0;
}

}  // namespace mosfet::textio
