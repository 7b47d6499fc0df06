#include "decoding/records_type6.h"

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

std::string digits(uint8_t byte)
{
    return bcdToDigits(ByteView(&byte, 1));
}

// ---- Sub-items after the time stamp, one function per record kind ----

void dailyValues(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.doubleText(8));
    c.push_back(s.doubleText(16));
}

void currentHourValues(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.uint32(8));
    c.push_back(s.uint32(12));
}

void prevHourValues(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.doubleText(8));
    c.push_back(s.doubleText(16));
    for (int offset : {24, 28, 32})
        c.push_back(s.single(offset, 4));
}

void paramChangeValues(const SlotReader& s, RecordCells& c)
{
    appendParamChange(lookupParamType6(findChangedParameter(s.bytesAt(8, 6))), s, 14, 18, c);
}

// The sensor alarm records: volumes, flows, temperature, pressure, status and alarm words.
void sensorAlarmValues(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.doubleText(8));
    c.push_back(s.doubleText(16));
    for (int offset : {24, 28, 32, 36})
        c.push_back(s.single(offset, 2));
    c.push_back(s.hex(40, 2));
    c.push_back(s.hex(42, 2));
}

void limitAlarmValues(const SlotReader& s, RecordCells& c)
{
    for (int offset : {8, 16, 24})
        c.push_back(s.doubleText(offset));
    for (int offset : {32, 36, 40, 44, 48})
        c.push_back(s.single(offset, 2));
    c.push_back(s.hex(52, 2));
    c.push_back(s.hex(54, 2));
}

void startStopValues(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.doubleText(8));
    c.push_back(s.byte(16) == 0x55 ? "启动" : "停止");
}

// Volumes and flows that follow the flag bytes of the line-cut and removal records.
void tamperVolumes(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.doubleText(10));
    c.push_back(s.doubleText(18));
    c.push_back(s.single(26, 2));
    c.push_back(s.single(30, 2));
}

// Byte +8 set means magnetic interference, byte +9 set means the line was cut.
void antiCutValues(const SlotReader& s, RecordCells& c)
{
    const bool magnetic = s.byte(8) == 0xFF;
    const bool cut = s.byte(9) == 0xFF;
    if (magnetic && cut)
        c.push_back("剪断并磁干扰");
    else if (cut)
        c.push_back("剪断");
    else if (magnetic)
        c.push_back("磁干扰");
    else
        c.push_back("正常");
    tamperVolumes(s, c);
}

void antiRemovalValues(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.byte(8) == 0x55 ? "正常" : "拆卸");
    tamperVolumes(s, c);
}

void monthValues(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.doubleText(8));
}

void realtimeValues(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.doubleText(8));
    c.push_back(s.doubleText(16));
    for (int offset : {24, 28, 32})
        c.push_back(s.single(offset, 2));
}

// Volume changes (standard, working, and their error variants): value before and after the change.
void volumeChangeValues(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.doubleText(8));
    c.push_back(s.doubleText(16));
}

void meterFactorChangeValues(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.single(8, 2));
    c.push_back(s.single(12, 2));
    c.push_back(formatText("%u", static_cast<unsigned>(s.byte(16))));
}

} // namespace

// ---- Block layouts ----

constexpr RecordBlockLayout kDailyType6{5, 24, dailyValues};
constexpr RecordBlockLayout kCurrentHourType6{5, 16, currentHourValues};
constexpr RecordBlockLayout kPrevHourType6{5, 36, prevHourValues};
constexpr RecordBlockLayout kParamChangeType6{5, 22, paramChangeValues};
constexpr RecordBlockLayout kSensorAlarmType6{4, 44, sensorAlarmValues};
constexpr RecordBlockLayout kLimitAlarmType6{4, 56, limitAlarmValues};
constexpr RecordBlockLayout kStartStopType6{5, 18, startStopValues};
constexpr RecordBlockLayout kAntiCutType6{5, 34, antiCutValues};
constexpr RecordBlockLayout kAntiRemovalType6{5, 34, antiRemovalValues};
constexpr RecordBlockLayout kMonthType6{5, 16, monthValues};
constexpr RecordBlockLayout kRealtimeType6{5, 36, realtimeValues};
constexpr RecordBlockLayout kVolumeChangeType6{5, 24, volumeChangeValues};
constexpr RecordBlockLayout kMeterFactorChangeType6{5, 17, meterFactorChangeValues};

// ---- Parameter changes ----

uint16_t findChangedParameter(std::span<const uint8_t> mask)
{
    const size_t count = std::min<size_t>(mask.size(), 6);
    for (size_t i = 0; i < count; ++i) {
        if (mask[i] != 0)
            return static_cast<uint16_t>((i + 1) * 256 + mask[i]);
    }
    return 0;
}

std::span<const ParamChangeEntry> paramTableType6()
{
    return kParamTableV20;
}

const ParamChangeEntry* lookupParamType6(uint16_t code)
{
    for (const ParamChangeEntry& entry : paramTableType6()) {
        if (entry.code == code)
            return &entry;
    }
    return nullptr;
}

std::string formatParamChangeValue(ParamChangeFormat format, ByteView field)
{
    std::array<uint8_t, 4> v{};
    std::copy_n(field.begin(), std::min<size_t>(field.size(), v.size()), v.begin());
    switch (format) {
    case ParamChangeFormat::Uint32:
        return formatText("%u", static_cast<unsigned>(readUInt32(v)));
    case ParamChangeFormat::Single2:
        return formatText("%.2f", readSingle(v));
    case ParamChangeFormat::Single4:
        return formatText("%.4f", readSingle(v));
    case ParamChangeFormat::DateHour:
        return "20" + digits(v[0]) + "-" + digits(v[1]) + "-" + digits(v[2]) + " " + digits(v[3]);
    case ParamChangeFormat::Hex32:
        return bytesToHex(v);
    case ParamChangeFormat::Hex16:
        return bytesToHex(ByteView(v).subspan(2));
    case ParamChangeFormat::Int16:
        return formatText("%d", static_cast<int>(bytesToInt16(v[2], v[3])));
    case ParamChangeFormat::BcdPair:
        return digits(v[2]) + "-" + digits(v[3]);
    }
    return {};
}

void appendParamChange(const ParamChangeEntry* entry, const SlotReader& slot, int oldOffset, int newOffset,
                       RecordCells& cells)
{
    if (entry == nullptr)
        return;
    cells.push_back(entry->name);
    cells.push_back(formatParamChangeValue(entry->format, slot.bytesAt(oldOffset, 4)));
    cells.push_back(formatParamChangeValue(entry->format, slot.bytesAt(newOffset, 4)));
}
