#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Reads a text file one line at a time and takes number fields from fixed columns.
//
// A line ends at LF; every CR is dropped wherever it stands; a tab becomes blanks up to the
// next multiple of 8 columns. End of file before the LF of a needed line is the end-of-file
// failure, even when characters were already collected. A line longer than max_line_length,
// counted in bytes taken from the file or in characters after tab expansion, fails as if memory
// had run out ("Buffer allocation failed"). Reads are eager: begin_read and next_line fetch the
// whole line when called.
//
//   "ab\r\ncd\n"  -> lines "ab", "cd"; a third next_line fails (end of file)
//   "a\tb\n"      -> line "a" + 7 blanks + "b"
//   "abc"         -> begin_read fails: the line has no LF
//
// Every failure raises a RunFailure with statement READ and the reader's channel.

namespace mosfet::textio {

// 16 MiB. A parameter file line holds a few dozen characters; the bound keeps a file that never
// ends a line (a link to /dev/zero) from taking all memory or reading for ever.
inline constexpr std::size_t max_line_length = std::size_t{1} << 24;

class LineReader {
  public:
    // Reads the file open on `channel` through the file layer.
    explicit LineReader(std::int32_t channel);
    // Reads `bytes` as if they were the file's content; failures still name `channel`. The
    // bytes must outlive the reader.
    LineReader(std::int32_t channel, std::string_view bytes);

    void begin_read();
    void next_line();
    // The next field of the current line, as the number input fields read it (see
    // input_fields.hpp); the column moves past the field and an ending comma.
    double read_general_field(int w, int d);
    std::int32_t read_integer_field(int w);

    std::string_view current_line() const { return line_; }

  private:
    void read_line();
    bool refill();
    void append_cleaned(std::string_view bytes);

    std::int32_t channel_;
    bool from_memory_;
    std::string_view memory_;   // the in-memory file's bytes not yet taken
    std::string chunk_;         // the last chunk taken from the file
    std::string_view pending_;  // the part of chunk_ not yet put into a line
    std::string line_;
    std::size_t column_ = 0;
};

}  // namespace mosfet::textio
