// Record decoders and column layouts of device type 7 (money-version IC-card gas flow
// meter, Modbus V3.1) for the kinds it does not share with device type 6: parameter
// changes with the price table (74), anti-cut (79), anti-removal (710), consumption
// (712) and recharge (713). Same block framing and result codes as records_v20.h:
// 2 wrong length, 3 bad CRC, 4 at the first all-0xFF record (earlier rows kept),
// 1 otherwise; the block number is not used.
#pragma once

#include <cstdint>
#include <span>

#include "codec/codec.h"
#include "decoding/record_table.h"
#include "decoding/records_v20.h"

int DecodeParamChangeMoney(int blockNumber, ByteView reply, RecordTable& table); // 74
int DecodeAntiCutMoney(int blockNumber, ByteView reply, RecordTable& table);     // 79
int DecodeAntiRemovalMoney(int blockNumber, ByteView reply, RecordTable& table); // 710
int DecodeConsumptionMoney(int blockNumber, ByteView reply, RecordTable& table); // 712
int DecodeRechargeMoney(int blockNumber, ByteView reply, RecordTable& table);    // 713

std::span<const ParamChangeEntry> ParamTableMoney();
const ParamChangeEntry* LookupParamMoney(uint16_t code);

// Text of a recharge record's application type byte; empty for an unknown type.
const char* ApplicationTypeText(uint8_t type);

// Appends the columns of kinds 71..79, 710..713 (shared kinds reuse the device type 6
// layouts); any other kind adds nothing.
void SetupColumnsMoney(int kindCode, RecordTable& table);
