// The program's own parts end to end: the serial port object on a
// pseudo-terminal served by ql-rs485-sim, the event-loop waiter and real
// timers: a read from the tree, a line lost while idle, "取消" followed at once
// by another read, and the one port shared by the main and parameter windows.
#include "app_test_support.h"

#include "app/param_window.h"
#include "app/transaction_dialog.h"
#include "serial/com_port_error.h"

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

namespace {

const QString kPortBusy = QStringLiteral("串口正在通信，请等当前的读取结束后再试！");
const QString kType6ParamBanner = QStringLiteral("=================Corvex智能体积修正仪=================");

QStringList promptTexts(const ScriptedPrompter& prompts)
{
    QStringList texts;
    for (const ShownPrompt& shown : prompts.shown)
        texts << shown.text;
    return texts;
}

QAction* recordMenuAction(MainWindow& frm, const char* name)
{
    return child<QMenu>(frm, "PopupMenu1")->findChild<QAction*>(QString::fromLatin1(name));
}

// The parameter window shown in advanced mode on the Corvex type.
void showType6Params(MainWindow& frm)
{
    frm.onReadRealtimeTriggered();
    frm.paramWindow().onModeClicked();
    frm.paramWindow().setItemIndex(frm.paramWindow().selectorIndexOf(6));
}

} // namespace

class PtyReadTest : public QObject {
    Q_OBJECT
private slots:
    void ReadsKind612FromTheSimulatorOverAPseudoTerminal();
    void LineLostWhileIdleShowsClosedOnceAndOpensAgain();
    void ReadStartedRightAfterCancelRuns();
    void OneExchangeOwnsThePort_data();
    void OneExchangeOwnsThePort();
    void OpeningFailureNamesThePortAndWhy_data();
    void OpeningFailureNamesThePortAndWhy();
    void IdentificationShowsCancelAndTellsAnEchoApart();
};

void PtyReadTest::ReadsKind612FromTheSimulatorOverAPseudoTerminal()
{
    SimProcess sim;
    const QString ptyPath = sim.start({"--type", "6", "--records", "10", "--addr", "23"});
    QVERIFY(!ptyPath.isEmpty());
    PtyWindowRig rig(ptyPath);
    MainWindow& frm = *rig.mainWindow;
    frm.show();
    // Kind 51 set up from the workbook: "序号" and its field columns.
    QVERIFY(frm.records().columnCount() > 1);
    frm.onActivated();
    QVERIFY(rig.port.connected());
    QCOMPARE(frm.statusText(0), QStringLiteral("串口状态：") + ptyPath);

    RunFinisher finisher(frm);
    // An operator's comma-decimal locale changes no number the table shows.
    const CommaDecimalLocale comma;
    QVERIFY2(comma.active(), "locale de_DE.UTF-8 missing (scripts/test generates it)");
    child<QTreeWidget>(frm, "TreeView1")->setCurrentItem(findNode(frm, 612));
    frm.onTreeNodeDoubleClicked();
    QCOMPARE(finisher.runs, 1);
    QCOMPARE(frm.records().rowCount(), 10);
    QCOMPARE(child<QTableView>(frm, "ListView1")->model()->index(0, 2).data().toString(),
             QStringLiteral("10500.5678"));
    QCOMPARE(finisher.endStatus, QStringLiteral("处理完成"));
    const QStringList log = shownLogLines(frm);
    QCOMPARE(log.value(0), QStringLiteral("===========Corvex 实时记录500组==========="));
    QCOMPARE(log.filter(QStringLiteral("【接收】17 65 ")).size(), 3);
    QCOMPARE(rig.prompts.shown.size(), 0);
}

