// Device type 5 register map of the simulated meter, taken from the protocol
// workbook as the reader takes it: the four record sections (start register,
// registers per record, field types and captions) and the parameter rows, served
// from the live values their captions name.
#pragma once

#include "decoding/protocol_sheet.h"
#include "settings/shipped_workbook.h"
#include "sim/sim_meter.h"

#include <string>
#include <vector>

// Excel/ plus the shipped protocol workbook beside the running executable, or in the
// installed data folder when only that has it (empty when the executable's own path
// cannot be found).
std::string defaultSimWorkbookPath();

struct SimWorkbookLoad {
    // Empty on success; otherwise the message for stderr, and `config` is unchanged.
    std::string error;
    // Things the simulator serves differently from the sheet (it answers the
    // parameter block only where identification probes it); the load still succeeds.
    std::vector<std::string> warnings;
    bool ok() const { return error.empty(); }
};

// Fills `config.typedSections` (kinds 51 to 54 and their block counts) and
// `config.typedParams` from the cells of a protocol sheet.
SimWorkbookLoad fillTypedFromSheet(const CellReader& cell, SimConfig& config);

// Reads the first worksheet of the workbook at `path` and fills `config` as above.
// A missing or broken workbook gives an error, never a crash.
SimWorkbookLoad loadSimWorkbook(const std::string& path, SimConfig& config);
