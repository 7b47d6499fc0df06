// Record decoders of device type 6 (Corvex volume corrector, Modbus V2.0); nine of
// them also decode the matching record kinds of device type 7. One reply carries a
// block of four or five record slots of one kind; each non-blank slot becomes one
// row of the record table, captioned with its stored record number plus 1.
//
// Every decoder returns 1 when all slots were decoded, 2 when the reply length is not
// the kind's one length (an empty reply included), 3 on a CRC mismatch (table
// untouched in both cases), and 4 at the first slot whose data bytes are all 0xFF
// (rows of the earlier slots stay). The block number is not used: the row numbers
// come from the records. Decoders only read inside the reply they are given.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "codec/codec.h"
#include "decoding/record_table.h"

int DecodeDailyV20(int blockNumber, ByteView reply, RecordTable& table);               // 61, 71
int DecodeCurrentHourV20(int blockNumber, ByteView reply, RecordTable& table);         // 62, 72
int DecodePrevHourV20(int blockNumber, ByteView reply, RecordTable& table);            // 63, 73
int DecodeParamChangeV20(int blockNumber, ByteView reply, RecordTable& table);         // 64
int DecodeSensorAlarmV20(int blockNumber, ByteView reply, RecordTable& table);         // 65, 75
int DecodeLimitAlarmV20(int blockNumber, ByteView reply, RecordTable& table);          // 66, 76
int DecodePowerLossV20(int blockNumber, ByteView reply, RecordTable& table);           // 67, 77
int DecodeStartStopV20(int blockNumber, ByteView reply, RecordTable& table);           // 68, 78
int DecodeAntiCutV20(int blockNumber, ByteView reply, RecordTable& table);             // 69
int DecodeAntiRemovalV20(int blockNumber, ByteView reply, RecordTable& table);         // 610
int DecodeMonthV20(int blockNumber, ByteView reply, RecordTable& table);               // 611, 711
int DecodeRealtimeV20(int blockNumber, ByteView reply, RecordTable& table);            // 612
int DecodeStdVolumeChangeV20(int blockNumber, ByteView reply, RecordTable& table);     // 613
int DecodeWorkVolumeChangeV20(int blockNumber, ByteView reply, RecordTable& table);    // 614
int DecodeMeterFactorChangeV20(int blockNumber, ByteView reply, RecordTable& table);   // 615
int DecodeBadStdVolumeChangeV20(int blockNumber, ByteView reply, RecordTable& table);  // 616
int DecodeBadWorkVolumeChangeV20(int blockNumber, ByteView reply, RecordTable& table); // 617

// Parameter code of a six-byte change mask: position (1..6) × 256 + value of the first
// non-zero byte, 0 when all are zero. Bytes after the first non-zero one are ignored.
// A mask shorter than six bytes is scanned as far as it goes.
uint16_t FindChangedParameter(std::span<const uint8_t> mask);

// How a parameter-change record shows a 4-byte value field.
enum class ParamChangeFormat {
    Uint32,   // "%u"
    Single2,  // IEEE single, "%.2f"
    Single4,  // IEEE single, "%.4f"
    DateHour, // "20" YY "-" MM "-" DD " " hh from the four BCD bytes
    Hex32,    // the four bytes as eight hex digits
    Hex16,    // the last two bytes as four hex digits
    Int16,    // the last two bytes as a signed 16-bit decimal
    BcdPair,  // BCD(byte 2) "-" BCD(byte 3)
};

struct ParamChangeEntry {
    uint16_t code;
    const char* name;
    ParamChangeFormat format;
};

// Parameter tables of the change records; Lookup… gives nullptr for an unknown code.
std::span<const ParamChangeEntry> ParamTableV20();
const ParamChangeEntry* LookupParamV20(uint16_t code);
// Value text of a parameter field; a field shorter than four bytes reads as zero-padded.
std::string FormatParamChangeValue(ParamChangeFormat format, ByteView field);

// Appends the columns of kind 61..69, 610..617; any other kind adds nothing.
void SetupColumnsV20(int kindCode, RecordTable& table);

// Building blocks shared with the decoders of device type 7.

// Reads fields of one record slot by offset from the slot start. A field reaching past
// the slot reads as zero bytes, so a wrong layout can give wrong texts but never reads
// outside the reply.
class SlotReader {
public:
    explicit SlotReader(ByteView slot) : FSlot(slot) {}

    ByteView Piece(int offset, int size) const;
    uint8_t Byte(int offset) const;
    std::string Double(int offset) const;               // IEEE double, "%.4f"
    std::string Single(int offset, int decimals) const; // IEEE single, "%.2f" or "%.4f"
    std::string Uint32(int offset) const;               // "%u"
    std::string Int64(int offset) const;                // two's complement, decimal
    std::string Hex(int offset, int size) const;        // upper-case, no separators

private:
    ByteView FSlot;
};

using RecordCells = std::vector<std::string>;

// One kind's block: slotCount slots of slotSize bytes from offset 17, CRC last. Every
// slot starts with its record number (2 bytes) and BCD time stamp (6 bytes);
// appendValues adds the sub-items that follow the time stamp.
struct RecordBlockLayout {
    int slotCount;
    int slotSize;
    void (*appendValues)(const SlotReader& slot, RecordCells& cells);
};

// Length of the whole reply of a layout: 17 head bytes, the slots, 2 CRC bytes.
int RecordBlockLength(const RecordBlockLayout& layout);
// The common decoding loop (results as described at the top of this file).
int DecodeRecordBlock(const RecordBlockLayout& layout, ByteView reply, RecordTable& table);
// Parameter name and the two value texts of a change record, or nothing when the
// mask's code is not in the table.
void AppendParamChange(const ParamChangeEntry* entry, const SlotReader& slot, int oldOffset, int newOffset,
                       RecordCells& cells);
