// `db`: a store's soundness, and copying one store into another.
#include "cli_args.h"
#include "cli_command.h"
#include "cli_port.h"
#include "cli_store.h"

#include <cstdio>

namespace {

int checkStore(const std::string& db)
{
    std::unique_ptr<RecordStore> store = openCliStore(db, "db check");
    if (!store)
        return kExitBadArguments;
    const std::optional<StoreCheck> report = store->check();
    if (!report) {
        std::fprintf(stderr, "ql-rs485-cli db check: %s\n", store->error().toStdString().c_str());
        return kExitBadArguments;
    }
    std::printf("schema %d\nmeters %lld\ndownloads %lld\n", report->schemaVersion,
                static_cast<long long>(report->meters), static_cast<long long>(report->downloads));
    for (const auto& [kind, rows] : report->records)
        std::printf("records %d %lld\n", kind, static_cast<long long>(rows));
    for (const QString& problem : report->problems)
        std::printf("problem %s\n", problem.toStdString().c_str());
    std::printf("%s\n", report->problems.isEmpty() ? "sound" : "unsound");
    return report->problems.isEmpty() ? kExitOk : kExitNoAnswer;
}

int pushStore(const std::string& from, const std::string& to)
{
    std::unique_ptr<RecordStore> source = openCliStore(from, "db push");
    if (!source)
        return kExitBadArguments;
    std::unique_ptr<RecordStore> target = openCliStore(to, "db push");
    if (!target)
        return kExitBadArguments;
    const std::optional<StoredCounts> pushed = source->pushTo(*target);
    if (!pushed) {
        std::fprintf(stderr, "ql-rs485-cli db push: %s\n", source->error().toStdString().c_str());
        return kExitBadArguments;
    }
    std::printf("pushed %d %d\n", pushed->fresh, pushed->known);
    return kExitOk;
}

int runDb(const DeviceRegistry& /*registry*/, const std::vector<std::string>& args)
{
    const CliOptions options(args, {{"--db"}, {"--from"}, {"--to"}});
    if (options.positionals().size() != 1)
        throw CliUsageError("say check or push");
    const std::string action = options.positionals().front();
    CliQtContext qt;
    if (action == "check") {
        const std::optional<std::string> db = options.valueOf("--db");
        if (!db)
            throw CliUsageError("missing --db");
        return checkStore(*db);
    }
    if (action == "push") {
        const std::optional<std::string> from = options.valueOf("--from");
        const std::optional<std::string> to = options.valueOf("--to");
        if (!from || !to)
            throw CliUsageError("push needs --from and --to");
        return pushStore(*from, *to);
    }
    throw CliUsageError("unknown action " + action + ": say check or push");
}

const CliCommand kDbCommand{
    "db", "check a store, or copy one store into another",
    "usage: ql-rs485-cli db check --db FILE|URI\n"
    "       ql-rs485-cli db push --from FILE|URI --to FILE|URI\n"
    "\n"
    "check prints `schema V`, `meters N`, `downloads N`, `records K N` per kind, a\n"
    "`problem …` line per fault found, then `sound` (exit 0) or `unsound` (exit 1).\n"
    "push copies every meter, download and record of one store into the other (a\n"
    "laptop's SQLite file into a shared PostgreSQL, or any store into any other), by\n"
    "the same keys, so a second push adds nothing; prints `pushed NEW KNOWN` (records).\n",
    runDb};
QL_CLI_COMMAND(kDbCommand);

} // namespace
