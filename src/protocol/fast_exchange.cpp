#include "protocol/fast_exchange.h"

#include "catalogue/catalogue.h"
#include "decoding/record_table.h"
#include "log/log_model.h"
#include "protocol/exchange.h"
#include "protocol/waiter.h"
#include "serial/byte_link.h"

#include <algorithm>
#include <cmath>

namespace {

// Between polls of the waiting count: fine enough to see a 3.5-character gap
// at 9600 baud (4 ms).
constexpr int kFastPollMs = 1;

} // namespace

ReplyShape::ReplyShape(int kindCode) : m_kind(FindRecordKind(kindCode)) {}

ReplyShape ReplyShape::ModbusOfLength(size_t length)
{
    ReplyShape shape;
    shape.m_modbusLength = length;
    return shape;
}

bool ReplyShape::IsComplete(ByteView reply) const
{
    if (m_modbusLength > 0)
        return CheckModbusReply(reply, m_modbusLength) == FrameCheck::Ok;
    if (reply.empty() || !m_kind)
        return false;
    if (m_kind->reply.hasByteCount && reply.size() >= 3 && size_t{reply[2]} + 5 > reply.size())
        return false;
    // Length checks need no field description: a whole blank register record
    // (Stop) is as whole as a decoded one.
    RecordTable scratch;
    const DecodeResult result = m_kind->decodeReply({}, reply, scratch);
    return result == DecodeResult::Decoded || result == DecodeResult::NoRecord ||
           result == DecodeResult::Stop;
}

bool ReplyShape::MayGrow(ByteView reply) const
{
    if (m_modbusLength > 0)
        return reply.size() < m_modbusLength;
    if (!m_kind)
        return false;
    const ReplyLengths& lengths = m_kind->reply;
    if (lengths.lengthInByteCount)
        return reply.size() < 3 || size_t{reply[2]} + 5 > reply.size();
    return !lengths.accepted.empty() && lengths.accepted.back() > reply.size();
}

size_t ReplyShape::LongestLength() const
{
    if (m_modbusLength > 0)
        return m_modbusLength;
    if (!m_kind)
        return kMaxReplyBytes;
    const ReplyLengths& lengths = m_kind->reply;
    // The byte count is one byte: at most 255 data bytes and five of frame.
    if (lengths.lengthInByteCount)
        return 255 + 5;
    return lengths.accepted.empty() ? size_t(kMaxReplyBytes) : lengths.accepted.back();
}

Bytes CollectReplyFast(Exchange& exchange, const ReplyShape& shape, const LineSettings& line)
{
    const int responseTimeoutMs = line.responseTimeoutMs;
    ByteLink& link = exchange.Link();
    Waiter& waiter = exchange.Wait();
    const int gapMs = line.SilenceGapMs();
    const int64_t start = waiter.NowMs();
    const int64_t deadline = start + responseTimeoutMs + line.WireTimeMs(shape.LongestLength());
    int64_t lastByteAt = start;
    Bytes reply;
    for (;;) {
        waiter.Sleep(kFastPollMs);
        if (!link.Connected())
            return {};
        const int64_t now = waiter.NowMs();
        const int waiting = link.WaitingByteCount();
        if (waiting > 0) {
            if (reply.size() + static_cast<size_t>(waiting) > static_cast<size_t>(kMaxReplyBytes)) {
                exchange.Log().AppendLine(DiscardedLogLine(reply.size() + size_t(waiting)));
                return {};
            }
            const Bytes piece = link.ReceiveBytes(waiting);
            reply.insert(reply.end(), piece.begin(), piece.end());
            lastByteAt = now;
            if (shape.IsComplete(reply) || now >= deadline)
                break;
            continue;
        }
        if (now >= deadline) {
            if (reply.empty())
                return {};
            break;
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
    exchange.LogReply(reply);
    return reply;
}

Bytes ExchangeFast(Exchange& exchange, ByteView frame, const ReplyShape& shape, const LineSettings& line)
{
    exchange.SendFrame(frame);
    return CollectReplyFast(exchange, shape, line);
}