// The simulator ending closes the far side of the pseudo-terminal, as an
// unplugged adapter does; a second simulator at the same link name is the
// device coming back.
void PtyReadTest::LineLostWhileIdleShowsClosedOnceAndOpensAgain()
{
    QTemporaryDir linkDir;
    const QString link = linkDir.filePath(QStringLiteral("meter"));
    const QStringList simArgs = {"--type", "6", "--records", "5", "--addr", "23", "--link", link};
    SimProcess sim;
    QVERIFY(!sim.start(simArgs).isEmpty());
    PtyWindowRig rig(link);
    MainWindow& frm = *rig.mainWindow;
    rig.showAndActivate();
    QCOMPARE(child<QToolButton>(frm, "TBtnOpen")->text(), QStringLiteral("关闭串口"));

    sim.stop();
    QTRY_COMPARE(child<QToolButton>(frm, "TBtnOpen")->text(), QStringLiteral("打开串口"));
    QCOMPARE(frm.statusText(0), QStringLiteral("串口状态：已关闭"));
    QVERIFY(child<QToolButton>(frm, "RS485Btn")->isEnabled());
    QVERIFY(!child<QAction>(frm, "acSend")->isEnabled());
    QVERIFY(!recordMenuAction(frm, "N15")->isEnabled());
    QTest::qWait(300);
    QCOMPARE(rig.prompts.shown.size(), 1);
    QCOMPARE(rig.prompts.shown[0].kind, QStringLiteral("warn"));
    // Our words first, then why, in Chinese too.
    const QStringList lostLines = rig.prompts.shown[0].text.split(u'\n');
    QCOMPARE(lostLines.size(), 2);
    QCOMPARE(lostLines[0], QStringLiteral("串口连接已断开，请检查！"));
    QVERIFY2(lostLines[1] == QStringLiteral("设备已断开（适配器被拔出或对端关闭了线路）") ||
                 lostLines[1] == QStringLiteral("输入/输出错误"),
             qPrintable(lostLines[1]));

    // Reads tried now are refused and nothing goes out.
    const QString portClosed = QStringLiteral("串口未打开，请打开串口再读取数据！");
    child<QTreeWidget>(frm, "TreeView1")->setCurrentItem(findNode(frm, 612));
    frm.onTreeNodeDoubleClicked();
    frm.onRecordKindChosen(recordMenuAction(frm, "N15"));
    QCOMPARE(promptTexts(rig.prompts).mid(1), QStringList({portClosed, portClosed}));
    QVERIFY(shownLogLines(frm).isEmpty());

    QVERIFY(!sim.start(simArgs).isEmpty());
    child<QAction>(frm, "acOpen")->trigger();
    QCOMPARE(child<QToolButton>(frm, "TBtnOpen")->text(), QStringLiteral("关闭串口"));
    RunFinisher finisher(frm);
    frm.onTreeNodeDoubleClicked();
    QCOMPARE(frm.records().rowCount(), 5);
    QCOMPARE(rig.prompts.shown.size(), 3);

    // A port failure inside a parameter read reaches the main window the same
    // way. The simulator ends without events being handled, so the read is the
    // first to meet the loss.
    showType6Params(frm);
    sim.stop();
    frm.paramWindow().onReadClicked();
    QCOMPARE(child<QToolButton>(frm, "TBtnOpen")->text(), QStringLiteral("打开串口"));
    QTest::qWait(300);
    QCOMPARE(rig.prompts.shown.size(), 4);
    QCOMPARE(rig.prompts.shown[3].kind, QStringLiteral("warn"));
    QCOMPARE(rig.prompts.shown[3].caption, QStringLiteral("警告信息"));
    QVERIFY2(rig.prompts.shown[3].text.startsWith(lostLines[0] + u'\n') &&
                 !rig.prompts.shown[3].text.contains(QStringLiteral("function failed")),
             qPrintable(rig.prompts.shown[3].text));
    frm.paramWindow().hide();
}

