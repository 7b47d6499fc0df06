// Record layouts and decoders of device type 4 (volume corrector, Modbus V1.4). One
// reply carries a block of K records of S bytes: address, function, byte count, a
// 14-byte block header (not shown), the records from offset 17, then the CRC-16.
// Every record starts with its record number (16 bits, high byte first; the row
// caption) and a 6-byte BCD time stamp.
//
// Results: 2 when the reply is not exactly 3 + 14 + K × S + 2 bytes (an empty reply
// included), 3 on a CRC mismatch (table untouched in both cases), 4 at the first record
// whose bytes after the record number are all 0xFF (rows of earlier records stay),
// 1 when all K records were appended. The block number is not used.
#pragma once

#include "codec/codec.h"
#include "decoding/record_table.h"

// Appends the columns of kinds 41..49, 410 and 411; any other kind adds nothing.
void SetupColumnsV14(int kindCode, RecordTable& table);

int DecodeDailyV14(int blockNumber, ByteView reply, RecordTable& table);       // 41
int DecodeCurrentHourV14(int blockNumber, ByteView reply, RecordTable& table); // 42
int DecodePrevHourV14(int blockNumber, ByteView reply, RecordTable& table);    // 43
int DecodeParamChangeV14(int blockNumber, ByteView reply, RecordTable& table); // 44
int DecodeAlarmEventV14(int blockNumber, ByteView reply, RecordTable& table);  // 45, 47, 48
int DecodeAlarmEvent2V14(int blockNumber, ByteView reply, RecordTable& table); // 46
int DecodeStartStopV14(int blockNumber, ByteView reply, RecordTable& table);   // 49
int DecodeTamperV14(int blockNumber, ByteView reply, RecordTable& table);      // 410, 411
