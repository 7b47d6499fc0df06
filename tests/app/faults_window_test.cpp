// The main window reading from ql-rs485-sim over a pseudo-terminal while the
// meter misbehaves, with the real serial port, event-loop waiter and timers.
// Every run must end with the rows decoded before the fault kept, and the event
// loop must never be held up for long: a 1 ms timer measures the longest time
// the user-interface thread went without serving its events, not counting time
// the system kept it waiting for a processor (the machine may be busy).
#include "app_test_support.h"

#include "app/com_port_control.h"
#include "app/wait_echo_frm.h"
#include "protocol/event_loop_waiter.h"
#include "serial/com_port.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

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

// The longest stretch between two consecutive 1 ms timer events, in any event
// loop of the thread (nested ones included), minus the run-queue waits of the
// process's threads in it.
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

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// A 25 ms block is what the operator would notice; the same code under ASan and
// UBSan runs two to three times slower, so the bound scales with it there.
constexpr double kLongestAllowedBlockMs = kSanitized ? 3 * 25 : 25;

} // namespace

class FaultsWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void RunEndsAndEventsFlow_data();
    void RunEndsAndEventsFlow();
};

// The first showing of the windows loads fonts and builds caches once per
// process; that is start-up, not a run, so it happens before any measurement.
void FaultsWindowTest::initTestCase()
{
    QTemporaryDir folder;
    TComPort comPort1;
    ComPortControl port(comPort1);
    EventLoopWaiter waiter;
    ScriptedPrompter prompts;
    TMainFrm frm(
        {port, waiter, prompts, folder.path(), folder.filePath(QStringLiteral("user")), folder.path()});
    frm.show();
    frm.WaitEcho().show();
    QTest::qWait(50);
    frm.WaitEcho().hide();
}

void FaultsWindowTest::RunEndsAndEventsFlow_data()
{
    QTest::addColumn<QString>("fault");
    // Rows kept when the run ends; -1 where the paced run's outcome is not the
    // point (it takes a reply whatever its address byte).
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("status");

    const QString failedFirst = QStringLiteral("读取第1条数据失败!");
    // 20 records, five per block: blocks 1 to 4 hold them all, block 5 is blank.
    QTest::newRow("Silence") << "silence" << 0 << failedFirst;
    QTest::newRow("GarbageBefore") << "garbage-before" << 0 << failedFirst;
    QTest::newRow("GarbageAfter") << "garbage-after" << 0 << failedFirst;
    QTest::newRow("SplitWithGaps") << "split" << 20 << QStringLiteral("处理完成");
    QTest::newRow("OtherAddress") << "other-address" << -1 << QString();
    QTest::newRow("Endless") << "endless" << 0 << failedFirst;
    QTest::newRow("Oversize") << "oversize" << 0 << failedFirst;
    QTest::newRow("ClosedAfterTwoBlocks") << "close-after=2" << 10 << QStringLiteral("读取第3条数据失败!");
}

void FaultsWindowTest::RunEndsAndEventsFlow()
{
    QFETCH(QString, fault);
    QFETCH(int, rows);
    QFETCH(QString, status);

    QProcess sim;
    sim.start(QStringLiteral(QL_BIN_DIR "/ql-rs485-sim"),
              {"--type", "6", "--records", "20", "--addr", "23", "--line-rate", "--fault", fault});
    QVERIFY2(sim.waitForStarted(), "ql-rs485-sim did not start");
    QVERIFY(sim.waitForReadyRead(10000));
    const QString first = QString::fromUtf8(sim.readLine()).trimmed();
    QVERIFY2(first.startsWith(QStringLiteral("PTY ")), qPrintable(first));
    const QString ptyPath = first.mid(4);

    QTemporaryDir folder;
    TComPort comPort1;
    comPort1.SetPort(ptyPath);
    ComPortControl port(comPort1);
    EventLoopWaiter waiter;
    ScriptedPrompter prompts;
    {
        SettingsFile settings(folder.path(), folder.filePath(QStringLiteral("user")));
        PortSettings line;
        line.ComPort = ptyPath;
        QVERIFY(settings.WritePortAndAddress(line, 23) == SettingsFile::WriteResult::ProgramFolder);
    }
    TMainFrm frm(
        {port, waiter, prompts, folder.path(), folder.filePath(QStringLiteral("user")), folder.path()});
    frm.show();
    frm.FormActivate();
    QVERIFY(comPort1.Connected());

    RunFinisher finisher(frm);
    frm.TreeView1->setCurrentItem(FindNode(frm, 612));
    EventLoopBlockMeter meter;
    // Returns once the run has ended and "完成" was pressed: the proof that it ended.
    frm.TreeView1DblClick();
    const double longestBlockMs = meter.LongestBlockMs();

    QCOMPARE(finisher.Runs, 1);
    if (rows >= 0) {
        QCOMPARE(frm.Records().RowCount(), rows);
        QCOMPARE(finisher.EndStatus, status);
    }
    if (status.startsWith(QStringLiteral("读取第")))
        QCOMPARE(LogLines(frm).filter(status).size(), 1);
    qInfo("%s: longest event-loop block %.1f ms (%.1f ms with run-queue waits)", qPrintable(fault),
          longestBlockMs, meter.LongestWallGapMs());
    QVERIFY2(longestBlockMs < kLongestAllowedBlockMs, qPrintable(QString::number(longestBlockMs)));

    // close-after=N ends the simulator by itself.
    if (sim.state() != QProcess::NotRunning) {
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
    }
}

QTEST_MAIN(FaultsWindowTest)
#include "faults_window_test.moc"
