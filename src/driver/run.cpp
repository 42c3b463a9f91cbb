#include "driver/run.hpp"

#include <string_view>

#include "driver/parameter_file.hpp"
#include "driver/usage_notes.hpp"
#include "model/device_model.hpp"
#include "table/curve_table.hpp"
#include "textio/files.hpp"
#include "textio/line_reader.hpp"

namespace mosfet::driver {
namespace {

constexpr std::string_view parameter_file_name = "MOSFET_input_data.txt";
constexpr std::string_view usage_notes_name = "ReadMe2Use.txt";
// The curve table trims its base name itself; it gets the name at its full 40-character width.
constexpr std::string_view table_base_name = "MOSFET_transistor_vi                    ";
constexpr std::int32_t curve_table_channel = 10;

RunParameters read_parameters() {
    textio::open_file(parameter_file_channel, parameter_file_name);
    textio::LineReader reader(parameter_file_channel);
    const RunParameters parameters = read_parameter_file(reader);
    textio::close_file(parameter_file_channel);
    return parameters;
}

// A first run: the parameter file with the defaults, complete and closed before the usage notes
// are opened.
RunParameters create_parameter_files() {
    const RunParameters defaults;
    textio::open_file(parameter_file_channel, parameter_file_name);
    write_parameter_file(parameter_file_channel, defaults);
    textio::close_file(parameter_file_channel);

    textio::open_file(usage_notes_channel, usage_notes_name);
    write_usage_notes(usage_notes_channel, parameter_file_name, "MOSFET_transistor_vi");
    textio::close_file(usage_notes_channel);
    return defaults;
}

int run_steps() {
    // binary64 arithmetic with round-to-nearest is the default of this platform (SSE2 doubles,
    // no x87 extended precision, no contraction): nothing to set.
    const RunParameters p =
        textio::file_exists(parameter_file_name) ? read_parameters() : create_parameter_files();
    const model::ModelParameters model{p.K_conductance_parameter, p.VTransition, p.V_DS_Early};
    table::write_curve_table(model, curve_table_channel, table_base_name, p.VGDelta, p.NVGate,
                             p.VDDelta, p.VDmax);
    textio::write_console_line("Normal exit.");
    return textio::end_run();
}

}  // namespace

int run() {
    textio::begin_run();
    try {
        return run_steps();
    } catch (const textio::RunFailure& failure) {
        return textio::fail_run(failure);
    }
}

}  // namespace mosfet::driver
