// `decode`: one reply through the decoder of a record kind, printed as the
// record table would show it.
#include "catalogue/device_registry.h"
#include "cli_args.h"
#include "cli_command.h"
#include "cli_records.h"

#include <cstdio>

namespace {

int runDecode(const DeviceRegistry& registry, const std::vector<std::string>& args)
{
    const CliOptions options(args, {{"--kind"}, {"--block"}, {"--workbook"}});
    const int kind = parseKindOption(registry, options);
    const int block = options.intOption("--block", 1, 65535, 1);
    if (options.has("--workbook") && !registry.recordKind(kind)->fieldsFromWorkbook)
        throw CliUsageError(workbookOnlyMessage(registry));
    const Bytes reply = parseHexArgument(options.positionals());

    KindTable kindTable;
    if (const std::string error = prepareKindTable(registry, kind, options.valueOf("--workbook"), kindTable);
        !error.empty()) {
        std::fprintf(stderr, "ql-rs485-cli decode: %s\n", error.c_str());
        return kExitBadArguments;
    }
    const DecodeResult result =
        kindTable.kind.kind->decodeReply(kindTable.context(block), reply, kindTable.table);
    printRecordTable(result, kindTable.table);
    return result == DecodeResult::BadLength || result == DecodeResult::BadCheck ? kExitNoAnswer : kExitOk;
}

const CliCommand kDecodeCommand{
    "decode", "decode one reply of a record kind into record-table rows",
    "usage: ql-rs485-cli decode --kind K [--block B] [--workbook FILE] HEX...\n"
    "\n"
    "Decodes reply bytes (hex digits, blanks optional) as block B (default 1) of record\n"
    "kind K and prints `result N`, the column captions and the rows appended.\n"
    "Exit status 1 when the reply has a bad length or check.\n"
    "  --kind K      record kind code\n"
    "  --block B     block number shown as the row caption of one-record kinds\n"
    "  --workbook F  protocol workbook of device type 5 (default: the shipped one)\n",
    runDecode};
QL_CLI_COMMAND(kDecodeCommand);

} // namespace
