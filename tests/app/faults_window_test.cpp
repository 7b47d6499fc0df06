// The main window reading from ql-rs485-sim over a pseudo-terminal while the
// meter misbehaves, with the real serial port, event-loop waiter and timers.
// Every run must end with the rows decoded before the fault kept, and the event
// loop must keep turning while the run waits. How long it is held up at most is
// a timing, measured by ql-bench-gui.
#include "app_test_support.h"

#include <QTest>
#include <QTimer>
#include <QTreeWidget>

class FaultsWindowTest : public QObject {
    Q_OBJECT
private slots:
    void RunEndsAndEventsFlow_data();
    void RunEndsAndEventsFlow();
};

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
#ifdef _WIN32
    QSKIP("the simulated meter serves a pseudo-terminal, which Windows lacks");
#endif
    QFETCH(QString, fault);
    QFETCH(int, rows);
    QFETCH(QString, status);

    SimProcess sim;
    const QString ptyPath =
        sim.start({"--type", "6", "--records", "20", "--addr", "23", "--line-rate", "--fault", fault});
    QVERIFY(!ptyPath.isEmpty());
    PtyWindowRig rig(ptyPath);
    MainWindow& frm = *rig.mainWindow;
    rig.showAndActivate();
    QVERIFY(rig.port.connected());

    RunFinisher finisher(frm);
    child<QTreeWidget>(frm, "TreeView1")->setCurrentItem(findNode(frm, 612));
    // Counts the turns of any event loop of the thread, nested ones included.
    int turns = 0;
    QTimer turnCounter;
    turnCounter.setInterval(1);
    QObject::connect(&turnCounter, &QTimer::timeout, [&turns] { ++turns; });
    turnCounter.start();
    // Returns once the run has ended and "完成" was pressed: the proof that it ended.
    frm.onTreeNodeDoubleClicked();
    turnCounter.stop();

    QCOMPARE(finisher.runs, 1);
    if (rows >= 0) {
        QCOMPARE(frm.records().rowCount(), rows);
        QCOMPARE(finisher.endStatus, status);
    }
    if (status.startsWith(QStringLiteral("读取第")))
        QCOMPARE(shownLogLines(frm).filter(status).size(), 1);
    // Each tick waits its poll interval in an event loop first, so however busy
    // the machine, the timer got at least one turn per tick.
    QVERIFY2(turns >= finisher.ticks,
             qPrintable(QStringLiteral("%1 turns, %2 ticks").arg(turns).arg(finisher.ticks)));
}

QTEST_MAIN(FaultsWindowTest)
#include "faults_window_test.moc"
