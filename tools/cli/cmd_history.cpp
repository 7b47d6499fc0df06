// `history`: the stored records of one meter and kind, as `read` prints them.
#include "catalogue/catalogue.h"
#include "cli_args.h"
#include "cli_command.h"
#include "cli_port.h"
#include "cli_records.h"
#include "cli_store.h"

#include <QDateTime>

#include <cctype>
#include <cstdio>

namespace {

// "YYYY-MM-DD" or "YYYY-MM-DD hh:mm[:ss]"; a bare date as `to` means the whole day.
QDateTime parseDateOption(const CliOptions& options, std::string_view name, bool endOfDay)
{
    const std::optional<std::string> text = options.valueOf(name);
    if (!text)
        return {};
    const QString value = QString::fromStdString(*text);
    for (const char* format : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm"}) {
        const QDateTime time = QDateTime::fromString(value, QString::fromLatin1(format));
        if (time.isValid())
            return QDateTime(time.date(), time.time(), Qt::UTC);
    }
    const QDate date = QDate::fromString(value, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid())
        throw CliUsageError(std::string(name) + ": not a date YYYY-MM-DD [hh:mm[:ss]]: " + *text);
    return QDateTime(endOfDay ? date.addDays(1) : date, QTime(0, 0), Qt::UTC);
}

bool endsWithNoCase(const std::string& text, std::string_view suffix)
{
    if (text.size() < suffix.size())
        return false;
    for (size_t i = 0; i < suffix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - suffix.size() + i])) != suffix[i])
            return false;
    return true;
}

int runHistory(const DeviceRegistry& registry, const std::vector<std::string>& args)
{
    const CliOptions options(args, {{"--db"}, {"--meter"}, {"--kind"}, {"--from"}, {"--to"}, {"--out"}});
    options.requireNoPositionals();
    const std::optional<std::string> db = options.valueOf("--db");
    if (!db)
        throw CliUsageError("missing --db");
    const qint64 meterId = options.intOption("--meter", 1, 2147483647);
    const int kind = parseKindOption(registry, options);
    const QDateTime from = parseDateOption(options, "--from", false);
    const QDateTime to = parseDateOption(options, "--to", true);
    const std::optional<std::string> out = options.valueOf("--out");
    if (out && !endsWithNoCase(*out, ".csv") && !endsWithNoCase(*out, ".xlsx"))
        throw CliUsageError("--out: the file name must end in .csv or .xlsx");

    CliQtContext qt;
    std::unique_ptr<RecordStore> store = openCliStore(*db, "history");
    if (!store)
        return kExitBadArguments;
    const std::optional<std::vector<std::vector<std::string>>> rows = store->history(meterId, kind, from, to);
    const std::optional<std::vector<TableColumn>> columns = store->kindColumns(kind);
    if (!rows || !columns) {
        std::fprintf(stderr, "ql-rs485-cli history: %s\n", store->error().toStdString().c_str());
        return kExitBadArguments;
    }
    RecordTable table;
    table.setColumns(*columns);
    for (const std::vector<std::string>& row : *rows)
        table.appendRow(row);
    printRecordRows(table);
    if (out) {
        if (const std::string error =
                saveRecordRows(endsWithNoCase(*out, ".csv"), *out, table, registry.recordKind(kind)->caption);
            !error.empty()) {
            std::fprintf(stderr, "ql-rs485-cli history: %s\n", error.c_str());
            return kExitBadArguments;
        }
    }
    return kExitOk;
}

const CliCommand kHistoryCommand{
    "history", "print the stored records of a meter and kind",
    "usage: ql-rs485-cli history --db FILE|URI --meter ID --kind K [--from DATE] [--to DATE] [--out FILE]\n"
    "\n"
    "Prints the `row` lines that `read` printed for the stored records, oldest first\n"
    "by their record time. DATE: YYYY-MM-DD or YYYY-MM-DD hh:mm[:ss] of the meter's\n"
    "clock; --to with a bare date takes in that whole day.\n"
    "  --out FILE      also save the rows: FILE.csv (UTF-8) or FILE.xlsx\n",
    runHistory};
QL_CLI_COMMAND(kHistoryCommand);

} // namespace