// "取消" in the pause between two blocks, then a new read 50 ms later: the
// operator's quickest second click.
void PtyReadTest::ReadStartedRightAfterCancelRuns()
{
    SimProcess sim;
    const QString ptyPath = sim.start({"--type", "6", "--records", "10", "--addr", "23"});
    QVERIFY(!ptyPath.isEmpty());
    PtyWindowRig rig(ptyPath);
    MainWindow& frm = *rig.mainWindow;
    rig.showAndActivate();

    RunFinisher finisher(frm);
    bool firstReturned = false;
    // 100 ms into the 1200 ms pause after the first block.
    QObject::connect(&frm.transactionDialog(), &TransactionDialog::tickDone, &frm, [&] {
        if (finisher.ticks != 1)
            return;
        QTimer::singleShot(100, frm.transactionDialog().m_cancelButton, [&] {
            frm.transactionDialog().m_cancelButton->click();
            QTimer::singleShot(50, &frm, [&] {
                rig.prompts.answers << true;
                frm.onTreeNodeDoubleClicked();
            });
        });
    });
    child<QTreeWidget>(frm, "TreeView1")->setCurrentItem(findNode(frm, 612));
    frm.onTreeNodeDoubleClicked();
    firstReturned = true;
    QTRY_COMPARE(finisher.runs, 2);
    QTRY_COMPARE(finisher.endStatus, QStringLiteral("处理完成"));
    QVERIFY(firstReturned);
    QCOMPARE(frm.records().rowCount(), 10);
    QCOMPARE(rig.prompts.unanswered, 0);
}

void PtyReadTest::OneExchangeOwnsThePort_data()
{
    // The first exchange starts; the second action comes at the first event
    // handled inside it.
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QStringList>("prompts");

    const QString paramsRead = QStringLiteral("读取仪表参数成功！");
    QTest::newRow("PeriodicTickDuringIdentificationIsSkipped") << "menu"
                                                               << "tick" << QStringList();
    QTest::newRow("ParamReadDuringIdentificationIsRefused") << "menu"
                                                            << "param" << QStringList({kPortBusy});
    QTest::newRow("IdentificationDuringParamReadIsRefused") << "param"
                                                            << "menu" << QStringList({kPortBusy, paramsRead});
    QTest::newRow("ReadAllDuringPeriodicTickIsRefused") << "tick"
                                                        << "send" << QStringList({kPortBusy});
}

void PtyReadTest::OneExchangeOwnsThePort()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QStringList, prompts);

    SimProcess sim;
    const QString ptyPath = sim.start({"--type", "6", "--records", "3", "--addr", "23"});
    QVERIFY(!ptyPath.isEmpty());
    PtyWindowRig rig(ptyPath);
    MainWindow& frm = *rig.mainWindow;
    rig.showAndActivate();
    showType6Params(frm);
    RunFinisher finisher(frm);

    const auto act = [&](const QString& action) {
        if (action == QLatin1String("menu"))
            frm.onRecordKindChosen(recordMenuAction(frm, "N15"));
        else if (action == QLatin1String("send"))
            frm.onReadAllTriggered();
        else if (action == QLatin1String("param"))
            frm.paramWindow().onReadClicked();
        else
            frm.paramWindow().onTick();
    };
    QTimer::singleShot(0, &frm, [&] { act(second); });
    act(first);
    QTest::qWait(50);

    QCOMPARE(promptTexts(rig.prompts), prompts);
    const QStringList log = shownLogLines(frm);
    // The identification's probe of this type carries the parameter read's
    // banner too: either way it is there once.
    QCOMPARE(log.count(kType6ParamBanner), 1);
    if (first == QLatin1String("menu")) {
        QCOMPARE(finisher.runs, 1);
        QCOMPARE(frm.records().rowCount(), 3);
    } else {
        QCOMPARE(finisher.runs, 0);
        QCOMPARE(log.first(), kType6ParamBanner);
        QCOMPARE(log.filter(QStringLiteral("【发送】")).size(), 1);
    }
    frm.paramWindow().hide();
}

QTEST_MAIN(PtyReadTest)
#include "pty_read_test.moc"

void PtyReadTest::OpeningFailureNamesThePortAndWhy_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("detail");
    QTest::newRow("MissingDevice") << QStringLiteral("/dev/ql-no-such-port")
                                   << QStringLiteral("/dev/ql-no-such-port：设备不存在");
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 refused = probe.serverPort();
    probe.close();
    QTest::newRow("RefusedServer") << QStringLiteral("tcp://127.0.0.1:%1").arg(refused)
                                   << QStringLiteral("无法连接 127.0.0.1:%1（连接被拒绝）").arg(refused);
}

