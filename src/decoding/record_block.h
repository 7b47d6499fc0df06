// Replies that carry a block of records (device types 4, 6 and 7): address,
// function, byte count, a 14-byte block header the table does not show, K
// records of S bytes from offset 17, then the CRC-16. Every record starts with
// its record number (2 bytes, high first) and a BCD time stamp (6 bytes).
#pragma once

#include "codec/codec.h"
#include "decoding/decode_result.h"
#include "decoding/record_table.h"

#include <string>
#include <vector>

// Reads fields of one record slot by offset from the slot start. A field reaching past
// the slot reads as zero bytes, so a wrong layout can give wrong texts but never reads
// outside the reply.
class SlotReader {
public:
    explicit SlotReader(ByteView slot) : m_slot(slot) {}

    ByteView bytesAt(int offset, int size) const;
    uint8_t byte(int offset) const;
    std::string doubleText(int offset) const;           // IEEE double, "%.4f"
    std::string single(int offset, int decimals) const; // IEEE single, "%.2f" or "%.4f"
    std::string uint32(int offset) const;               // "%u"
    std::string int64(int offset) const;                // two's complement, decimal
    std::string hex(int offset, int size) const;        // upper-case, no separators

private:
    ByteView m_slot;
};

using RecordCells = std::vector<std::string>;

// One kind's block: slotCount slots of slotSize bytes; appendValues adds the
// sub-items that follow the time stamp.
struct RecordBlockLayout {
    int slotCount;
    int slotSize;
    void (*appendValues)(const SlotReader& slot, RecordCells& cells);
    // Added to the stored record number for the row caption: device types 6 and 7
    // count their records from 0, device type 4 from 1.
    int rowNumberOffset = 1;
};

// Length of the whole reply of a layout: 17 head bytes, the slots, 2 CRC bytes.
int recordBlockLength(const RecordBlockLayout& layout);

// BadLength when the reply is not the layout's one length (an empty reply
// included), BadCheck on a CRC mismatch (table untouched in both cases),
// NoRecord at the first slot whose bytes after the record number are all 0xFF
// (rows of the earlier slots stay), Decoded when every slot became a row.
DecodeResult decodeRecordBlock(const RecordBlockLayout& layout, ByteView reply, RecordTable& table);
