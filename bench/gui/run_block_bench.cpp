// How long the user-interface thread goes without serving its events while the
// main window reads kind 612 from ql-rs485-sim over a pseudo-terminal and the
// meter misbehaves: the real serial port, event-loop waiter and timers. A 1 ms
// timer measures the longest stretch between two of its events, in any event
// loop of the thread, less the time the system kept the process's threads
// waiting for a processor (the machine may be busy). 25 ms is what an operator
// would notice.
#include "app/com_port_control.h"
#include "app/device_tree.h"
#include "app/main_window.h"
#include "app/prompter.h"
#include "app/transaction_dialog.h"
#include "catalogue/device_registry.h"
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

// The built-in device types, built once for the whole run.
const DeviceRegistry& builtIn()
{
    static const DeviceRegistry registry = builtInRegistry();
    return registry;
}

// Nanoseconds the threads of this process have waited on a run queue (the
// second field of each thread's schedstat): painting hands work to Qt's pooled
// threads and waits for them, so their waits for a processor hold the event loop
// up as much as its own. -1 where the system does not tell.
int64_t runQueueWaitNs()
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
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
        m_clock.start();
        m_lastNs = m_clock.nsecsElapsed();
        m_lastWaitNs = runQueueWaitNs();
        m_timer.start();
    }

    double longestBlockMs() const { return m_longestNs / 1e6; }
    double longestWallGapMs() const { return m_longestWallNs / 1e6; }

private:
    void tick()
    {
        const int64_t now = m_clock.nsecsElapsed();
        const int64_t wait = runQueueWaitNs();
        const int64_t wallGap = now - m_lastNs;
        const int64_t waited = (wait >= 0 && m_lastWaitNs >= 0) ? wait - m_lastWaitNs : 0;
        m_longestWallNs = std::max(m_longestWallNs, wallGap);
        m_longestNs = std::max(m_longestNs, std::max<int64_t>(wallGap - waited, 0));
        m_lastNs = now;
        m_lastWaitNs = wait;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    int64_t m_lastNs = 0;
    int64_t m_lastWaitNs = 0;
    int64_t m_longestNs = 0;
    int64_t m_longestWallNs = 0;
};

class QuietPrompter : public Prompter {
public:
    void inform(QWidget*, const QString&, const QString&) override {}
    void warn(QWidget*, const QString&, const QString&) override {}
    bool ask(QWidget*, const QString&, const QString&) override { return false; }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
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
            line.comPort = ptyPath;
            settings.writePortAndAddress(line, 23);
        }
        ComPortControl port;
        EventLoopWaiter waiter;
        QuietPrompter prompter;
        MainWindow frm({builtIn(), port, waiter, prompter, folder.path(),
                        folder.filePath(QStringLiteral("user")), folder.path()});
        frm.show();
        frm.onActivated();
        TransactionDialog& window = frm.transactionDialog();
        QObject::connect(&window, &TransactionDialog::tickDone, &window, [&window] {
            if (window.m_okButton->isEnabled())
                QTimer::singleShot(0, window.m_okButton, &QPushButton::click);
        });
        auto* tree = frm.findChild<QTreeWidget*>(QStringLiteral("TreeView1"));
        for (QTreeWidgetItemIterator it(tree); *it; ++it) {
            if (DeviceTree::nodeCodeOf(*it) == 612)
                tree->setCurrentItem(*it);
        }
        EventLoopBlockMeter meter;
        frm.onTreeNodeDoubleClicked();
        if (frm.log().lineCount() == 0) {
            state.SkipWithError("nothing was read");
            return;
        }
        state.counters["longest block ms"] = meter.longestBlockMs();
        state.counters["with run-queue waits ms"] = meter.longestWallGapMs();
        sim.terminate();
        sim.waitForFinished(5000);
    }
}
BENCHMARK(BM_LongestEventLoopBlockDuringFaultyRun)
    ->DenseRange(0, std::size(kFaults) - 1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace
