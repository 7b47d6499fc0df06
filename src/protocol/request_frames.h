// Request frames of the record reads as pure functions over the device registry: the
// base request of a record kind (built once per run) and the full frame of one block
// with its check bytes (built once per block), both by the framing dialect of the
// kind's device type. No port, no log, no Qt: the exchange layer sends what these return.
#pragma once

#include "codec/framing_dialect.h"

struct RecordKind;

#include <cstdint>

// Base request of a record kind for the meter at `address`: the request of block 1
// without its block field and check bytes, by the kind's framing dialect (the
// register window's low 16 bits for a workbook-described kind: a start of -1 is
// 0xFFFF).
Bytes baseRequestOfKind(const RecordKind& kind, uint8_t address, RegisterWindow registers = {});

// Full request frame of block `block` (counted from 1), check bytes included, built
// from a base request by the framing dialect of the kind. Empty when there is
// nothing sound to send (see FramingDialect::blockRequest).
Bytes blockRequestFrame(const RecordKind& kind, ByteView baseRequest, int block);
