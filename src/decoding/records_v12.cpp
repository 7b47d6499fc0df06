#include "decoding/records_v12.h"

#include "decoding/decode_result.h"

#include <string>
#include <vector>

namespace {

// Types 1 and 2: a blank slot holds 0x00; type 3: 0xFF.
constexpr uint8_t kBlankModbus = 0x00;
constexpr uint8_t kBlankCustom = 0xFF;
// The meters' "started"/"wire intact" flag value; anything else is the opposite.
constexpr uint8_t kFlagSet = 0x55;
// Types 1 and 2 answer an empty month, start/stop or anti-cut slot with a 5-byte
// frame (three bytes and a CRC) instead of a full record.
constexpr size_t kShortAnswerLength = 5;

DecodeResult AsDecodeResult(FrameCheck check)
{
    switch (check) {
    case FrameCheck::Ok:
        return DecodeResult::Decoded;
    case FrameCheck::BadLength:
        return DecodeResult::BadLength;
    case FrameCheck::BadCheck:
        break;
    }
    return DecodeResult::BadCheck;
}

// Length then CRC, in that order; Decoded when both hold.
DecodeResult CheckRecordReply(ByteView reply, size_t length)
{
    return AsDecodeResult(CheckModbusReply(reply, length));
}

// Length, then the 0x55 0x55 header, then the 8-bit sum of offsets 2..length-2
// against the last byte.
DecodeResult CheckCustomReply(ByteView reply, size_t length)
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
DecodeResult CheckModbusReplyOrShort(ByteView reply, size_t length)
{
    return CheckRecordReply(reply, reply.size() == kShortAnswerLength ? kShortAnswerLength : length);
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

DecodeResult AppendRecord(int blockNumber, RecordTable& table, std::vector<std::string> subItems)
{
    subItems.insert(subItems.begin(), std::to_string(blockNumber));
    table.AppendRow(std::move(subItems));
    return DecodeResult::Decoded;
}

} // namespace

DecodeResult DecodeRealtimeV12(const DecodeContext& context, ByteView reply, RecordTable& table)
{
    if (const DecodeResult check = CheckRecordReply(reply, 39); check != DecodeResult::Decoded)
        return check;
    if (AllBytesEqual(reply.subspan(3, 34), kBlankModbus))
        return DecodeResult::NoRecord;
    return AppendRecord(context.blockNumber, table,
                        {Time(reply, 31), Fixed48_16(reply, 3), Fixed48_16(reply, 11), Fixed23_8(reply, 19),
                         Fixed23_8(reply, 23), Fixed23_8(reply, 27)});
}

DecodeResult DecodeMonthV12(const DecodeContext& context, ByteView reply, RecordTable& table)
{
    if (const DecodeResult check = CheckModbusReplyOrShort(reply, 15); check != DecodeResult::Decoded)
        return check;
    if (reply.size() == kShortAnswerLength || AllBytesEqual(reply.subspan(3, 10), kBlankModbus))
        return DecodeResult::NoRecord;
    // Month records carry year and month only: 20YY-MM.
    return AppendRecord(context.blockNumber, table,
                        {"20" + Bcd(reply, 11) + "-" + Bcd(reply, 12), Fixed48_16(reply, 3)});
}

DecodeResult DecodeStartStopV12(const DecodeContext& context, ByteView reply, RecordTable& table)
{
    if (const DecodeResult check = CheckModbusReplyOrShort(reply, 21); check != DecodeResult::Decoded)
        return check;
    if (reply.size() == kShortAnswerLength || AllBytesEqual(reply.subspan(3, 16), kBlankModbus))
        return DecodeResult::NoRecord;
    return AppendRecord(context.blockNumber, table,
                        {Time(reply, 11), Fixed48_16(reply, 3), StartStopText(reply[17])});
}

DecodeResult DecodeAntiCutV12(const DecodeContext& context, ByteView reply, RecordTable& table)
{
    if (const DecodeResult check = CheckModbusReplyOrShort(reply, 13); check != DecodeResult::Decoded)
        return check;
    // No blank-value test here: an empty anti-cut slot is signalled only by the short
    // answer or by function 0x66 with 0x80 in the count byte.
    if (IsNoRecordAnswer(reply))
        return DecodeResult::NoRecord;
    return AppendRecord(context.blockNumber, table, {Time(reply, 3), reply[9] == kFlagSet ? "正常" : "剪断"});
}

DecodeResult DecodeRealtimeCustom(const DecodeContext& context, ByteView reply, RecordTable& table)
{
    if (const DecodeResult check = CheckCustomReply(reply, 30); check != DecodeResult::Decoded)
        return check;
    if (AllBytesEqual(reply.subspan(7, 22), kBlankCustom))
        return DecodeResult::NoRecord;
    return AppendRecord(context.blockNumber, table,
                        {Time(reply, 23), Float32Exp(reply, 7, "%.4f"), Float32Exp(reply, 11, "%.2f"),
                         Float32Exp(reply, 15, "%.2f"), Float32Exp(reply, 19, "%.2f")});
}

DecodeResult DecodeMonthCustom(const DecodeContext& context, ByteView reply, RecordTable& table)
{
    if (const DecodeResult check = CheckCustomReply(reply, 15); check != DecodeResult::Decoded)
        return check;
    if (AllBytesEqual(reply.subspan(7, 7), kBlankCustom))
        return DecodeResult::NoRecord;
    // Unlike types 1 and 2, type 3 month records carry a day: 20YY-MM-DD.
    return AppendRecord(
        context.blockNumber, table,
        {"20" + Bcd(reply, 11) + "-" + Bcd(reply, 12) + "-" + Bcd(reply, 13), Float32Exp(reply, 7, "%.4f")});
}

DecodeResult DecodeStartStopCustom(const DecodeContext& context, ByteView reply, RecordTable& table)
{
    if (const DecodeResult check = CheckCustomReply(reply, 19); check != DecodeResult::Decoded)
        return check;
    if (AllBytesEqual(reply.subspan(7, 11), kBlankCustom))
        return DecodeResult::NoRecord;
    return AppendRecord(context.blockNumber, table,
                        {Time(reply, 11), Float32Exp(reply, 7, "%.4f"), StartStopText(reply[17])});
}
