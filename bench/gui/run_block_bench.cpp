// How long the user-interface thread goes without serving its events while the
// main window reads kind 612 from ql-rs485-sim over a pseudo-terminal and the
// meter misbehaves: the real serial port, event-loop waiter and timers. A 1 ms
// timer measures the longest stretch between two of its events, in any event
// loop of the thread, less the time the system kept the process's threads
// waiting for a processor (the machine may be busy). 25 ms is what an operator
// would notice.
#include "app/com_port_control.h"
#include "app/main_frm.h"
#include "app/prompter.h"
#include "app/wait_echo_frm.h"
#include "protocol/event_loop_waiter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

// Nanoseconds the threads of this process have waited on a run queue (the
// second field of each thread's schedstat): painting hands work to Qt's pooled
// threads and waits for them, so their waits for a processor hold the event loop
// up as much as its own. -1 where the system does not tell.
int64_t RunQueueWaitNs()
{
    int64_t total = 0;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    const QStringList ids = tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (ids.isEmpty())
        return -1;
    for (const QString& id : ids) {
        QFile file(tasks.filePath(id + QStringLiteral("/schedstat")));
        if (!file.open(QIODevice::ReadOnly))
            return -1;
        const QList<QByteArray> fields = file.readAll().simplified().split(' ');
        if (fields.size() < 2)
            return -1;
        total += fields[1].toLongLong();
    }
    return total;
}

class EventLoopBlockMeter : public QObject {
public:
    EventLoopBlockMeter()
    {
        FTimer.setTimerType(Qt::PreciseTimer);
        FTimer.setInterval(1);
        connect(&FTimer, &QTimer::timeout, this, [this] { Tick(); });
        FClock.start();
        FLastNs = FClock.nsecsElapsed();
        FLastWaitNs = RunQueueWaitNs();
        FTimer.start();
    }

    double LongestBlockMs() const { return FLongestNs / 1e6; }
    double LongestWallGapMs() const { return FLongestWallNs / 1e6; }

private:
    void Tick()
    {
        const int64_t now = FClock.nsecsElapsed();
        const int64_t wait = RunQueueWaitNs();
        const int64_t wallGap = now - FLastNs;
        const int64_t waited = (wait >= 0 && FLastWaitNs >= 0) ? wait - FLastWaitNs : 0;
        FLongestWallNs = std::max(FLongestWallNs, wallGap);
        FLongestNs = std::max(FLongestNs, std::max<int64_t>(wallGap - waited, 0));
        FLastNs = now;
        FLastWaitNs = wait;
    }

    QTimer FTimer;
    QElapsedTimer FClock;
    int64_t FLastNs = 0;
    int64_t FLastWaitNs = 0;
    int64_t FLongestNs = 0;
    int64_t FLongestWallNs = 0;
};

class QuietPrompter : public Prompter {
public:
    void Inform(QWidget*, const QString&, const QString&) override {}
    void Warn(QWidget*, const QString&, const QString&) override {}
    bool Ask(QWidget*, const QString&, const QString&) override { return false; }
    QString SaveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
};

const char* const kFaults[] = {"silence",       "garbage-before", "garbage-after", "split",
                               "other-address", "endless",        "oversize",      "close-after=2"};

void BM_LongestEventLoopBlockDuringFaultyRun(benchmark::State& state)
{
    const QString fault = QString::fromLatin1(kFaults[state.range(0)]);
    state.SetLabel(fault.toStdString());
    for (auto _ : state) {
        QProcess sim;
        sim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/ql-rs485-sim"),
                  {"--type", "6", "--records", "20", "--addr", "23", "--line-rate", "--fault", fault});
        if (!sim.waitForStarted() || !sim.waitForReadyRead(10000)) {
            state.SkipWithError("ql-rs485-sim did not start");
            return;
        }
        const QString ptyPath = QString::fromUtf8(sim.readLine()).trimmed().mid(4);
        // A program folder with the shipped workbook and settings naming the pty.
        QTemporaryDir folder;
        QDir(folder.path()).mkpath(QStringLiteral("Excel"));
        QFile::copy(QStringLiteral(QL_SOURCE_DIR "/resources/Excel/VarnelModbus.xls"),
                    folder.filePath(QStringLiteral("Excel/VarnelModbus.xls")));
        {
            SettingsFile settings(folder.path(), folder.filePath(QStringLiteral("user")));
            PortSettings line;
            line.ComPort = ptyPath;
            settings.WritePortAndAddress(line, 23);
        }
        ComPortControl port;
        EventLoopWaiter waiter;
        QuietPrompter prompter;
        TMainFrm frm(
            {port, waiter, prompter, folder.path(), folder.filePath(QStringLiteral("user")), folder.path()});
        frm.show();
        frm.FormActivate();
        TWaitEchoFrm& window = frm.WaitEcho();
        QObject::connect(&window, &TWaitEchoFrm::TickDone, &window, [&window] {
            if (window.Btn_OK->isEnabled())
                QTimer::singleShot(0, window.Btn_OK, &QPushButton::click);
        });
        for (QTreeWidgetItemIterator it(frm.TreeView1); *it; ++it) {
            if (TMainFrm::NodeCodeOf(*it) == 612)
                frm.TreeView1->setCurrentItem(*it);
        }
        EventLoopBlockMeter meter;
        frm.TreeView1DblClick();
        if (frm.Log().LineCount() == 0) {
            state.SkipWithError("nothing was read");
            return;
        }
        state.counters["longest block ms"] = meter.LongestBlockMs();
        state.counters["with run-queue waits ms"] = meter.LongestWallGapMs();
        sim.terminate();
        sim.waitForFinished(5000);
    }
}
BENCHMARK(BM_LongestEventLoopBlockDuringFaultyRun)
    ->DenseRange(0, std::size(kFaults) - 1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace
