// `dump`: every record kind of the identified device type into one workbook.
#include "catalogue/catalogue.h"
#include "cli_args.h"
#include "cli_command.h"
#include "cli_port.h"
#include "cli_records.h"
#include "cli_store.h"
#include "export/archive_workbook.h"
#include "log/log_model.h"
#include "protocol/archive_download.h"
#include "protocol/event_loop_waiter.h"
#include "protocol/exchange.h"
#include "protocol/meter_scan.h"
#include "serial/link_factory.h"

#include <QDateTime>

#include <cstdio>

namespace {

std::string archiveKindEndValue(ArchiveKindEnd end)
{
    switch (end) {
    case ArchiveKindEnd::Completed:
        return "completed";
    case ArchiveKindEnd::Failed:
        return "failed";
    case ArchiveKindEnd::PortLost:
        return "port lost";
    case ArchiveKindEnd::Cancelled:
        return "cancelled";
    case ArchiveKindEnd::Skipped:
        break;
    }
    return "skipped";
}

int runDump(const DeviceRegistry& registry, const std::vector<std::string>& args)
{
    const CliOptions options(args,
                             {{"--port"}, {"--addr"}, {"--out"}, {"--fast", false}, {"--workbook"}, {"--db"}},
                             kLineOptionSpecs);
    options.requireNoPositionals();
    const int address = parseAddressOption(options);
    const std::optional<std::string> out = options.valueOf("--out");
    if (!out)
        throw CliUsageError("missing --out");
    const QString outName = QString::fromStdString(*out);
    if (!outName.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive))
        throw CliUsageError("--out: the file name must end in .xlsx");
    const std::optional<std::string> workbook = options.valueOf("--workbook");
    const LineSettings line = parseLineOptions(options);
    const bool fast = options.has("--fast");
    const std::optional<std::string> db = options.valueOf("--db");

    CliQtContext qt;
    // A store that cannot be opened is told at once; the meter is read all the same.
    std::unique_ptr<RecordStore> store = db ? openCliStore(*db, "dump") : nullptr;
    CliStoreWriter writer(store.get(), "dump");
    LinkSlot link;
    std::optional<std::string> lostMessage;
    if (const std::optional<CliOpenFailure> failure = openCliPort(link, options, "dump", lostMessage)) {
        std::fprintf(stderr, "ql-rs485-cli dump: %s\n", failure->message.c_str());
        return failure->exitCode;
    }
    LogModel log;
    EventLoopWaiter waiter;
    Exchange exchange(link, log, waiter);
    exchange.setLine(line);

    ArchiveOptions archive;
    archive.address = address;
    archive.fast = fast;
    archive.line = line;
    int deviceType = 0;
    try {
        // With --fast, the book's type for this meter is probed first.
        const std::optional<int> booked =
            fast && store ? store->bookTypeAt(QString::fromStdString(*options.valueOf("--port")), address)
                          : std::nullopt;
        deviceType = findDeviceType(registry, exchange, address, fast, line, ProbeSet::RecordMenu, {},
                                    booked.value_or(0));
    } catch (const ComPortError& error) {
        lostMessage = error.what();
    }
    if (deviceType == 0) {
        if (lostMessage)
            std::fprintf(stderr, "ql-rs485-cli dump: port error: %s\n", lostMessage->c_str());
        std::fprintf(stderr, "ql-rs485-cli dump: no meter answered at address %d\n", address);
        return kExitNoAnswer;
    }
    const QDateTime readAt = QDateTime::currentDateTime();

    ArchiveDownload download(registry, exchange, archive);
    download.setKindPreparer(
        [&registry, &workbook](int kindCode) { return prepareCliKind(registry, kindCode, workbook); });
    // Each block is stored as soon as the next one is asked, so a dump killed
    // in the middle keeps what it had read.
    const ArchiveKind* storing = nullptr;
    if (store && writer.useMeter(*options.valueOf("--port"), address, deviceType)) {
        download.setProgressHandler([&](const ArchiveProgress& progress) {
            if (progress.kind != storing) {
                storing = progress.kind;
                writer.begin(progress.kindCode, storing->table, progress.blockCount);
            }
            writer.flush(storing->table, progress.block - 1);
        });
        download.setKindEndHandler([&](const ArchiveKind& kind) {
            if (&kind != storing)
                return;
            writer.finish(kind.table, kind.table.rowCount(), archiveKindEndValue(kind.end));
            storing = nullptr;
        });
    }
    const std::vector<ArchiveKind> kinds = download.run(deviceType);

    bool complete = true;
    std::vector<ArchiveSheet> sheets;
    for (const ArchiveKind& kind : kinds) {
        // A kind never decoded has no decoder result: nothing usable arrived.
        const int result = kind.lastResult < 0 ? static_cast<int>(DecodeResult::BadLength) : kind.lastResult;
        std::printf("kind %d rows %d result %d\n", kind.kindCode, kind.table.rowCount(), result);
        if (store && !writer.failed())
            printStoredLine(writer.countsOf(kind.kindCode));
        if (kind.end != ArchiveKindEnd::Completed) {
            complete = false;
            std::fprintf(stderr, "ql-rs485-cli dump: kind %d: %s\n", kind.kindCode, kind.failure.c_str());
        }
        sheets.push_back({kind.kindCode, std::string(kind.caption), &kind.table,
                          kind.failure.empty() ? archiveKindEndText(kind.end) : kind.failure});
    }
    if (!download.portError().empty() || lostMessage)
        std::fprintf(stderr, "ql-rs485-cli dump: port error: %s\n",
                     lostMessage ? lostMessage->c_str() : download.portError().c_str());

    const ExportOutcome saved = exportArchiveWorkbook(
        {address, deviceType, std::string(deviceTypeCaption(registry, deviceType)), readAt}, sheets, outName,
        [](const QString&, const QString&) { return true; });
    if (!saved.saved) {
        std::string message = "cannot write " + *out;
        for (const ExportMessage& m : saved.messages)
            message += ": " + m.text.toStdString();
        std::fprintf(stderr, "ql-rs485-cli dump: %s\n", message.c_str());
        return kExitBadArguments;
    }
    if (!complete)
        return kExitNoAnswer;
    return db && (!store || writer.failed()) ? kExitBadArguments : kExitOk;
}

const CliCommand kDumpCommand{
    "dump", "read every record kind of the meter into one workbook",
    "usage: ql-rs485-cli dump --port PATH [--addr A] [--fast] --out FILE.xlsx [--workbook FILE]\n"
    "                         [--db FILE|URI] [LINE]\n"
    "\n"
    "Identifies the meter, then reads every record kind of its device type, one after\n"
    "the other, into FILE.xlsx: a summary sheet (address, device type, time of reading,\n"
    "rows and outcome per kind) and one sheet per kind laid out as `read --out`.\n"
    "Prints `kind K rows N result R` per kind. A kind that fails is noted and the next\n"
    "one is read; exit status 1 when any kind is incomplete. An existing FILE.xlsx is\n"
    "replaced only once the new workbook is complete.\n"
    "  --port PATH     serial port: COM3, /dev/ttyUSB0, a pseudo-terminal path,\n"
    "                  tcp://HOST:PORT or rfc2217://HOST:PORT\n"
    "  --addr A        meter address 1..247 (default 23)\n"
    "  --fast          fast reading: no pause between blocks, a reply ends as soon as it\n"
    "                  is whole; response timeout --timeout MS (default 1000)\n"
    "  --workbook FILE protocol workbook of device type 5 (default: the shipped one)\n"
    "  --db FILE|URI   also keep the records in a store (a SQLite file or\n"
    "                  postgresql://USER@HOST[:PORT]/DB), block by block; prints\n"
    "                  `stored NEW KNOWN` after each kind's line\n",
    runDump};
QL_CLI_COMMAND(kDumpCommand);

} // namespace
