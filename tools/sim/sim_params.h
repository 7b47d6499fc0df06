// Parameter reads of the simulated meter: the register reads and custom frames the
// parameter window sends, answered from the live values. Between two answers the
// meter's values move on a little (volumes grow with the flows, the clock runs,
// flows, temperature and pressure wobble), as a running meter's do. The fault
// "alarm" raises alarm and fault bits of every status word in the answers.
#pragma once

#include "sim/sim_meter.h"

// Seconds of meter time that pass between two parameter answers.
inline constexpr int kSimParamStepSeconds = 5;

// The answer to a parameter read of the configured device type, or nullopt. The
// request has passed the address and check-byte tests. `live` moves on after an
// answer; the answer itself shows the values as they were when the request came.
std::optional<Bytes> answerParameterRead(const SimConfig& config, SimLiveValues& live, ByteView request);

// The live values as the answers show them: with the fault "alarm", alarm bits set
// (device type 1 hardware fault and high flow, type 3 flow alarm and temperature
// sensor, type 6 low pressure and pressure sensor and high flow, type 7 high flow,
// pressure sensor, lost external power and a valve fault; type 5 alarm word non-zero).
// Device type 5 shows the alarm bytes of device type 6 in its alarm word.
SimLiveValues reportedValues(const SimConfig& config, const SimLiveValues& live);

// Device type 5 parameter block (38 registers) from the live values: the sheet's
// parameter rows when the protocol workbook was loaded, each row the value its
// caption names; otherwise the block of the shipped workbook: serial number (S16),
// clock (DT2), standard and working volume (DBL), standard and working flow,
// temperature, pressure, compression factor, meter factor, battery (FLT), alarm
// word (S8), running days (LNG), address (BYTE).
Bytes typedParamData(const SimConfig& config, const SimLiveValues& live);

// Moves the values on by `seconds` of running.
void advanceLiveValues(SimLiveValues& live, int seconds);
