// Record layouts of the money-version IC-card gas flow meter (Modbus V3.1) for the
// kinds it does not share with the V2.0 corrector: parameter changes with the price
// table, anti-cut, anti-removal, consumption and recharge. Same block framing as
// records_type6.h.
#pragma once

#include <cstdint>
#include <span>

#include "codec/codec.h"
#include "decoding/records_type6.h"

extern const RecordBlockLayout kParamChangeType7;
extern const RecordBlockLayout kAntiCutType7;
extern const RecordBlockLayout kAntiRemovalType7;
extern const RecordBlockLayout kConsumptionType7;
extern const RecordBlockLayout kRechargeType7;

std::span<const ParamChangeEntry> paramTableType7();
const ParamChangeEntry* lookupParamType7(uint16_t code);

// Text of a recharge record's application type byte; empty for an unknown type.
const char* applicationTypeText(uint8_t type);
