// `read`: a run over a range of blocks of one record kind, as the transaction
// window does it, with the rows printed and optionally saved.
#include "catalogue/catalogue.h"
#include "cli_args.h"
#include "cli_command.h"
#include "cli_port.h"
#include "cli_records.h"
#include "export/record_csv.h"
#include "export/record_export.h"
#include "log/log_model.h"
#include "protocol/event_loop_waiter.h"
#include "protocol/exchange.h"
#include "protocol/transaction_run.h"
#include "serial/link_factory.h"

#include <QDate>

#include <cctype>
#include <cstdio>

namespace {

enum class OutFormat { None, Csv, Xlsx };

bool endsWithNoCase(const std::string& text, std::string_view suffix)
{
    if (text.size() < suffix.size())
        return false;
    for (size_t i = 0; i < suffix.size(); ++i) {
        const char c = text[text.size() - suffix.size() + i];
        if (std::tolower(static_cast<unsigned char>(c)) != suffix[i])
            return false;
    }
    return true;
}

OutFormat parseOutFormat(const std::optional<std::string>& out)
{
    if (!out)
        return OutFormat::None;
    if (endsWithNoCase(*out, ".csv"))
        return OutFormat::Csv;
    if (endsWithNoCase(*out, ".xlsx"))
        return OutFormat::Xlsx;
    throw CliUsageError("--out: the file name must end in .csv or .xlsx");
}

std::string saveRows(OutFormat format, const std::string& path, const RecordTable& table, int kind)
{
    if (format == OutFormat::Csv)
        return writeRecordCsv(table, path);
    const ExportOutcome outcome =
        exportRecordTable(table, std::string(recordKindCaption(kind)), QString::fromStdString(path),
                          QDate::currentDate(), [](const QString&, const QString&) { return true; });
    if (outcome.saved || table.rowCount() == 0)
        return {};
    std::string message = "cannot write " + path;
    for (const ExportMessage& m : outcome.messages)
        message += ": " + m.text.toStdString();
    return message;
}

int runRead(const std::vector<std::string>& args)
{
    const CliOptions options(args,
                             {{"--port"},
                              {"--kind"},
                              {"--from"},
                              {"--to"},
                              {"--addr"},
                              {"--interval"},
                              {"--out"},
                              {"--fast", false},
                              {"--workbook"}},
                             kLineOptionSpecs);
    options.requireNoPositionals();
    const int kind = parseKindOption(options);
    const int blockCount = blockCountOf(kind);
    const int from = options.intOption("--from", 1, blockCount, 1);
    const int to = options.intOption("--to", from, blockCount, blockCount);
    const int address = parseAddressOption(options);
    const int interval = options.intOption(
        "--interval", 0, 600000, pollIntervalMs(deviceTypeOfKind(kind), ReadStartWay::TreeOrRecordMenu));
    const std::optional<std::string> out = options.valueOf("--out");
    const OutFormat outFormat = parseOutFormat(out);
    // Device type 5: the register map and field description of the protocol workbook.
    const std::optional<std::string> workbook = options.valueOf("--workbook");
    if (workbook && !findRecordKind(kind)->fieldsFromWorkbook)
        throw CliUsageError(workbookOnlyMessage());

    CliQtContext qt;
    KindTable kindTable;
    if (const std::string error = prepareKindTable(kind, workbook, kindTable); !error.empty()) {
        std::fprintf(stderr, "ql-rs485-cli read: %s\n", error.c_str());
        return kExitBadArguments;
    }
    // The link closes itself when the other end goes away; later requests then
    // go nowhere and the run ends by its retries. Its message is told once.
    LinkSlot link;
    std::optional<std::string> lostMessage;
    if (const std::optional<CliOpenFailure> failure = openCliPort(link, options, "read", lostMessage)) {
        std::fprintf(stderr, "ql-rs485-cli read: %s\n", failure->message.c_str());
        return failure->exitCode;
    }
    LogModel log;
    EventLoopWaiter waiter;
    Exchange exchange(link, log, waiter);
    const LineSettings line = parseLineOptions(options);
    exchange.setLine(line);
    const BaseRequest base = composeKindRequest(exchange, kindTable.kind, address);
    if (base.request.empty()) {
        std::fprintf(stderr, "ql-rs485-cli read: no request can be built for record kind %d\n", kind);
        return kExitBadArguments;
    }

    ReadPlan plan;
    plan.beginBlock = from;
    plan.endBlock = to;
    plan.pollIntervalMs = interval;
    plan.collection = ReplyCollection::chosen(options.has("--fast"), line);
    TransactionRun run(exchange, kindTable.table);
    const RunOutcome outcome = readKind(run, waiter, kindTable.kind, base, plan);

    bool failed = false;
    if (outcome.end == RunEnd::PortLost || lostMessage) {
        const std::string& message = outcome.end == RunEnd::PortLost ? outcome.portError : *lostMessage;
        std::fprintf(stderr, "ql-rs485-cli read: port error: %s\n", message.c_str());
        failed = true;
    }
    if (outcome.end == RunEnd::PortLost || outcome.end == RunEnd::BlockFailed) {
        std::fprintf(stderr, "ql-rs485-cli read: %s\n", failedBlockText(outcome.block).c_str());
        reportEchoedReplies(exchange, options, "read");
        failed = true;
    }
    const int lastResult = run.lastResult();
    // The result printed is the failed block's: a port lost while a block was
    // asked leaves that block without a usable reply, whatever earlier blocks gave.
    const DecodeResult result = lastResult < 0 || outcome.end == RunEnd::PortLost
                                    ? DecodeResult::BadLength
                                    : static_cast<DecodeResult>(lastResult);
    printRecordTable(result, kindTable.table);

    if (outFormat != OutFormat::None) {
        if (const std::string error = saveRows(outFormat, *out, kindTable.table, kind); !error.empty()) {
            std::fprintf(stderr, "ql-rs485-cli read: %s\n", error.c_str());
            return kExitBadArguments;
        }
    }
    return failed ? kExitNoAnswer : kExitOk;
}

const CliCommand kReadCommand{
    "read", "read a range of blocks of a record kind from a meter",
    "usage: ql-rs485-cli read --port PATH --kind K [--from B] [--to E] [--addr A] [--interval MS]\n"
    "                         [--out FILE] [--fast] [--workbook FILE] [LINE]\n"
    "\n"
    "Reads blocks B (default 1) to E (default: the kind's block count) as the transaction\n"
    "window does: up to three attempts per block, ending at a blank slot. Prints\n"
    "`result N` (of the last block), the column captions and one `row` line per record.\n"
    "Exit status 1 when a block failed three times or the port failed.\n"
    "  --port PATH     serial port: COM3, /dev/ttyUSB0, a pseudo-terminal path,\n"
    "                  tcp://HOST:PORT or rfc2217://HOST:PORT\n"
    "  --kind K        record kind code\n"
    "  --addr A        meter address 1..247 (default 23)\n"
    "  --interval MS   time between requests (default: the device type's poll interval)\n"
    "  --out FILE      also save the rows: FILE.csv (UTF-8) or FILE.xlsx\n"
    "  --workbook FILE protocol workbook of device type 5 (default: the shipped one)\n"
    "  --fast          no pause between blocks; a reply ends as soon as it is whole (its\n"
    "                  length and check bytes) or after 3.5 character times of silence;\n"
    "                  response timeout --timeout MS (default 1000), same three attempts\n"
    "                  per block\n",
    runRead};
QL_CLI_COMMAND(kReadCommand);

} // namespace
