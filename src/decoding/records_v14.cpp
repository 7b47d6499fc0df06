#include "decoding/records_v14.h"

namespace {

constexpr uint8_t kFlagSet = 0x55;
// Stored record numbers already count from 1.
constexpr int kRowNumberOffset = 0;

void VolumeCounts(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.Uint32(8));
    c.push_back(s.Uint32(12));
}

void PrevHourFields(const SlotReader& s, RecordCells& c)
{
    VolumeCounts(s, c);
    for (int offset : {16, 20, 24})
        c.push_back(s.Single(offset, 4));
}

void ParamChangeFields(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.Hex(8, 6));
    c.push_back(s.Hex(14, 4));
    c.push_back(s.Hex(18, 4));
}

void AlarmEventFields(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.Double(8));
    c.push_back(s.Double(16));
    for (int offset = 24; offset < 40; offset += 4)
        c.push_back(s.Single(offset, 2));
    c.push_back(s.Hex(40, 2));
    c.push_back(s.Hex(42, 2));
}

void AlarmEvent2Fields(const SlotReader& s, RecordCells& c)
{
    for (int offset = 8; offset < 32; offset += 8)
        c.push_back(s.Double(offset));
    for (int offset = 32; offset < 52; offset += 4)
        c.push_back(s.Single(offset, 2));
    c.push_back(s.Hex(52, 2));
    c.push_back(s.Hex(54, 2));
}

void StartStopFields(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.Double(8));
    c.push_back(s.Byte(16) == kFlagSet ? "启动" : "停止");
}

void TamperFields(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.Byte(8) == kFlagSet ? "正常" : "剪断");
}

} // namespace

constexpr RecordBlockLayout kDailyV14{5, 16, VolumeCounts, kRowNumberOffset};
constexpr RecordBlockLayout kCurrentHourV14{10, 16, VolumeCounts, kRowNumberOffset};
constexpr RecordBlockLayout kPrevHourV14{5, 28, PrevHourFields, kRowNumberOffset};
constexpr RecordBlockLayout kParamChangeV14{5, 22, ParamChangeFields, kRowNumberOffset};
constexpr RecordBlockLayout kAlarmEventV14{5, 44, AlarmEventFields, kRowNumberOffset};
constexpr RecordBlockLayout kAlarmEvent2V14{4, 56, AlarmEvent2Fields, kRowNumberOffset};
constexpr RecordBlockLayout kStartStopV14{10, 18, StartStopFields, kRowNumberOffset};
constexpr RecordBlockLayout kTamperV14{10, 10, TamperFields, kRowNumberOffset};
