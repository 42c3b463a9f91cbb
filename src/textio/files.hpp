#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "textio/diagnostics.hpp"

// The only door to the operating system: files addressed by channel numbers, the console line,
// and the two ways a run ends. Every failure raises a RunFailure (see diagnostics.hpp) naming
// the statement and the channel.
//
// Each open channel writes through its own 8192-byte buffer. An existing file is opened at its
// first byte and keeps its content until the first physical write, which cuts it at the end of
// what was written: a file opened and closed with nothing written stays as it was. Every line
// ends with CR LF.

namespace mosfet::textio {

inline constexpr std::size_t output_buffer_size = 8192;

// Sets up the process for a run: signals that would kill the run on a full file-size limit or a
// closed pipe are ignored, so those errors are reported like any other.
void begin_run();

// True when a file of that name is open on a channel or can be opened for reading. A folder,
// or a file without read permission, counts as absent. Blanks around the name are ignored.
//   " data.txt " with a readable data.txt present -> true
//   "folder" naming a folder -> false;  "   " -> fails, INQUIRE "Bad file specification"
bool file_exists(std::string_view name);

// Connects the channel to the named file for reading and writing, at its first byte; an absent
// file is created. The name's surrounding blanks are removed. A file that is not a disk file
// (a terminal, a pipe, a device) is written at the end of every line and never cut. A named
// pipe is opened for writing when something reads it, otherwise for reading only: with no
// writer either, reading it meets the end of the file at once.
//   (10, "table.csv") absent -> created empty;  (11, "read_only.txt") -> OPEN "Access Denied."
//   (11, "a folder") -> OPEN "Access Denied.";  (12, "") -> OPEN "Bad file specification"
void open_file(std::int32_t channel, std::string_view name);

// Appends text to the current line of the channel (no terminator). Any length; a full buffer is
// written out as it fills, a failed write raises WRITE.
void write_text(std::int32_t channel, std::string_view text);

// In-place writing, for a writer that builds its text straight in the channel's buffer:
// output_space is the free end of the buffer (possibly empty); commit_output(channel, count)
// then counts the first `count` bytes written there as text appended as by write_text (a buffer
// that becomes full is written out, a failed write raises WRITE). count <= output_space's size.
//   output_space(10) -> 8192 bytes at first;  after commit_output(10, 5) -> the next 8187
std::span<char> output_space(std::int32_t channel);
void commit_output(std::int32_t channel, std::size_t count);

// Appends the text and CR LF.  "" -> CR LF alone;  "a,b" -> "a,b" CR LF.
void write_line(std::int32_t channel, std::string_view text);

// Reads up to `capacity` bytes of the channel's file; 0 at its end. A failed read raises READ.
std::size_t read_bytes(std::int32_t channel, char* buffer, std::size_t capacity);

// Writes out what the buffer holds and releases the file; the channel is free afterwards even
// when this fails (CLOSE). A channel not open: nothing happens.
void close_file(std::int32_t channel);

// One blank, the text and CR LF on standard output, written at once; a failure raises WRITE on
// channel "*".  "Normal exit." -> the 15 bytes " Normal exit." CR LF.
void write_console_line(std::string_view text);

// Closes every open channel as close_file does and returns the exit status of a successful run,
// 0. A failed close raises its failure; the channels not yet closed stay for fail_run.
int end_run();

// Closes every open channel (writing out their buffers, ignoring any further failure), writes
// the diagnostic on standard error and returns the exit status of a failed run, 255 (-1 in the
// low eight bits).
int fail_run(const RunFailure& failure);

// The number of channels open now (for checks that a run leaves nothing open).
std::size_t open_channel_count();

}  // namespace mosfet::textio
