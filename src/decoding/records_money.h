// Record layouts of the money-version IC-card gas flow meter (Modbus V3.1) for the
// kinds it does not share with the V2.0 corrector: parameter changes with the price
// table, anti-cut, anti-removal, consumption and recharge. Same block framing as
// records_v20.h.
#pragma once

#include <cstdint>
#include <span>

#include "codec/codec.h"
#include "decoding/records_v20.h"

extern const RecordBlockLayout kParamChangeMoney;
extern const RecordBlockLayout kAntiCutMoney;
extern const RecordBlockLayout kAntiRemovalMoney;
extern const RecordBlockLayout kConsumptionMoney;
extern const RecordBlockLayout kRechargeMoney;

std::span<const ParamChangeEntry> paramTableMoney();
const ParamChangeEntry* lookupParamMoney(uint16_t code);

// Text of a recharge record's application type byte; empty for an unknown type.
const char* applicationTypeText(uint8_t type);
