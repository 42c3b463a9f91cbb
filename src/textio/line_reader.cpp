#include "textio/line_reader.hpp"

#include <new>
#include <stdexcept>

#include "textio/diagnostics.hpp"
#include "textio/files.hpp"
#include "textio/input_fields.hpp"

namespace mosfet::textio {
namespace {

constexpr std::size_t chunk_size = std::size_t{1} << 16;
constexpr std::size_t tab_stop = 8;

}  // namespace

LineReader::LineReader(std::int32_t channel) : channel_(channel), from_memory_(false) {}

LineReader::LineReader(std::int32_t channel, std::string_view bytes)
    : channel_(channel), from_memory_(true), memory_(bytes) {}

void LineReader::begin_read() {
    read_line();
}

void LineReader::next_line() {
    read_line();
}

double LineReader::read_general_field(int w, int d) {
    const RealField field = parse_general_field(take_field(line_, column_, w), d);
    if (field.error != FieldError::none) {
        raise_failure(Statement::read, channel_, illegal_character_message);
    }
    return field.value;
}

std::int32_t LineReader::read_integer_field(int w) {
    const IntegerField field = parse_integer_field(take_field(line_, column_, w));
    if (field.error == FieldError::integer_overflow) {
        raise_failure(Statement::read, channel_, integer_overflow_message);
    }
    if (field.error != FieldError::none) {
        raise_failure(Statement::read, channel_, illegal_character_message);
    }
    return field.value;
}

void LineReader::read_line() {
    line_.clear();
    column_ = 0;
    std::size_t taken = 0;  // bytes of the file taken for this line, CRs and tabs included
    try {
        for (;;) {
            if (pending_.empty() && !refill()) {
                raise_failure(Statement::read, channel_, read_past_end_message);
            }
            const std::size_t lf = pending_.find('\n');
            const std::string_view piece = pending_.substr(0, lf);
            taken += piece.size();
            if (taken > max_line_length) {
                raise_failure(Statement::read, channel_, buffer_allocation_message);
            }
            append_cleaned(piece);
            if (line_.size() > max_line_length) {
                raise_failure(Statement::read, channel_, buffer_allocation_message);
            }
            if (lf != std::string_view::npos) {
                pending_.remove_prefix(lf + 1);
                return;
            }
            pending_ = {};
        }
    } catch (const std::bad_alloc&) {
        raise_failure(Statement::read, channel_, buffer_allocation_message);
    } catch (const std::length_error&) {
        raise_failure(Statement::read, channel_, buffer_allocation_message);
    }
}

// Takes the next chunk of the file and makes it pending; false at the end of the file. The file
// is read a chunk at a time, never byte by byte; bytes in memory go through the same chunks.
bool LineReader::refill() {
    if (chunk_.empty()) {
        chunk_.resize(chunk_size);
    }
    std::size_t count = 0;
    if (from_memory_) {
        count = memory_.copy(chunk_.data(), chunk_.size());
        memory_.remove_prefix(count);
    } else {
        count = read_bytes(channel_, chunk_.data(), chunk_.size());
    }
    pending_ = std::string_view(chunk_.data(), count);
    return count > 0;
}

// Appends bytes of the current line without CRs and with tabs turned into blanks up to the next
// tab stop, counted over the line as cleaned so far.
void LineReader::append_cleaned(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t special = bytes.find_first_of("\r\t");
        line_.append(bytes.substr(0, special));
        if (special == std::string_view::npos) {
            return;
        }
        if (bytes[special] == '\t') {
            line_.append(tab_stop - line_.size() % tab_stop, ' ');
        }
        bytes.remove_prefix(special + 1);
    }
}

}  // namespace mosfet::textio
