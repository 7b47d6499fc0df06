#include "decoding/records_v12.h"

#include "decoding/dispatch.h"

#include <string>
#include <vector>

namespace {

struct ColumnLayout {
    std::vector<int> kindCodes;
    std::vector<TableColumn> columns;
};

const std::vector<ColumnLayout>& LayoutsV12()
{
    static const std::vector<ColumnLayout> layouts = {
        {{11, 21},
         {{"序号", 45},
          {"时间", 145},
          {"工况累积量(m3)", 103},
          {"标况累积量(m3)", 103},
          {"标况瞬时流量(m3/h)", 123},
          {"温度(℃)", 65},
          {"压力(KPa)", 70}}},
        {{31},
         {{"序号", 45},
          {"时间", 140},
          {"标况累积量(m3)", 100},
          {"标况流量(m3/h)", 100},
          {"温度(℃)", 75},
          {"压力(KPa)", 75}}},
        {{12, 22, 32}, {{"序号", 45}, {"日期", 100}, {"标况累积量(m3)", 120}}},
        {{13, 23, 33}, {{"序号", 45}, {"记录时间", 135}, {"标况累积量(m3)", 100}, {"标记", 55}}},
        {{14, 24}, {{"序号", 45}, {"记录时间", 135}, {"标记", 55}}},
    };
    return layouts;
}

// Types 1 and 2: a blank slot holds 0x00; type 3: 0xFF.
constexpr uint8_t kBlankModbus = 0x00;
constexpr uint8_t kBlankCustom = 0xFF;
// The meters' "started"/"wire intact" flag value; anything else is the opposite.
constexpr uint8_t kFlagSet = 0x55;
// Types 1 and 2 answer an empty month, start/stop or anti-cut slot with a 5-byte
// frame (three bytes and a CRC) instead of a full record.
constexpr size_t kShortAnswerLength = 5;

// Length then CRC, in that order; Decoded when both hold.
int CheckModbusReply(ByteView reply, size_t length)
{
    if (reply.size() != length)
        return DecodeResult::BadLength;
    return CheckCrc(reply) ? DecodeResult::Decoded : DecodeResult::BadCheck;
}

// Length, then the 0x55 0x55 header, then the 8-bit sum of offsets 2..length-2
// against the last byte.
int CheckCustomReply(ByteView reply, size_t length)
{
    if (reply.size() != length)
        return DecodeResult::BadLength;
    if (reply[0] != 0x55 || reply[1] != 0x55)
        return DecodeResult::BadCheck;
    if (ByteSum8(reply.subspan(2, length - 3)) != reply[length - 1])
        return DecodeResult::BadCheck;
    return DecodeResult::Decoded;
}

// Lengths accepted by the month and start/stop kinds of types 1 and 2: the full record
// or the 5-byte no-record answer.
int CheckModbusReplyOrShort(ByteView reply, size_t length)
{
    if (reply.size() != length && reply.size() != kShortAnswerLength)
        return DecodeResult::BadLength;
    return CheckCrc(reply) ? DecodeResult::Decoded : DecodeResult::BadCheck;
}

std::string Bcd(ByteView reply, size_t at)
{
    return BcdToDigits(reply.subspan(at, 1));
}
std::string Time(ByteView reply, size_t at)
{
    return BcdToDateTime(reply.subspan(at, 6));
}
std::string Fixed48_16(ByteView reply, size_t at)
{
    return Format("%.4f", ReadFixed48_16(reply.subspan(at, 8)));
}
std::string Fixed23_8(ByteView reply, size_t at)
{
    return Format("%.2f", ReadFixed23_8(reply.subspan(at, 4)));
}
std::string Float32Exp(ByteView reply, size_t at, const char* format)
{
    return Format(format, ReadFloat32Exp(reply.subspan(at, 4)));
}
const char* StartStopText(uint8_t flag)
{
    return flag == kFlagSet ? "启动" : "停止";
}

int AppendRecord(int blockNumber, RecordTable& table, std::vector<std::string> subItems)
{
    subItems.insert(subItems.begin(), std::to_string(blockNumber));
    table.AppendRow(std::move(subItems));
    return DecodeResult::Decoded;
}

} // namespace

void SetupColumnsV12(int kindCode, RecordTable& table)
{
    for (const ColumnLayout& layout : LayoutsV12()) {
        for (int code : layout.kindCodes) {
            if (code != kindCode)
                continue;
            for (const TableColumn& column : layout.columns)
                table.AddColumn(column.caption, column.width);
            return;
        }
    }
}

int DecodeRealtimeV12(int blockNumber, ByteView reply, RecordTable& table)
{
    if (const int check = CheckModbusReply(reply, 39); check != DecodeResult::Decoded)
        return check;
    if (AllBytesEqual(reply.subspan(3, 34), kBlankModbus))
        return DecodeResult::NoRecord;
    return AppendRecord(blockNumber, table,
                        {Time(reply, 31), Fixed48_16(reply, 3), Fixed48_16(reply, 11), Fixed23_8(reply, 19),
                         Fixed23_8(reply, 23), Fixed23_8(reply, 27)});
}

int DecodeMonthV12(int blockNumber, ByteView reply, RecordTable& table)
{
    if (const int check = CheckModbusReplyOrShort(reply, 15); check != DecodeResult::Decoded)
        return check;
    if (reply.size() == kShortAnswerLength || AllBytesEqual(reply.subspan(3, 10), kBlankModbus))
        return DecodeResult::NoRecord;
    // Month records carry year and month only: 20YY-MM.
    return AppendRecord(blockNumber, table,
                        {"20" + Bcd(reply, 11) + "-" + Bcd(reply, 12), Fixed48_16(reply, 3)});
}

int DecodeStartStopV12(int blockNumber, ByteView reply, RecordTable& table)
{
    if (const int check = CheckModbusReplyOrShort(reply, 21); check != DecodeResult::Decoded)
        return check;
    if (reply.size() == kShortAnswerLength || AllBytesEqual(reply.subspan(3, 16), kBlankModbus))
        return DecodeResult::NoRecord;
    return AppendRecord(blockNumber, table,
                        {Time(reply, 11), Fixed48_16(reply, 3), StartStopText(reply[17])});
}

int DecodeAntiCutV12(int blockNumber, ByteView reply, RecordTable& table)
{
    if (const int check = CheckModbusReplyOrShort(reply, 13); check != DecodeResult::Decoded)
        return check;
    // No blank-value test here: an empty anti-cut slot is signalled only by the short
    // answer or by function 0x66 with 0x80 in the count byte.
    if (IsNoRecordAnswer(reply))
        return DecodeResult::NoRecord;
    return AppendRecord(blockNumber, table, {Time(reply, 3), reply[9] == kFlagSet ? "正常" : "剪断"});
}

int DecodeRealtimeCustom(int blockNumber, ByteView reply, RecordTable& table)
{
    if (const int check = CheckCustomReply(reply, 30); check != DecodeResult::Decoded)
        return check;
    if (AllBytesEqual(reply.subspan(7, 22), kBlankCustom))
        return DecodeResult::NoRecord;
    return AppendRecord(blockNumber, table,
                        {Time(reply, 23), Float32Exp(reply, 7, "%.4f"), Float32Exp(reply, 11, "%.2f"),
                         Float32Exp(reply, 15, "%.2f"), Float32Exp(reply, 19, "%.2f")});
}

int DecodeMonthCustom(int blockNumber, ByteView reply, RecordTable& table)
{
    if (const int check = CheckCustomReply(reply, 15); check != DecodeResult::Decoded)
        return check;
    if (AllBytesEqual(reply.subspan(7, 7), kBlankCustom))
        return DecodeResult::NoRecord;
    // Unlike types 1 and 2, type 3 month records carry a day: 20YY-MM-DD.
    return AppendRecord(
        blockNumber, table,
        {"20" + Bcd(reply, 11) + "-" + Bcd(reply, 12) + "-" + Bcd(reply, 13), Float32Exp(reply, 7, "%.4f")});
}

int DecodeStartStopCustom(int blockNumber, ByteView reply, RecordTable& table)
{
    if (const int check = CheckCustomReply(reply, 19); check != DecodeResult::Decoded)
        return check;
    if (AllBytesEqual(reply.subspan(7, 11), kBlankCustom))
        return DecodeResult::NoRecord;
    return AppendRecord(blockNumber, table,
                        {Time(reply, 11), Float32Exp(reply, 7, "%.4f"), StartStopText(reply[17])});
}
