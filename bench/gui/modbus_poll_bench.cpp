// The general Modbus master polling the simulator's register map over a
// pseudo-terminal, the simulator pacing its replies at 9600 baud. The
// pseudo-terminal hands the request over at once, so wire_ratio can fall below 1.
#include "log/log_model.h"
#include "modbus/modbus_master.h"
#include "protocol/event_loop_waiter.h"
#include "protocol/exchange.h"
#include "serial/link_factory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <benchmark/benchmark.h>

namespace {

constexpr int kPolls = 100;
constexpr int kRegisters = 10;
constexpr int kBaud = 9600;
// 8 N 1 and its parity: 11 bits per character, as the simulator paces.
constexpr double kBitsPerCharacter = 11;

// Wire time of one poll: the 8-byte request, the reply (address, function,
// byte count, 2 bytes per register, CRC) and the 3.5-character gap after each.
double wireSecondsPerPoll()
{
    const double characters = 8 + (5 + 2 * kRegisters) + 2 * 3.5;
    return characters * kBitsPerCharacter / kBaud;
}

void BM_ModbusPoll(benchmark::State& state)
{
    QProcess sim;
    sim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/ql-rs485-sim"),
              {"--modbus-addr", "1", "--line-rate", "--baud", QString::number(kBaud)});
    QString pty;
    if (sim.waitForStarted(10000) && sim.waitForReadyRead(10000)) {
        const QString line = QString::fromUtf8(sim.readLine()).trimmed();
        if (line.startsWith(QStringLiteral("PTY ")))
            pty = line.mid(4);
    }
    if (pty.isEmpty()) {
        state.SkipWithError("ql-rs485-sim did not start");
        return;
    }
    LineSettings line;
    line.baudRate = kBaud;
    line.parity = ParityIndex::Odd;
    LinkSlot port;
    port.open(pty, line);
    LogModel log;
    EventLoopWaiter waiter;
    Exchange exchange(port, log, waiter);
    exchange.setLine(line);
    ModbusMaster master(exchange, ModbusFraming::rtu());
    ModbusRequest request;
    request.address = 1;
    request.function = ModbusFunction::kReadHoldingRegisters;
    request.count = kRegisters;
    for (auto _ : state) {
        master.resetCounters();
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < kPolls; ++i)
            master.transact(request, 1000);
        const double seconds = timer.nsecsElapsed() / 1e9;
        state.SetIterationTime(seconds);
        state.counters["wire_ratio"] = seconds / (kPolls * wireSecondsPerPoll());
        state.counters["good"] = master.counters().goodReplies;
        state.counters["timeouts"] = master.counters().timeouts;
        state.counters["check_errors"] = master.counters().checkErrors;
        if (master.counters().goodReplies != kPolls)
            state.SkipWithError("not every poll was answered");
    }
    sim.kill();
    sim.waitForFinished();
}
BENCHMARK(BM_ModbusPoll)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

} // namespace
