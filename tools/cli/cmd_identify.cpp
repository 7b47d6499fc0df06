// `identify`: which device type answers at an address, by the probes of the
// record-type menu.
#include "cli_args.h"
#include "cli_command.h"
#include "cli_port.h"
#include "cli_records.h"
#include "cli_store.h"
#include "log/log_model.h"
#include "protocol/event_loop_waiter.h"
#include "protocol/exchange.h"
#include "protocol/meter_scan.h"
#include "serial/link_factory.h"

#include <cstdio>

namespace {

int runIdentify(const DeviceRegistry& registry, const std::vector<std::string>& args)
{
    const CliOptions options(args, {{"--port"}, {"--addr"}, {"--fast", false}, {"--known-type"}, {"--db"}},
                             kLineOptionSpecs);
    options.requireNoPositionals();
    const int address = parseAddressOption(options);
    const bool fast = options.has("--fast");
    int knownType = options.intOption("--known-type", 1, lastDeviceTypeCode(registry), 0);
    const std::optional<std::string> db = options.valueOf("--db");

    CliQtContext qt;
    // The meter book stands behind the type last found there; a store that
    // fails is told and the meter is identified all the same.
    bool storeFailed = false;
    if (db && knownType == 0) {
        std::unique_ptr<RecordStore> store = openCliStore(*db, "identify");
        const std::optional<int> booked =
            store ? store->bookTypeAt(QString::fromStdString(*options.valueOf("--port")), address)
                  : std::nullopt;
        if (store && !booked)
            std::fprintf(stderr, "ql-rs485-cli identify: %s\n", store->error().toStdString().c_str());
        storeFailed = !booked;
        knownType = booked.value_or(0);
    }
    LinkSlot link;
    std::optional<std::string> lostMessage;
    if (const std::optional<CliOpenFailure> failure = openCliPort(link, options, "identify", lostMessage)) {
        std::fprintf(stderr, "ql-rs485-cli identify: %s\n", failure->message.c_str());
        return failure->exitCode;
    }
    LogModel log;
    EventLoopWaiter waiter;
    Exchange exchange(link, log, waiter);
    const LineSettings line = parseLineOptions(options);
    exchange.setLine(line);
    int deviceType = 0;
    try {
        deviceType =
            findDeviceType(registry, exchange, address, fast, line, ProbeSet::RecordMenu, {}, knownType);
    } catch (const ComPortError& error) {
        std::fprintf(stderr, "ql-rs485-cli identify: port error: %s\n", error.what());
        std::printf("0\n");
        return kExitNoAnswer;
    }
    if (lostMessage)
        std::fprintf(stderr, "ql-rs485-cli identify: port error: %s\n", lostMessage->c_str());
    if (deviceType == 0)
        reportEchoedReplies(exchange, options, "identify");
    std::printf("%d\n", deviceType);
    if (!deviceType)
        return kExitNoAnswer;
    return storeFailed ? kExitBadArguments : kExitOk;
}

const CliCommand kIdentifyCommand{
    "identify", "find out which device type answers at a meter address",
    "usage: ql-rs485-cli identify --port PATH [--addr A] [--fast] [--known-type T] [--db FILE|URI] [LINE]\n"
    "\n"
    "Probes device types 5, 2, 1, 3, 6 and 7 in turn (three attempts each) and prints\n"
    "the code of the first that answers, or 0 when none does (exit status 1).\n"
    "  --fast          one attempt per probe, each reply taken as soon as it is whole\n"
    "                  (--timeout bounds the wait for an answer)\n"
    "  --known-type T  the type last found there: probed first, the others only\n"
    "                  when it does not answer\n"
    "  --db FILE|URI   without --known-type: the type the store's meter book holds\n"
    "                  for the meter on this port and address is probed first\n"
    "  --port PATH   serial port: COM3, /dev/ttyUSB0, a pseudo-terminal path,\n"
    "                tcp://HOST:PORT or rfc2217://HOST:PORT\n"
    "  --addr A      meter address 1..247 (default 23)\n",
    runIdentify};
QL_CLI_COMMAND(kIdentifyCommand);

} // namespace
