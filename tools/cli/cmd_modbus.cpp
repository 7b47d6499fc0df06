// `modbus read|write`: a general Modbus master for any device on the line, RTU
// over serial, tcp:// and rfc2217:// ports and Modbus TCP over mbtcp://.
#include "cli_args.h"
#include "cli_command.h"
#include "cli_port.h"
#include "log/log_model.h"
#include "modbus/modbus_master.h"
#include "modbus/modbus_values.h"
#include "protocol/event_loop_waiter.h"
#include "protocol/exchange.h"
#include "serial/link_factory.h"

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

const std::initializer_list<CliOptionSpec> kModbusOptions = {{"--port"},  {"--addr"},  {"--fc"},
                                                             {"--start"}, {"--count"}, {"--format"},
                                                             {"--order"}, {"--poll"},  {"--times"}};

struct ValueLayout {
    ModbusFormat format = ModbusFormat::U16;
    WordOrder order = WordOrder::Abcd;
};

ValueLayout ParseLayout(const CliOptions& options)
{
    ValueLayout layout;
    if (const std::optional<std::string> text = options.Value("--format")) {
        const std::optional<ModbusFormat> format = ParseModbusFormat(*text);
        if (!format)
            throw CliUsageError("--format must be u16, i16, hex, bin, u32, i32, f32, f64 or bcd");
        layout.format = *format;
    }
    if (const std::optional<std::string> text = options.Value("--order")) {
        const std::optional<WordOrder> order = ParseWordOrder(*text);
        if (!order)
            throw CliUsageError("--order must be abcd, cdab, badc or dcba");
        layout.order = *order;
    }
    return layout;
}

std::string ProblemText(const std::string& problem)
{
    // The core names quantities by their role; the command by its options.
    if (problem.rfind("count", 0) == 0)
        return "--" + problem;
    return problem;
}

// One line per outcome; the exit status it stands for.
int ReportPoll(int number, const ModbusOutcome& outcome)
{
    switch (outcome.kind) {
    case ModbusOutcome::Kind::Ok:
    case ModbusOutcome::Kind::Broadcast:
        std::printf("poll %d ok\n", number);
        return kExitOk;
    case ModbusOutcome::Kind::Timeout:
        std::printf("poll %d timeout\n", number);
        break;
    case ModbusOutcome::Kind::Exception:
        std::printf("poll %d exception %02X %s\n", number, outcome.exceptionCode,
                    ModbusExceptionName(outcome.exceptionCode));
        break;
    case ModbusOutcome::Kind::Error:
        std::printf("poll %d error %s\n", number, outcome.error.c_str());
        break;
    }
    return kExitNoAnswer;
}

void PrintValues(const ModbusRequest& request, const ValueLayout& layout, const std::vector<uint16_t>& values)
{
    const int step = IsModbusBitFunction(request.function) ? 1 : RegistersPerValue(layout.format);
    for (size_t i = 0; i + size_t(step) <= values.size(); i += size_t(step)) {
        const std::string text = IsModbusBitFunction(request.function)
                                     ? std::to_string(values[i])
                                     : FormatModbusValue(layout.format, layout.order,
                                                         std::span<const uint16_t>(values).subspan(i));
        std::printf("reg %d %s\n", request.start + static_cast<int>(i), text.c_str());
    }
    std::fflush(stdout);
}

// The session shared by both subcommands: the port opened, the exchange and
// the master over it.
int WithMaster(const CliOptions& options, const char* what,
               const std::function<int(ModbusMaster&, int responseTimeoutMs)>& body)
{
    CliQtContext qt;
    LinkSlot link;
    LogModel log;
    EventLoopWaiter waiter;
    Exchange exchange(link, log, waiter);
    const LineSettings line = ParseLineOptions(options);
    exchange.SetLine(line);
    std::optional<std::string> lostMessage;
    if (const std::optional<CliOpenFailure> failure = OpenCliPort(link, options, what, lostMessage)) {
        std::fprintf(stderr, "ql-rs485-cli modbus: %s\n", failure->message.c_str());
        return failure->exitCode;
    }
    ModbusMaster master(exchange,
                        ModbusFramingForPort(QString::fromStdString(options.Value("--port").value_or(""))));
    try {
        const int status = body(master, line.responseTimeoutMs);
        if (status != kExitOk)
            ReportEchoedReplies(exchange, options, what);
        return status;
    } catch (const ComPortError& error) {
        std::fprintf(stderr, "ql-rs485-cli modbus: port error: %s\n", error.what());
        return kExitNoAnswer;
    }
}

