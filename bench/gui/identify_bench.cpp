// How long identification of a type-6 meter takes at 9600 baud, with
// ql-rs485-sim pacing its bytes at the line rate on a pseudo-terminal: paced (as
// the meters expect) and fast, each cold and with the type known from before.
// Arguments: 0 paced, 1 fast; 0 cold, 1 type known.
#include "catalogue/device_registry.h"
#include "log/log_model.h"
#include "protocol/event_loop_waiter.h"
#include "protocol/exchange.h"
#include "protocol/meter_identification.h"
#include "protocol/meter_scan.h"
#include "serial/link_factory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <benchmark/benchmark.h>

namespace {

// The built-in device types, built once for the whole run.
const DeviceRegistry& builtIn()
{
    static const DeviceRegistry registry = builtInRegistry();
    return registry;
}

constexpr int kBaud = 9600;
constexpr int kAddress = 23;
constexpr int kDeviceType = 6;

void BM_IdentifyType6(benchmark::State& state)
{
    const bool fast = state.range(0) != 0;
    const int knownType = state.range(1) != 0 ? kDeviceType : 0;
    QProcess sim;
    sim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/ql-rs485-sim"),
              {"--type", QString::number(kDeviceType), "--addr", QString::number(kAddress), "--line-rate",
               "--baud", QString::number(kBaud)});
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
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const int found = fast ? probeMeter(builtIn(), exchange, kAddress, line, {}, knownType)
                               : identifyMeter(builtIn(), exchange, kAddress, {}, knownType);
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        if (found != kDeviceType)
            state.SkipWithError("the meter was not identified");
    }
    sim.kill();
    sim.waitForFinished();
}
BENCHMARK(BM_IdentifyType6)
    ->ArgNames({"fast", "known"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace
