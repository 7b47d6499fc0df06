#include "protocol/exchange.h"

#include "catalogue/catalogue.h"
#include "log/log_model.h"
#include "protocol/request_frames.h"
#include "protocol/waiter.h"
#include "serial/byte_link.h"

#include <algorithm>

namespace {

// Reply collection timing: a first pause for the meter to start answering,
// then polls of the waiting count until it holds still. Silence costs
// 120 + 20 + 24 × 25 = 740 ms.
constexpr int kFirstPauseMs = 120;
constexpr int kFirstPollMs = 20;
constexpr int kPollStepMs = 25;
constexpr int kSilentPolls = 25;

} // namespace

std::string discardedLogLine(size_t byteCount)
{
    return "【丢弃】" + std::to_string(byteCount) + "字节（超过" + std::to_string(kMaxReplyBytes) +
           "字节，不是应答）";
}

Exchange::Exchange(ByteLink& link, LogModel& log, Waiter& waiter) : m_link(link), m_log(log), m_waiter(waiter)
{
}

BaseRequest Exchange::composeBaseRequest(const RecordKind& kind, int address, RegisterWindow registers)
{
    BaseRequest result;
    if (!m_link.connected()) {
        result.portClosed = true;
        return result;
    }
    result.request = baseRequestOfKind(kind, static_cast<uint8_t>(address), registers);
    if (result.request.empty())
        return result;
    m_log.appendLine(kind.readStartLogLine);
    result.blockCount = kind.blockCount;
    return result;
}

void Exchange::sendBlockRequest(ByteView baseRequest, int blockNumber, const RecordKind& kind)
{
    const Bytes frame = blockRequestFrame(kind, baseRequest, blockNumber);
    if (!frame.empty())
        sendFrame(frame);
}

void Exchange::sendFrame(ByteView frame)
{
    if (!m_link.connected())
        return;
    m_link.purgeBuffers();
    m_lastFrame.assign(frame.begin(), frame.end());
    m_link.sendBytes(frame);
    m_log.appendLine(kSentPrefix + bytesToHexSpaced(frame));
}

int Exchange::pacedDeadlineMs(size_t longestReply) const
{
    return kFirstPauseMs + kFirstPollMs + (kSilentPolls - 1) * kPollStepMs + m_line.wireTimeMs(longestReply);
}

Bytes Exchange::collectReply(size_t longestReply)
{
    const int64_t deadline = m_waiter.nowMs() + pacedDeadlineMs(longestReply);
    m_waiter.sleep(kFirstPauseMs);
    if (!m_link.connected())
        return {};
    int previous = m_link.waitingByteCount();
    int polls = 0;
    m_waiter.sleep(kFirstPollMs);
    int current = 0;
    for (;;) {
        m_waiter.processEvents();
        ++polls;
        current = m_link.waitingByteCount();
        if (current == previous && current != 0)
            break;
        if (polls >= kSilentPolls && current == 0)
            break;
        // A meter (or line noise) that keeps sending would hold the loop for
        // ever; such a reply is discarded anyway, so stop waiting for it.
        if (current > kMaxReplyBytes)
            break;
        if (m_waiter.nowMs() >= deadline)
            break;
        previous = current;
        m_waiter.sleep(kPollStepMs);
    }
    if (current > kMaxReplyBytes)
        m_log.appendLine(discardedLogLine(size_t(current)));
    if (current < 1 || current > kMaxReplyBytes)
        return {};
    Bytes reply = m_link.receiveBytes(current);
    logReply(reply);
    return reply;
}

Bytes Exchange::readReplyBytes(int count)
{
    if (!m_link.connected())
        return {};
    Bytes reply = m_link.receiveBytes(count < 0 ? 0 : count);
    logReply(reply);
    return reply;
}

void Exchange::logReply(ByteView reply)
{
    m_log.appendLine(kReceivedPrefix + bytesToHexSpaced(reply));
    if (!m_lastFrame.empty() && reply.size() >= m_lastFrame.size() &&
        std::equal(m_lastFrame.begin(), m_lastFrame.end(), reply.begin()))
        ++m_echoedReplies;
}
