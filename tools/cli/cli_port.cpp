#include "cli_port.h"

#include "protocol/exchange.h"
#include "protocol/fast_exchange.h"
#include "serial/com_error.h"
#include "serial/com_port.h"
#include "serial/echo_removing_link.h"

#include <cstdio>

#include <clocale>

namespace {

int gArgc = 1;
char gProgramName[] = "ql-rs485-cli";
char* gArgv[] = {gProgramName, nullptr};

TBaudRate StandardBaudRate(int baud)
{
    for (int ordinal = br110; ordinal < kBaudRateCount; ++ordinal)
        if (BaudRateValue(static_cast<TBaudRate>(ordinal)) == baud)
            return static_cast<TBaudRate>(ordinal);
    return brCustom;
}

TParityBits ParityBits(LineParity parity)
{
    switch (parity) {
    case LineParity::None:
        return prNone;
    case LineParity::Odd:
        return prOdd;
    case LineParity::Even:
        return prEven;
    case LineParity::Mark:
        return prMark;
    case LineParity::Space:
        return prSpace;
    }
    return prOdd;
}

TStopBits StopBits(LineStopBits stopBits)
{
    switch (stopBits) {
    case LineStopBits::One:
        return sbOneStopBit;
    case LineStopBits::OneAndHalf:
        return sbOne5StopBits;
    case LineStopBits::Two:
        return sbTwoStopBits;
    }
    return sbOneStopBit;
}

} // namespace

CliQtContext::CliQtContext()
{
    if (!QCoreApplication::instance()) {
        FApplication = std::make_unique<QCoreApplication>(gArgc, gArgv);
        // The application object adopts the environment's locale for the C library;
        // output and parsing stay the same in every locale.
        std::setlocale(LC_NUMERIC, "C");
    }
}

CliQtContext::~CliQtContext() = default;

void SetUpEchoRemoval(EchoRemovingLink& link, const CliOptions& options, const char* command)
{
    link.SetEnabled(ParseLineOptions(options).echo);
    const std::string prefix = std::string("ql-rs485-cli ") + command + ": ";
    link.SetMismatchReport(
        [prefix](const std::string& line) { std::fprintf(stderr, "%s%s\n", prefix.c_str(), line.c_str()); });
}

std::optional<CliOpenFailure> OpenCliPort(TComPort& port, const CliOptions& options)
{
    const std::optional<std::string> path = options.Value("--port");
    if (!path || path->empty())
        throw CliUsageError("missing --port");
    const LineOptions line = ParseLineOptions(options);
    port.SetPort(QString::fromStdString(*path));
    const TBaudRate baudRate = StandardBaudRate(line.baudRate);
    if (baudRate == brCustom)
        port.SetCustomBaudRate(line.baudRate);
    port.SetBaudRate(baudRate);
    port.SetDataBits(static_cast<TDataBits>(dbFive + (line.dataBits - 5)));
    port.SetParityBits(ParityBits(line.parity));
    port.SetStopBits(StopBits(line.stopBits));
    try {
        port.OpenPort();
    } catch (const EComPort& error) {
        // A server that takes the connection and drops it at once is a line
        // that went away, as it would be a moment later.
        if (error.ErrorNumber == kComErrRead)
            return CliOpenFailure{std::string("port error: ") + error.what(), 1};
        return CliOpenFailure{"cannot open " + *path + ": " + error.what(), 2};
    }
    return std::nullopt;
}

double BitsPerCharacter(const LineOptions& line)
{
    const double stopBits = line.stopBits == LineStopBits::One   ? 1
                            : line.stopBits == LineStopBits::Two ? 2
                                                                 : 1.5;
    return 1 + line.dataBits + (line.parity == LineParity::None ? 0 : 1) + stopBits;
}

LineTiming LineTimingOf(const LineOptions& line)
{
    return {line.baudRate, BitsPerCharacter(line)};
}

void ReportEchoedReplies(const Exchange& exchange, const CliOptions& options, const char* command)
{
    if (exchange.EchoedReplies() == 0)
        return;
    if (ParseLineOptions(options).echo)
        std::fprintf(stderr,
                     "ql-rs485-cli %s: replies begin with the request even with its echo removed: the line "
                     "echoes every request twice\n",
                     command);
    else
        std::fprintf(stderr,
                     "ql-rs485-cli %s: replies begin with the request: the line echoes what is sent; --echo "
                     "removes the echo\n",
                     command);
}
