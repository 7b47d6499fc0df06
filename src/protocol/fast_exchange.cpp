#include "protocol/fast_exchange.h"

#include "catalogue/catalogue.h"
#include "decoding/kind_table.h"
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

} // namespace

int SilenceGapMs(const LineTiming& line)
{
    if (line.baudRate <= 0)
        return 1;
    const double ms = 3.5 * line.bitsPerCharacter * 1000.0 / line.baudRate;
    return std::max(1, static_cast<int>(std::ceil(ms)));
}

ReplyShape::ReplyShape(int kindCode) : FKind(FindKindRow(kindCode)) {}

bool ReplyShape::IsComplete(ByteView reply) const
{
    if (reply.empty() || !FKind)
        return false;
    if (FKind->request.reply.hasByteCount && reply.size() >= 3 && size_t{reply[2]} + 5 > reply.size())
        return false;
    // Length checks need no field description: a whole blank register record
    // (Stop) is as whole as a decoded one.
    RecordTable scratch;
    const DecodeResult result = FKind->Decode({}, reply, scratch);
    return result == DecodeResult::Decoded || result == DecodeResult::NoRecord || result == DecodeResult::Stop;
}

bool ReplyShape::MayGrow(ByteView reply) const
{
    if (!FKind)
        return false;
    const ReplyLengths& lengths = FKind->request.reply;
    if (lengths.lengthInByteCount)
        return reply.size() < 3 || size_t{reply[2]} + 5 > reply.size();
    return !lengths.accepted.empty() && lengths.accepted.back() > reply.size();
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

DecodeResult FastReadRun::Decode(int blockNumber, const KindRow& kind, uint8_t address, ByteView reply)
{
    const size_t at = kind.request.addressOffset;
    if (reply.size() > at && reply[at] != address)
        return DecodeResult::BadCheck;
    return kind.Decode({blockNumber, FFieldTypes, FFieldDigits}, reply, FTable);
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
    const KindRow* kind = FindKindRow(kindCode);
    if (!kind)
        return;
    const size_t addressAt = kind->request.addressOffset;
    const uint8_t address = baseRequest.size() > addressAt ? baseRequest[addressAt] : 0;
    const ReplyShape shape(kindCode);
    for (int block = beginBlock; block <= endBlock; ++block) {
        DecodeResult result = DecodeResult::BadLength;
        for (int attempt = 1; attempt <= kAttemptsPerBlock; ++attempt) {
            try {
                FExchange.SendBlockRequest(baseRequest, block, kindCode);
                const Bytes reply = CollectReplyFast(FExchange, shape, FLine, FResponseTimeoutMs);
                result = Decode(block, *kind, address, reply);
            } catch (const EComPort& error) {
                // The port is gone: asking again cannot succeed.
                FPortError = error.what();
                FailBlock(block);
                return;
            }
            FLastResult = static_cast<int>(result);
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
