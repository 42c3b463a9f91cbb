// Whole-run benchmark: mosfet-vi on the benchmark workload against an I/O floor.
//
//   mosfet_whole_run [runs] [row scale]
//
// Each round runs the tool in a scratch folder (the parameter file already there, so only the
// curve table is written), then writes the same number of bytes from one reused 8192-byte
// buffer to a file in the same folder. Prints the median wall time of each, their ratio and
// the tool's peak resident memory. A row scale of 10 divides VDDelta by ten (ten times the rows).

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The workload: 19 curves, 410,180 rows, about 67 MB of table (row scale 1).
std::string workload_parameter_file(int row_scale) {
    const char* vddelta = row_scale == 10 ? "0.00001" : "0.0001";
    std::string text = "benchmark workload\r\n";
    const std::string fields[] = {"2.0", "100.0", "0.0008", "0.5", "18", vddelta, "50.0"};
    for (const std::string& field : fields) {
        // Reals need their decimal point; NVGate is an integer field.
        text += field + std::string(25 - field.size(), ' ') + ",\r\n";
    }
    return text + "\r\n";
}

struct ToolTiming {
    double seconds;
    long peak_kib;
};

ToolTiming run_tool(const fs::path& folder) {
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) {
            _exit(127);
        }
        const int null_fd = open("/dev/null", O_WRONLY);
        dup2(null_fd, 1);
        execl(MOSFET_VI_PATH, MOSFET_VI_PATH, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "mosfet-vi failed (status %d)\n", status);
        std::exit(1);
    }
    return {seconds, usage.ru_maxrss};
}

double write_io_floor(const fs::path& file, std::uintmax_t bytes) {
    static std::array<char, 8192> buffer{};
    buffer.fill('7');
    const auto start = Clock::now();
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    for (std::uintmax_t left = bytes; left > 0;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uintmax_t>(left, 8192));
        if (write(fd, buffer.data(), n) != static_cast<ssize_t>(n)) {
            std::perror("write");
            std::exit(1);
        }
        left -= n;
    }
    close(fd);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const int row_scale = argc > 2 ? std::atoi(argv[2]) : 1;

    std::string pattern = (fs::temp_directory_path() / "mosfet-vi-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path folder = pattern;
    std::ofstream(folder / "MOSFET_input_data.txt", std::ios::binary)
        << workload_parameter_file(row_scale);

    // One warm-up run gives the byte count of the table.
    run_tool(folder);
    const std::uintmax_t bytes = fs::file_size(folder / "MOSFET_transistor_vi.csv");

    std::vector<double> tool_times;
    std::vector<double> floor_times;
    long peak_kib = 0;
    for (int i = 0; i < runs; ++i) {
        const ToolTiming t = run_tool(folder);
        tool_times.push_back(t.seconds);
        peak_kib = std::max(peak_kib, t.peak_kib);
        floor_times.push_back(write_io_floor(folder / "io_floor.bin", bytes));
    }
    fs::remove_all(folder);

    const double tool = median(tool_times);
    const double io_floor = median(floor_times);
    std::printf("table bytes         %ju\n", bytes);
    std::printf("runs                %d (interleaved)\n", runs);
    std::printf("mosfet-vi median    %.4f s\n", tool);
    std::printf("I/O floor median    %.4f s\n", io_floor);
    std::printf("ratio               %.2f (target <= 3.5)\n", tool / io_floor);
    std::printf("peak resident       %.2f MiB (target <= 4)\n",
                static_cast<double>(peak_kib) / 1024.0);
    return 0;
}
