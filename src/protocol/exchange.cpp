#include "protocol/exchange.h"

#include "catalogue/catalogue.h"
#include "log/log_model.h"
#include "protocol/request_frames.h"
#include "protocol/waiter.h"
#include "serial/byte_link.h"

namespace {

// Reply collection timing: a first pause for the meter to start answering,
// then polls of the waiting count until it holds still. Silence costs
// 120 + 20 + 24 × 25 = 740 ms.
constexpr int kFirstPauseMs = 120;
constexpr int kFirstPollMs = 20;
constexpr int kPollStepMs = 25;
constexpr int kSilentPolls = 25;

} // namespace

Exchange::Exchange(ByteLink& link, LogModel& log, Waiter& waiter) : FLink(link), FLog(log), FWaiter(waiter) {}

BaseRequest Exchange::ComposeBaseRequest(int kindCode, int address, RegisterWindow registers)
{
    BaseRequest result;
    if (!FLink.Connected()) {
        result.portClosed = true;
        return result;
    }
    if (!IsKnownRecordKind(kindCode))
        return result;
    const uint8_t a = static_cast<uint8_t>(address);
    result.request = BaseRequestOfKind(kindCode, a, registers);
    if (result.request.empty())
        return result;
    FLog.AppendLine(std::string(ReadStartLogLine(kindCode)));
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
    if (!FLink.Connected())
        return;
    FLink.PurgeBuffers();
    FLink.SendBytes(frame);
    FLog.AppendLine(kSentPrefix + BytesToHexSpaced(frame));
}

Bytes Exchange::CollectReply()
{
    FWaiter.Sleep(kFirstPauseMs);
    if (!FLink.Connected())
        return {};
    int previous = FLink.WaitingByteCount();
    int polls = 0;
    FWaiter.Sleep(kFirstPollMs);
    int current = 0;
    for (;;) {
        FWaiter.ProcessEvents();
        ++polls;
        current = FLink.WaitingByteCount();
        if (current == previous && current != 0)
            break;
        if (polls >= kSilentPolls && current == 0)
            break;
        // A meter (or line noise) that keeps sending would hold the loop for
        // ever; such a reply is discarded anyway, so stop waiting for it.
        if (current > kMaxReplyBytes)
            break;
        previous = current;
        FWaiter.Sleep(kPollStepMs);
    }
    if (current < 1 || current > kMaxReplyBytes)
        return {};
    Bytes reply = FLink.ReceiveBytes(current);
    FLog.AppendLine(kReceivedPrefix + BytesToHexSpaced(reply));
    return reply;
}

Bytes Exchange::ReadReplyBytes(int count)
{
    if (!FLink.Connected())
        return {};
    Bytes reply = FLink.ReceiveBytes(count < 0 ? 0 : count);
    FLog.AppendLine(kReceivedPrefix + BytesToHexSpaced(reply));
    return reply;
}
