#include "table/curve_table.hpp"

#include <array>
#include <string>

#include "table/sweep_guard.hpp"
#include "textio/files.hpp"
#include "textio/output_fields.hpp"

namespace mosfet::table {
namespace {

// Row numbers are 15/6 general fields; the header's gate voltages are 4/1 fixed fields.
constexpr int row_field_width = 15;
constexpr int row_field_digits = 6;
constexpr int gate_field_width = 4;
constexpr int gate_field_decimals = 1;

// Collects one line into a string: for tests and small tables.
class StringSink {
  public:
    void append(std::string_view text) { line_.append(text); }
    std::string take() { return std::move(line_); }

  private:
    std::string line_;
};

// Builds lines straight into a fixed buffer and hands it to the file layer whenever it fills,
// so that a line with a million curves needs no more memory than one with seven.
class ChannelSink {
  public:
    explicit ChannelSink(std::int32_t channel) : channel_(channel) {}

    void append(std::string_view text) {
        if (text.size() > buffer_.size() - used_) {
            flush();
        }
        if (text.size() > buffer_.size()) {
            textio::write_text(channel_, text);
            return;
        }
        text.copy(buffer_.data() + used_, text.size());
        used_ += text.size();
    }

    void end_line() {
        textio::write_line(channel_, std::string_view(buffer_.data(), used_));
        used_ = 0;
    }

  private:
    void flush() {
        textio::write_text(channel_, std::string_view(buffer_.data(), used_));
        used_ = 0;
    }

    std::int32_t channel_;
    std::array<char, 16384> buffer_{};
    std::size_t used_ = 0;
};

// Appends x as a 15/6 general field with its blanks removed.
template <class Sink>
void append_compact_number(Sink& sink, double x) {
    std::array<char, row_field_width> field{};
    textio::format_general(x, row_field_width, row_field_digits, field.data());
    std::array<char, row_field_width> compact{};
    std::size_t length = 0;
    for (const char c : field) {
        if (c != ' ') {
            compact[length++] = c;
        }
    }
    sink.append(std::string_view(compact.data(), length));
}

template <class Sink>
void append_header(Sink& sink, const SweepPlan& plan) {
    sink.append("VD V,Bound");
    for (std::int64_t i = 0; i < plan.curve_count; ++i) {
        std::array<char, gate_field_width> field{};
        textio::format_fixed(gate_voltage(plan, i), gate_field_width, gate_field_decimals,
                             field.data());
        sink.append(",");
        sink.append(std::string_view(field.data(), field.size()));
        sink.append(" V");
    }
}

// A Bound row is "VD,Bound,I0,...", a plain row "VD,,I0,...": the empty second column keeps the
// currents in the same columns in both forms.
template <class Sink>
void append_row(Sink& sink, const SweepPlan& plan, const TableRow& row) {
    append_compact_number(sink, row.VD);
    sink.append(",");
    if (row.is_bound_row) {
        append_compact_number(sink, row.Bound);
    }
    for (std::int64_t i = 0; i < plan.curve_count; ++i) {
        sink.append(",");
        append_compact_number(sink, curve_current_mA(plan, row.VD, i));
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
    StringSink sink;
    append_header(sink, plan);
    return sink.take();
}

std::string row_line(const SweepPlan& plan, const TableRow& row) {
    StringSink sink;
    append_row(sink, plan, row);
    return sink.take();
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