void PtyReadTest::OpeningFailureNamesThePortAndWhy()
{
    QFETCH(QString, port);
    QFETCH(QString, detail);
    PtyWindowRig rig(port);
    rig.showAndActivate();
    QCOMPARE(promptTexts(rig.prompts),
             QStringList{QStringLiteral("串口打开失败或被占用，请检查\n") + detail});
    QCOMPARE(rig.mainWindow->statusText(0), QStringLiteral("串口状态：已关闭"));
    QCOMPARE(child<QToolButton>(*rig.mainWindow, "TBtnOpen")->text(), QStringLiteral("打开串口"));
}

// Identification before a read from the record menu shows "取消"; fast reading
// applies to it; replies that begin with their request are named as an echo.
void PtyReadTest::IdentificationShowsCancelAndTellsAnEchoApart()
{
    SimProcess sim;
    const QString ptyPath = sim.start({"--type", "6", "--records", "3", "--addr", "23", "--echo"});
    QVERIFY(!ptyPath.isEmpty());
    PtyWindowRig rig(ptyPath);
    MainWindow& frm = *rig.mainWindow;
    rig.showAndActivate();
    QCOMPARE(child<QToolButton>(frm, "TBtnOpen")->text(), QStringLiteral("关闭串口"));

    // Paced, cancelled as soon as the dialog is up, wherever an identification
    // starts: the first probe is the last, and nothing is asked or read after.
    const std::pair<const char*, std::function<void()>> starts[] = {
        {"record menu", [&] { frm.onRecordKindChosen(recordMenuAction(frm, "N15")); }},
        {"读取全部记录", [&] { child<QAction>(frm, "acSend")->trigger(); }},
        {"备份全部记录", [&] { child<QAction>(frm, "acBackup")->trigger(); }},
    };
    for (const auto& [name, start] : starts) {
        frm.log().clear();
        bool dialogSeen = false;
        QTimer::singleShot(300, &frm, [&] {
            auto* progress = frm.findChild<QProgressDialog*>(QStringLiteral("IdentifyProgress"));
            dialogSeen = progress && progress->isVisible() &&
                         progress->labelText() == QStringLiteral("正在识别流量计……");
            if (progress)
                progress->cancel();
        });
        start();
        QVERIFY2(dialogSeen, name);
        QVERIFY2(rig.prompts.shown.isEmpty(), name);
        QVERIFY2(shownLogLines(frm).filter(QStringLiteral("=================")).size() <= 1, name);
    }

    // Fast: each probe frame goes out once and ends when its reply has come,
    // and no meter answers without echo removal.
    const QString echoHint =
        QStringLiteral("\n应答以请求开头：适配器回送了发出的字节，请在\"串口设置\"中勾选\"去除回显\"。");
    child<QAction>(frm, "acFastRead")->setChecked(true);
    for (const auto& [name, start] : starts) {
        frm.log().clear();
        start();
        const QStringList sent = shownLogLines(frm).filter(QStringLiteral("【发送】"));
        QVERIFY2(!sent.isEmpty() && QSet<QString>(sent.begin(), sent.end()).size() == sent.size(), name);
    }
    QCOMPARE(promptTexts(rig.prompts), QStringList(3, QStringLiteral("没有你要读的流量计信息！") + echoHint));

    // A record read fails the same way: its failed block is told with the cure.
    RunFinisher finisher(frm);
    child<QTreeWidget>(frm, "TreeView1")->setCurrentItem(findNode(frm, 612));
    frm.onTreeNodeDoubleClicked();
    QCOMPARE(finisher.endStatus, QStringLiteral("读取第1条数据失败!"));
    QCOMPARE(promptTexts(rig.prompts).value(3), QStringLiteral("读取第1条数据失败!") + echoHint);
}
