#include "protocol/fast_exchange.h"

#include "catalogue/catalogue.h"
#include "decoding/dispatch.h"
#include "decoding/record_table.h"
#include "log/log_model.h"
#include "protocol/exchange.h"
#include "protocol/transaction_run.h"
#include "protocol/waiter.h"
#include "serial/byte_link.h"

#include <algorithm>
#include <cmath>

namespace {

// Between polls of the waiting count: fine enough to see a 3.5-character gap
// at 9600 baud (4 ms).
constexpr int kFastPollMs = 1;

// Length checks need no field description; a run given none decodes with
// empty types and zero digits, as the paced run does.
const FieldTypeList kNoTypes;
const FieldDigitsArray kNoDigits{};

bool IsTypedKind(int kindCode)
{
    return kindCode / 10 == 5;
}

// Custom frames (device type 3) carry the address in their third byte, the
// Modbus-style frames in their first.
size_t AddressOffset(int kindCode)
{
    return DeviceTypeOfKind(kindCode) == 3 ? 2 : 0;
}

int DecodeWith(int blockNumber, int kindCode, ByteView reply, RecordTable& table, const FieldTypeList& types,
               const FieldDigitsArray& digits)
{
    return IsTypedKind(kindCode) ? DecodeTypedRecord(blockNumber, kindCode, reply, table, types, digits)
                                 : DecodeRecord(blockNumber, kindCode, reply, table);
}

} // namespace

int SilenceGapMs(const LineTiming& line)
{
    if (line.baudRate <= 0)
        return 1;
    const double ms = 3.5 * line.bitsPerCharacter * 1000.0 / line.baudRate;
    return std::max(1, static_cast<int>(std::ceil(ms)));
}

ReplyShape::ReplyShape(int kindCode) : FKindCode(kindCode)
{
    Bytes probe;
    for (size_t length = 1; length <= static_cast<size_t>(kMaxReplyBytes); ++length) {
        probe.assign(length, 0);
        RecordTable scratch;
        if (DecodeWith(1, kindCode, probe, scratch, kNoTypes, kNoDigits) != DecodeResult::BadLength)
            FLengths.push_back(length);
    }
}

bool ReplyShape::IsComplete(ByteView reply) const
{
    if (reply.empty())
        return false;
    if (DeviceTypeOfKind(FKindCode) != 3 && reply.size() >= 3 && size_t{reply[2]} + 5 > reply.size())
        return false;
    RecordTable scratch;
    const int result = DecodeWith(1, FKindCode, reply, scratch, kNoTypes, kNoDigits);
    // Stop from the general dispatcher only means "no decoder": that says nothing
    // about the length. From the typed dispatcher it means a whole blank record.
    return result == DecodeResult::Decoded || result == DecodeResult::NoRecord ||
           (result == DecodeResult::Stop && IsTypedKind(FKindCode));
}

bool ReplyShape::MayGrow(ByteView reply) const
{
    // Device type 5 replies say their own length: address, function, byte count.
    if (IsTypedKind(FKindCode))
        return reply.size() < 3 || size_t{reply[2]} + 5 > reply.size();
    return !FLengths.empty() && FLengths.back() > reply.size();
}

Bytes CollectReplyFast(Exchange& exchange, const ReplyShape& shape, const LineTiming& line,
                       int responseTimeoutMs)
{
    ByteLink& link = exchange.Link();
    Waiter& waiter = exchange.Wait();
    const int gapMs = SilenceGapMs(line);
    const int64_t start = waiter.NowMs();
    int64_t lastByteAt = start;
    Bytes reply;
    for (;;) {
        waiter.Sleep(kFastPollMs);
        if (!link.Connected())
            return {};
        const int64_t now = waiter.NowMs();
        const int waiting = link.WaitingByteCount();
        if (waiting > 0) {
            if (reply.size() + static_cast<size_t>(waiting) > static_cast<size_t>(kMaxReplyBytes))
                return {};
            const Bytes piece = link.ReceiveBytes(waiting);
            reply.insert(reply.end(), piece.begin(), piece.end());
            lastByteAt = now;
            if (shape.IsComplete(reply))
                break;
            continue;
        }
        const int64_t quiet = now - lastByteAt;
        if (quiet >= responseTimeoutMs) {
            if (reply.empty())
                return {};
            break;
        }
        if (!reply.empty() && quiet >= gapMs && !shape.MayGrow(reply))
            break;
    }
    exchange.Log().AppendLine(kReceivedPrefix + BytesToHexSpaced(reply));
    return reply;
}

FastReadRun::FastReadRun(Exchange& exchange, RecordTable& table, LineTiming line, int responseTimeoutMs)
    : FExchange(exchange), FTable(table), FLine(line), FResponseTimeoutMs(responseTimeoutMs)
{
}

void FastReadRun::SetFieldDescription(const FieldTypeList* fieldTypes, const FieldDigitsArray* fieldDigits)
{
    FFieldTypes = fieldTypes;
    FFieldDigits = fieldDigits;
}

int FastReadRun::Decode(int blockNumber, int kindCode, uint8_t address, ByteView reply)
{
    const size_t at = AddressOffset(kindCode);
    if (reply.size() > at && reply[at] != address)
        return DecodeResult::BadCheck;
    return DecodeWith(blockNumber, kindCode, reply, FTable, FFieldTypes ? *FFieldTypes : kNoTypes,
                      FFieldDigits ? *FFieldDigits : kNoDigits);
}

void FastReadRun::FailBlock(int blockNumber)
{
    FStatusText = "读取第" + std::to_string(blockNumber) + "条数据失败!";
    FExchange.Log().AppendLine(FStatusText);
}

void FastReadRun::Run(int endBlock, int beginBlock, ByteView baseRequest, int kindCode)
{
    FLastResult = -1;
    FPortError.reset();
    FStatusText = "处理完成";
    const size_t addressAt = AddressOffset(kindCode);
    const uint8_t address = baseRequest.size() > addressAt ? baseRequest[addressAt] : 0;
    const ReplyShape shape(kindCode);
    for (int block = beginBlock; block <= endBlock; ++block) {
        int result = DecodeResult::BadLength;
        for (int attempt = 1; attempt <= kAttemptsPerBlock; ++attempt) {
            try {
                FExchange.SendBlockRequest(baseRequest, block, kindCode);
                const Bytes reply = CollectReplyFast(FExchange, shape, FLine, FResponseTimeoutMs);
                result = Decode(block, kindCode, address, reply);
            } catch (const EComPort& error) {
                // The port is gone: asking again cannot succeed.
                FPortError = error.what();
                FailBlock(block);
                return;
            }
            FLastResult = result;
            if (result != DecodeResult::BadLength && result != DecodeResult::BadCheck)
                break;
        }
        switch (result) {
        case DecodeResult::Decoded:
            FStatusText = "正在处理" + std::to_string(block) + "条记录......";
            break;
        case DecodeResult::Stop:
            FStatusText = "处理完成......";
            return;
        case DecodeResult::NoRecord:
            FStatusText = "处理完成";
            return;
        default:
            FailBlock(block);
            return;
        }
    }
    FStatusText = "处理完成";
}
