#include "protocol/meter_identification.h"

#include <algorithm>

#include "catalogue/catalogue.h"
#include "log/log_model.h"
#include "protocol/exchange.h"
#include "protocol/waiter.h"

#include <string>

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
int runProbes(Exchange& exchange, int address, Identification DeviceTypeDescription::*probes,
              const std::function<bool()>& cancelled = {})
{
    const uint8_t a = static_cast<uint8_t>(address);
    for (const DeviceTypeDescription* type : DeviceRegistry::instance().probeOrder(probes)) {
        if (cancelled && cancelled())
            return 0;
        const Identification& identification = type->*probes;
        const FramingDialect& dialect = *type->dialect;
        const Bytes request = dialect.frame(a, identification.probe.body);
        exchange.log().appendLine(std::string(identification.probe.logLine));
        exchange.wait().processEvents();
        for (int attempt = 0; attempt < kProbeAttempts; ++attempt) {
            if (cancelled && cancelled())
                return 0;
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
            return type->code;
        }
    }
    return 0;
}

} // namespace

int identifyMeter(Exchange& exchange, int address, const std::function<bool()>& cancelled)
{
    return runProbes(exchange, address, &DeviceTypeDescription::identification, cancelled);
}

int identifyRecordReader(Exchange& exchange, int address, const std::function<bool()>& cancelled)
{
    return runProbes(exchange, address, &DeviceTypeDescription::recordReaderProbe, cancelled);
}

RecordMenuChoice resolveRecordMenu(Exchange& exchange, const RecordMenuItem& item, int address)
{
    RecordMenuChoice choice;
    choice.deviceType = identifyMeter(exchange, address);
    const RecordMenuResolution resolution = resolveRecordMenuItem(item, choice.deviceType);
    choice.kindCode = resolution.kindCode;
    choice.message = resolution.message;
    return choice;
}