int RunRead(const CliOptions& options)
{
    if (options.Positionals().size() > 1)
        throw CliUsageError("unexpected argument '" + options.Positionals()[1] + "'");
    ModbusRequest request;
    request.address = static_cast<uint8_t>(options.Int("--addr", 1, 247));
    request.function = static_cast<uint8_t>(options.Int("--fc", 1, 4));
    request.start = static_cast<uint16_t>(options.Int("--start", 0, 65535));
    request.count = options.Int("--count", 1, kModbusMaxReadBits);
    const ValueLayout layout = ParseLayout(options);
    if (const std::string problem = ModbusRequestProblem(request); !problem.empty())
        throw CliUsageError(ProblemText(problem));
    const int perValue = RegistersPerValue(layout.format);
    if (!IsModbusBitFunction(request.function) && request.count % perValue != 0)
        throw CliUsageError("--count must be a multiple of " + std::to_string(perValue) + " for --format " +
                            ModbusFormatName(layout.format));
    const bool polling = options.Has("--poll");
    const int intervalMs = options.Int("--poll", 1, 3'600'000, 0);
    const int times = options.Int("--times", 1, 1'000'000, 1);
    if (options.Has("--times") && !polling)
        throw CliUsageError("--times goes with --poll");
    return WithMaster(options, "modbus", [&](ModbusMaster& master, int responseTimeoutMs) {
        int status = kExitOk;
        EventLoopWaiter pause;
        for (int poll = 1; poll <= times; ++poll) {
            const int64_t began = pause.NowMs();
            const ModbusOutcome outcome = master.Transact(request, responseTimeoutMs);
            if (outcome.kind == ModbusOutcome::Kind::Ok)
                PrintValues(request, layout, outcome.values);
            if (ReportPoll(poll, outcome) != kExitOk)
                status = kExitNoAnswer;
            std::fflush(stdout);
            if (poll < times)
                pause.Sleep(static_cast<int>(std::max<int64_t>(0, intervalMs - (pause.NowMs() - began))));
        }
        return status;
    });
}

int RunWrite(const CliOptions& options)
{
    ModbusRequest request;
    request.address = static_cast<uint8_t>(options.Int("--addr", 0, 247));
    request.function = static_cast<uint8_t>(options.Int("--fc", 5, 16));
    request.start = static_cast<uint16_t>(options.Int("--start", 0, 65535));
    const ValueLayout layout = ParseLayout(options);
    const std::vector<std::string> words(options.Positionals().begin() + 1, options.Positionals().end());
    if (words.empty())
        throw CliUsageError("missing VALUE");
    for (const std::string& word : words) {
        if (IsModbusBitFunction(request.function)) {
            if (word != "0" && word != "1")
                throw CliUsageError("coil value must be 0 or 1: " + word);
            request.values.push_back(word == "1");
            continue;
        }
        const std::optional<std::vector<uint16_t>> registers =
            EncodeModbusValue(layout.format, layout.order, word);
        if (!registers)
            throw CliUsageError("no " + std::string(ModbusFormatName(layout.format)) + " value: " + word);
        request.values.insert(request.values.end(), registers->begin(), registers->end());
    }
    if (request.function == 0x05 || request.function == 0x06) {
        if (request.values.size() != 1)
            throw CliUsageError("--fc " + std::to_string(request.function) +
                                " writes one 16-bit value; use --fc 15 or 16 for more");
    }
    if (const std::string problem = ModbusRequestProblem(request); !problem.empty())
        throw CliUsageError(ProblemText(problem));
    return WithMaster(options, "modbus", [&](ModbusMaster& master, int responseTimeoutMs) {
        const ModbusOutcome outcome = master.Transact(request, responseTimeoutMs);
        if (outcome.kind == ModbusOutcome::Kind::Ok || outcome.kind == ModbusOutcome::Kind::Broadcast) {
            std::printf("wrote %zu\n", request.values.size());
            return kExitOk;
        }
        return ReportPoll(1, outcome);
    });
}

int RunModbus(const std::vector<std::string>& args)
{
    const CliOptions options(args, kModbusOptions, kLineOptionSpecs);
    const std::vector<std::string>& words = options.Positionals();
    if (words.empty() || (words[0] != "read" && words[0] != "write"))
        throw CliUsageError("first word must be read or write");
    return words[0] == "read" ? RunRead(options) : RunWrite(options);
}

const CliCommand kModbusCommand{
    "modbus", "read or write registers and coils of any Modbus device",
    "usage: ql-rs485-cli modbus read|write --port PATH --addr A --fc F --start S ... [LINE]\n"
    "  ql-rs485-cli modbus read  --port PATH --addr A --fc 1|2|3|4 --start S --count N\n"
    "                            [--format FORMAT] [--order ORDER] [--poll MS --times K] [LINE]\n"
    "  ql-rs485-cli modbus write --port PATH --addr A --fc 5|6|15|16 --start S VALUE...\n"
    "                            [--format FORMAT] [--order ORDER] [LINE]\n"
    "\n"
    "read prints `reg ADDRESS VALUE` per register (per value for 32- and 64-bit formats)\n"
    "and per poll `poll N ok|timeout|exception CODE NAME|error TEXT`; write prints\n"
    "`wrote N`. Exit status 1 for a timeout, an exception reply or a bad reply.\n"
    "  --port PATH    serial port (Modbus RTU), tcp://HOST:PORT or rfc2217://HOST:PORT\n"
    "                 (RTU over a serial device server), mbtcp://HOST[:PORT] (Modbus TCP,\n"
    "                 port 502 unless given)\n"
    "  --addr A       slave address 1..247; 0 broadcasts a write\n"
    "  --fc F         function: 1 coils, 2 discrete inputs, 3 holding registers, 4 input\n"
    "                 registers; 5 one coil, 6 one register, 15 coils, 16 registers\n"
    "  --start S      first address, 0-based (register 40001 is --start 0)\n"
    "  --count N      bits (up to 2000) or registers (up to 125) to read\n"
    "  --format FORMAT  u16 (default), i16, hex, bin, u32, i32, f32, f64 or bcd\n"
    "  --order ORDER  byte order of 32- and 64-bit values: abcd (default), cdab, badc, dcba\n"
    "  --poll MS      read again every MS milliseconds, --times K times in all\n"
    "  --times K      number of polls (default 1)\n"
    "  VALUE          coils 0 or 1; registers as --format says (put -- before negative values\n"
    "                 if they look like options)\n",
    RunModbus};
QL_CLI_COMMAND(kModbusCommand);

} // namespace
