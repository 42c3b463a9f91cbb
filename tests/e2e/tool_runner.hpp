#pragma once

#include <sys/resource.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Runs the built mosfet-vi in a scratch folder of its own and captures everything it does:
// standard output, standard error, the exit status and the files it leaves.

namespace mosfet::e2e {

// A fresh folder under the system's temporary folder, open to every user (so that a run with
// dropped privileges can work in it), removed with everything in it at the end of the test.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

    void write(const std::string& name, const std::string& bytes) const;
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const;
    // The names in the folder, sorted.
    std::vector<std::string> names() const;

  private:
    std::filesystem::path path_;
};

struct RunOptions {
    std::vector<std::string> arguments;
    bool drop_privileges = false;                 // run as nobody (uid and gid 65534)
    std::optional<rlim_t> file_size_limit;        // bytes
    bool close_standard_output = false;           // start with fd 1 closed
    bool standard_output_to_closed_pipe = false;  // fd 1 is a pipe nobody reads
};

struct ToolRun {
    int exit_status = -1;  // -1 when it did not exit normally
    int terminating_signal = 0;
    std::string out;
    std::string err;
    long peak_resident_kib = 0;
};

ToolRun run_tool(const ScratchFolder& folder, const RunOptions& options = {});

// The options of the common cases.
RunOptions as_nobody();
RunOptions with_file_size_limit(rlim_t bytes);

// Splits a file's bytes at CR LF; the last element is what follows the last CR LF.
std::vector<std::string> crlf_lines(const std::string& bytes);

}  // namespace mosfet::e2e
