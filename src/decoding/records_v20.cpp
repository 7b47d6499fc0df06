#include "decoding/records_v20.h"

#include <algorithm>
#include <array>

namespace {

// Every block reply has a 17-byte head (address, function, count and a block header
// the decoders do not show) before the first slot.
constexpr int kHeadSize = 17;
constexpr int kCrcSize = 2;
constexpr int kTimeStampOffset = 2;
constexpr int kTimeStampSize = 6;
constexpr uint8_t kBlankByte = 0xFF;

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

// Kinds 65 and 67: volumes, flows, temperature, pressure, status and alarm words.
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

// Volumes and flows that follow the flag bytes of kinds 69 and 610.
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

// Kinds 613, 614, 616 and 617: value before and after the change.
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

constexpr RecordBlockLayout kDaily{5, 24, DailyValues};
constexpr RecordBlockLayout kCurrentHour{5, 16, CurrentHourValues};
constexpr RecordBlockLayout kPrevHour{5, 36, PrevHourValues};
constexpr RecordBlockLayout kParamChange{5, 22, ParamChangeValues};
constexpr RecordBlockLayout kSensorAlarm{4, 44, SensorAlarmValues};
constexpr RecordBlockLayout kLimitAlarm{4, 56, LimitAlarmValues};
constexpr RecordBlockLayout kStartStop{5, 18, StartStopValues};
constexpr RecordBlockLayout kAntiCut{5, 34, AntiCutValues};
constexpr RecordBlockLayout kAntiRemoval{5, 34, AntiRemovalValues};
constexpr RecordBlockLayout kMonth{5, 16, MonthValues};
constexpr RecordBlockLayout kRealtime{5, 36, RealtimeValues};
constexpr RecordBlockLayout kVolumeChange{5, 24, VolumeChangeValues};
constexpr RecordBlockLayout kMeterFactorChange{5, 17, MeterFactorChangeValues};

// ---- Column layouts ----

using Layout = std::vector<TableColumn>;

const Layout kColumns61{{"序号", 45}, {"时间", 145}, {"日标况累积量(m3)", 120}, {"日工况累积量(m3)", 120}};
const Layout kColumns62{
    {"序号", 45}, {"记录时间", 145}, {"当前小时标况累积量(m3)", 150}, {"当前小时工况累积量(m3)", 150}};
const Layout kColumns63{{"序号", 45},
                        {"记录时间", 145},
                        {"前1小时标况累积量(m3)", 146},
                        {"前1小时工况累积量(m3)", 146},
                        {"压缩系数", 80},
                        {"标况压缩因子", 90},
                        {"工况压缩因子", 90}};
const Layout kColumns64{
    {"序号", 45}, {"参数修改起始时间", 145}, {"参数修改状态字", 145}, {"原参数", 100}, {"修改后参数", 100}};
const Layout kColumns65{{"序号", 45},
                        {"报警时间", 135},
                        {"标况累积量(m3)", 102},
                        {"工况累积量(m3)", 102},
                        {"标况瞬时流量(m3/h)", 125},
                        {"工况瞬时流量(m3/h)", 125},
                        {"燃气温度(℃)", 88},
                        {"燃气绝对压力(KPa)", 117},
                        {"状态字", 70},
                        {"报警字", 70}};
const Layout kColumns66{{"序号", 45},
                        {"报警时间", 135},
                        {"替代标况累积量(m3)", 125},
                        {"标况累积量(m3)", 102},
                        {"工况累积量(m3)", 102},
                        {"替代标况瞬时流量(m3/h)", 150},
                        {"标况瞬时流量(m3/h)", 125},
                        {"工况瞬时流量(m3/h)", 125},
                        {"温度(℃)", 70},
                        {"绝对压力(KPa)", 95},
                        {"状态字", 60},
                        {"报警字", 60}};
const Layout kColumns68{{"序号", 45}, {"报警时间", 145}, {"标况累积量(m3)", 102}, {"启停标志", 80}};
const Layout kColumns69{{"序号", 45},
                        {"报警时间", 145},
                        {"剪断标志", 80},
                        {"工况累积量(m3)", 102},
                        {"标况累积量(m3)", 102},
                        {"标况瞬时流量(m3/h)", 125},
                        {"工况瞬时流量(m3/h)", 125}};
const Layout kColumns610{{"序号", 45},
                         {"报警时间", 145},
                         {"拆卸标志", 80},
                         {"工况累积量(m3)", 102},
                         {"标况累积量(m3)", 102},
                         {"标况瞬时流量(m3/h)", 125},
                         {"工况瞬时流量(m3/h)", 125}};
const Layout kColumns611{{"序号", 45}, {"报警时间", 145}, {"标况累积量(m3)", 102}};
const Layout kColumns612{{"序号", 45},
                         {"报警时间", 145},
                         {"工况累积量(m3)", 102},
                         {"标况累积量(m3)", 102},
                         {"标况瞬时流量(m3/h)", 125},
                         {"温度(℃)", 70},
                         {"压力(KPa)", 70}};
const Layout kColumns613{{"序号", 45}, {"时间", 145}, {"原参数", 80}, {"修改后参数", 80}};
const Layout kColumns615{{"序号", 45}, {"时间", 145}, {"原参数", 80}, {"修改后参数", 80}, {"参数指示", 80}};

const Layout* ColumnsOfKind(int kindCode)
{
    switch (kindCode) {
    case 61:
        return &kColumns61;
    case 62:
        return &kColumns62;
    case 63:
        return &kColumns63;
    case 64:
        return &kColumns64;
    case 65:
    case 67:
        return &kColumns65;
    case 66:
        return &kColumns66;
    case 68:
        return &kColumns68;
    case 69:
        return &kColumns69;
    case 610:
        return &kColumns610;
    case 611:
        return &kColumns611;
    case 612:
        return &kColumns612;
    case 613:
    case 614:
    case 616:
    case 617:
        return &kColumns613;
    case 615:
        return &kColumns615;
    default:
        return nullptr;
    }
}

} // namespace

