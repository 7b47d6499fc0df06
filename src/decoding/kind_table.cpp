#include "decoding/kind_table.h"

#include "decoding/records_money.h"
#include "decoding/records_v12.h"
#include "decoding/records_v14.h"
#include "decoding/records_v20.h"
#include "decoding/typed_fields.h"

#include <algorithm>

namespace {

using Columns = std::vector<TableColumn>;

// ---- Columns of the one-record kinds (device types 1, 2 and 3) ----

const Columns kRealtimeV12Columns{{"序号", 45},
                                  {"时间", 145},
                                  {"工况累积量(m3)", 103},
                                  {"标况累积量(m3)", 103},
                                  {"标况瞬时流量(m3/h)", 123},
                                  {"温度(℃)", 65},
                                  {"压力(KPa)", 70}};
const Columns kRealtimeCustomColumns{
    {"序号", 45},    {"时间", 140},    {"标况累积量(m3)", 100}, {"标况流量(m3/h)", 100},
    {"温度(℃)", 75}, {"压力(KPa)", 75}};
const Columns kMonthV12Columns{{"序号", 45}, {"日期", 100}, {"标况累积量(m3)", 120}};
const Columns kStartStopV12Columns{{"序号", 45}, {"记录时间", 135}, {"标况累积量(m3)", 100}, {"标记", 55}};
const Columns kAntiCutV12Columns{{"序号", 45}, {"记录时间", 135}, {"标记", 55}};

// ---- Columns of device type 4 ----

const Columns kDailyV14Columns{
    {"序号", 45}, {"记录时间", 145}, {"日标况累积量(m3)", 113}, {"日工况累积量(m3)", 113}};
const Columns kCurrentHourColumns{
    {"序号", 45}, {"记录时间", 145}, {"当前小时标况累积量(m3)", 150}, {"当前小时工况累积量(m3)", 150}};
const Columns kPrevHourColumns{{"序号", 45},
                               {"记录时间", 145},
                               {"前1小时标况累积量(m3)", 146},
                               {"前1小时工况累积量(m3)", 146},
                               {"压缩系数", 80},
                               {"标况压缩因子", 90},
                               {"工况压缩因子", 90}};
const Columns kParamChangeV14Columns{
    {"序号", 45}, {"参数修改起始时间", 145}, {"参数修改状态字", 130}, {"原参数", 80}, {"修改后参数", 80}};
const Columns kAlarmEventColumns{{"序号", 45},
                                 {"报警时间", 135},
                                 {"标况累积量(m3)", 102},
                                 {"工况累积量(m3)", 102},
                                 {"标况瞬时流量(m3/h)", 125},
                                 {"工况瞬时流量(m3/h)", 125},
                                 {"燃气温度(℃)", 88},
                                 {"燃气绝对压力(KPa)", 117},
                                 {"状态字", 70},
                                 {"报警字", 70}};
const Columns kAlarmEvent2V14Columns{{"序号", 45},
                                     {"报警时间", 145},
                                     {"标况累积量替代(m3)", 125},
                                     {"标况累积量(m3)", 100},
                                     {"工况累积量(m3)", 100},
                                     {"标况瞬时流量替代(m3/h)", 150},
                                     {"标况瞬时流量(m3/h)", 127},
                                     {"工况瞬时流量(m3/h)", 125},
                                     {"燃气温度(℃)", 88},
                                     {"燃气绝对压力(KPa)", 118},
                                     {"状态字", 70},
                                     {"报警字", 70}};
const Columns kStartStopColumns{{"序号", 45}, {"报警时间", 145}, {"标况累积量(m3)", 102}, {"启停标志", 80}};
const Columns kTamperV14Columns{{"序号", 45}, {"报警时间", 145}, {"标志", 80}};

// ---- Columns of device type 6, shared by device type 7 where the records are the same ----

const Columns kDailyV20Columns{
    {"序号", 45}, {"时间", 145}, {"日标况累积量(m3)", 120}, {"日工况累积量(m3)", 120}};
const Columns kParamChangeV20Columns{
    {"序号", 45}, {"参数修改起始时间", 145}, {"参数修改状态字", 145}, {"原参数", 100}, {"修改后参数", 100}};
const Columns kLimitAlarmV20Columns{{"序号", 45},
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
const Columns kAntiCutV20Columns{{"序号", 45},
                                 {"报警时间", 145},
                                 {"剪断标志", 80},
                                 {"工况累积量(m3)", 102},
                                 {"标况累积量(m3)", 102},
                                 {"标况瞬时流量(m3/h)", 125},
                                 {"工况瞬时流量(m3/h)", 125}};
const Columns kAntiRemovalV20Columns{{"序号", 45},
                                     {"报警时间", 145},
                                     {"拆卸标志", 80},
                                     {"工况累积量(m3)", 102},
                                     {"标况累积量(m3)", 102},
                                     {"标况瞬时流量(m3/h)", 125},
                                     {"工况瞬时流量(m3/h)", 125}};
const Columns kMonthV20Columns{{"序号", 45}, {"报警时间", 145}, {"标况累积量(m3)", 102}};
const Columns kRealtimeV20Columns{{"序号", 45},
                                  {"报警时间", 145},
                                  {"工况累积量(m3)", 102},
                                  {"标况累积量(m3)", 102},
                                  {"标况瞬时流量(m3/h)", 125},
                                  {"温度(℃)", 70},
                                  {"压力(KPa)", 70}};
const Columns kVolumeChangeColumns{{"序号", 45}, {"时间", 145}, {"原参数", 80}, {"修改后参数", 80}};
const Columns kMeterFactorChangeColumns{
    {"序号", 45}, {"时间", 145}, {"原参数", 80}, {"修改后参数", 80}, {"参数指示", 80}};

// ---- Columns of device type 7's own kinds ----

const Columns kAntiCutMoneyColumns{{"序号", 45},
                                   {"报警时间", 145},
                                   {"标况累积量(m3)", 102},
                                   {"工况累积量(m3)", 102},
                                   {"标况瞬时流量(m3/h)", 125},
                                   {"工况瞬时流量(m3/h)", 125},
                                   {"温度(℃)", 70},
                                   {"压力(KPa)", 70},
                                   {"状态字", 60},
                                   {"报警字", 60},
                                   {"剪断标志", 70}};
const Columns kAntiRemovalMoneyColumns{{"序号", 45}, {"报警时间", 145}, {"拆卸标志", 70}};
const Columns kConsumptionMoneyColumns{{"序号", 45},
                                       {"报警时间", 145},
                                       {"工况累积量(m3)", 102},
                                       {"标况累积量(m3)", 102},
                                       {"标况瞬时流量(m3/h)", 125},
                                       {"温度(℃)", 70},
                                       {"压力(KPa)", 70},
                                       {"剩余量(元)", 90},
                                       {"用户卡累计输入量(元)", 135},
                                       {"应急卡累计输入量(元)", 135},
                                       {"累积用量(元)", 90}};
const Columns kRechargeMoneyColumns{{"序号", 45},        {"报警时间", 145},   {"应用类型标识", 105},
                                    {"本次输入量", 102}, {"累计输入量", 102}, {"剩余量", 90},
                                    {"累积用量", 90}};

// Types 1 and 2 answer an empty month, start/stop or anti-cut slot with a 5-byte
// frame (three bytes and a CRC) instead of a full record.
constexpr size_t kShortAnswerLength = 5;

// How a row's reply is framed; the lengths of block replies follow from their layout.
struct ReplyFrame {
    size_t length = 0;        // one-record replies: the record's whole length
    bool shortAnswer = false; // the 5-byte no-record answer is accepted too
    bool describedBySheet = false;
};

struct Entry {
    int code;
    const RecordBlockLayout* block;
    KindDecoder decode;
    const Columns* columns;
    ReplyFrame frame;
};

constexpr ReplyFrame Length(size_t length)
{
    return {length, false, false};
}
constexpr ReplyFrame LengthOrShort(size_t length)
{
    return {length, true, false};
}
constexpr ReplyFrame kSheetFrame{0, false, true};
constexpr ReplyFrame kBlockFrame{};

const Entry kEntries[] = {
    {11, nullptr, DecodeRealtimeV12, &kRealtimeV12Columns, Length(39)},
    {12, nullptr, DecodeMonthV12, &kMonthV12Columns, LengthOrShort(15)},
    {13, nullptr, DecodeStartStopV12, &kStartStopV12Columns, LengthOrShort(21)},
    {14, nullptr, DecodeAntiCutV12, &kAntiCutV12Columns, LengthOrShort(13)},
    {21, nullptr, DecodeRealtimeV12, &kRealtimeV12Columns, Length(39)},
    {22, nullptr, DecodeMonthV12, &kMonthV12Columns, LengthOrShort(15)},
    {23, nullptr, DecodeStartStopV12, &kStartStopV12Columns, LengthOrShort(21)},
    {24, nullptr, DecodeAntiCutV12, &kAntiCutV12Columns, LengthOrShort(13)},
    {31, nullptr, DecodeRealtimeCustom, &kRealtimeCustomColumns, Length(30)},
    {32, nullptr, DecodeMonthCustom, &kMonthV12Columns, Length(15)},
    {33, nullptr, DecodeStartStopCustom, &kStartStopV12Columns, Length(19)},

    {41, &kDailyV14, nullptr, &kDailyV14Columns, kBlockFrame},
    {42, &kCurrentHourV14, nullptr, &kCurrentHourColumns, kBlockFrame},
    {43, &kPrevHourV14, nullptr, &kPrevHourColumns, kBlockFrame},
    {44, &kParamChangeV14, nullptr, &kParamChangeV14Columns, kBlockFrame},
    {45, &kAlarmEventV14, nullptr, &kAlarmEventColumns, kBlockFrame},
    {46, &kAlarmEvent2V14, nullptr, &kAlarmEvent2V14Columns, kBlockFrame},
    {47, &kAlarmEventV14, nullptr, &kAlarmEventColumns, kBlockFrame},
    {48, &kAlarmEventV14, nullptr, &kAlarmEventColumns, kBlockFrame},
    {49, &kStartStopV14, nullptr, &kStartStopColumns, kBlockFrame},
    {410, &kTamperV14, nullptr, &kTamperV14Columns, kBlockFrame},
    {411, &kTamperV14, nullptr, &kTamperV14Columns, kBlockFrame},

    {51, nullptr, DecodeTypedFields, nullptr, kSheetFrame},
    {52, nullptr, DecodeTypedFields, nullptr, kSheetFrame},
    {53, nullptr, DecodeTypedFields, nullptr, kSheetFrame},
    {54, nullptr, DecodeTypedAlarmFields, nullptr, kSheetFrame},

    {61, &kDailyV20, nullptr, &kDailyV20Columns, kBlockFrame},
    {62, &kCurrentHourV20, nullptr, &kCurrentHourColumns, kBlockFrame},
    {63, &kPrevHourV20, nullptr, &kPrevHourColumns, kBlockFrame},
    {64, &kParamChangeV20, nullptr, &kParamChangeV20Columns, kBlockFrame},
    {65, &kSensorAlarmV20, nullptr, &kAlarmEventColumns, kBlockFrame},
    {66, &kLimitAlarmV20, nullptr, &kLimitAlarmV20Columns, kBlockFrame},
    {67, &kSensorAlarmV20, nullptr, &kAlarmEventColumns, kBlockFrame},
    {68, &kStartStopV20, nullptr, &kStartStopColumns, kBlockFrame},
    {69, &kAntiCutV20, nullptr, &kAntiCutV20Columns, kBlockFrame},
    {610, &kAntiRemovalV20, nullptr, &kAntiRemovalV20Columns, kBlockFrame},
    {611, &kMonthV20, nullptr, &kMonthV20Columns, kBlockFrame},
    {612, &kRealtimeV20, nullptr, &kRealtimeV20Columns, kBlockFrame},
    {613, &kVolumeChangeV20, nullptr, &kVolumeChangeColumns, kBlockFrame},
    {614, &kVolumeChangeV20, nullptr, &kVolumeChangeColumns, kBlockFrame},
    {615, &kMeterFactorChangeV20, nullptr, &kMeterFactorChangeColumns, kBlockFrame},
    {616, &kVolumeChangeV20, nullptr, &kVolumeChangeColumns, kBlockFrame},
    {617, &kVolumeChangeV20, nullptr, &kVolumeChangeColumns, kBlockFrame},

    {71, &kDailyV20, nullptr, &kDailyV20Columns, kBlockFrame},
    {72, &kCurrentHourV20, nullptr, &kCurrentHourColumns, kBlockFrame},
    {73, &kPrevHourV20, nullptr, &kPrevHourColumns, kBlockFrame},
    {74, &kParamChangeMoney, nullptr, &kParamChangeV20Columns, kBlockFrame},
    {75, &kSensorAlarmV20, nullptr, &kAlarmEventColumns, kBlockFrame},
    {76, &kLimitAlarmV20, nullptr, &kLimitAlarmV20Columns, kBlockFrame},
    {77, &kSensorAlarmV20, nullptr, &kAlarmEventColumns, kBlockFrame},
    {78, &kStartStopV20, nullptr, &kStartStopColumns, kBlockFrame},
    {79, &kAntiCutMoney, nullptr, &kAntiCutMoneyColumns, kBlockFrame},
    {710, &kAntiRemovalMoney, nullptr, &kAntiRemovalMoneyColumns, kBlockFrame},
    {711, &kMonthV20, nullptr, &kMonthV20Columns, kBlockFrame},
    {712, &kConsumptionMoney, nullptr, &kConsumptionMoneyColumns, kBlockFrame},
    {713, &kRechargeMoney, nullptr, &kRechargeMoneyColumns, kBlockFrame},
};

ReplyLengths LengthsOf(const Entry& entry, RequestDialect dialect)
{
    ReplyLengths lengths;
    lengths.hasByteCount = dialect != RequestDialect::CustomSum8;
    if (entry.frame.describedBySheet) {
        lengths.lengthInByteCount = true;
    } else if (entry.block) {
        lengths.accepted.push_back(static_cast<size_t>(RecordBlockLength(*entry.block)));
    } else {
        if (entry.frame.shortAnswer)
            lengths.accepted.push_back(kShortAnswerLength);
        lengths.accepted.push_back(entry.frame.length);
    }
    return lengths;
}

KindRow MakeRow(const Entry& entry)
{
    KindRow row;
    row.code = entry.code;
    row.deviceType = DeviceTypeOfKind(entry.code);
    row.blockCount = BlockCount(entry.code);
    row.block = entry.block;
    row.decode = entry.decode;
    if (entry.columns)
        row.columns = *entry.columns;
    row.fieldsFromWorkbook = entry.frame.describedBySheet;
    const DeviceTypeInfo* device = FindDeviceType(row.deviceType);
    const RecordKindInfo* kind = FindRecordKind(entry.code);
    RequestShape& request = row.request;
    request.dialect = device ? device->dialect : RequestDialect::RecordByIndex;
    request.selector = kind ? kind->requestByte : 0;
    request.recordsPerBlock = RecordsPerBlock(entry.code);
    request.firstRecord = std::max(0, RecordNumberingBase(entry.code));
    // Custom frames carry the address after their two header bytes.
    request.addressOffset = request.dialect == RequestDialect::CustomSum8 ? 2 : 0;
    request.reply = LengthsOf(entry, request.dialect);
    return row;
}

const std::vector<KindRow>& Rows()
{
    static const std::vector<KindRow> rows = [] {
        std::vector<KindRow> built;
        for (const RecordKindInfo& kind : RecordKinds()) {
            for (const Entry& entry : kEntries) {
                if (entry.code == kind.code)
                    built.push_back(MakeRow(entry));
            }
        }
        return built;
    }();
    return rows;
}

} // namespace

DecodeResult KindRow::Decode(const DecodeContext& context, ByteView reply, RecordTable& table) const
{
    if (block)
        return DecodeRecordBlock(*block, reply, table);
    return decode ? decode(context, reply, table) : DecodeResult::Stop;
}

std::span<const KindRow> KindRows()
{
    return Rows();
}

const KindRow* FindKindRow(int kindCode)
{
    for (const KindRow& row : Rows()) {
        if (row.code == kindCode)
            return &row;
    }
    return nullptr;
}

DecodeResult DecodeKindReply(int kindCode, const DecodeContext& context, ByteView reply, RecordTable& table)
{
    const KindRow* row = FindKindRow(kindCode);
    return row ? row->Decode(context, reply, table) : DecodeResult::Stop;
}

void SetupKindColumns(int kindCode, RecordTable& table)
{
    const KindRow* row = FindKindRow(kindCode);
    table.SetColumns(row ? row->columns : Columns{});
}
