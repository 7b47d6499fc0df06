// Request frames of the record reads as pure functions over the catalogue: the base
// request of a record kind (built once per run) and the full frame of one block with
// its check bytes (built once per block). No port, no log, no Qt: the exchange layer
// sends what these return.
#pragma once

#include "codec/codec.h"

#include <cstdint>

// Start register (0-based) and record length in registers of a kind that the
// protocol workbook describes (device type 5).
struct RegisterWindow {
    int start = 0;
    int length = 0;
};

// Base request of a record kind for the meter at `address`: the request of block 1
// without its block field and check bytes, shaped by the kind's request dialect:
//   record by index (1, 2):    A 66 00 T 02      (T = record table selector)
//   custom frame (3):          55 55 A 28 03 K
//   record range (4, 6, 7):    A 65 09 K
//   register read (5):         A 03 S N          (S and N from `registers`, as their
//                                                 low 16 bits: a start of -1 is 0xFFFF)
// Empty for a code no device type knows.
Bytes BaseRequestOfKind(int kindCode, uint8_t address, RegisterWindow registers = {});

// Full request frame of block `block` (counted from 1), check bytes included, built
// from a base request by the rule of the kind code's device type:
//   1, 2 and any unlisted type: base, B high, B low, CRC
//   3:       base, (B − 1) low, (B − 1) high, 8-bit sum of the bytes from the address on
//   4:       base, 00 00 F, 00 00 L, CRC with records F..L counted from 1
//   6, 7:    the same with records counted from 0
//   5:       A 03 (S + N × (B − 1)) N, CRC, with A, S and N taken from the base request
// Every 16-bit field is written as the low 16 bits of its value. The CRC bytes are
// appended as AppendCrc does.
// Returns an empty frame when there is nothing sound to send: an empty base request,
// a record-range kind whose records per block are unknown, or a device type 5 base
// request shorter than 6 bytes.
Bytes BlockRequestFrame(int kindCode, ByteView baseRequest, int block);
