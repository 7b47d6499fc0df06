// `book`: the meter book of a store, listed, added to and taken from.
#include "catalogue/catalogue.h"
#include "cli_args.h"
#include "cli_command.h"
#include "cli_port.h"
#include "cli_records.h"
#include "cli_store.h"

#include <QRegularExpression>

#include <cstdio>

namespace {

int listMeters(RecordStore& store)
{
    const std::optional<std::vector<MeterEntry>> meters = store.meters();
    if (!meters) {
        std::fprintf(stderr, "ql-rs485-cli book: %s\n", store.error().toStdString().c_str());
        return kExitBadArguments;
    }
    for (const MeterEntry& meter : *meters)
        std::printf("meter %lld %s %d %s %d\n", static_cast<long long>(meter.id),
                    meter.name.toStdString().c_str(), meter.deviceType, meter.port.toStdString().c_str(),
                    meter.address);
    return kExitOk;
}

// "1h", "1d" (every hour, every day) or "HH:MM" (once a day at that time).
bool validEvery(const std::string& every)
{
    static const QRegularExpression pattern(
        QStringLiteral("^([1-9][0-9]{0,3}[hd]|([01][0-9]|2[0-3]):[0-5][0-9])$"));
    return pattern.match(QString::fromStdString(every)).hasMatch();
}

int runBook(const DeviceRegistry& registry, const std::vector<std::string>& args)
{
    const CliOptions options(args, {{"--db"},
                                    {"--name"},
                                    {"--port"},
                                    {"--addr"},
                                    {"--type"},
                                    {"--every"},
                                    {"--meter"},
                                    {"--with-history", false}});
    if (options.positionals().size() != 1)
        throw CliUsageError("say list, add or remove");
    const std::string action = options.positionals().front();
    const std::optional<std::string> db = options.valueOf("--db");
    if (!db)
        throw CliUsageError("missing --db");

    MeterEntry meter;
    qint64 meterId = 0;
    if (action == "add") {
        const std::optional<std::string> name = options.valueOf("--name");
        const std::optional<std::string> port = options.valueOf("--port");
        if (!name || name->empty())
            throw CliUsageError("missing --name");
        if (!port || port->empty())
            throw CliUsageError("missing --port");
        meter.name = QString::fromStdString(*name);
        meter.port = QString::fromStdString(*port);
        meter.address = options.intOption("--addr", 1, 247, kDefaultMeterAddress);
        meter.deviceType = options.intOption("--type", 1, lastDeviceTypeCode(registry));
        if (!registry.deviceType(meter.deviceType))
            throw CliUsageError("--type: no device type " + std::to_string(meter.deviceType));
        meter.every = QString::fromStdString(options.text("--every", ""));
        if (!meter.every.isEmpty() && !validEvery(options.text("--every", "")))
            throw CliUsageError("--every: 1h, 1d or HH:MM");
    } else if (action == "remove") {
        meterId = options.intOption("--meter", 1, 2147483647);
    } else if (action != "list") {
        throw CliUsageError("unknown action " + action + ": say list, add or remove");
    }

    CliQtContext qt;
    std::unique_ptr<RecordStore> store = openCliStore(*db, "book");
    if (!store)
        return kExitBadArguments;
    if (action == "list")
        return listMeters(*store);
    if (action == "add") {
        const std::optional<qint64> id = store->addMeter(meter);
        if (!id) {
            std::fprintf(stderr, "ql-rs485-cli book: %s\n", store->error().toStdString().c_str());
            return kExitBadArguments;
        }
        std::printf("meter %lld\n", static_cast<long long>(*id));
        return kExitOk;
    }
    if (!store->removeMeter(meterId, options.has("--with-history"))) {
        std::fprintf(stderr, "ql-rs485-cli book: %s\n", store->error().toStdString().c_str());
        return kExitBadArguments;
    }
    return kExitOk;
}

const CliCommand kBookCommand{
    "book", "list, add or remove the meters of a store",
    "usage: ql-rs485-cli book list --db FILE|URI\n"
    "       ql-rs485-cli book add --db FILE|URI --name N --port P [--addr A] --type T\n"
    "                             [--every 1h|1d|HH:MM]\n"
    "       ql-rs485-cli book remove --db FILE|URI --meter ID [--with-history]\n"
    "\n"
    "list prints `meter ID NAME TYPE PORT ADDR` per meter. add prints `meter ID` of the\n"
    "new meter. remove retires the meter: it leaves the list and keeps its history;\n"
    "with --with-history its downloads and records are deleted too.\n"
    "  --db FILE|URI   a SQLite file or postgresql://USER@HOST[:PORT]/DB\n"
    "  --every         how often the collector reads the meter\n",
    runBook};
QL_CLI_COMMAND(kBookCommand);

} // namespace
