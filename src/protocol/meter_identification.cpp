#include "protocol/meter_identification.h"

#include <algorithm>

#include "catalogue/catalogue.h"
#include "log/log_model.h"
#include "protocol/exchange.h"
#include "protocol/waiter.h"

#include <string>

namespace {

constexpr int kProbeAttempts = 3;

bool Answers(const FramingDialect& dialect, const MeterProbe& probe, const Bytes& reply)
{
    for (size_t length : probe.replyLengths)
        if (dialect.isReply(reply, length))
            return true;
    return false;
}

// The longest reply that can answer `probe`: it bounds the wait for the reply.
size_t Longest(const MeterProbe& probe)
{
    size_t longest = 0;
    for (size_t length : probe.replyLengths)
        longest = std::max(longest, length);
    return longest;
}

// Runs the probes of the device types in rank order; each gets its log line, then
// up to three attempts of send, pause, collect (and the confirming window, if the
// type has one: an attempt fails when that is not answered).
int RunProbes(Exchange& exchange, int address, Identification DeviceTypeDescription::*probes,
              const std::function<bool()>& cancelled = {})
{
    const uint8_t a = static_cast<uint8_t>(address);
    for (const DeviceTypeDescription* type : DeviceRegistry::instance().probeOrder(probes)) {
        if (cancelled && cancelled())
            return 0;
        const Identification& identification = type->*probes;
        const FramingDialect& dialect = *type->dialect;
        const Bytes request = dialect.frame(a, identification.probe.body);
        exchange.Log().AppendLine(std::string(identification.probe.logLine));
        exchange.Wait().ProcessEvents();
        for (int attempt = 0; attempt < kProbeAttempts; ++attempt) {
            if (cancelled && cancelled())
                return 0;
            exchange.SendFrame(request);
            exchange.Wait().Sleep(identification.probe.pauseMs);
            if (!Answers(dialect, identification.probe, exchange.CollectReply(Longest(identification.probe))))
                continue;
            if (!identification.confirm.body.empty()) {
                exchange.Wait().Sleep(identification.confirmPauseMs);
                exchange.SendFrame(dialect.frame(a, identification.confirm.body));
                exchange.Wait().Sleep(identification.confirm.pauseMs);
                if (!Answers(dialect, identification.confirm,
                             exchange.CollectReply(Longest(identification.confirm))))
                    continue;
            }
            return type->code;
        }
    }
    return 0;
}

} // namespace

int IdentifyMeter(Exchange& exchange, int address, const std::function<bool()>& cancelled)
{
    return RunProbes(exchange, address, &DeviceTypeDescription::identification, cancelled);
}

int IdentifyRecordReader(Exchange& exchange, int address, const std::function<bool()>& cancelled)
{
    return RunProbes(exchange, address, &DeviceTypeDescription::recordReaderProbe, cancelled);
}

RecordMenuChoice ResolveRecordMenu(Exchange& exchange, const RecordMenuItem& item, int address)
{
    RecordMenuChoice choice;
    choice.deviceType = IdentifyMeter(exchange, address);
    const RecordMenuResolution resolution = ResolveRecordMenuItem(item, choice.deviceType);
    choice.kindCode = resolution.kindCode;
    choice.message = resolution.message;
    return choice;
}
