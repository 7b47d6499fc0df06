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

std::string DiscardedLogLine(size_t byteCount)
{
    return "【丢弃】" + std::to_string(byteCount) + "字节（超过" + std::to_string(kMaxReplyBytes) +
           "字节，不是应答）";
}

Exchange::Exchange(ByteLink& link, LogModel& log, Waiter& waiter) : m_link(link), m_log(log), m_waiter(waiter)
{
}

BaseRequest Exchange::ComposeBaseRequest(int kindCode, int address, RegisterWindow registers)
{
    BaseRequest result;
    if (!m_link.Connected()) {
        result.portClosed = true;
        return result;
    }
    if (!IsKnownRecordKind(kindCode))
        return result;
    const uint8_t a = static_cast<uint8_t>(address);
    result.request = BaseRequestOfKind(kindCode, a, registers);
    if (result.request.empty())
        return result;
    m_log.AppendLine(std::string(ReadStartLogLine(kindCode)));
    result.blockCount = BlockCount(kindCode);
    return result;
}

void Exchange::SendBlockRequest(ByteView baseRequest, int blockNumber, int kindCode)
{
    const Bytes frame = BlockRequestFrame(kindCode, baseRequest, blockNumber);
    if (!frame.empty())
        SendFrame(frame);
}

void Exchange::SendFrame(ByteView frame)
{
    if (!m_link.Connected())
        return;
    m_link.PurgeBuffers();
    m_lastFrame.assign(frame.begin(), frame.end());
    m_link.SendBytes(frame);
    m_log.AppendLine(kSentPrefix + BytesToHexSpaced(frame));
}

int Exchange::PacedDeadlineMs(size_t longestReply) const
{
    return kFirstPauseMs + kFirstPollMs + (kSilentPolls - 1) * kPollStepMs + m_line.WireTimeMs(longestReply);
}

Bytes Exchange::CollectReply(size_t longestReply)
{
    const int64_t deadline = m_waiter.NowMs() + PacedDeadlineMs(longestReply);
    m_waiter.Sleep(kFirstPauseMs);
    if (!m_link.Connected())
        return {};
    int previous = m_link.WaitingByteCount();
    int polls = 0;
    m_waiter.Sleep(kFirstPollMs);
    int current = 0;
    for (;;) {
        m_waiter.ProcessEvents();
        ++polls;
        current = m_link.WaitingByteCount();
        if (current == previous && current != 0)
            break;
        if (polls >= kSilentPolls && current == 0)
            break;
        // A meter (or line noise) that keeps sending would hold the loop for
        // ever; such a reply is discarded anyway, so stop waiting for it.
        if (current > kMaxReplyBytes)
            break;
        if (m_waiter.NowMs() >= deadline)
            break;
        previous = current;
        m_waiter.Sleep(kPollStepMs);
    }
    if (current > kMaxReplyBytes)
        m_log.AppendLine(DiscardedLogLine(size_t(current)));
    if (current < 1 || current > kMaxReplyBytes)
        return {};
    Bytes reply = m_link.ReceiveBytes(current);
    LogReply(reply);
    return reply;
}

Bytes Exchange::ReadReplyBytes(int count)
{
    if (!m_link.Connected())
        return {};
    Bytes reply = m_link.ReceiveBytes(count < 0 ? 0 : count);
    LogReply(reply);
    return reply;
}

void Exchange::LogReply(ByteView reply)
{
    m_log.AppendLine(kReceivedPrefix + BytesToHexSpaced(reply));
    if (!m_lastFrame.empty() && reply.size() >= m_lastFrame.size() &&
        std::equal(m_lastFrame.begin(), m_lastFrame.end(), reply.begin()))
        ++m_echoedReplies;
}
