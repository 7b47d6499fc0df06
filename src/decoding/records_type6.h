// Record layouts of device type 6 (Corvex volume corrector, Modbus V2.0); nine of
// them also serve the matching record kinds of device type 7. One reply carries a
// block of four or five record slots of one kind (record_block.h); each non-blank
// slot becomes one row, captioned with its stored record number plus 1.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "codec/codec.h"
#include "decoding/record_block.h"

// Power loss / battery change records carry the same values as the sensor alarms,
// and the four volume change kinds share one layout.
extern const RecordBlockLayout kDailyType6;
extern const RecordBlockLayout kCurrentHourType6;
extern const RecordBlockLayout kPrevHourType6;
extern const RecordBlockLayout kParamChangeType6;
extern const RecordBlockLayout kSensorAlarmType6;
extern const RecordBlockLayout kLimitAlarmType6;
extern const RecordBlockLayout kStartStopType6;
extern const RecordBlockLayout kAntiCutType6;
extern const RecordBlockLayout kAntiRemovalType6;
extern const RecordBlockLayout kMonthType6;
extern const RecordBlockLayout kRealtimeType6;
extern const RecordBlockLayout kVolumeChangeType6;
extern const RecordBlockLayout kMeterFactorChangeType6;

// Parameter code of a six-byte change mask: position (1..6) × 256 + value of the first
// non-zero byte, 0 when all are zero. Bytes after the first non-zero one are ignored.
// A mask shorter than six bytes is scanned as far as it goes.
uint16_t findChangedParameter(std::span<const uint8_t> mask);

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
std::span<const ParamChangeEntry> paramTableType6();
const ParamChangeEntry* lookupParamType6(uint16_t code);
// Value text of a parameter field; a field shorter than four bytes reads as zero-padded.
std::string formatParamChangeValue(ParamChangeFormat format, ByteView field);

// Parameter name and the two value texts of a change record, or nothing when the
// mask's code is not in the table.
void appendParamChange(const ParamChangeEntry* entry, const SlotReader& slot, int oldOffset, int newOffset,
                       RecordCells& cells);
