// `frame`: the request frame of one block of a record kind, as the log shows it.
#include "catalogue/device_registry.h"
#include "cli_args.h"
#include "cli_command.h"
#include "cli_records.h"
#include "protocol/request_frames.h"

#include <cstdio>

namespace {

int runFrame(const DeviceRegistry& registry, const std::vector<std::string>& args)
{
    const CliOptions options(args, {{"--kind"}, {"--block"}, {"--addr"}, {"--workbook"}});
    options.requireNoPositionals();
    const int kind = parseKindOption(registry, options);
    const RecordKind* row = registry.recordKind(kind);
    const int block = options.intOption("--block", 1, row->blockCount);
    const int address = parseAddressOption(options);
    if (!row->fieldsFromWorkbook && options.has("--workbook"))
        throw CliUsageError(workbookOnlyMessage(registry));
    // The register window of a workbook-described kind comes from the protocol workbook.
    KindTable kindTable;
    if (row->fieldsFromWorkbook) {
        if (const std::string error =
                prepareKindTable(registry, kind, options.valueOf("--workbook"), kindTable);
            !error.empty()) {
            std::fprintf(stderr, "ql-rs485-cli frame: %s\n", error.c_str());
            return kExitBadArguments;
        }
    }
    const Bytes base = baseRequestOfKind(*row, static_cast<uint8_t>(address), kindTable.kind.registers);
    const Bytes frame = blockRequestFrame(*row, base, block);
    std::printf("%s\n", bytesToHexSpaced(frame).c_str());
    return kExitOk;
}

const std::string kFrameUsage =
    "usage: ql-rs485-cli frame --kind K --block B [--addr A] [--workbook FILE]\n"
    "\n"
    "Prints the request frame of block B of record kind K for the meter at address A\n"
    "(default 23), check bytes included, as spaced upper-case hex.\n"
    "  --kind K      record kind code (" +
    kindCodeRanges(builtInRegistry()) +
    ")\n"
    "  --block B     block number, 1 to the block count of the kind\n"
    "  --addr A      meter address 1..247 (default 23)\n"
    "  --workbook F  protocol workbook of device type 5 (default: the shipped one)\n";

const CliCommand kFrameCommand{"frame", "print the request frame of one block of a record kind", kFrameUsage,
                               runFrame};
QL_CLI_COMMAND(kFrameCommand);

} // namespace
