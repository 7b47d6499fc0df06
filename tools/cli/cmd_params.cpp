// `params`: one parameter read-out of a device type, as the parameter window's
// advanced mode does it, with every value of the type's panel printed.
#include "catalogue/catalogue.h"
#include "cli_args.h"
#include "cli_command.h"
#include "cli_port.h"
#include "cli_records.h"
#include "cli_store.h"
#include "decoding/protocol_sheet.h"
#include "export/protocol_workbook.h"
#include "export/workbook_reader.h"
#include "log/log_model.h"
#include "params/param_readout.h"
#include "protocol/event_loop_waiter.h"
#include "protocol/exchange.h"
#include "ql_version.h"
#include "serial/link_factory.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSysInfo>

#include <cstdio>

namespace {

// The parameter list and layout of device type 5 from `workbook`, or from the
// shipped workbook in the program folder's Excel/ subfolder. Empty text on success.
std::string loadParamLayout(const std::optional<std::string>& workbook, ParamReader& reader)
{
    const ProtocolCells read = readProtocolCells(workbook, QCoreApplication::applicationDirPath());
    if (!read.ok())
        return read.error;
    const SheetCells& cells = read.cells;
    const ProtocolLoadResult loaded =
        loadProtocolSection(kNoSection, [&cells](int row, int column) { return cells.text(row, column); });
    if (!loaded.ok())
        return "protocol workbook: " + loaded.error;
    reader.setParamLayout(loaded.sheet.paramFields, loaded.sheet.paramLayout);
    reader.fillParamGrid();
    return {};
}

// The read under the meter on this port and address, with the meter's clock
// offset; false (told on stderr) when the store failed. A type that was not
// found leaves nothing to keep.
bool keepParamRead(const DeviceRegistry& registry, const std::string& db, const std::string& port,
                   int address, int deviceType, int result, const ParamReader& reader, int64_t pcLocalSeconds)
{
    if (deviceType == 0)
        return true;
    std::unique_ptr<RecordStore> store = openCliStore(db, "params");
    if (!store)
        return false;
    const bool decoded = result == ParamResult::Decoded;
    const std::optional<qint64> meter = store->meterAt(QString::fromStdString(port), address, deviceType);
    if (!meter || !store->addParamRead(
                      *meter, QSysInfo::machineHostName(), QString::fromLatin1(kQlVersion),
                      decoded ? QStringLiteral("completed") : QStringLiteral("failed"),
                      decoded ? meterClockOffsetS(registry, deviceType, reader.values(), pcLocalSeconds)
                              : std::nullopt)) {
        std::fprintf(stderr, "ql-rs485-cli params: %s\n", store->error().toStdString().c_str());
        return false;
    }
    return true;
}

int runParams(const DeviceRegistry& registry, const std::vector<std::string>& args)
{
    const CliOptions options(args, {{"--port"}, {"--type"}, {"--addr"}, {"--workbook"}, {"--db"}},
                             kLineOptionSpecs);
    options.requireNoPositionals();
    // 0: find the type as the parameter window's simple mode does.
    const int requestedType = options.intOption("--type", 0, lastDeviceTypeCode(registry));
    const DeviceTypeDescription* requested = registry.deviceType(requestedType);
    if (requestedType != 0 && (!requested || !requested->params.panel))
        throw CliUsageError("--type: device type " + std::to_string(requestedType) +
                            " has no parameter read-out");
    const int address = parseAddressOption(options);

    CliQtContext qt;
    LinkSlot link;
    LogModel log;
    EventLoopWaiter waiter;
    Exchange exchange(link, log, waiter);
    exchange.setLine(parseLineOptions(options));
    ParamReader reader(registry, exchange);
    reader.setMeterAddress(static_cast<uint8_t>(address));
    if (requestedType == 0 || requested->params.fromWorkbook) {
        if (const std::string error = loadParamLayout(options.valueOf("--workbook"), reader);
            !error.empty()) {
            std::fprintf(stderr, "ql-rs485-cli params: %s\n", error.c_str());
            return kExitBadArguments;
        }
    }
    std::optional<std::string> lostMessage;
    if (const std::optional<CliOpenFailure> failure = openCliPort(link, options, "params", lostMessage)) {
        std::fprintf(stderr, "ql-rs485-cli params: %s\n", failure->message.c_str());
        return failure->exitCode;
    }

    int result = 0;
    int deviceType = requestedType;
    try {
        if (requestedType == 0) {
            const ParamReader::Detection detection = reader.detectDeviceType();
            deviceType = detection.deviceType;
            result = detection.result;
        } else {
            result = reader.readParams(requestedType);
        }
    } catch (const ComPortError& error) {
        lostMessage = error.what();
    }
    // The PC's clock as the reply came, for the meter's clock offset.
    const QDateTime replied = QDateTime::currentDateTime();
    if (lostMessage)
        std::fprintf(stderr, "ql-rs485-cli params: port error: %s\n", lostMessage->c_str());
    const std::optional<std::string> db = options.valueOf("--db");
    const bool stored =
        !db || keepParamRead(registry, *db, *options.valueOf("--port"), address, deviceType, result, reader,
                             replied.toSecsSinceEpoch() + replied.offsetFromUtc());
    std::printf("result %d\n", result);
    // Nothing to print when detection found no type.
    for (const ReadoutLine& line : deviceType ? paramReadout(deviceType, reader) : std::vector<ReadoutLine>{})
        std::printf("%s\t%s\t%s\t%s\n", line.name.c_str(), line.caption.c_str(), line.value.text.c_str(),
                    labelStateName(line.value.state));
    if (result != ParamResult::Decoded)
        return kExitNoAnswer;
    return stored ? kExitOk : kExitBadArguments;
}

const CliCommand kParamsCommand{
    "params", "read the live values, status words and parameters of a device type",
    "usage: ql-rs485-cli params --port PATH --type T [--addr A] [--workbook FILE] [--db FILE|URI] [LINE]\n"
    "\n"
    "Reads the parameter window's values of device type T (1, 2, 3, 5, 6 or 7; 0 finds the\n"
    "type as the parameter window's simple mode does) once and\n"
    "prints \"result N\" (1 success, 2 wrong length, 3 wrong check bytes, 4 wrong start\n"
    "bytes), then one line per value: label name, caption, text, normal|alarm (TAB-\n"
    "separated). Values of a failed read are printed in their reset state (exit status 1).\n"
    "  --port PATH      serial port: COM3, /dev/ttyUSB0, a pseudo-terminal path,\n"
    "                   tcp://HOST:PORT or rfc2217://HOST:PORT\n"
    "  --type T         device type, 0 to find it\n"
    "  --addr A         meter address 1..247 (default 23)\n"
    "  --workbook FILE  protocol workbook of device type 5 (default: the shipped one)\n"
    "  --db FILE|URI    also keep the read in a store (a SQLite file or\n"
    "                   postgresql://USER@HOST[:PORT]/DB) under the meter on this port\n"
    "                   and address, with the meter's clock minus the PC's where the\n"
    "                   type reports its time\n",
    runParams};
QL_CLI_COMMAND(kParamsCommand);

} // namespace
