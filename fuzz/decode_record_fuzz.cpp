// Every record decoder through the device registry (kinds the protocol workbook
// describes decode with no fields). Input: kind (one byte, an index into the registry's kinds, so
// device type 5 kinds and their Stop answer are included), block number (two
// bytes, signed), then the reply bytes.
#include "catalogue/catalogue.h"
#include "catalogue/device_registry.h"
#include "fuzz_input.h"

namespace {

// The built-in device types, built once for the whole run.
const DeviceRegistry& builtIn()
{
    static const DeviceRegistry registry = builtInRegistry();
    return registry;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const auto kinds = recordKinds(builtIn());
    const int kindCode = kinds[input.byte() % kinds.size()]->code;
    const int blockNumber = static_cast<int16_t>(input.U16());
    const ByteView reply = input.rest();

    RecordTable table;
    const DecodeResult result = decodeKindReply(builtIn(), kindCode, {blockNumber}, reply, table);
    if (static_cast<int>(result) < 0 || static_cast<int>(result) > 4)
        fuzzFailure("decode result outside 0..4");
    // Length and check come before any field: a rejected reply adds no row.
    if ((result == DecodeResult::BadLength || result == DecodeResult::BadCheck) && table.rowCount() != 0)
        fuzzFailure("rows appended from a rejected reply");
    if (result == DecodeResult::Decoded && table.rowCount() == 0)
        fuzzFailure("Decoded without a row");
    for (const auto& row : table.rows())
        for (const std::string& cell : row)
            if (!isWellFormedUtf8(cell))
                fuzzFailure("cell text is not UTF-8");
    return 0;
}
