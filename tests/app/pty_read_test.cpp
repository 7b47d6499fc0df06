// The program's own parts end to end: the serial port object on a
// pseudo-terminal served by ql-rs485-sim, the event-loop waiter and real
// timers, read from the tree.
#include "app_test_support.h"

#include "app/com_port_control.h"
#include "app/wait_echo_frm.h"
#include "protocol/event_loop_waiter.h"
#include "serial/com_port.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>

class PtyReadTest : public QObject {
    Q_OBJECT
private slots:
    void ReadsKind612FromTheSimulatorOverAPseudoTerminal();
};

void PtyReadTest::ReadsKind612FromTheSimulatorOverAPseudoTerminal()
{
    QProcess sim;
    struct StopSim {
        QProcess& process;
        ~StopSim()
        {
            process.terminate();
            process.waitForFinished(5000);
        }
    } stopSim{sim};
    sim.start(QStringLiteral(QL_BIN_DIR "/ql-rs485-sim"), {"--type", "6", "--records", "10", "--addr", "23"});
    QVERIFY2(sim.waitForStarted(), "ql-rs485-sim did not start");
    QVERIFY(sim.waitForReadyRead(10000));
    const QString first = QString::fromUtf8(sim.readLine()).trimmed();
    QVERIFY2(first.startsWith(QStringLiteral("PTY ")), qPrintable(first));
    const QString ptyPath = first.mid(4);

    QTemporaryDir folder;
    // The shipped protocol workbook in the program folder's Excel/.
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("Excel")));
    QVERIFY(QFile::copy(QStringLiteral(QL_SOURCE_DIR "/resources/Excel/VarnelModbus.xls"),
                        folder.filePath(QStringLiteral("Excel/VarnelModbus.xls"))));
    TComPort comPort1;
    comPort1.SetPort(ptyPath);
    ComPortControl port(comPort1);
    EventLoopWaiter waiter;
    ScriptedPrompter prompts;
    {
        // The settings file points the program at the pseudo-terminal.
        SettingsFile settings(folder.path(), folder.filePath(QStringLiteral("user")));
        PortSettings line;
        line.ComPort = ptyPath;
        QVERIFY(settings.WritePortAndAddress(line, 23) == SettingsFile::WriteResult::ProgramFolder);
    }
    TMainFrm frm(
        {port, waiter, prompts, folder.path(), folder.filePath(QStringLiteral("user")), folder.path()});
    frm.show();
    // Kind 51 set up from the workbook: "序号" and its field columns.
    QVERIFY(frm.Records().ColumnCount() > 1);
    frm.FormActivate();
    QVERIFY(comPort1.Connected());
    QCOMPARE(frm.StatusText(0), QStringLiteral("串口状态：") + ptyPath);

    RunFinisher finisher(frm);
    // An operator's comma-decimal locale changes no number the table shows.
    const CommaDecimalLocale comma;
    QVERIFY2(comma.Active(), "locale de_DE.UTF-8 missing (scripts/test generates it)");
    frm.TreeView1->setCurrentItem(FindNode(frm, 612));
    frm.TreeView1DblClick();
    QCOMPARE(finisher.Runs, 1);
    QCOMPARE(frm.Records().RowCount(), 10);
    QCOMPARE(frm.ListView1->model()->index(0, 2).data().toString(), QStringLiteral("10500.5678"));
    QCOMPARE(finisher.EndStatus, QStringLiteral("处理完成"));
    const QStringList log = LogLines(frm);
    QCOMPARE(log.value(0), QStringLiteral("===========Corvex 实时记录500组==========="));
    QCOMPARE(log.filter(QStringLiteral("【接收】17 65 ")).size(), 3);
    QCOMPARE(prompts.Shown.size(), 0);
}

QTEST_MAIN(PtyReadTest)
#include "pty_read_test.moc"