// ---- SlotReader ----

ByteView SlotReader::Piece(int offset, int size) const
{
    const auto slotSize = static_cast<int>(FSlot.size());
    if (offset < 0 || size <= 0 || offset >= slotSize)
        return {};
    return FSlot.subspan(static_cast<size_t>(offset), static_cast<size_t>(std::min(size, slotSize - offset)));
}

uint8_t SlotReader::Byte(int offset) const
{
    const ByteView piece = Piece(offset, 1);
    return piece.empty() ? 0 : piece[0];
}

std::string SlotReader::Double(int offset) const
{
    return Format("%.4f", ReadDouble(Piece(offset, 8)));
}

std::string SlotReader::Single(int offset, int decimals) const
{
    return Format("%.*f", decimals, ReadSingle(Piece(offset, 4)));
}

std::string SlotReader::Uint32(int offset) const
{
    return Format("%u", static_cast<unsigned>(ReadUInt32(Piece(offset, 4))));
}

std::string SlotReader::Int64(int offset) const
{
    return Format("%lld", static_cast<long long>(ReadInt64(Piece(offset, 8))));
}

std::string SlotReader::Hex(int offset, int size) const
{
    // Pad a short piece with zero bytes as the Read… functions do.
    Bytes piece(static_cast<size_t>(std::max(size, 0)), 0);
    const ByteView present = Piece(offset, size);
    std::copy(present.begin(), present.end(), piece.begin());
    return BytesToHex(piece);
}

// ---- Block decoding ----

int RecordBlockLength(const RecordBlockLayout& layout)
{
    return kHeadSize + layout.slotCount * layout.slotSize + kCrcSize;
}

