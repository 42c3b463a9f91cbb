#include "textio/files.hpp"

// Placeholder: the file layer is being built; every operation fails until then.

namespace mosfet::textio {

void begin_run() {}
bool file_exists(std::string_view) { return false; }
void open_file(std::int32_t channel, std::string_view) {
    raise_failure(Statement::open, channel, "not built yet");
}
void write_text(std::int32_t channel, std::string_view) {
    raise_failure(Statement::write, channel, "not built yet");
}
void write_line(std::int32_t channel, std::string_view) {
    raise_failure(Statement::write, channel, "not built yet");
}
std::size_t read_bytes(std::int32_t channel, char*, std::size_t) {
    raise_failure(Statement::read, channel, "not built yet");
}
void close_file(std::int32_t) {}
void write_console_line(std::string_view) {}
int end_run() { return 0; }
int fail_run(const RunFailure&) { return 255; }

}  // namespace mosfet::textio
