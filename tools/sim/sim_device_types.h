// What the simulated meter knows of each device type, in one place: how the type
// frames its requests, which record requests it answers, and which requests its
// identification and its parameter reads get answered with. The simulator keeps
// this knowledge of its own (it is what the program's tests compare against), so
// it does not ask the program's device registry.
#pragma once

#include "codec/framing_dialect.h"
#include "sim/sim_live_values.h"
#include "sim/sim_meter.h"

#include <optional>
#include <vector>

// A request the meter recognises and the answer it builds from its live values.
struct SimWindow {
    bool (*matches)(ByteView request);
    Bytes (*reply)(const SimConfig& config, const SimLiveValues& live);
};

struct SimDeviceType {
    int code = 0;
    const FramingDialect* dialect = nullptr;
    std::optional<Bytes> (*answerRecords)(const SimConfig& config, ByteView request) = nullptr;
    std::vector<SimWindow> probeWindows; // identification (and the meter search)
    std::vector<SimWindow> paramWindows; // the parameter window's reads; tried first
    // The record sections and parameter block come from the protocol workbook.
    bool servesWorkbook = false;
};

// nullptr for a type the simulator does not know.
const SimDeviceType* findSimDeviceType(int code);
