#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The usage notes "ReadMe2Use.txt", written on a first run next to the new parameter file:
// nineteen lines, the last one empty, with the parameter file's name and the curve table's base
// name inserted at their own length.

namespace mosfet::driver {

inline constexpr std::int32_t usage_notes_channel = 12;

std::vector<std::string> usage_notes_lines(std::string_view parameter_file_name,
                                           std::string_view table_base_name);

void write_usage_notes(std::int32_t channel, std::string_view parameter_file_name,
                       std::string_view table_base_name);

}  // namespace mosfet::driver
