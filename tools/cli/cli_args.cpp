#include "cli_args.h"

#include "catalogue/device_registry.h"

#include <algorithm>
#include <cctype>
#include <charconv>

const std::initializer_list<CliOptionSpec> kLineOptionSpecs = {
    {"--baud"}, {"--data-bits"}, {"--parity"}, {"--stop-bits"}, {"--echo", false}, {"--timeout"}};

namespace {

const CliOptionSpec* findSpec(std::string_view name, std::initializer_list<CliOptionSpec> a,
                              std::initializer_list<CliOptionSpec> b)
{
    for (const auto* list : {&a, &b})
        for (const CliOptionSpec& spec : *list)
            if (spec.name == name)
                return &spec;
    return nullptr;
}

int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

CliOptions::CliOptions(const std::vector<std::string>& args, std::initializer_list<CliOptionSpec> accepted,
                       std::initializer_list<CliOptionSpec> moreAccepted)
{
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (optionsEnded || word.size() < 2 || word.compare(0, 2, "--") != 0) {
            m_positionals.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        const size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
        const CliOptionSpec* spec = findSpec(name, accepted, moreAccepted);
        if (!spec)
            throw CliUsageError("unknown option " + name);
        if (has(name))
            throw CliUsageError("option " + name + " given twice");
        std::string value;
        if (!spec->takesValue) {
            if (equals != std::string::npos)
                throw CliUsageError("option " + name + " takes no value");
        } else if (equals != std::string::npos) {
            value = word.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            throw CliUsageError("option " + name + " needs a value");
        }
        m_values.emplace_back(name, value);
    }
}

bool CliOptions::has(std::string_view name) const
{
    return std::any_of(m_values.begin(), m_values.end(),
                       [&](const auto& entry) { return entry.first == name; });
}

std::optional<std::string> CliOptions::valueOf(std::string_view name) const
{
    for (const auto& [key, value] : m_values)
        if (key == name)
            return value;
    return std::nullopt;
}

std::string CliOptions::text(std::string_view name, std::string_view defaultValue) const
{
    return valueOf(name).value_or(std::string(defaultValue));
}

int CliOptions::intOption(std::string_view name, int min, int max, std::optional<int> defaultValue) const
{
    const std::optional<std::string> value = valueOf(name);
    if (!value) {
        if (!defaultValue)
            throw CliUsageError("missing " + std::string(name));
        return *defaultValue;
    }
    return parseIntArgument(name, *value, min, max);
}

void CliOptions::requireNoPositionals() const
{
    if (!m_positionals.empty())
        throw CliUsageError("unexpected argument '" + m_positionals.front() + "'");
}

int parseIntArgument(std::string_view what, std::string_view text, int min, int max)
{
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec == std::errc::invalid_argument || ptr != end)
        throw CliUsageError(std::string(what) + ": '" + std::string(text) + "' is not a whole number");
    if (ec == std::errc::result_out_of_range || value < min || value > max)
        throw CliUsageError(std::string(what) + ": " + std::string(text) + " is outside " +
                            std::to_string(min) + ".." + std::to_string(max));
    return value;
}

int parseKindOption(const DeviceRegistry& registry, const CliOptions& options)
{
    const int kind = options.intOption("--kind", 0, 999999);
    if (!registry.recordKind(kind))
        throw CliUsageError("--kind: " + std::to_string(kind) + " is not a known record kind");
    return kind;
}

int parseAddressOption(const CliOptions& options)
{
    return options.intOption("--addr", 1, 247, kDefaultMeterAddress);
}

LineSettings parseLineOptions(const CliOptions& options)
{
    LineSettings line;
    line.baudRate = options.intOption("--baud", 1, 4000000, line.baudRate);
    line.dataBits = options.intOption("--data-bits", 5, 8, line.dataBits);
    if (const auto parity = options.valueOf("--parity")) {
        // In the order of the parity ordinals.
        static constexpr std::string_view kNames[kParityBitsCount] = {"none", "odd", "even", "mark", "space"};
        const auto* found = std::find(std::begin(kNames), std::end(kNames), *parity);
        if (found == std::end(kNames))
            throw CliUsageError("--parity: '" + *parity + "' is not one of none, odd, even, mark, space");
        line.parity = static_cast<ParityIndex>(found - std::begin(kNames));
    }
    if (const auto stopBits = options.valueOf("--stop-bits")) {
        if (*stopBits == "1")
            line.stopBits = StopBitsIndex::One;
        else if (*stopBits == "1.5")
            line.stopBits = StopBitsIndex::OneAndHalf;
        else if (*stopBits == "2")
            line.stopBits = StopBitsIndex::Two;
        else
            throw CliUsageError("--stop-bits: '" + *stopBits + "' is not one of 1, 1.5, 2");
    }
    line.echo = options.has("--echo");
    line.responseTimeoutMs = options.intOption("--timeout", 1, 600000, line.responseTimeoutMs);
    return line;
}

Bytes parseHexArgument(std::string_view text)
{
    Bytes bytes;
    int high = -1;
    for (const char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)))
            continue;
        const int digit = hexDigitValue(c);
        if (digit < 0) {
            const std::string shown = std::isprint(static_cast<unsigned char>(c))
                                          ? std::string(1, c)
                                          : formatText("\\x%02X", static_cast<unsigned char>(c));
            throw CliUsageError("HEX: '" + shown + "' is not a hex digit");
        }
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<uint8_t>(high << 4 | digit));
            high = -1;
        }
    }
    if (high >= 0)
        throw CliUsageError("HEX: odd number of hex digits (each byte needs two)");
    return bytes;
}

Bytes parseHexArgument(const std::vector<std::string>& words)
{
    std::string joined;
    for (const std::string& word : words) {
        joined += word;
        joined += ' ';
    }
    return parseHexArgument(joined);
}
