// Device type 5 records: the reply's data bytes are walked field by field as the
// protocol workbook describes them (type name and digits per field).
#pragma once

#include "codec/codec.h"
#include "decoding/decode_result.h"
#include "decoding/record_table.h"

// The real-time, daily and monthly records. The field description comes with the
// context (none: no fields). Returns BadLength for a reply shorter than 4 bytes or
// whose length is not byte 2 + 5; Stop when the data bytes are all 0x00, tested
// before the CRC; BadCheck for a CRC fault over the whole reply; otherwise Decoded
// with one row appended (caption = block number). Fields that lie wholly or partly
// beyond the reply's data are shown empty and never read. Unknown type names take
// no bytes and add no sub-item but still consume their digits element.
DecodeResult decodeWorkbookFields(const DecodeContext& context, ByteView reply, RecordTable& table);

// The alarm records: as decodeWorkbookFields, except that "S8" is not a known type name.
DecodeResult decodeWorkbookAlarmFields(const DecodeContext& context, ByteView reply, RecordTable& table);

// What a field of this type name shows: DT2 a record time, DBL, FLT and an
// unpadded LNG a quantity; a zero-padded LNG (digits > 0), BYTE, BIT, S8 and
// unknown names are codes, flags or numbering and stay text.
ColumnType fieldColumnType(const std::string& typeName, int digits);

// Digits as a number of decimals ("FLT"): kept within 0..15 so a bad workbook cell
// cannot produce a malformed format.
int clampDecimals(int digits);
// Digits as a minimum width ("LNG", "S8"): kept within 0..32.
int clampPadWidth(int digits);
