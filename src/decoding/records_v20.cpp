#include "decoding/records_v20.h"

#include <algorithm>
#include <array>

namespace {

// Codes are position (1..6) × 256 + mask byte; see FindChangedParameter.
constexpr ParamChangeEntry kParamTableV20[] = {
    {0x101, "仪表系数", ParamChangeFormat::Single2},
    {0x120, "压力偏置", ParamChangeFormat::Single4},
    {0x140, "温度偏置", ParamChangeFormat::Single4},
    {0x301, "仪表系数3", ParamChangeFormat::Single2},
    {0x302, "仪表系数4", ParamChangeFormat::Single2},
    {0x304, "仪表系数5", ParamChangeFormat::Single2},
    {0x308, "通讯密钥", ParamChangeFormat::Hex32},
    {0x310, "加密因子", ParamChangeFormat::Hex32},
    {0x401, "H2摩尔百分含量", ParamChangeFormat::Single4},
    {0x402, "高位发热量", ParamChangeFormat::Single4},
    {0x404, "相对密度", ParamChangeFormat::Single4},
    {0x408, "标准密度", ParamChangeFormat::Single4},
    {0x410, "当前小时累积量采样周期", ParamChangeFormat::Uint32},
    {0x420, "日累计量结算时间", ParamChangeFormat::BcdPair},
    {0x440, "仪表系数1", ParamChangeFormat::Single2},
    {0x480, "仪表系数2", ParamChangeFormat::Single2},
    {0x501, "N2摩尔百分含量", ParamChangeFormat::Single4},
    {0x502, "CO2摩尔百分含量", ParamChangeFormat::Single4},
    {0x504, "CH4摩尔百分含量", ParamChangeFormat::Single4},
    {0x508, "C2H6摩尔百分含量", ParamChangeFormat::Single4},
    {0x510, "C3H8摩尔百分含量", ParamChangeFormat::Single4},
    {0x520, "C4H10摩尔百分含量", ParamChangeFormat::Single4},
    {0x540, "C5H12摩尔百分含量", ParamChangeFormat::Single4},
    {0x580, "C+摩尔百分含量", ParamChangeFormat::Single4},
    {0x601, "工况流量报警上限", ParamChangeFormat::Uint32},
    {0x602, "温度报警上限值", ParamChangeFormat::Int16},
    {0x604, "温度报警下限值", ParamChangeFormat::Int16},
    {0x608, "替代温度值", ParamChangeFormat::Int16},
    {0x610, "压力报警上限值", ParamChangeFormat::Uint32},
    {0x620, "压力报警下限值", ParamChangeFormat::Uint32},
    {0x640, "替代压力值", ParamChangeFormat::Uint32},
    {0x680, "脉冲当量", ParamChangeFormat::Single4},
};

std::string Digits(uint8_t byte)
{
    return BcdToDigits(ByteView(&byte, 1));
}

// ---- Sub-items after the time stamp, one function per record kind ----

void DailyValues(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.Double(8));
    c.push_back(s.Double(16));
}

void CurrentHourValues(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.Uint32(8));
    c.push_back(s.Uint32(12));
}

void PrevHourValues(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.Double(8));
    c.push_back(s.Double(16));
    for (int offset : {24, 28, 32})
        c.push_back(s.Single(offset, 4));
}

void ParamChangeValues(const SlotReader& s, RecordCells& c)
{
    AppendParamChange(LookupParamV20(FindChangedParameter(s.Piece(8, 6))), s, 14, 18, c);
}

// The sensor alarm records: volumes, flows, temperature, pressure, status and alarm words.
void SensorAlarmValues(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.Double(8));
    c.push_back(s.Double(16));
    for (int offset : {24, 28, 32, 36})
        c.push_back(s.Single(offset, 2));
    c.push_back(s.Hex(40, 2));
    c.push_back(s.Hex(42, 2));
}

void LimitAlarmValues(const SlotReader& s, RecordCells& c)
{
    for (int offset : {8, 16, 24})
        c.push_back(s.Double(offset));
    for (int offset : {32, 36, 40, 44, 48})
        c.push_back(s.Single(offset, 2));
    c.push_back(s.Hex(52, 2));
    c.push_back(s.Hex(54, 2));
}

void StartStopValues(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.Double(8));
    c.push_back(s.Byte(16) == 0x55 ? "启动" : "停止");
}

// Volumes and flows that follow the flag bytes of the line-cut and removal records.
void TamperVolumes(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.Double(10));
    c.push_back(s.Double(18));
    c.push_back(s.Single(26, 2));
    c.push_back(s.Single(30, 2));
}

