#include "protocol/meter_scan.h"

#include "catalogue/device_registry.h"
#include "codec/codec.h"
#include "log/log_model.h"
#include "protocol/exchange.h"
#include "protocol/meter_identification.h"
#include "protocol/waiter.h"
#include "serial/byte_link.h"

#include <algorithm>
#include <functional>
#include <string>

namespace {

constexpr int kPollMs = 1;
// The confirming window goes to a meter known to be there: give it the paced timeout.
constexpr int kFollowUpTimeoutMs = 1000;

struct ScanProbe {
    Bytes frame;
    size_t longest = 0; // the longest reply that can succeed
    std::function<bool(const Bytes&)> succeeded;
};

ScanProbe scanProbeOf(const FramingDialect& dialect, int address, const MeterProbe& probe)
{
    ScanProbe scan;
    scan.frame = dialect.frame(static_cast<uint8_t>(address), probe.body);
    for (size_t length : probe.replyLengths)
        scan.longest = std::max(scan.longest, length);
    scan.succeeded = [&dialect, lengths = probe.replyLengths](const Bytes& reply) {
        return std::find(lengths.begin(), lengths.end(), reply.size()) != lengths.end() &&
               dialect.checks(reply);
    };
    return scan;
}

// Sends the probe and collects its reply as soon as it is whole: a reply that
// succeeds at its longest length, or any bytes followed by a silence of 3.5
// character times once they cannot grow into a success; nothing within the
// response timeout is no reply.
Bytes exchangeProbe(Exchange& exchange, const ScanProbe& probe, const LineSettings& line, int timeoutMs)
{
    exchange.sendFrame(probe.frame);
    ByteLink& link = exchange.link();
    Waiter& waiter = exchange.wait();
    const int gapMs = line.silenceGapMs();
    int64_t lastByteAt = waiter.nowMs();
    // A device that trickles bytes would restart the timeout with each one.
    const int64_t deadline = lastByteAt + timeoutMs + line.wireTimeMs(probe.longest);
    Bytes reply;
    for (;;) {
        waiter.sleep(kPollMs);
        if (!link.connected())
            return {};
        const int64_t now = waiter.nowMs();
        if (const int waiting = link.waitingByteCount(); waiting > 0) {
            if (reply.size() + static_cast<size_t>(waiting) > static_cast<size_t>(kMaxReplyBytes)) {
                exchange.log().appendLine(discardedLogLine(reply.size() + size_t(waiting)));
                return {};
            }
            const Bytes piece = link.receiveBytes(waiting);
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
        exchange.logReply(reply);
    return reply;
}

int probeWith(const DeviceRegistry& registry, Identification DeviceTypeDescription::*probes,
              Exchange& exchange, int address, const LineSettings& line,
              const std::function<bool()>& cancelled, int knownType)
{
    // Types that share a first probe are told apart by the confirming window of
    // the one ranked first; a probe already answered (or not) is not sent again.
    std::vector<std::pair<Bytes, bool>> asked;
    const auto tryType = [&](const DeviceTypeDescription* type) {
        const Identification& identification = type->*probes;
        const ScanProbe probe = scanProbeOf(*type->dialect, address, identification.probe);
        const auto earlier = std::find_if(asked.begin(), asked.end(),
                                          [&](const auto& done) { return done.first == probe.frame; });
        bool answered = false;
        if (earlier != asked.end()) {
            answered = earlier->second;
        } else {
            answered = probe.succeeded(exchangeProbe(exchange, probe, line, line.responseTimeoutMs));
            asked.emplace_back(probe.frame, answered);
        }
        if (!answered)
            return false;
        if (identification.confirm.body.empty())
            return true;
        exchange.wait().sleep(identification.confirmPauseMs);
        const ScanProbe confirm = scanProbeOf(*type->dialect, address, identification.confirm);
        const int timeoutMs = std::max(line.responseTimeoutMs, kFollowUpTimeoutMs);
        return confirm.succeeded(exchangeProbe(exchange, confirm, line, timeoutMs));
    };
    const std::vector<const DeviceTypeDescription*> order = registry.probeOrder(probes);
    // The known type goes first together with the types that share its probe,
    // in their own order, so the answer is the one the whole sequence would give.
    const auto known = std::find_if(order.begin(), order.end(),
                                    [knownType](const auto* type) { return type->code == knownType; });
    const Bytes knownFrame = known != order.end()
                                 ? scanProbeOf(*(*known)->dialect, address, ((*known)->*probes).probe).frame
                                 : Bytes();
    for (const bool first : {true, false}) {
        if (first && knownFrame.empty())
            continue;
        for (const DeviceTypeDescription* type : order) {
            if (first && scanProbeOf(*type->dialect, address, (type->*probes).probe).frame != knownFrame)
                continue;
            if (cancelled && cancelled())
                return 0;
            if (tryType(type))
                return type->code;
        }
    }
    return 0;
}

} // namespace

int probeMeter(const DeviceRegistry& registry, Exchange& exchange, int address, const LineSettings& line,
               const std::function<bool()>& cancelled, int knownType)
{
    return probeWith(registry, &DeviceTypeDescription::identification, exchange, address, line, cancelled,
                     knownType);
}

int probeRecordReader(const DeviceRegistry& registry, Exchange& exchange, int address,
                      const LineSettings& line, const std::function<bool()>& cancelled, int knownType)
{
    return probeWith(registry, &DeviceTypeDescription::recordReaderProbe, exchange, address, line, cancelled,
                     knownType);
}

int findDeviceType(const DeviceRegistry& registry, Exchange& exchange, int address, bool fast,
                   const LineSettings& line, ProbeSet probes, const std::function<bool()>& cancelled,
                   int knownType)
{
    const bool recordReader = probes == ProbeSet::RecordReader;
    if (fast)
        return recordReader ? probeRecordReader(registry, exchange, address, line, cancelled, knownType)
                            : probeMeter(registry, exchange, address, line, cancelled, knownType);
    return recordReader ? identifyRecordReader(registry, exchange, address, cancelled, knownType)
                        : identifyMeter(registry, exchange, address, cancelled, knownType);
}

std::vector<FoundMeter> scanMeters(const DeviceRegistry& registry, Exchange& exchange, int from, int to,
                                   const LineSettings& line, const ScanHandlers& handlers)
{
    std::vector<FoundMeter> found;
    for (int address = from; address <= to; ++address) {
        if (handlers.beforeAddress && !handlers.beforeAddress(address))
            break;
        exchange.wait().processEvents();
        const int deviceType = probeMeter(registry, exchange, address, line);
        if (deviceType == 0)
            continue;
        found.push_back({address, deviceType});
        if (handlers.found)
            handlers.found(found.back());
    }
    return found;
}
