// The hex parser of the command-line reader. Any text either gives bytes or a
// usage error; bytes written back as hex parse to the same bytes.
#include "cli_args.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Bytes bytes;
    try {
        bytes = parseHexArgument(text);
    } catch (const CliUsageError&) {
        return 0;
    }
    try {
        if (parseHexArgument(bytesToHexSpaced(bytes)) != bytes)
            fuzzFailure("spaced hex does not parse back to the same bytes");
        if (parseHexArgument(std::vector<std::string>{bytesToHex(bytes)}) != bytes)
            fuzzFailure("plain hex does not parse back to the same bytes");
    } catch (const CliUsageError&) {
        fuzzFailure("hex text written by the codec is refused");
    }
    return 0;
}
