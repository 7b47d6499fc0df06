// `scan`: which meters answer on the line, address by address.
#include "cli_args.h"
#include "cli_command.h"
#include "cli_port.h"
#include "log/log_model.h"
#include "protocol/event_loop_waiter.h"
#include "protocol/exchange.h"
#include "protocol/meter_scan.h"
#include "serial/link_factory.h"

#include <cstdio>

namespace {

int runScan(const DeviceRegistry& registry, const std::vector<std::string>& args)
{
    const CliOptions options(args, {{"--port"}, {"--from"}, {"--to"}}, kLineOptionSpecs);
    options.requireNoPositionals();
    const int from = options.intOption("--from", 1, 247, 1);
    const int to = options.intOption("--to", from, 247, 247);
    const LineSettings line = parseLineOptions(options);
    LineSettings scan = line;
    if (!options.has("--timeout"))
        scan.responseTimeoutMs = kScanResponseTimeoutMs;

    CliQtContext qt;
    LinkSlot link;
    std::optional<std::string> lostMessage;
    if (const std::optional<CliOpenFailure> failure = openCliPort(link, options, "scan", lostMessage)) {
        std::fprintf(stderr, "ql-rs485-cli scan: %s\n", failure->message.c_str());
        return failure->exitCode;
    }
    LogModel log;
    EventLoopWaiter waiter;
    Exchange exchange(link, log, waiter);
    exchange.setLine(line);
    ScanHandlers handlers;
    handlers.beforeAddress = [&lostMessage](int) { return !lostMessage; };
    handlers.found = [](const FoundMeter& meter) {
        std::printf("meter %d %d\n", meter.address, meter.deviceType);
        std::fflush(stdout);
    };
    size_t found = 0;
    try {
        found = scanMeters(registry, exchange, from, to, scan, handlers).size();
    } catch (const ComPortError& error) {
        lostMessage = error.what();
    }
    std::printf("found %zu\n", found);
    if (lostMessage) {
        std::fprintf(stderr, "ql-rs485-cli scan: port error: %s\n", lostMessage->c_str());
        return kExitNoAnswer;
    }
    return kExitOk;
}

const CliCommand kScanCommand{
    "scan", "find the meters that answer on the line",
    "usage: ql-rs485-cli scan --port PATH [--from 1] [--to 247] [LINE]\n"
    "\n"
    "Probes every address from --from to --to (default 1 to 247) once with each\n"
    "identification frame and prints `meter ADDR TYPE` for each meter that answers,\n"
    "TYPE being the device type `identify` gives, then `found N`.\n"
    "A silent address costs one response timeout per probe frame (five frames).\n"
    "  --port PATH   serial port: COM3, /dev/ttyUSB0, a pseudo-terminal path,\n"
    "                tcp://HOST:PORT or rfc2217://HOST:PORT\n"
    "  --from A      first address (default 1)\n"
    "  --to A        last address (default 247)\n"
    "  --timeout MS  response timeout per probe (default 200 for scan)\n",
    runScan};
QL_CLI_COMMAND(kScanCommand);

} // namespace
