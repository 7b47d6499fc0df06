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

SimLink::SimLink(SimMeter meter, const Waiter& clock) : m_meter(std::move(meter)), m_clock(clock) {}

void SimLink::throwIfDisconnected(int errorNumber, const char* text) const
{
    if (!m_connected)
        throw ComPortError(errorNumber, text, EIO);
}

void SimLink::disconnect()
{
    m_connected = false;
    m_scheduled.clear();
    m_waiting.clear();
    m_endlessFromUs = -1;
}

void SimLink::purgeBuffers()
{
    throwIfDisconnected(kPurgeFailed, "PurgeComm function failed");
    release();
    m_waiting.clear();
}

void SimLink::sendBytes(ByteView bytes)
{
    throwIfDisconnected(kWriteFailed, "WriteFile function failed");
    const SimConfig& config = m_meter.config();
    const int closeAfter = faultNumber(config, "close-after", -1);
    if (closeAfter >= 0 && static_cast<int>(m_requests.size()) >= closeAfter) {
        disconnect();
        throwIfDisconnected(kWriteFailed, "WriteFile function failed");
    }
    m_requests.emplace_back(bytes.begin(), bytes.end());
    release();
    // The request itself takes its line time before the meter has all of it.
    int64_t nowUs = m_clock.nowMs() * 1000;
    if (config.lineRate)
        nowUs += static_cast<int64_t>(bytes.size()) * byteTimeUs(config);
    const std::optional<Bytes> reply = m_meter.respond(bytes);
    if (!reply)
        return;
    int64_t endUs = nowUs;
    for (SimPiece& piece : scheduleReply(config, *reply)) {
        piece.atUs += nowUs;
        endUs = piece.atUs;
        m_scheduled.push_back(std::move(piece));
    }
    std::stable_sort(m_scheduled.begin(), m_scheduled.end(),
                     [](const SimPiece& a, const SimPiece& b) { return a.atUs < b.atUs; });
    if (hasFault(config, "endless") && m_endlessFromUs < 0)
        m_endlessFromUs = endUs;
}

void SimLink::release()
{
    const int64_t nowUs = m_clock.nowMs() * 1000;
    while (!m_scheduled.empty() && m_scheduled.front().atUs <= nowUs) {
        const Bytes& bytes = m_scheduled.front().bytes;
        m_waiting.insert(m_waiting.end(), bytes.begin(), bytes.end());
        m_scheduled.pop_front();
    }
    if (m_endlessFromUs >= 0 && nowUs > m_endlessFromUs) {
        // One byte per byte time at the line rate, else one per millisecond.
        const SimConfig& config = m_meter.config();
        const int64_t stepUs = config.lineRate ? byteTimeUs(config) : 1000;
        const int64_t count = (nowUs - m_endlessFromUs) / stepUs;
        for (int64_t i = 0; i < count && m_waiting.size() < kEndlessCap; ++i)
            m_waiting.push_back(static_cast<uint8_t>(0xA5 ^ (m_waiting.size() & 0xFF)));
        m_endlessFromUs += count * stepUs;
    }
}

int SimLink::waitingByteCount()
{
    throwIfDisconnected(kStatusFailed, "ClearCommError function failed");
    release();
    return static_cast<int>(m_waiting.size());
}

Bytes SimLink::receiveBytes(int count)
{
    throwIfDisconnected(kReadFailed, "ReadFile function failed");
    release();
    const size_t take = std::min(m_waiting.size(), static_cast<size_t>(std::max(count, 0)));
    Bytes out(m_waiting.begin(), m_waiting.begin() + static_cast<std::ptrdiff_t>(take));
    m_waiting.erase(m_waiting.begin(), m_waiting.begin() + static_cast<std::ptrdiff_t>(take));
    return out;
}
