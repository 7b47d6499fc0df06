#include "decoding/records_v14.h"

#include "decoding/dispatch.h"

#include <string>
#include <vector>

namespace {

struct ColumnLayout {
    std::vector<int> kindCodes;
    std::vector<TableColumn> columns;
};

const std::vector<ColumnLayout>& LayoutsV14()
{
    static const std::vector<ColumnLayout> layouts = {
        {{41}, {{"序号", 45}, {"记录时间", 145}, {"日标况累积量(m3)", 113}, {"日工况累积量(m3)", 113}}},
        {{42},
         {{"序号", 45}, {"记录时间", 145}, {"当前小时标况累积量(m3)", 150}, {"当前小时工况累积量(m3)", 150}}},
        {{43},
         {{"序号", 45},
          {"记录时间", 145},
          {"前1小时标况累积量(m3)", 146},
          {"前1小时工况累积量(m3)", 146},
          {"压缩系数", 80},
          {"标况压缩因子", 90},
          {"工况压缩因子", 90}}},
        {{44},
         {{"序号", 45},
          {"参数修改起始时间", 145},
          {"参数修改状态字", 130},
          {"原参数", 80},
          {"修改后参数", 80}}},
        {{45, 47, 48},
         {{"序号", 45},
          {"报警时间", 135},
          {"标况累积量(m3)", 102},
          {"工况累积量(m3)", 102},
          {"标况瞬时流量(m3/h)", 125},
          {"工况瞬时流量(m3/h)", 125},
          {"燃气温度(℃)", 88},
          {"燃气绝对压力(KPa)", 117},
          {"状态字", 70},
          {"报警字", 70}}},
        {{46},
         {{"序号", 45},
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
          {"报警字", 70}}},
        {{49}, {{"序号", 45}, {"报警时间", 145}, {"标况累积量(m3)", 102}, {"启停标志", 80}}},
        {{410, 411}, {{"序号", 45}, {"报警时间", 145}, {"标志", 80}}},
    };
    return layouts;
}

constexpr size_t kFirstRecordOffset = 3 + 14; // address, function, count, block header
constexpr uint8_t kBlank = 0xFF;
constexpr uint8_t kFlagSet = 0x55;

// Sub-items of one record after its time stamp; `record` is exactly S bytes long.
using RecordFields = void (*)(ByteView record, std::vector<std::string>& cells);

// Record offsets are those of the record layouts; every value is big-endian.
std::string Count(ByteView record, size_t at)
{
    return Format("%u", ReadUInt32(record.subspan(at, 4)));
}
std::string Double(ByteView record, size_t at)
{
    return Format("%.4f", ReadDouble(record.subspan(at, 8)));
}
std::string Single(ByteView record, size_t at, const char* format)
{
    return Format(format, ReadSingle(record.subspan(at, 4)));
}
std::string Hex(ByteView record, size_t at, size_t count)
{
    return BytesToHex(record.subspan(at, count));
}

int DecodeBlock(ByteView reply, RecordTable& table, size_t recordCount, size_t recordSize,
                RecordFields fields)
{
    if (reply.size() != kFirstRecordOffset + recordCount * recordSize + 2)
        return DecodeResult::BadLength;
    if (!CheckCrc(reply))
        return DecodeResult::BadCheck;
    for (size_t j = 0; j < recordCount; ++j) {
        const ByteView record = reply.subspan(kFirstRecordOffset + j * recordSize, recordSize);
        // The record number is not part of the blank test: an unwritten slot may still
        // carry its number.
        if (AllBytesEqual(record.subspan(2), kBlank))
            return DecodeResult::NoRecord;
        std::vector<std::string> cells;
        cells.push_back(std::to_string(record[0] << 8 | record[1]));
        cells.push_back(BcdToDateTime(record.subspan(2, 6)));
        fields(record, cells);
        table.AppendRow(std::move(cells));
    }
    return DecodeResult::Decoded;
}

void VolumeCounts(ByteView record, std::vector<std::string>& cells)
{
    cells.push_back(Count(record, 8));
    cells.push_back(Count(record, 12));
}

void PrevHourFields(ByteView record, std::vector<std::string>& cells)
{
    VolumeCounts(record, cells);
    cells.push_back(Single(record, 16, "%.4f"));
    cells.push_back(Single(record, 20, "%.4f"));
    cells.push_back(Single(record, 24, "%.4f"));
}

void ParamChangeFields(ByteView record, std::vector<std::string>& cells)
{
    cells.push_back(Hex(record, 8, 6));
    cells.push_back(Hex(record, 14, 4));
    cells.push_back(Hex(record, 18, 4));
}

void AlarmEventFields(ByteView record, std::vector<std::string>& cells)
{
    cells.push_back(Double(record, 8));
    cells.push_back(Double(record, 16));
    for (size_t at = 24; at < 40; at += 4)
        cells.push_back(Single(record, at, "%.2f"));
    cells.push_back(Hex(record, 40, 2));
    cells.push_back(Hex(record, 42, 2));
}

void AlarmEvent2Fields(ByteView record, std::vector<std::string>& cells)
{
    for (size_t at = 8; at < 32; at += 8)
        cells.push_back(Double(record, at));
    for (size_t at = 32; at < 52; at += 4)
        cells.push_back(Single(record, at, "%.2f"));
    cells.push_back(Hex(record, 52, 2));
    cells.push_back(Hex(record, 54, 2));
}

void StartStopFields(ByteView record, std::vector<std::string>& cells)
{
    cells.push_back(Double(record, 8));
    cells.push_back(record[16] == kFlagSet ? "启动" : "停止");
}

void TamperFields(ByteView record, std::vector<std::string>& cells)
{
    cells.push_back(record[8] == kFlagSet ? "正常" : "剪断");
}

} // namespace

void SetupColumnsV14(int kindCode, RecordTable& table)
{
    for (const ColumnLayout& layout : LayoutsV14()) {
        for (int code : layout.kindCodes) {
            if (code != kindCode)
                continue;
            for (const TableColumn& column : layout.columns)
                table.AddColumn(column.caption, column.width);
            return;
        }
    }
}

int DecodeDailyV14(int, ByteView reply, RecordTable& table)
{
    return DecodeBlock(reply, table, 5, 16, VolumeCounts);
}

int DecodeCurrentHourV14(int, ByteView reply, RecordTable& table)
{
    return DecodeBlock(reply, table, 10, 16, VolumeCounts);
}

int DecodePrevHourV14(int, ByteView reply, RecordTable& table)
{
    return DecodeBlock(reply, table, 5, 28, PrevHourFields);
}

int DecodeParamChangeV14(int, ByteView reply, RecordTable& table)
{
    return DecodeBlock(reply, table, 5, 22, ParamChangeFields);
}

int DecodeAlarmEventV14(int, ByteView reply, RecordTable& table)
{
    return DecodeBlock(reply, table, 5, 44, AlarmEventFields);
}

int DecodeAlarmEvent2V14(int, ByteView reply, RecordTable& table)
{
    return DecodeBlock(reply, table, 4, 56, AlarmEvent2Fields);
}

int DecodeStartStopV14(int, ByteView reply, RecordTable& table)
{
    return DecodeBlock(reply, table, 10, 18, StartStopFields);
}

int DecodeTamperV14(int, ByteView reply, RecordTable& table)
{
    return DecodeBlock(reply, table, 10, 10, TamperFields);
}
