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

ValueLayout parseLayout(const CliOptions& options)
{
    ValueLayout layout;
    if (const std::optional<std::string> text = options.valueOf("--format")) {
        const std::optional<ModbusFormat> format = parseModbusFormat(*text);
        if (!format)
            throw CliUsageError("--format must be u16, i16, hex, bin, u32, i32, f32, f64 or bcd");
        layout.format = *format;
    }
    if (const std::optional<std::string> text = options.valueOf("--order")) {
        const std::optional<WordOrder> order = parseWordOrder(*text);
        if (!order)
            throw CliUsageError("--order must be abcd, cdab, badc or dcba");
        layout.order = *order;
    }
    return layout;
}

std::string problemText(const std::string& problem)
{
    // The core names quantities by their role; the command by its options.
    if (problem.rfind("count", 0) == 0)
        return "--" + problem;
    return problem;
}

// One line per outcome; the exit status it stands for.
int reportPoll(int number, const ModbusOutcome& outcome)
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
                    modbusExceptionName(outcome.exceptionCode));
        break;
    case ModbusOutcome::Kind::Error:
        std::printf("poll %d error %s\n", number, outcome.error.c_str());
        break;
    }
    return kExitNoAnswer;
}

void printValues(const ModbusRequest& request, const ValueLayout& layout, const std::vector<uint16_t>& values)
{
    const int step = isModbusBitFunction(request.function) ? 1 : registersPerValue(layout.format);
    for (size_t i = 0; i + size_t(step) <= values.size(); i += size_t(step)) {
        const std::string text = isModbusBitFunction(request.function)
                                     ? std::to_string(values[i])
                                     : formatModbusValue(layout.format, layout.order,
                                                         std::span<const uint16_t>(values).subspan(i));
        std::printf("reg %d %s\n", request.start + static_cast<int>(i), text.c_str());
    }
    std::fflush(stdout);
}

// The session shared by both subcommands: the port opened, the exchange and
// the master over it.
int withMaster(const CliOptions& options, const char* what,
               const std::function<int(ModbusMaster&, int responseTimeoutMs)>& body)
{
    CliQtContext qt;
    LinkSlot link;
    LogModel log;
    EventLoopWaiter waiter;
    Exchange exchange(link, log, waiter);
    const LineSettings line = parseLineOptions(options);
    exchange.setLine(line);
    std::optional<std::string> lostMessage;
    if (const std::optional<CliOpenFailure> failure = openCliPort(link, options, what, lostMessage)) {
        std::fprintf(stderr, "ql-rs485-cli modbus: %s\n", failure->message.c_str());
        return failure->exitCode;
    }
    ModbusMaster master(exchange,
                        modbusFramingForPort(QString::fromStdString(options.valueOf("--port").value_or(""))));
    try {
        const int status = body(master, line.responseTimeoutMs);
        if (status != kExitOk)
            reportEchoedReplies(exchange, options, what);
        return status;
    } catch (const ComPortError& error) {
        std::fprintf(stderr, "ql-rs485-cli modbus: port error: %s\n", error.what());
        return kExitNoAnswer;
    }
}

int runRead(const CliOptions& options)
{
    if (options.positionals().size() > 1)
        throw CliUsageError("unexpected argument '" + options.positionals()[1] + "'");
    ModbusRequest request;
    request.address = static_cast<uint8_t>(options.intOption("--addr", 1, 247));
    request.function = static_cast<uint8_t>(options.intOption("--fc", 1, 4));
    request.start = static_cast<uint16_t>(options.intOption("--start", 0, 65535));
    request.count = options.intOption("--count", 1, kModbusMaxReadBits);
    const ValueLayout layout = parseLayout(options);
    if (const std::string problem = modbusRequestProblem(request); !problem.empty())
        throw CliUsageError(problemText(problem));
    const int perValue = registersPerValue(layout.format);
    if (!isModbusBitFunction(request.function) && request.count % perValue != 0)
        throw CliUsageError("--count must be a multiple of " + std::to_string(perValue) + " for --format " +
                            modbusFormatName(layout.format));
    const bool polling = options.has("--poll");
    const int intervalMs = options.intOption("--poll", 1, 3'600'000, 0);
    const int times = options.intOption("--times", 1, 1'000'000, 1);
    if (options.has("--times") && !polling)
        throw CliUsageError("--times goes with --poll");
    return withMaster(options, "modbus", [&](ModbusMaster& master, int responseTimeoutMs) {
        int status = kExitOk;
        EventLoopWaiter pause;
        for (int poll = 1; poll <= times; ++poll) {
            const int64_t began = pause.nowMs();
            const ModbusOutcome outcome = master.transact(request, responseTimeoutMs);
            if (outcome.kind == ModbusOutcome::Kind::Ok)
                printValues(request, layout, outcome.values);
            if (reportPoll(poll, outcome) != kExitOk)
                status = kExitNoAnswer;
            std::fflush(stdout);
            if (poll < times)
                pause.sleep(static_cast<int>(std::max<int64_t>(0, intervalMs - (pause.nowMs() - began))));
        }
        return status;
    });
}

int runWrite(const CliOptions& options)
{
    ModbusRequest request;
    request.address = static_cast<uint8_t>(options.intOption("--addr", 0, 247));
    request.function = static_cast<uint8_t>(options.intOption("--fc", 5, 16));
    request.start = static_cast<uint16_t>(options.intOption("--start", 0, 65535));
    const ValueLayout layout = parseLayout(options);
    const std::vector<std::string> words(options.positionals().begin() + 1, options.positionals().end());
    if (words.empty())
        throw CliUsageError("missing VALUE");
    for (const std::string& word : words) {
        if (isModbusBitFunction(request.function)) {
            if (word != "0" && word != "1")
                throw CliUsageError("coil value must be 0 or 1: " + word);
            request.values.push_back(word == "1");
            continue;
        }
        const std::optional<std::vector<uint16_t>> registers =
            encodeModbusValue(layout.format, layout.order, word);
        if (!registers)
            throw CliUsageError("no " + std::string(modbusFormatName(layout.format)) + " value: " + word);
        request.values.insert(request.values.end(), registers->begin(), registers->end());
    }
    if (request.function == 0x05 || request.function == 0x06) {
        if (request.values.size() != 1)
            throw CliUsageError("--fc " + std::to_string(request.function) +
                                " writes one 16-bit value; use --fc 15 or 16 for more");
    }
    if (const std::string problem = modbusRequestProblem(request); !problem.empty())
        throw CliUsageError(problemText(problem));
    return withMaster(options, "modbus", [&](ModbusMaster& master, int responseTimeoutMs) {
        const ModbusOutcome outcome = master.transact(request, responseTimeoutMs);
        if (outcome.kind == ModbusOutcome::Kind::Ok || outcome.kind == ModbusOutcome::Kind::Broadcast) {
            std::printf("wrote %zu\n", request.values.size());
            return kExitOk;
        }
        return reportPoll(1, outcome);
    });
}

int runModbus(const DeviceRegistry& /*registry*/, const std::vector<std::string>& args)
{
    const CliOptions options(args, kModbusOptions, kLineOptionSpecs);
    const std::vector<std::string>& words = options.positionals();
    if (words.empty() || (words[0] != "read" && words[0] != "write"))
        throw CliUsageError("first word must be read or write");
    return words[0] == "read" ? runRead(options) : runWrite(options);
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
    runModbus};
QL_CLI_COMMAND(kModbusCommand);

} // namespace
