// Argument parsing shared by the ql-rs485-cli commands. Every parser reports bad input
// by throwing CliUsageError with a message that names the option and what was wrong;
// main() prints it on stderr and exits with status 2.
#pragma once

#include "codec/codec.h"
#include "serial/line_settings.h"

#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class DeviceRegistry;

class CliUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An option a command accepts: `--name VALUE` (also `--name=VALUE`) when takesValue,
// else a flag `--name`.
struct CliOptionSpec {
    std::string_view name; // with the leading dashes: "--kind"
    bool takesValue = true;
};

// The LINE options, to splice into a command's option list:
// --baud, --data-bits, --parity, --stop-bits, --echo, --timeout.
extern const std::initializer_list<CliOptionSpec> kLineOptionSpecs;

// The words of a command split into options and positional words. Unknown options,
// a missing value and an option given twice are errors. A lone "--" ends the options;
// every later word is positional.
class CliOptions {
public:
    CliOptions(const std::vector<std::string>& args, std::initializer_list<CliOptionSpec> accepted,
               std::initializer_list<CliOptionSpec> moreAccepted = {});

    bool has(std::string_view name) const;
    std::optional<std::string> valueOf(std::string_view name) const;
    std::string text(std::string_view name, std::string_view defaultValue) const;
    // The value as a decimal integer within [min, max]. Missing: defaultValue, or an
    // error "missing --name" when there is no default.
    int intOption(std::string_view name, int min, int max,
                  std::optional<int> defaultValue = std::nullopt) const;
    const std::vector<std::string>& positionals() const { return m_positionals; }
    // Error unless there are no positional words.
    void requireNoPositionals() const;

private:
    std::vector<std::pair<std::string, std::string>> m_values; // name → value ("" for flags)
    std::vector<std::string> m_positionals;
};

// A decimal integer within [min, max]; `what` names the option in the message.
int parseIntArgument(std::string_view what, std::string_view text, int min, int max);

// --kind K: a record kind code that the catalogue knows (required).
int parseKindOption(const DeviceRegistry& registry, const CliOptions& options);
// --addr A: meter address 1..247, default 23.
int parseAddressOption(const CliOptions& options);
constexpr int kDefaultMeterAddress = 23;

// --baud N (1..4000000), --data-bits 5|6|7|8, --parity none|odd|even|mark|space,
// --stop-bits 1|1.5|2, --echo, --timeout MS (1..600000); defaults 9600 baud, 8
// data bits, odd parity, 1 stop bit, no echo removal, 1000 ms.
LineSettings parseLineOptions(const CliOptions& options);

// Bytes from hex text: the words are joined, blanks are optional between bytes
// ("01 03 0A", "01030A", "0103 0A"). Any other character, or an odd number of
// digits, is an error.
Bytes parseHexArgument(const std::vector<std::string>& words);
Bytes parseHexArgument(std::string_view text);
