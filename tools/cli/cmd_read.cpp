// `read`: a run over a range of blocks of one record kind, as the transaction
// window does it, with the rows printed and optionally saved.
#include "catalogue/catalogue.h"
#include "cli_args.h"
#include "cli_command.h"
#include "cli_port.h"
#include "cli_records.h"
#include "cli_store.h"
#include "decoding/record_series.h"
#include "export/record_csv.h"
#include "export/record_export.h"
#include "log/log_model.h"
#include "protocol/event_loop_waiter.h"
#include "protocol/exchange.h"
#include "protocol/transaction_run.h"
#include "serial/link_factory.h"

#include <algorithm>
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

// Which way the blocks of a whole read run, from the record times of its first
// and last rows; Unknown without a time column or times that tell nothing.
BlockOrder orderOfRead(const RecordTable& table)
{
    int timeColumn = -1;
    for (int c = 1; c < table.columnCount() && timeColumn < 0; ++c)
        if (table.columns()[static_cast<size_t>(c)].type == ColumnType::Time)
            timeColumn = c;
    if (timeColumn < 0 || table.rowCount() < 2)
        return BlockOrder::Unknown;
    const auto timeOf = [&](const std::vector<std::string>& row) {
        return static_cast<size_t>(timeColumn) < row.size()
                   ? parseRecordTime(row[static_cast<size_t>(timeColumn)])
                   : std::nullopt;
    };
    const std::optional<int64_t> first = timeOf(table.rows().front());
    const std::optional<int64_t> last = timeOf(table.rows().back());
    if (!first || !last || *first == *last)
        return BlockOrder::Unknown;
    return *first > *last ? BlockOrder::NewestFirst : BlockOrder::OldestFirst;
}

int runRead(const DeviceRegistry& registry, const std::vector<std::string>& args)
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
                              {"--workbook"},
                              {"--db"},
                              {"--new", false}},
                             kLineOptionSpecs);
    options.requireNoPositionals();
    const int kind = parseKindOption(registry, options);
    const RecordKind& row = *registry.recordKind(kind);
    const int blockCount = row.blockCount;
    const int from = options.intOption("--from", 1, blockCount, 1);
    const int to = options.intOption("--to", from, blockCount, blockCount);
    const int address = parseAddressOption(options);
    const int interval =
        options.intOption("--interval", 0, 600000, pollIntervalMs(row, ReadStartWay::TreeOrRecordMenu));
    const std::optional<std::string> out = options.valueOf("--out");
    const OutFormat outFormat = parseOutFormat(out);
    // Device type 5: the register map and field description of the protocol workbook.
    const std::optional<std::string> workbook = options.valueOf("--workbook");
    if (workbook && !row.fieldsFromWorkbook)
        throw CliUsageError(workbookOnlyMessage(registry));
    const std::optional<std::string> db = options.valueOf("--db");
    const bool onlyNew = options.has("--new");
    if (onlyNew && !db)
        throw CliUsageError("--new needs --db");
    if (onlyNew && (options.has("--from") || options.has("--to")))
        throw CliUsageError("--new finds its blocks itself: no --from or --to");

    CliQtContext qt;
    KindTable kindTable;
    if (const std::string error = prepareKindTable(registry, kind, workbook, kindTable); !error.empty()) {
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

    // The store never stops the read: a store that fails is told once, and the
    // rows are printed and saved as without one.
    std::unique_ptr<RecordStore> store = db ? openCliStore(*db, "read") : nullptr;
    CliStoreWriter writer(store.get(), "read");
    BlockOrder order = BlockOrder::Unknown;
    if (store && writer.useMeter(*options.valueOf("--port"), address, row.deviceType) && onlyNew) {
        order = store->blockOrder(writer.meterId(), kind);
        if (order == BlockOrder::OldestFirst) {
            // New records follow the last stored one: start at its block.
            const std::optional<std::vector<std::vector<std::string>>> stored =
                store->history(writer.meterId(), kind);
            const int perBlock = std::max(1, row.recordsPerBlock);
            const int count = stored ? static_cast<int>(stored->size()) : 0;
            plan.beginBlock = std::clamp(count / perBlock, 1, blockCount);
        }
    }
    writer.begin(kind, kindTable.table, plan.endBlock - plan.beginBlock + 1);
    TransactionRun run(exchange, kindTable.table);
    RunWatch watch;
    bool reachedStored = false;
    watch.beforeBlock = [&](int) {
        const StoredCounts before = writer.kindCounts();
        writer.flush(kindTable.table, run.decodedBlocks());
        const StoredCounts& after = writer.kindCounts();
        // Newest first: a block whose records are all stored ends a read of new ones.
        if (onlyNew && order == BlockOrder::NewestFirst && after.known > before.known &&
            after.fresh == before.fresh)
            reachedStored = true;
    };
    watch.stopRequested = [&] { return reachedStored; };
    RunOutcome outcome = readKind(run, waiter, kindTable.kind, base, plan, watch);
    if (reachedStored && outcome.end == RunEnd::Cancelled)
        outcome.end = RunEnd::Completed;
    writer.finish(kindTable.table, run.decodedBlocks(), runOutcomeValue(outcome));
    const bool wholeRead = plan.beginBlock == 1 && plan.endBlock == blockCount &&
                           (outcome.end == RunEnd::Completed || outcome.end == RunEnd::StoppedByMeter);
    if (store && !writer.failed() && wholeRead && !onlyNew) {
        if (!store->setBlockOrder(writer.meterId(), kind, orderOfRead(kindTable.table)))
            std::fprintf(stderr, "ql-rs485-cli read: %s\n", store->error().toStdString().c_str());
    }

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
    const StoredCounts& counts = writer.counts();
    printRecordTable(result, kindTable.table,
                     store && !writer.failed()
                         ? "stored " + std::to_string(counts.fresh) + " " + std::to_string(counts.known)
                         : std::string());

    if (outFormat != OutFormat::None) {
        if (const std::string error =
                saveRecordRows(outFormat == OutFormat::Csv, *out, kindTable.table, row.caption);
            !error.empty()) {
            std::fprintf(stderr, "ql-rs485-cli read: %s\n", error.c_str());
            return kExitBadArguments;
        }
    }
    if (failed)
        return kExitNoAnswer;
    return db && (!store || writer.failed()) ? kExitBadArguments : kExitOk;
}

const CliCommand kReadCommand{
    "read", "read a range of blocks of a record kind from a meter",
    "usage: ql-rs485-cli read --port PATH --kind K [--from B] [--to E] [--addr A] [--interval MS]\n"
    "                         [--out FILE] [--fast] [--workbook FILE] [--db FILE|URI [--new]] [LINE]\n"
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
    "  --db FILE|URI   also keep the records in a store: a SQLite file or\n"
    "                  postgresql://USER@HOST[:PORT]/DB (password from ~/.pgpass or\n"
    "                  PGPASSWORD), under the meter on this port and address; prints\n"
    "                  `stored NEW KNOWN` after the result line\n"
    "  --new           only the records the store lacks, once a whole read has shown\n"
    "                  which way the kind's blocks run (else the whole kind)\n"
    "  --fast          no pause between blocks; a reply ends as soon as it is whole (its\n"
    "                  length and check bytes) or after 3.5 character times of silence;\n"
    "                  response timeout --timeout MS (default 1000), same three attempts\n"
    "                  per block\n",
    runRead};
QL_CLI_COMMAND(kReadCommand);

} // namespace
