#include "table/curve_table.hpp"

#include <algorithm>
#include <array>
#include <cassert>
#include <span>
#include <string>

#include "table/sweep_guard.hpp"
#include "textio/compact_field.hpp"
#include "textio/files.hpp"
#include "textio/output_fields.hpp"

namespace mosfet::table {
namespace {

// Row numbers are compact 15/6 general fields; the header's gate voltages are 4/1 fixed fields.
constexpr int gate_field_width = 4;
constexpr int gate_field_decimals = 1;

// A line is built in pieces of at most piece_room bytes: a comma and a number, a header group
// (",", four characters, " V"), a literal.
constexpr std::size_t piece_room = 1 + textio::compact_general_room;

// Collects one line into a string: for tests and small tables.
class StringSink {
  public:
    explicit StringSink(std::string& line) : line_(line) {}

    // put(char* out) writes at most piece_room bytes at out and returns the end of its text.
    template <class Put>
    void piece(Put put) {
        std::array<char, piece_room> scratch{};
        const char* stop = put(scratch.data());
        line_.append(scratch.data(), static_cast<std::size_t>(stop - scratch.data()));
    }

  private:
    std::string& line_;
};

// Builds lines straight in the channel's output buffer, with nothing allocated and nothing held
// per row. A piece that might not fit in the room left is built aside and appended with
// write_text, which fills the buffer to its last byte before writing it out: the file gets the
// same writes as if whole lines were handed over.
class ChannelSink {
  public:
    explicit ChannelSink(std::int32_t channel) : channel_(channel) { take_space(); }

    template <class Put>
    void piece(Put put) {
        if (static_cast<std::size_t>(end_ - next_) >= piece_room) {
            next_ = put(next_);
            return;
        }
        std::array<char, piece_room> scratch{};
        const char* stop = put(scratch.data());
        commit();
        textio::write_text(channel_, std::string_view(scratch.data(), stop));
        take_space();
    }

    void end_line() {
        commit();
        textio::write_line(channel_, {});
        take_space();
    }

  private:
    void commit() { textio::commit_output(channel_, static_cast<std::size_t>(next_ - begin_)); }

    void take_space() {
        const std::span<char> space = textio::output_space(channel_);
        begin_ = space.data();
        next_ = begin_;
        end_ = begin_ + space.size();
    }

    std::int32_t channel_;
    char* begin_ = nullptr;  // the free part of the buffer when it was last taken
    char* next_ = nullptr;   // the end of what this sink has written there
    char* end_ = nullptr;
};

template <class Sink>
void append_literal(Sink& sink, std::string_view text) {
    assert(text.size() <= piece_room);
    sink.piece([text](char* out) { return std::copy(text.begin(), text.end(), out); });
}

// "," and x as a compact 15/6 general field.
template <class Sink>
void append_number(Sink& sink, double x) {
    sink.piece([x](char* out) {
        *out = ',';
        return textio::compact_general_15_6(x, out + 1);
    });
}

template <class Sink>
void append_header(Sink& sink, const SweepPlan& plan) {
    append_literal(sink, "VD V,Bound");
    for (std::int64_t i = 0; i < plan.curve_count; ++i) {
        const double VG = gate_voltage(plan, i);
        sink.piece([VG](char* out) {
            *out = ',';
            out = textio::format_fixed(VG, gate_field_width, gate_field_decimals, out + 1);
            out[0] = ' ';
            out[1] = 'V';
            return out + 2;
        });
    }
}

// A Bound row is "VD,Bound,I0,...", a plain row "VD,,I0,...": the empty second column keeps the
// currents in the same columns in both forms.
template <class Sink>
void append_row(Sink& sink, const SweepPlan& plan, const TableRow& row) {
    sink.piece([&row](char* out) { return textio::compact_general_15_6(row.VD, out); });
    if (row.is_bound_row) {
        append_number(sink, row.Bound);
    } else {
        append_literal(sink, ",");
    }
    for (std::int64_t i = 0; i < plan.curve_count; ++i) {
        append_number(sink, curve_current_mA(plan, row.VD, i));
    }
}

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

}  // namespace

std::string header_line(const SweepPlan& plan) {
    std::string line;
    StringSink sink(line);
    append_header(sink, plan);
    return line;
}

std::string row_line(const SweepPlan& plan, const TableRow& row) {
    std::string line;
    append_row_line(line, plan, row);
    return line;
}

void append_row_line(std::string& line, const SweepPlan& plan, const TableRow& row) {
    StringSink sink(line);
    append_row(sink, plan, row);
}

void write_curve_table(const model::ModelParameters& model, std::int32_t channel,
                       std::string_view base_name, double VGDelta, std::int32_t NVGate,
                       double VDDelta, double VDmax) {
    const SweepPlan plan = plan_sweep(model, VGDelta, NVGate);
    // Refused before the file is opened, so that an earlier table stays as it was.
    if (const auto refusal = sweep_refusal(plan, VDDelta, VDmax)) {
        textio::raise_failure(textio::Statement::open, channel, *refusal);
    }

    textio::open_file(channel, trimmed(base_name) + ".csv");
    ChannelSink sink(channel);
    append_header(sink, plan);
    sink.end_line();
    run_sweep(plan, VDDelta, VDmax, [&](const TableRow& row) {
        append_row(sink, plan, row);
        sink.end_line();
    });
    textio::close_file(channel);
}

}  // namespace mosfet::table
