#include "driver/parameter_file.hpp"

#include <array>
#include <string_view>

#include "textio/files.hpp"
#include "textio/output_fields.hpp"

namespace mosfet::driver {
namespace {

// Every number sits in columns 1 to 25, its comment text starts with the comma in column 26.
constexpr int field_width = 25;
constexpr int real_digits = 15;

constexpr std::string_view header = "Data file for MOSFET model and v-i courve plotter";

constexpr std::array<std::string_view, 7> comments = {
    ",VTransition, Volts; typically 2 Volts",
    ",V_DS_Early, Volts; typically 100 Volts",
    ",K_conductance_parameter, Amp/Volt^2; from 8 X 10^(-4) to 1",
    ",VGDelta, Volts; difference in gate voltage for v-i plots",
    ",NVGate, number of v-i plots; VG = i*VGDelta+VTransistion, i=0,NVGate",
    ",VDDelta, Volts; plot granularity in constant current region",
    ",VDmax, Volts; maximum drain voltage for v-i plots",
};

}  // namespace

std::vector<std::string> parameter_file_lines(const RunParameters& p) {
    const std::array<double, 6> reals = {p.VTransition, p.V_DS_Early, p.K_conductance_parameter,
                                         p.VGDelta,     p.VDDelta,    p.VDmax};
    std::vector<std::string> lines;
    lines.emplace_back(header);
    std::size_t next_real = 0;
    for (std::size_t i = 0; i < comments.size(); ++i) {
        // NVGate, the fifth value, is the only integer.
        std::string field =
            i == 4 ? textio::integer_field(p.NVGate, field_width)
                   : textio::general_field(reals[next_real++], field_width, real_digits);
        lines.push_back(field.append(comments[i]));
    }
    lines.emplace_back();
    return lines;
}

void write_parameter_file(std::int32_t channel, const RunParameters& parameters) {
    for (const std::string& line : parameter_file_lines(parameters)) {
        textio::write_line(channel, line);
    }
}

RunParameters read_parameter_file(textio::LineReader& reader) {
    // The header is passed over; each value sits at the start of its own line.
    reader.begin_read();
    const auto next_real = [&reader] {
        reader.next_line();
        return reader.read_general_field(field_width, real_digits);
    };
    RunParameters p;
    p.VTransition = next_real();
    p.V_DS_Early = next_real();
    p.K_conductance_parameter = next_real();
    p.VGDelta = next_real();
    reader.next_line();
    p.NVGate = reader.read_integer_field(field_width);
    p.VDDelta = next_real();
    p.VDmax = next_real();
    // The ninth line is not used, but it must be there, ended by its line feed.
    reader.next_line();
    return p;
}

}  // namespace mosfet::driver
