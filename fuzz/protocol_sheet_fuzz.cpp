// The protocol-sheet loader over a fuzzed cell grid. Input: kind selector (one
// byte: 0..3 are kinds 51..54, other values a code that loads no section), then
// cells. Each cell starts with a control byte: bits 7..5 advance the current row
// (0..7), bits 3..0 pick the column (1..12), bit 4 set takes the text from a
// dictionary of meaningful cell texts (next byte), otherwise a length byte and
// raw bytes. Later cells overwrite earlier ones.
#include "decoding/protocol_sheet.h"
#include "fuzz_input.h"

#include <array>
#include <map>
#include <utility>

namespace {

const std::array<const char*, 28> kDictionary = {
    kProtocolMarker, "Name",       "DT2",         "DBL",  "FLT", "LNG", "BYTE", "BIT",  "S8",
    "S16",           "0",          "1",           "2",    "-1",  "4",   "101",  "4002", "5001",
    "2147483647",    "2147483648", "-2147483648", " 12 ", "1.5", "+3",  "0x10", "",     "Hourly -120 ",
    "hourly -120"};

// Loads may read each cell a few times, never run through an unbounded grid.
constexpr int kMaxReads = 200000;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const uint8_t kindSelector = input.byte();
    const int kindCode = kindSelector < 4 ? 51 + kindSelector : kindSelector;

    std::map<std::pair<int, int>, std::string> cells;
    int row = 1;
    while (!input.empty()) {
        const uint8_t control = input.byte();
        row += control >> 5;
        const int column = (control & 0x0F) % 12 + 1;
        std::string text =
            (control & 0x10) ? kDictionary[input.byte() % kDictionary.size()] : input.shortText();
        cells[{row, column}] = std::move(text);
    }

    int reads = 0;
    const CellReader reader = [&](int r, int c) -> std::string {
        if (++reads > kMaxReads)
            fuzzFailure("the loader reads without end");
        if (r < 1 || c < 1)
            fuzzFailure("cell outside the sheet asked for");
        const auto found = cells.find({r, c});
        return found == cells.end() ? std::string() : found->second;
    };
    const ProtocolLoadResult result = loadProtocolSection(kindCode, reader);
    const ProtocolSheet& sheet = result.sheet;
    if (sheet.fieldTypes.size() > static_cast<size_t>(kFieldDigitsCount))
        fuzzFailure("more fields than the digits array holds");
    if (sheet.columns.empty() || sheet.columns.size() != sheet.fieldTypes.size() + 1)
        fuzzFailure("columns do not match the field types");
    if (sheet.paramFields.size() % 2 != 0)
        fuzzFailure("parameter fields are not caption/type pairs");
    return 0;
}
