// Record layouts and decoders of device types 1 and 2 (Modbus V1.2/V1.3 frames: address,
// function, byte count, data, CRC-16) and device type 3 (custom frame: 0x55 0x55 header,
// data fields from offset 7, 8-bit sum of offsets 2..length-2 in the last byte).
//
// One record per block: each decoded reply appends one row captioned with the block
// number. Results: BadLength for a length the kind does not accept (an empty reply
// included), BadCheck for a CRC/sum mismatch or a missing custom header, NoRecord for
// a blank slot (data bytes all 0x00 for types 1/2, all 0xFF for type 3, or the short
// no-record answer), Decoded when the row was appended. The table is changed only on 1; nothing is read
// outside reply.
#pragma once

#include "codec/codec.h"
#include "decoding/decode_result.h"
#include "decoding/record_table.h"

DecodeResult decodeRealtimeTypes1And2(const DecodeContext& context, ByteView reply, RecordTable& table);
DecodeResult decodeMonthTypes1And2(const DecodeContext& context, ByteView reply, RecordTable& table);
DecodeResult decodeStartStopTypes1And2(const DecodeContext& context, ByteView reply, RecordTable& table);
DecodeResult decodeAntiCutTypes1And2(const DecodeContext& context, ByteView reply, RecordTable& table);
DecodeResult decodeRealtimeType3(const DecodeContext& context, ByteView reply, RecordTable& table);
DecodeResult decodeMonthType3(const DecodeContext& context, ByteView reply, RecordTable& table);
DecodeResult decodeStartStopType3(const DecodeContext& context, ByteView reply, RecordTable& table);
