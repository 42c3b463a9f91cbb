#include "driver/usage_notes.hpp"

#include "textio/files.hpp"

namespace mosfet::driver {

std::vector<std::string> usage_notes_lines(std::string_view parameter_file_name,
                                           std::string_view table_base_name) {
    const std::string P(parameter_file_name);
    const std::string B(table_base_name);
    // The double blanks on two lines and the quote that opens on one line and closes on the
    // next are part of the text.
    return {
        "mosfet-vi: copyright (c) 2026 the mosfet-vi developers.",
        "There are no warranties on this program, express or implied.",
        "",
        "To use, edit the file " + P,
        "",
        "If the program is called and " + P + " is not present, it generates a new",
        "one with default parameters.",
        "",
        "The first three parameters determine the transistor characteristics.",
        "The next two parameters determine the range of gate voltages used.",
        "The last two parameters determine the maximum drain voltage plotted",
        "and the granularity of the data in the constant current region.  The",
        "program automatically adjusts the granularity for the triode region.",
        "",
        "To plot the v-i curves, load the output file " + B + ".csv",
        "into a spreadsheet program.  Click on the Chart Wizard, select chart",
        "type \"XY (scatter)\", of type \"data points connected by lines",
        "without markers.\"",
        "",
    };
}

void write_usage_notes(std::int32_t channel, std::string_view parameter_file_name,
                       std::string_view table_base_name) {
    for (const std::string& line : usage_notes_lines(parameter_file_name, table_base_name)) {
        textio::write_line(channel, line);
    }
}

}  // namespace mosfet::driver
