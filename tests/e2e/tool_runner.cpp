#include "tool_runner.hpp"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace mosfet::e2e {
namespace fs = std::filesystem;
namespace {

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

[[noreturn]] void child_fail() {
    _exit(127);
}

// In the child, between fork and exec: only async-signal-safe calls.
[[noreturn]] void exec_tool(const fs::path& folder, const RunOptions& options, int out_fd,
                            int err_fd, char* const argv[]) {
    if (chdir(folder.c_str()) != 0) {
        child_fail();
    }
    if (options.close_standard_output) {
        close(1);
    } else if (dup2(out_fd, 1) < 0) {
        child_fail();
    }
    if (dup2(err_fd, 2) < 0) {
        child_fail();
    }
    if (options.file_size_limit) {
        const rlimit limit{*options.file_size_limit, *options.file_size_limit};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            child_fail();
        }
    }
    if (options.drop_privileges) {
        const gid_t nobody = 65534;
        if (setgroups(0, nullptr) != 0 || setresgid(nobody, nobody, nobody) != 0 ||
            setresuid(nobody, nobody, nobody) != 0) {
            child_fail();
        }
    }
    execv(argv[0], argv);
    child_fail();
}

}  // namespace

ScratchFolder::ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "mosfet-vi-e2e-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
    fs::permissions(path_, fs::perms::all);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    // Make everything removable again, whatever a test did to it.
    for (const auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
        if (!entry.is_symlink()) {
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
    }
    fs::remove_all(path_, ignored);
}

void ScratchFolder::write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ScratchFolder::read(const std::string& name) const {
    return slurp(path_ / name);
}

bool ScratchFolder::exists(const std::string& name) const {
    return fs::exists(fs::symlink_status(path_ / name));
}

std::vector<std::string> ScratchFolder::names() const {
    std::vector<std::string> result;
    for (const auto& entry : fs::directory_iterator(path_)) {
        result.push_back(entry.path().filename().string());
    }
    std::sort(result.begin(), result.end());
    return result;
}

ToolRun run_tool(const ScratchFolder& folder, const RunOptions& options) {
    // Captures live outside the scratch folder, which must hold only what the tool wrote.
    ScratchFolder capture;
    const fs::path out_path = capture / "stdout";
    const fs::path err_path = capture / "stderr";
    const int out_fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    const int err_fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    int pipe_fds[2] = {-1, -1};
    if (options.standard_output_to_closed_pipe && pipe2(pipe_fds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }

    std::vector<std::string> words{MOSFET_VI_PATH};
    words.insert(words.end(), options.arguments.begin(), options.arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        exec_tool(folder.path(), options,
                  options.standard_output_to_closed_pipe ? pipe_fds[1] : out_fd, err_fd,
                  argv.data());
    }
    if (options.standard_output_to_closed_pipe) {
        close(pipe_fds[0]);  // nobody reads: the tool's writes meet a broken pipe
        close(pipe_fds[1]);
    }
    close(out_fd);
    close(err_fd);

    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    ToolRun run;
    if (WIFEXITED(status)) {
        run.exit_status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        run.terminating_signal = WTERMSIG(status);
    }
    run.out = slurp(out_path);
    run.err = slurp(err_path);
    run.peak_resident_kib = usage.ru_maxrss;
    return run;
}

RunOptions as_nobody() {
    RunOptions options;
    options.drop_privileges = true;
    return options;
}

RunOptions with_file_size_limit(rlim_t bytes) {
    RunOptions options;
    options.file_size_limit = bytes;
    return options;
}

std::vector<std::string> crlf_lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(bytes.substr(start, end - start));
    }
    lines.push_back(bytes.substr(start));
    return lines;
}

}  // namespace mosfet::e2e
