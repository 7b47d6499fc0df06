// Record layouts and decoders of device types 1 and 2 (Modbus V1.2/V1.3 frames: address,
// function, byte count, data, CRC-16) and device type 3 (custom frame: 0x55 0x55 header,
// data fields from offset 7, 8-bit sum of offsets 2..length-2 in the last byte).
//
// One record per block: each decoded reply appends one row captioned with the block
// number. Results: 2 for a length the kind does not accept (an empty reply included),
// 3 for a CRC/sum mismatch or a missing custom header, 4 for a blank slot (data bytes
// all 0x00 for types 1/2, all 0xFF for type 3, or the short no-record answer), 1 when
// the row was appended. The table is changed only on 1; nothing is read outside reply.
#pragma once

#include "codec/codec.h"
#include "decoding/record_table.h"

// Appends the columns of kinds 11..14, 21..24, 31..33; any other kind adds nothing.
void SetupColumnsV12(int kindCode, RecordTable& table);

int DecodeRealtimeV12(int blockNumber, ByteView reply, RecordTable& table);     // 11, 21
int DecodeMonthV12(int blockNumber, ByteView reply, RecordTable& table);        // 12, 22
int DecodeStartStopV12(int blockNumber, ByteView reply, RecordTable& table);    // 13, 23
int DecodeAntiCutV12(int blockNumber, ByteView reply, RecordTable& table);      // 14, 24
int DecodeRealtimeCustom(int blockNumber, ByteView reply, RecordTable& table);  // 31
int DecodeMonthCustom(int blockNumber, ByteView reply, RecordTable& table);     // 32
int DecodeStartStopCustom(int blockNumber, ByteView reply, RecordTable& table); // 33
