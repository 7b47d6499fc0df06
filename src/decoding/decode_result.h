// What every record decoder returns, and what it is given besides the reply.
#pragma once

#include "decoding/field_description.h"

// The transaction engine goes on (Decoded), asks the same block again (BadLength,
// BadCheck) or ends the run (Stop, NoRecord). The values are those printed as
// `result N` by the command-line reader.
enum class DecodeResult : int {
    Stop = 0,      // no decoder for the kind, or a device type 5 record of all 0x00
    Decoded = 1,   // row(s) appended
    BadLength = 2, // reply length not accepted (an empty reply included)
    BadCheck = 3,  // CRC-16 or 8-bit sum mismatch, or custom-frame header missing
    NoRecord = 4,  // blank slot; rows of earlier records of the block stay
};

// The block asked for (the row caption of one-record kinds) and, for the kinds
// the protocol workbook describes, its field description. A missing description
// decodes as no fields at all. Decoders never change what the context points to.
struct DecodeContext {
    int blockNumber = 1;
    const FieldTypeList* fieldTypes = nullptr;
    const FieldDigitsArray* fieldDigits = nullptr;
};
