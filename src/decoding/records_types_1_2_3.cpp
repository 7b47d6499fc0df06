#include "decoding/records_types_1_2_3.h"

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

DecodeResult asDecodeResult(FrameCheck check)
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
DecodeResult checkRecordReply(ByteView reply, size_t length)
{
    return asDecodeResult(checkModbusReply(reply, length));
}

// Length, then the 0x55 0x55 header, then the 8-bit sum of offsets 2..length-2
// against the last byte.
DecodeResult checkCustomReply(ByteView reply, size_t length)
{
    if (reply.size() != length)
        return DecodeResult::BadLength;
    if (reply[0] != 0x55 || reply[1] != 0x55)
        return DecodeResult::BadCheck;
    if (byteSum8(reply.subspan(2, length - 3)) != reply[length - 1])
        return DecodeResult::BadCheck;
    return DecodeResult::Decoded;
}

// Lengths accepted by the month and start/stop kinds of types 1 and 2: the full record
// or the 5-byte no-record answer.
DecodeResult checkModbusReplyOrShort(ByteView reply, size_t length)
{
    return checkRecordReply(reply, reply.size() == kShortAnswerLength ? kShortAnswerLength : length);
}

std::string bcd(ByteView reply, size_t at)
{
    return bcdToDigits(reply.subspan(at, 1));
}
std::string timeText(ByteView reply, size_t at)
{
    return bcdToDateTime(reply.subspan(at, 6));
}
std::string fixed48_16(ByteView reply, size_t at)
{
    return formatText("%.4f", readFixed48_16(reply.subspan(at, 8)));
}
std::string fixed23_8(ByteView reply, size_t at)
{
    return formatText("%.2f", readFixed23_8(reply.subspan(at, 4)));
}
std::string float32Exp(ByteView reply, size_t at, const char* format)
{
    return formatText(format, readFloat32Exp(reply.subspan(at, 4)));
}
const char* startStopText(uint8_t flag)
{
    return flag == kFlagSet ? "启动" : "停止";
}

DecodeResult appendRecord(int blockNumber, RecordTable& table, std::vector<std::string> subItems)
{
    subItems.insert(subItems.begin(), std::to_string(blockNumber));
    table.appendRow(std::move(subItems));
    return DecodeResult::Decoded;
}

} // namespace

DecodeResult decodeRealtimeTypes1And2(const DecodeContext& context, ByteView reply, RecordTable& table)
{
    if (const DecodeResult check = checkRecordReply(reply, 39); check != DecodeResult::Decoded)
        return check;
    if (allBytesEqual(reply.subspan(3, 34), kBlankModbus))
        return DecodeResult::NoRecord;
    return appendRecord(context.blockNumber, table,
                        {timeText(reply, 31), fixed48_16(reply, 3), fixed48_16(reply, 11),
                         fixed23_8(reply, 19), fixed23_8(reply, 23), fixed23_8(reply, 27)});
}

DecodeResult decodeMonthTypes1And2(const DecodeContext& context, ByteView reply, RecordTable& table)
{
    if (const DecodeResult check = checkModbusReplyOrShort(reply, 15); check != DecodeResult::Decoded)
        return check;
    if (reply.size() == kShortAnswerLength || allBytesEqual(reply.subspan(3, 10), kBlankModbus))
        return DecodeResult::NoRecord;
    // Month records carry year and month only: 20YY-MM.
    return appendRecord(context.blockNumber, table,
                        {"20" + bcd(reply, 11) + "-" + bcd(reply, 12), fixed48_16(reply, 3)});
}

DecodeResult decodeStartStopTypes1And2(const DecodeContext& context, ByteView reply, RecordTable& table)
{
    if (const DecodeResult check = checkModbusReplyOrShort(reply, 21); check != DecodeResult::Decoded)
        return check;
    if (reply.size() == kShortAnswerLength || allBytesEqual(reply.subspan(3, 16), kBlankModbus))
        return DecodeResult::NoRecord;
    return appendRecord(context.blockNumber, table,
                        {timeText(reply, 11), fixed48_16(reply, 3), startStopText(reply[17])});
}

DecodeResult decodeAntiCutTypes1And2(const DecodeContext& context, ByteView reply, RecordTable& table)
{
    if (const DecodeResult check = checkModbusReplyOrShort(reply, 13); check != DecodeResult::Decoded)
        return check;
    // No blank-value test here: an empty anti-cut slot is signalled only by the short
    // answer or by function 0x66 with 0x80 in the count byte.
    if (isNoRecordAnswer(reply))
        return DecodeResult::NoRecord;
    return appendRecord(context.blockNumber, table,
                        {timeText(reply, 3), reply[9] == kFlagSet ? "正常" : "剪断"});
}

DecodeResult decodeRealtimeType3(const DecodeContext& context, ByteView reply, RecordTable& table)
{
    if (const DecodeResult check = checkCustomReply(reply, 30); check != DecodeResult::Decoded)
        return check;
    if (allBytesEqual(reply.subspan(7, 22), kBlankCustom))
        return DecodeResult::NoRecord;
    return appendRecord(context.blockNumber, table,
                        {timeText(reply, 23), float32Exp(reply, 7, "%.4f"), float32Exp(reply, 11, "%.2f"),
                         float32Exp(reply, 15, "%.2f"), float32Exp(reply, 19, "%.2f")});
}

DecodeResult decodeMonthType3(const DecodeContext& context, ByteView reply, RecordTable& table)
{
    if (const DecodeResult check = checkCustomReply(reply, 15); check != DecodeResult::Decoded)
        return check;
    if (allBytesEqual(reply.subspan(7, 7), kBlankCustom))
        return DecodeResult::NoRecord;
    // Unlike types 1 and 2, type 3 month records carry a day: 20YY-MM-DD.
    return appendRecord(
        context.blockNumber, table,
        {"20" + bcd(reply, 11) + "-" + bcd(reply, 12) + "-" + bcd(reply, 13), float32Exp(reply, 7, "%.4f")});
}

DecodeResult decodeStartStopType3(const DecodeContext& context, ByteView reply, RecordTable& table)
{
    if (const DecodeResult check = checkCustomReply(reply, 19); check != DecodeResult::Decoded)
        return check;
    if (allBytesEqual(reply.subspan(7, 11), kBlankCustom))
        return DecodeResult::NoRecord;
    return appendRecord(context.blockNumber, table,
                        {timeText(reply, 11), float32Exp(reply, 7, "%.4f"), startStopText(reply[17])});
}
