#include "sim/sim_link.h"

#include <algorithm>
#include <cerrno>

namespace {

// Error numbers of the port's error table: the calls a vanished device fails.
constexpr int kWriteFailed = 2;
constexpr int kReadFailed = 3;
constexpr int kPurgeFailed = 5;
constexpr int kStatusFailed = 10;

// An endless talker is cut off here so a test that never stops reading cannot
// exhaust memory; the count still stays far above any reply limit.
constexpr size_t kEndlessCap = 1 << 20;

} // namespace

SimLink::SimLink(SimMeter meter, const Waiter& clock) : FMeter(std::move(meter)), FClock(clock) {}

void SimLink::ThrowIfDisconnected(int errorNumber, const char* text) const
{
    if (!FConnected)
        throw EComPort(errorNumber, text, EIO);
}

void SimLink::Disconnect()
{
    FConnected = false;
    FScheduled.clear();
    FWaiting.clear();
    FEndlessFromUs = -1;
}

void SimLink::PurgeBuffers()
{
    ThrowIfDisconnected(kPurgeFailed, "PurgeComm function failed");
    Release();
    FWaiting.clear();
}

void SimLink::SendBytes(ByteView bytes)
{
    ThrowIfDisconnected(kWriteFailed, "WriteFile function failed");
    const SimConfig& config = FMeter.Config();
    const int closeAfter = FaultNumber(config, "close-after", -1);
    if (closeAfter >= 0 && static_cast<int>(FRequests.size()) >= closeAfter) {
        Disconnect();
        ThrowIfDisconnected(kWriteFailed, "WriteFile function failed");
    }
    FRequests.emplace_back(bytes.begin(), bytes.end());
    Release();
    // The request itself takes its line time before the meter has all of it.
    int64_t nowUs = FClock.NowMs() * 1000;
    if (config.lineRate)
        nowUs += static_cast<int64_t>(bytes.size()) * ByteTimeUs(config);
    const std::optional<Bytes> reply = FMeter.Respond(bytes);
    if (!reply)
        return;
    int64_t endUs = nowUs;
    for (SimPiece& piece : ScheduleReply(config, *reply)) {
        piece.atUs += nowUs;
        endUs = piece.atUs;
        FScheduled.push_back(std::move(piece));
    }
    std::stable_sort(FScheduled.begin(), FScheduled.end(),
                     [](const SimPiece& a, const SimPiece& b) { return a.atUs < b.atUs; });
    if (HasFault(config, "endless") && FEndlessFromUs < 0)
        FEndlessFromUs = endUs;
}

void SimLink::Release()
{
    const int64_t nowUs = FClock.NowMs() * 1000;
    while (!FScheduled.empty() && FScheduled.front().atUs <= nowUs) {
        const Bytes& bytes = FScheduled.front().bytes;
        FWaiting.insert(FWaiting.end(), bytes.begin(), bytes.end());
        FScheduled.pop_front();
    }
    if (FEndlessFromUs >= 0 && nowUs > FEndlessFromUs) {
        // One byte per byte time at the line rate, else one per millisecond.
        const SimConfig& config = FMeter.Config();
        const int64_t stepUs = config.lineRate ? ByteTimeUs(config) : 1000;
        const int64_t count = (nowUs - FEndlessFromUs) / stepUs;
        for (int64_t i = 0; i < count && FWaiting.size() < kEndlessCap; ++i)
            FWaiting.push_back(static_cast<uint8_t>(0xA5 ^ (FWaiting.size() & 0xFF)));
        FEndlessFromUs += count * stepUs;
    }
}

int SimLink::WaitingByteCount()
{
    ThrowIfDisconnected(kStatusFailed, "ClearCommError function failed");
    Release();
    return static_cast<int>(FWaiting.size());
}

Bytes SimLink::ReceiveBytes(int count)
{
    ThrowIfDisconnected(kReadFailed, "ReadFile function failed");
    Release();
    const size_t take = std::min(FWaiting.size(), static_cast<size_t>(std::max(count, 0)));
    Bytes out(FWaiting.begin(), FWaiting.begin() + static_cast<std::ptrdiff_t>(take));
    FWaiting.erase(FWaiting.begin(), FWaiting.begin() + static_cast<std::ptrdiff_t>(take));
    return out;
}
