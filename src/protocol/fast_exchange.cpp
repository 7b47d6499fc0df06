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

ReplyShape::ReplyShape(const RecordKind& kind) : m_kind(&kind) {}

ReplyShape ReplyShape::modbusOfLength(size_t length)
{
    ReplyShape shape;
    shape.m_modbusLength = length;
    return shape;
}

bool ReplyShape::isComplete(ByteView reply) const
{
    if (m_modbusLength > 0)
        return checkModbusReply(reply, m_modbusLength) == FrameCheck::Ok;
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

bool ReplyShape::mayGrow(ByteView reply) const
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

size_t ReplyShape::longestLength() const
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

Bytes collectReplyFast(Exchange& exchange, const ReplyShape& shape, const LineSettings& line)
{
    const int responseTimeoutMs = line.responseTimeoutMs;
    ByteLink& link = exchange.link();
    Waiter& waiter = exchange.wait();
    const int gapMs = line.silenceGapMs();
    const int64_t start = waiter.nowMs();
    const int64_t deadline = start + responseTimeoutMs + line.wireTimeMs(shape.longestLength());
    int64_t lastByteAt = start;
    Bytes reply;
    for (;;) {
        waiter.sleep(kFastPollMs);
        if (!link.connected())
            return {};
        const int64_t now = waiter.nowMs();
        const int waiting = link.waitingByteCount();
        if (waiting > 0) {
            if (reply.size() + static_cast<size_t>(waiting) > static_cast<size_t>(kMaxReplyBytes)) {
                exchange.log().appendLine(discardedLogLine(reply.size() + size_t(waiting)));
                return {};
            }
            const Bytes piece = link.receiveBytes(waiting);
            reply.insert(reply.end(), piece.begin(), piece.end());
            lastByteAt = now;
            if (shape.isComplete(reply) || now >= deadline)
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
        if (!reply.empty() && quiet >= gapMs && !shape.mayGrow(reply))
            break;
    }
    exchange.logReply(reply);
    return reply;
}

Bytes exchangeFast(Exchange& exchange, ByteView frame, const ReplyShape& shape, const LineSettings& line)
{
    exchange.sendFrame(frame);
    return collectReplyFast(exchange, shape, line);
}
