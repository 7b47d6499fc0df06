// The kinds the protocol workbook describes, through the kind table, with a field
// description taken from the input, as a broken workbook could make it. Input:
// kind selector (one byte, an index into those kinds), block
// number (two bytes, signed), field count (one byte), per field a type selector
// and two digits bytes (signed), then the reply bytes.
#include "catalogue/catalogue.h"
#include "catalogue/device_registry.h"
#include "fuzz_input.h"

#include <array>
#include <vector>

namespace {

// The built-in device types, built once for the whole run.
const DeviceRegistry& builtIn()
{
    static const DeviceRegistry registry = builtInRegistry();
    return registry;
}

// The type names a sheet may hold, a few it must not know, and odd spellings.
const std::array<const char*, 12> kTypeNames = {"DT2", "DBL", "FLT", "LNG", "BYTE", "BIT",
                                                "S8",  "S16", "",    "dbl", "FLT ", "X"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    std::vector<int> workbookKinds;
    for (const DeviceTypeDescription* type : builtIn().deviceTypes())
        for (const RecordKind& kind : type->kinds)
            if (kind.fieldsFromWorkbook)
                workbookKinds.push_back(kind.code);
    const int kindCode = workbookKinds[input.byte() % workbookKinds.size()];
    const int blockNumber = static_cast<int16_t>(input.U16());
    // The loader never gives more than kFieldDigitsCount fields; the decoder must
    // also cope with more type names than digits.
    const int fieldCount = input.byte() % (kFieldDigitsCount + 20);
    FieldTypeList fieldTypes;
    FieldDigitsArray fieldDigits{};
    for (int i = 0; i < fieldCount; ++i) {
        fieldTypes.emplace_back(kTypeNames[input.byte() % kTypeNames.size()]);
        const int digits = static_cast<int16_t>(input.U16());
        if (i < kFieldDigitsCount)
            fieldDigits[static_cast<size_t>(i)] = digits;
    }
    const ByteView reply = input.rest();

    const FieldDigitsArray digitsBefore = fieldDigits;
    RecordTable table;
    const DecodeResult result =
        decodeKindReply(builtIn(), kindCode, {blockNumber, &fieldTypes, &fieldDigits}, reply, table);
    if (static_cast<int>(result) < 0 || static_cast<int>(result) > 4)
        fuzzFailure("decode result outside 0..4");
    if (result != DecodeResult::Decoded && table.rowCount() != 0)
        fuzzFailure("rows appended without Decoded");
    if (fieldDigits != digitsBefore)
        fuzzFailure("the caller's digits were changed");
    if (result == DecodeResult::Decoded) {
        if (table.rowCount() != 1)
            fuzzFailure("Decoded must append exactly one row");
        if (table.rows()[0].size() > fieldTypes.size() + 1)
            fuzzFailure("more cells than fields");
        for (const std::string& cell : table.rows()[0])
            if (!isWellFormedUtf8(cell))
                fuzzFailure("cell text is not UTF-8");
    }
    return 0;
}