int DecodeRecordBlock(const RecordBlockLayout& layout, ByteView reply, RecordTable& table)
{
    if (static_cast<int>(reply.size()) != RecordBlockLength(layout))
        return 2;
    if (!CheckCrc(reply))
        return 3;
    for (int k = 0; k < layout.slotCount; ++k) {
        const ByteView slotBytes = reply.subspan(static_cast<size_t>(kHeadSize + k * layout.slotSize),
                                                 static_cast<size_t>(layout.slotSize));
        if (AllBytesEqual(slotBytes.subspan(kTimeStampOffset), kBlankByte))
            return 4;
        const SlotReader slot(slotBytes);
        // Record numbers count from 0 in the meter and from 1 in the table.
        const unsigned recordNumber = (unsigned{slotBytes[0]} << 8) | slotBytes[1];
        RecordCells cells;
        cells.push_back(Format("%u", recordNumber + 1));
        cells.push_back(BcdToDateTime(slot.Piece(kTimeStampOffset, kTimeStampSize)));
        layout.appendValues(slot, cells);
        table.AppendRow(std::move(cells));
    }
    return 1;
}

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

// ---- Decoders ----

int DecodeDailyV20(int, ByteView reply, RecordTable& table)
{
    return DecodeRecordBlock(kDaily, reply, table);
}
int DecodeCurrentHourV20(int, ByteView reply, RecordTable& table)
{
    return DecodeRecordBlock(kCurrentHour, reply, table);
}
int DecodePrevHourV20(int, ByteView reply, RecordTable& table)
{
    return DecodeRecordBlock(kPrevHour, reply, table);
}
int DecodeParamChangeV20(int, ByteView reply, RecordTable& table)
{
    return DecodeRecordBlock(kParamChange, reply, table);
}
int DecodeSensorAlarmV20(int, ByteView reply, RecordTable& table)
{
    return DecodeRecordBlock(kSensorAlarm, reply, table);
}
int DecodeLimitAlarmV20(int, ByteView reply, RecordTable& table)
{
    return DecodeRecordBlock(kLimitAlarm, reply, table);
}
// Power loss / battery change records carry the same values as the sensor alarms.
int DecodePowerLossV20(int, ByteView reply, RecordTable& table)
{
    return DecodeRecordBlock(kSensorAlarm, reply, table);
}
int DecodeStartStopV20(int, ByteView reply, RecordTable& table)
{
    return DecodeRecordBlock(kStartStop, reply, table);
}
int DecodeAntiCutV20(int, ByteView reply, RecordTable& table)
{
    return DecodeRecordBlock(kAntiCut, reply, table);
}
int DecodeAntiRemovalV20(int, ByteView reply, RecordTable& table)
{
    return DecodeRecordBlock(kAntiRemoval, reply, table);
}
int DecodeMonthV20(int, ByteView reply, RecordTable& table)
{
    return DecodeRecordBlock(kMonth, reply, table);
}
int DecodeRealtimeV20(int, ByteView reply, RecordTable& table)
{
    return DecodeRecordBlock(kRealtime, reply, table);
}
int DecodeStdVolumeChangeV20(int, ByteView reply, RecordTable& table)
{
    return DecodeRecordBlock(kVolumeChange, reply, table);
}
int DecodeWorkVolumeChangeV20(int, ByteView reply, RecordTable& table)
{
    return DecodeRecordBlock(kVolumeChange, reply, table);
}
int DecodeMeterFactorChangeV20(int, ByteView reply, RecordTable& table)
{
    return DecodeRecordBlock(kMeterFactorChange, reply, table);
}
int DecodeBadStdVolumeChangeV20(int, ByteView reply, RecordTable& table)
{
    return DecodeRecordBlock(kVolumeChange, reply, table);
}
int DecodeBadWorkVolumeChangeV20(int, ByteView reply, RecordTable& table)
{
    return DecodeRecordBlock(kVolumeChange, reply, table);
}

// ---- Columns ----

void SetupColumnsV20(int kindCode, RecordTable& table)
{
    const Layout* columns = ColumnsOfKind(kindCode);
    if (columns == nullptr)
        return;
    for (const TableColumn& column : *columns)
        table.AddColumn(column.caption, column.width);
}
