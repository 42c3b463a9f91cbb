#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "textio/line_reader.hpp"

// The parameter file "MOSFET_input_data.txt": a header line, seven lines each holding a
// 25-column number field followed by its comment text, and an empty ninth line.
//
//        2.00000000000000    ,VTransition, Volts; typically 2 Volts
//       0.800000000000000E-03,K_conductance_parameter, Amp/Volt^2; from 8 X 10^(-4) to 1
//                           6,NVGate, number of v-i plots; VG = i*VGDelta+VTransistion, i=0,NVGate
//
// The reader takes columns 1 to 25 of lines 2 to 8 and needs line 9 to exist, ended by LF.

namespace mosfet::driver {

struct RunParameters {
    double VTransition = 2.0;
    double V_DS_Early = 100.0;
    double K_conductance_parameter = 0.0008;
    double VGDelta = 1.0;
    std::int32_t NVGate = 6;
    double VDDelta = 1.0;
    double VDmax = 20.0;
};

inline constexpr std::int32_t parameter_file_channel = 11;

// The nine lines of the file, without terminators.
std::vector<std::string> parameter_file_lines(const RunParameters& parameters);

// Writes the nine lines on the open channel.
void write_parameter_file(std::int32_t channel, const RunParameters& parameters);

// Reads the seven values, from line 1 through line 9.
RunParameters read_parameter_file(textio::LineReader& reader);

}  // namespace mosfet::driver
