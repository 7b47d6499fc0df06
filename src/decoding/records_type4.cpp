#include "decoding/records_type4.h"

namespace {

constexpr uint8_t kFlagSet = 0x55;
// Stored record numbers already count from 1.
constexpr int kRowNumberOffset = 0;

void volumeCounts(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.uint32(8));
    c.push_back(s.uint32(12));
}

void prevHourFields(const SlotReader& s, RecordCells& c)
{
    volumeCounts(s, c);
    for (int offset : {16, 20, 24})
        c.push_back(s.single(offset, 4));
}

void paramChangeFields(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.hex(8, 6));
    c.push_back(s.hex(14, 4));
    c.push_back(s.hex(18, 4));
}

void alarmEventFields(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.doubleText(8));
    c.push_back(s.doubleText(16));
    for (int offset = 24; offset < 40; offset += 4)
        c.push_back(s.single(offset, 2));
    c.push_back(s.hex(40, 2));
    c.push_back(s.hex(42, 2));
}

void alarmEvent2Fields(const SlotReader& s, RecordCells& c)
{
    for (int offset = 8; offset < 32; offset += 8)
        c.push_back(s.doubleText(offset));
    for (int offset = 32; offset < 52; offset += 4)
        c.push_back(s.single(offset, 2));
    c.push_back(s.hex(52, 2));
    c.push_back(s.hex(54, 2));
}

void startStopFields(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.doubleText(8));
    c.push_back(s.byte(16) == kFlagSet ? "启动" : "停止");
}

void tamperFields(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.byte(8) == kFlagSet ? "正常" : "剪断");
}

} // namespace

constexpr RecordBlockLayout kDailyType4{5, 16, volumeCounts, kRowNumberOffset};
constexpr RecordBlockLayout kCurrentHourType4{10, 16, volumeCounts, kRowNumberOffset};
constexpr RecordBlockLayout kPrevHourType4{5, 28, prevHourFields, kRowNumberOffset};
constexpr RecordBlockLayout kParamChangeType4{5, 22, paramChangeFields, kRowNumberOffset};
constexpr RecordBlockLayout kAlarmEventType4{5, 44, alarmEventFields, kRowNumberOffset};
constexpr RecordBlockLayout kAlarmEvent2Type4{4, 56, alarmEvent2Fields, kRowNumberOffset};
constexpr RecordBlockLayout kStartStopType4{10, 18, startStopFields, kRowNumberOffset};
constexpr RecordBlockLayout kTamperType4{10, 10, tamperFields, kRowNumberOffset};
