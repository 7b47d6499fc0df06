// Decoder dispatch: routes one reply, by record kind code, to the decoder of that kind.
// The dispatch keeps no state; decoders only append rows to the table.
#pragma once

#include "codec/codec.h"
#include "decoding/field_description.h"
#include "decoding/record_table.h"

// Result of every record decoder; the transaction engine goes on (Decoded), asks the
// same block again (BadLength, BadCheck) or ends the run (Stop, NoRecord).
namespace DecodeResult {
enum : int {
    Stop = 0,      // no decoder for the kind, or a device type 5 record of all 0x00
    Decoded = 1,   // row(s) appended
    BadLength = 2, // reply length not accepted (an empty reply included)
    BadCheck = 3,  // CRC-16 or 8-bit sum mismatch, or custom-frame header missing
    NoRecord = 4,  // blank slot; rows of earlier records of the block stay
};
}

using RecordDecoder = int (*)(int blockNumber, ByteView reply, RecordTable& table);

// Decoder of a kind code of device types 1, 2, 3, 4, 6 and 7; nullptr for any other
// code, device type 5 kinds included.
RecordDecoder FindRecordDecoder(int kindCode);

// General dispatcher: the chosen decoder's result unchanged, or Stop with the table
// untouched when the kind code has no decoder. Kinds 51..54 are not decoded here.
int DecodeRecord(int blockNumber, int kindCode, ByteView reply, RecordTable& table);

// Device type 5 dispatcher: kinds 51, 52 and 53 go to the typed-field decoder, 54 to
// the alarm variant; any other code gives Stop. The decoder works on a copy of the
// digits, so the caller's description is never changed.
int DecodeTypedRecord(int blockNumber, int kindCode, ByteView reply, RecordTable& table,
                      const FieldTypeList& fieldTypes, const FieldDigitsArray& fieldDigits);
