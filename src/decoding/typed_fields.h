// Device type 5 records: the reply's data bytes are walked field by field as the
// protocol workbook describes them (type name and digits per field).
#pragma once

#include "codec/codec.h"
#include "decoding/field_description.h"
#include "decoding/record_table.h"

// Kinds 51, 52 and 53. Returns a DecodeResult: 2 for a reply shorter than 4 bytes or
// whose length is not byte 2 + 5; 0 (Stop) when the data bytes are all 0x00, tested
// before the CRC; 3 for a CRC fault over the whole reply; otherwise 1 with one row
// appended (caption = block number). Fields that lie wholly or partly beyond the
// reply's data are shown empty and never read. Unknown type names take no bytes and
// add no sub-item but still consume their digits element.
int DecodeTypedFields(int blockNumber, ByteView reply, RecordTable& table,
                      const std::vector<std::string>& fieldTypes, const FieldDigitsArray& fieldDigits);

// Kind 54: as DecodeTypedFields, except that "S8" is not a known type name.
int DecodeTypedAlarmFields(int blockNumber, ByteView reply, RecordTable& table,
                           const std::vector<std::string>& fieldTypes, const FieldDigitsArray& fieldDigits);

// Digits as a number of decimals ("FLT"): kept within 0..15 so a bad workbook cell
// cannot produce a malformed format.
int ClampDecimals(int digits);
// Digits as a minimum width ("LNG", "S8"): kept within 0..32.
int ClampPadWidth(int digits);