// Byte +8 set means magnetic interference, byte +9 set means the line was cut.
void AntiCutValues(const SlotReader& s, RecordCells& c)
{
    const bool magnetic = s.Byte(8) == 0xFF;
    const bool cut = s.Byte(9) == 0xFF;
    if (magnetic && cut)
        c.push_back("剪断并磁干扰");
    else if (cut)
        c.push_back("剪断");
    else if (magnetic)
        c.push_back("磁干扰");
    else
        c.push_back("正常");
    TamperVolumes(s, c);
}

void AntiRemovalValues(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.Byte(8) == 0x55 ? "正常" : "拆卸");
    TamperVolumes(s, c);
}

void MonthValues(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.Double(8));
}

void RealtimeValues(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.Double(8));
    c.push_back(s.Double(16));
    for (int offset : {24, 28, 32})
        c.push_back(s.Single(offset, 2));
}

// Volume changes (standard, working, and their error variants): value before and after the change.
void VolumeChangeValues(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.Double(8));
    c.push_back(s.Double(16));
}

void MeterFactorChangeValues(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.Single(8, 2));
    c.push_back(s.Single(12, 2));
    c.push_back(Format("%u", static_cast<unsigned>(s.Byte(16))));
}

} // namespace

// ---- Block layouts ----

constexpr RecordBlockLayout kDailyV20{5, 24, DailyValues};
constexpr RecordBlockLayout kCurrentHourV20{5, 16, CurrentHourValues};
constexpr RecordBlockLayout kPrevHourV20{5, 36, PrevHourValues};
constexpr RecordBlockLayout kParamChangeV20{5, 22, ParamChangeValues};
constexpr RecordBlockLayout kSensorAlarmV20{4, 44, SensorAlarmValues};
constexpr RecordBlockLayout kLimitAlarmV20{4, 56, LimitAlarmValues};
constexpr RecordBlockLayout kStartStopV20{5, 18, StartStopValues};
constexpr RecordBlockLayout kAntiCutV20{5, 34, AntiCutValues};
constexpr RecordBlockLayout kAntiRemovalV20{5, 34, AntiRemovalValues};
constexpr RecordBlockLayout kMonthV20{5, 16, MonthValues};
constexpr RecordBlockLayout kRealtimeV20{5, 36, RealtimeValues};
constexpr RecordBlockLayout kVolumeChangeV20{5, 24, VolumeChangeValues};
constexpr RecordBlockLayout kMeterFactorChangeV20{5, 17, MeterFactorChangeValues};

// ---- Parameter changes ----

uint16_t FindChangedParameter(std::span<const uint8_t> mask)
{
    const size_t count = std::min<size_t>(mask.size(), 6);
    for (size_t i = 0; i < count; ++i) {
        if (mask[i] != 0)
            return static_cast<uint16_t>((i + 1) * 256 + mask[i]);
    }
    return 0;
}

std::span<const ParamChangeEntry> ParamTableV20()
{
    return kParamTableV20;
}

const ParamChangeEntry* LookupParamV20(uint16_t code)
{
    for (const ParamChangeEntry& entry : ParamTableV20()) {
        if (entry.code == code)
            return &entry;
    }
    return nullptr;
}

std::string FormatParamChangeValue(ParamChangeFormat format, ByteView field)
{
    std::array<uint8_t, 4> v{};
    std::copy_n(field.begin(), std::min<size_t>(field.size(), v.size()), v.begin());
    switch (format) {
    case ParamChangeFormat::Uint32:
        return Format("%u", static_cast<unsigned>(ReadUInt32(v)));
    case ParamChangeFormat::Single2:
        return Format("%.2f", ReadSingle(v));
    case ParamChangeFormat::Single4:
        return Format("%.4f", ReadSingle(v));
    case ParamChangeFormat::DateHour:
        return "20" + Digits(v[0]) + "-" + Digits(v[1]) + "-" + Digits(v[2]) + " " + Digits(v[3]);
    case ParamChangeFormat::Hex32:
        return BytesToHex(v);
    case ParamChangeFormat::Hex16:
        return BytesToHex(ByteView(v).subspan(2));
    case ParamChangeFormat::Int16:
        return Format("%d", static_cast<int>(BytesToInt16(v[2], v[3])));
    case ParamChangeFormat::BcdPair:
        return Digits(v[2]) + "-" + Digits(v[3]);
    }
    return {};
}

void AppendParamChange(const ParamChangeEntry* entry, const SlotReader& slot, int oldOffset, int newOffset,
                       RecordCells& cells)
{
    if (entry == nullptr)
        return;
    cells.push_back(entry->name);
    cells.push_back(FormatParamChangeValue(entry->format, slot.Piece(oldOffset, 4)));
    cells.push_back(FormatParamChangeValue(entry->format, slot.Piece(newOffset, 4)));
}
