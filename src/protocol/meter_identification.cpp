#include "protocol/meter_identification.h"

#include <algorithm>

#include "catalogue/catalogue.h"
#include "log/log_model.h"
#include "protocol/exchange.h"
#include "protocol/waiter.h"

#include <string>
#include <vector>

namespace {

constexpr int kProbeAttempts = 3;

bool answers(const FramingDialect& dialect, const MeterProbe& probe, const Bytes& reply)
{
    for (size_t length : probe.replyLengths)
        if (dialect.isReply(reply, length))
            return true;
    return false;
}

// The longest reply that can answer `probe`: it bounds the wait for the reply.
size_t longest(const MeterProbe& probe)
{
    size_t longest = 0;
    for (size_t length : probe.replyLengths)
        longest = std::max(longest, length);
    return longest;
}

// Runs the probes of the device types in rank order; each gets its log line, then
// up to three attempts of send, pause, collect (and the confirming window, if the
// type has one: an attempt fails when that is not answered).
int runProbes(const DeviceRegistry& registry, Exchange& exchange, int address,
              Identification DeviceTypeDescription::*probes, const std::function<bool()>& cancelled,
              int knownType)
{
    const uint8_t a = static_cast<uint8_t>(address);
    const auto tryType = [&](const DeviceTypeDescription* type) {
        const Identification& identification = type->*probes;
        const FramingDialect& dialect = *type->dialect;
        const Bytes request = dialect.frame(a, identification.probe.body);
        exchange.log().appendLine(std::string(identification.probe.logLine));
        exchange.wait().processEvents();
        for (int attempt = 0; attempt < kProbeAttempts; ++attempt) {
            if (cancelled && cancelled())
                return false;
            exchange.sendFrame(request);
            exchange.wait().sleep(identification.probe.pauseMs);
            if (!answers(dialect, identification.probe, exchange.collectReply(longest(identification.probe))))
                continue;
            if (!identification.confirm.body.empty()) {
                exchange.wait().sleep(identification.confirmPauseMs);
                exchange.sendFrame(dialect.frame(a, identification.confirm.body));
                exchange.wait().sleep(identification.confirm.pauseMs);
                if (!answers(dialect, identification.confirm,
                             exchange.collectReply(longest(identification.confirm))))
                    continue;
            }
            return true;
        }
        return false;
    };
    const std::vector<const DeviceTypeDescription*> order = registry.probeOrder(probes);
    const auto frameOf = [&](const DeviceTypeDescription* type) {
        return type->dialect->frame(a, (type->*probes).probe.body);
    };
    // The known type goes first with the types that share its probe, in their
    // own order, so it gives the answer the whole sequence would give; the
    // others follow when it does not answer.
    const auto known = std::find_if(order.begin(), order.end(),
                                    [knownType](const auto* type) { return type->code == knownType; });
    const Bytes knownFrame = known != order.end() ? frameOf(*known) : Bytes();
    for (const bool first : {true, false}) {
        if (first && knownFrame.empty())
            continue;
        for (const DeviceTypeDescription* type : order) {
            if (!knownFrame.empty() && (frameOf(type) == knownFrame) != first)
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

int identifyMeter(const DeviceRegistry& registry, Exchange& exchange, int address,
                  const std::function<bool()>& cancelled, int knownType)
{
    return runProbes(registry, exchange, address, &DeviceTypeDescription::identification, cancelled,
                     knownType);
}

int identifyRecordReader(const DeviceRegistry& registry, Exchange& exchange, int address,
                         const std::function<bool()>& cancelled, int knownType)
{
    return runProbes(registry, exchange, address, &DeviceTypeDescription::recordReaderProbe, cancelled,
                     knownType);
}

RecordMenuChoice resolveRecordMenu(const DeviceRegistry& registry, Exchange& exchange,
                                   const RecordMenuItem& item, int address)
{
    RecordMenuChoice choice;
    choice.deviceType = identifyMeter(registry, exchange, address);
    const RecordMenuResolution resolution = resolveRecordMenuItem(registry, item, choice.deviceType);
    choice.kindCode = resolution.kindCode;
    choice.message = resolution.message;
    return choice;
}
