// Record block answers of the simulated meter, every kind of every device type.
// The request has already passed the address and check-byte tests.
#pragma once

#include "sim/sim_meter.h"

// The reply to a record request of the configured device type, or nullopt when
// the type has no such request (wrong function, unknown kind byte, a record
// range longer than the kind's block).
std::optional<Bytes> answerRecordRequest(const SimConfig& config, ByteView request);

// The record answers of each request family, for the device type table.
std::optional<Bytes> answerRecordsByIndex(const SimConfig& config, ByteView request);   // A 66 00 T 02 B
std::optional<Bytes> answerRecordsCustom(const SimConfig& config, ByteView request);    // 55 55 A 28 03 K
std::optional<Bytes> answerRecordRangeV14(const SimConfig& config, ByteView request);   // A 65 09 K F L
std::optional<Bytes> answerRecordRangeV20(const SimConfig& config, ByteView request);   // A 65 09 K F L
std::optional<Bytes> answerRecordRangeMoney(const SimConfig& config, ByteView request); // A 65 09 K F L
std::optional<Bytes> answerRegisterRecords(const SimConfig& config, ByteView request);  // A 03 S N

// Data bytes of one record of a device type 5 section (2 × registerCount bytes);
// `ordinal` counts stored records from 0.
Bytes typedRecordData(const SimTypedSection& section, int ordinal);
