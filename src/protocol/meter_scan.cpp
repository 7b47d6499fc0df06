#include "protocol/meter_scan.h"

#include "codec/codec.h"
#include "log/log_model.h"
#include "protocol/exchange.h"
#include "protocol/waiter.h"
#include "serial/byte_link.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

namespace {

constexpr int kPollMs = 1;
// The meter of device type 2 needs this pause before its second window.
constexpr int kFollowUpPauseMs = 1700;
// The follow-up goes to a meter known to be there: give it the paced timeout.
constexpr int kFollowUpTimeoutMs = 1000;

struct ScanProbe {
    Bytes frame;
    size_t longest = 0; // the longest reply that can succeed
    std::function<bool(const Bytes&)> succeeded;
    int deviceType = 0;
};

Bytes RegisterRead(int address, uint16_t firstRegister, uint16_t registerCount)
{
    return AppendCrc(ReadRegistersRequest(static_cast<uint8_t>(address), firstRegister, registerCount));
}

std::function<bool(const Bytes&)> ModbusReplyOf(size_t length)
{
    return [length](const Bytes& reply) { return CheckModbusReply(reply, length) == FrameCheck::Ok; };
}

// "UU" header and an 8-bit sum over the bytes from the third to the last but one.
bool IsCustomReply(const Bytes& reply)
{
    if ((reply.size() != 28 && reply.size() != 30) || reply[0] != 0x55 || reply[1] != 0x55)
        return false;
    return reply.back() == ByteSum8(ByteView(reply.data() + 2, reply.size() - 3));
}

int SilenceGapMs(const ScanOptions& options)
{
    if (options.baudRate <= 0)
        return 1;
    return std::max(1,
                    static_cast<int>(std::ceil(3.5 * options.bitsPerCharacter * 1000.0 / options.baudRate)));
}

// Sends the probe and collects its reply as soon as it is whole: a reply that
// succeeds at its longest length, or any bytes followed by a silence of 3.5
// character times once they cannot grow into a success; nothing within the
// response timeout is no reply.
Bytes ExchangeProbe(Exchange& exchange, const ScanProbe& probe, const ScanOptions& options, int timeoutMs)
{
    exchange.SendFrame(probe.frame);
    ByteLink& link = exchange.Link();
    Waiter& waiter = exchange.Wait();
    const int gapMs = SilenceGapMs(options);
    int64_t lastByteAt = waiter.NowMs();
    // A device that trickles bytes would restart the timeout with each one.
    const int64_t deadline =
        lastByteAt + timeoutMs + WireTimeMs({options.baudRate, options.bitsPerCharacter}, probe.longest);
    Bytes reply;
    for (;;) {
        waiter.Sleep(kPollMs);
        if (!link.Connected())
            return {};
        const int64_t now = waiter.NowMs();
        if (const int waiting = link.WaitingByteCount(); waiting > 0) {
            if (reply.size() + static_cast<size_t>(waiting) > static_cast<size_t>(kMaxReplyBytes)) {
                exchange.Log().AppendLine(DiscardedLogLine(reply.size() + size_t(waiting)));
                return {};
            }
            const Bytes piece = link.ReceiveBytes(waiting);
            reply.insert(reply.end(), piece.begin(), piece.end());
            lastByteAt = now;
            if ((reply.size() == probe.longest && probe.succeeded(reply)) || now >= deadline)
                break;
            continue;
        }
        const int64_t quiet = now - lastByteAt;
        if (quiet >= timeoutMs || now >= deadline)
            break;
        if (!reply.empty() && quiet >= gapMs && (reply.size() >= probe.longest || probe.succeeded(reply)))
            break;
    }
    if (!reply.empty())
        exchange.LogReply(reply);
    return reply;
}

} // namespace

int ProbeMeter(Exchange& exchange, int address, const ScanOptions& options,
               const std::function<bool()>& cancelled)
{
    const uint8_t a = static_cast<uint8_t>(address);
    const std::vector<ScanProbe> probes = {
        {RegisterRead(address, 0x0FA1, 0x26), 81, ModbusReplyOf(81), 5},
        {RegisterRead(address, 0x0000, 0x10), 37, ModbusReplyOf(37), 1},
        {Bytes{0x55, 0x55, a, 0x02, 0x00, static_cast<uint8_t>(a + 0x02)}, 30, IsCustomReply, 3},
        {RegisterRead(address, 0x000A, 0x19), 55, ModbusReplyOf(55), 6},
        {RegisterRead(address, 0x000A, 0x15), 47, ModbusReplyOf(47), 7},
    };
    for (const ScanProbe& probe : probes) {
        if (cancelled && cancelled())
            return 0;
        if (!probe.succeeded(ExchangeProbe(exchange, probe, options, options.responseTimeoutMs)))
            continue;
        if (probe.deviceType != 1)
            return probe.deviceType;
        // Types 1 and 2 answer the same first window; only type 2 has this one.
        exchange.Wait().Sleep(kFollowUpPauseMs);
        const ScanProbe followUp{RegisterRead(address, 0x0106, 0x1B), 59, ModbusReplyOf(59), 2};
        const int timeoutMs = std::max(options.responseTimeoutMs, kFollowUpTimeoutMs);
        return followUp.succeeded(ExchangeProbe(exchange, followUp, options, timeoutMs)) ? 2 : 1;
    }
    return 0;
}

std::vector<FoundMeter> ScanMeters(Exchange& exchange, int from, int to, const ScanOptions& options,
                                   const ScanHandlers& handlers)
{
    std::vector<FoundMeter> found;
    for (int address = from; address <= to; ++address) {
        if (handlers.beforeAddress && !handlers.beforeAddress(address))
            break;
        exchange.Wait().ProcessEvents();
        const int deviceType = ProbeMeter(exchange, address, options);
        if (deviceType == 0)
            continue;
        found.push_back({address, deviceType});
        if (handlers.found)
            handlers.found(found.back());
    }
    return found;
}
