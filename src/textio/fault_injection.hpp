#pragma once

#include <cerrno>
#include <cstdint>
#include <optional>

// For tests only: makes a write(2) or close(2) of the file layer fail as if the system had
// refused it, for faults that no test machine gives on demand (a failing close, an I/O error on
// a write). The tool itself never sets a fault.

namespace mosfet::textio {

enum class SystemCall { write, close };

struct InjectedFault {
    SystemCall call = SystemCall::write;
    std::int32_t channel = 0;
    int nth = 1;  // the first failing call, counting the calls of that kind on the channel from 1
    int error = EIO;
};

// From the nth call of its kind on its channel on, every such call fails with the fault's error:
// a write moves no byte, a close still releases the descriptor (as Linux does) but reports the
// error. Replaces any earlier fault and restarts the count; std::nullopt removes the fault.
//   {write, 10, 2, EIO}: the table's first 8192 bytes reach the file, the next write fails
//   {close, 11, 1, EIO}: the parameter file is complete, then CLOSE(UNIT=11) fails
void inject_fault(std::optional<InjectedFault> fault);

}  // namespace mosfet::textio
