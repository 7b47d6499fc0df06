// Reads started from the tree, the record-type menu and "读取全部记录", against
// the simulated meter on a virtual clock, with every question answered by script.
#include "app_test_support.h"

#include "app/address_dialog.h"
#include "app/param_window.h"
#include "app/transaction_dialog.h"
#include "catalogue/catalogue.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>

namespace {

SimConfig meter(int deviceType, int records = 20)
{
    SimConfig config;
    config.deviceType = deviceType;
    config.address = 23;
    config.records = records;
    return config;
}

// Double-clicks the node as the operator would: the press selects it first.
void doubleClickNode(MainWindow& frm, int code)
{
    QTreeWidgetItem* node = findNode(frm, code);
    QVERIFY(node);
    if (node->parent())
        node->parent()->setExpanded(true);
    child<QTreeWidget>(frm, "TreeView1")->scrollToItem(node);
    const QPoint at = child<QTreeWidget>(frm, "TreeView1")->visualItemRect(node).center();
    QTest::mouseClick(child<QTreeWidget>(frm, "TreeView1")->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(child<QTreeWidget>(frm, "TreeView1")->viewport(), Qt::LeftButton, {}, at);
}

QStringList captions(const RecordTable& table)
{
    QStringList captions;
    for (const TableColumn& column : table.columns())
        captions << QString::fromStdString(column.caption);
    return captions;
}

} // namespace

class MainWindowReadTest : public QObject {
    Q_OBJECT
private slots:
    void StartsWithSixDeviceTypesAndTheStartUpState();
    void DoubleClickReadsAKindIntoTheTable();
    void ChangingKindWithRowsAsksAndNoKeepsEverything();
    void ChangingKindWithRowsAndYesReadsTheNewKindFromBlockOne();
    void DoubleClickOnRowsAsksBeforeOverwriting();
    void DeviceTypeNodeDoesNothing();
    void RecordMenuOnUnidentifiedMeterStartsNothing();
    void ReadsTheChosenKindAtItsPollInterval_data();
    void ReadsTheChosenKindAtItsPollInterval();
    void RecordMenuKindMissingForTheTypeShowsItsMessage();
    void ReadAllFindingType4SaysNoMeterAndReadsNothing();
    void LogPaneToggleTwiceRestoresIt();
    void TypedAddressGoesIntoTheNextRequestAndSurvivesANormalExit();
    void DeleteRecordsAndLogAskFirst();
    void FastReadingReadsWithoutPausesAndIsKeptOnceSwitched();
    void FastReadingAsksTheFoundTypeFirstAndTheParamWindowOpensWithIt();
};

void MainWindowReadTest::StartsWithSixDeviceTypesAndTheStartUpState()
{
    WindowRig rig(meter(6));
    MainWindow& frm = rig.createWindow();
    QCOMPARE(frm.windowTitle(), QStringLiteral("Quellon   RS485通信测试系统"));
    QCOMPARE(child<QTreeWidget>(frm, "TreeView1")->topLevelItemCount(), 6);
    QVERIFY(!findNode(frm, 4));
    QVERIFY(!findNode(frm, 42));
    QVERIFY(findNode(frm, 6)->font(0).bold());
    QVERIFY(!findNode(frm, 612)->font(0).bold());
    QVERIFY(!child<QAction>(frm, "acSend")->isEnabled());
    QVERIFY(!child<QAction>(frm, "acRead")->isEnabled());
    QVERIFY(!frm.portOpenedOnce());
    QVERIFY(frm.treeChangeEnabled());

    frm.show();
    QCOMPARE(frm.statusText(0), QStringLiteral("串口状态：已关闭"));
    QCOMPARE(frm.statusText(1), QStringLiteral("流量计地址：23"));
    QCOMPARE(frm.statusText(2), QString());
    // Shown with kind 51 set up: the shipped protocol workbook is not in the
    // test's folder, so only "序号" is there.
    QCOMPARE(captions(frm.records()).value(0), QStringLiteral("序号"));
    QCOMPARE(rig.prompts.shown.size(), 1);
    QCOMPARE(rig.prompts.shown[0].caption, QStringLiteral("警告信息"));
    // The reader's reason follows the first line, naming the file.
    const QStringList lines = rig.prompts.shown[0].text.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QStringLiteral("Excel打开失败！请确定Excel是否安装，确认后,再重新试一次！"));
    QVERIFY2(lines[1].contains(QStringLiteral("Excel/VarnelModbus.xls：")), qPrintable(lines[1]));
    // The program ends after this message instead of serving the operator.
    QVERIFY(frm.protocolWorkbookFailed());
}

void MainWindowReadTest::DoubleClickReadsAKindIntoTheTable()
{
    WindowRig rig(meter(6));
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    rig.prompts.shown.clear();
    RunFinisher finisher(frm);
    doubleClickNode(frm, 612);

    QCOMPARE(frm.transactionDialog().pollInterval(), 1200);
    QCOMPARE(finisher.runs, 1);
    QCOMPARE(finisher.startCaption, QStringLiteral("正在读取实时记录,请稍后..."));
    QCOMPARE(frm.records().rowCount(), 20);
    QCOMPARE(child<QTableView>(frm, "ListView1")->model()->rowCount(), 20);
    QCOMPARE(captions(frm.records()).value(0), QStringLiteral("序号"));
    QCOMPARE(child<QTableView>(frm, "ListView1")->model()->columnCount(), frm.records().columnCount());
    QCOMPARE(child<QTableView>(frm, "ListView1")->model()->headerData(0, Qt::Horizontal).toString(),
             QStringLiteral("序号"));
    // Blocks 1 to 4 hold the 20 records, block 5 is blank: the run ends there.
    QCOMPARE(finisher.endStatus, QStringLiteral("处理完成"));
    QCOMPARE(finisher.endGauge, 100);
    QCOMPARE(finisher.endGaugeMax, 100);
    QVERIFY(!finisher.endImageVisible);
    const QStringList log = shownLogLines(frm);
    QCOMPARE(log.value(0), QStringLiteral("===========Corvex 实时记录500组==========="));
    QVERIFY(log.value(1).startsWith(QStringLiteral("【发送】17 65 09 0D 00 00 00 00 00 00 00 04 ")));
    QVERIFY(log.value(2).startsWith(QStringLiteral("【接收】17 65 ")));
    QVERIFY(log.value(3).startsWith(QStringLiteral("【发送】17 65 09 0D 00 00 00 05 00 00 00 09 ")));
    QCOMPARE(sentLines(frm).size(), 5);
    frm.flushLog();
    QCOMPARE(child<QPlainTextEdit>(frm, "Memo1")->toPlainText(), log.join(QLatin1Char('\n')));
    QVERIFY(rig.prompts.shown.isEmpty());
}

void MainWindowReadTest::ChangingKindWithRowsAsksAndNoKeepsEverything()
{
    WindowRig rig(meter(6));
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    rig.prompts.shown.clear();
    RunFinisher finisher(frm);
    doubleClickNode(frm, 612);
    const QStringList columns = captions(frm.records());
    const int logLines = frm.log().lineCount();

    rig.prompts.answers = {false};
    child<QTreeWidget>(frm, "TreeView1")->setCurrentItem(findNode(frm, 611));
    QCOMPARE(rig.prompts.shown.size(), 1);
    QCOMPARE(rig.prompts.shown[0].kind, QStringLiteral("ask"));
    QCOMPARE(rig.prompts.shown[0].text,
             QStringLiteral("若选择\"月记录200组\",前一次所读取的记录信息将被删除，是否要继续？"));
    QCOMPARE(rig.prompts.shown[0].caption, QStringLiteral("信息提示"));
    QCOMPARE(frm.records().rowCount(), 20);
    QCOMPARE(captions(frm.records()), columns);
    QCOMPARE(frm.log().lineCount(), logLines);
    QCOMPARE(DeviceTree::nodeCodeOf(frm.selectedNode()), 611);
    QCOMPARE(finisher.runs, 1);
}

void MainWindowReadTest::ChangingKindWithRowsAndYesReadsTheNewKindFromBlockOne()
{
    WindowRig rig(meter(6));
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    RunFinisher finisher(frm);
    doubleClickNode(frm, 612);
    const int logLines = frm.log().lineCount();

    rig.prompts.shown.clear();
    rig.prompts.answers = {true};
    child<QTreeWidget>(frm, "TreeView1")->setCurrentItem(findNode(frm, 611));
    QCOMPARE(rig.prompts.shown.size(), 1);
    QCOMPARE(rig.prompts.unanswered, 0);
    QCOMPARE(finisher.runs, 2);
    const QStringList fresh = shownLogLines(frm).mid(logLines);
    QCOMPARE(fresh.value(0), QStringLiteral("===========Corvex 月记录200组==========="));
    QVERIFY(fresh.value(1).startsWith(QStringLiteral("【发送】17 65 09 0C 00 00 00 00 00 00 00 04 ")));
    QCOMPARE(frm.records().rowCount(), 20);
    QCOMPARE(frm.transactionDialog().pollInterval(), 1200);
}

void MainWindowReadTest::DoubleClickOnRowsAsksBeforeOverwriting()
{
    WindowRig rig(meter(6));
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    RunFinisher finisher(frm);
    doubleClickNode(frm, 612);
    rig.prompts.shown.clear();

    rig.prompts.answers = {false};
    frm.onTreeNodeDoubleClicked();
    QCOMPARE(rig.prompts.shown.size(), 1);
    QCOMPARE(rig.prompts.shown[0].text, QStringLiteral("是否要覆盖原记录信息？"));
    QCOMPARE(rig.prompts.shown[0].caption, QStringLiteral("信息提示"));
    QCOMPARE(finisher.runs, 1);
    QCOMPARE(frm.records().rowCount(), 20);

    const int logLines = frm.log().lineCount();
    rig.prompts.answers = {true};
    frm.onTreeNodeDoubleClicked();
    QCOMPARE(finisher.runs, 2);
    // The old rows went; the table holds the 20 records of the new read only.
    QCOMPARE(frm.records().rowCount(), 20);
    QCOMPARE(shownLogLines(frm).value(logLines),
             QStringLiteral("===========Corvex 实时记录500组==========="));
}

void MainWindowReadTest::DeviceTypeNodeDoesNothing()
{
    WindowRig rig(meter(6));
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    rig.prompts.shown.clear();
    RunFinisher finisher(frm);
    const QStringList columns = captions(frm.records());
    doubleClickNode(frm, 6);
    QCOMPARE(DeviceTree::nodeCodeOf(frm.selectedNode()), 6);
    QCOMPARE(finisher.runs, 0);
    QCOMPARE(frm.log().lineCount(), 0);
    QCOMPARE(captions(frm.records()), columns);
    QVERIFY(rig.prompts.shown.isEmpty());
}

void MainWindowReadTest::RecordMenuOnUnidentifiedMeterStartsNothing()
{
    SimConfig silent = meter(6);
    silent.faults = {"silence"};
    WindowRig rig(silent);
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    rig.prompts.shown.clear();
    RunFinisher finisher(frm);
    const QList<QAction*> items = child<QMenu>(frm, "PopupMenu1")->actions();
    int menuItems = 0;
    for (QAction* item : items) {
        if (item->isSeparator())
            continue;
        ++menuItems;
        frm.log().clear();
        rig.prompts.shown.clear();
        item->trigger();
        QCOMPARE(rig.prompts.shown.size(), 1);
        QCOMPARE(rig.prompts.shown[0].kind, QStringLiteral("inform"));
        QCOMPARE(rig.prompts.shown[0].text, QStringLiteral("没有你要读的流量计信息！"));
        QCOMPARE(rig.prompts.shown[0].caption, QStringLiteral("信息提示"));
        QVERIFY(item->isEnabled());
        // Six probe lines, three sends each, nothing received, no read started.
        QCOMPARE(sentLines(frm).size(), 18);
        QCOMPARE(shownLogLines(frm).filter(QStringLiteral("【接收】")).size(), 0);
        QCOMPARE(shownLogLines(frm).size(), 24);
    }
    // The twenty record-type items and "备份全部记录", which identifies the same way.
    QCOMPARE(menuItems, 21);
    QCOMPARE(finisher.runs, 0);
    QCOMPARE(frm.records().rowCount(), 0);
    QVERIFY(frm.treeChangeEnabled());
    QVERIFY(!QApplication::overrideCursor());
}

void MainWindowReadTest::ReadsTheChosenKindAtItsPollInterval_data()
{
    QTest::addColumn<int>("deviceType");
    QTest::addColumn<QString>("menuItem"); // empty: "读取全部记录"
    QTest::addColumn<int>("node");
    QTest::addColumn<int>("pollMs");
    QTest::addColumn<QString>("typeLogLine");
    QTest::addColumn<bool>("typeLineFirst"); // identification's line opens the log
    QTest::addColumn<QString>("kindLogLine");
    QTest::newRow("record menu, kind 612 on type 6")
        << 6 << QStringLiteral("N15") << 612 << 1200
        << QStringLiteral("=================Corvex智能体积修正仪=================") << false
        << QStringLiteral("===========Corvex 实时记录500组===========");
    QTest::newRow("read all identifies type 1, kind 11")
        << 1 << QString() << 11 << 1000
        << QStringLiteral("===============智能体积修正仪实时记录(ModBus协议)===============") << true
        << QStringLiteral("===========智能体积修正仪(ModBus V1.2)实时记录===========");
}

void MainWindowReadTest::ReadsTheChosenKindAtItsPollInterval()
{
    QFETCH(int, deviceType);
    QFETCH(QString, menuItem);
    QFETCH(int, node);
    QFETCH(int, pollMs);
    QFETCH(QString, typeLogLine);
    QFETCH(bool, typeLineFirst);
    QFETCH(QString, kindLogLine);
    WindowRig rig(meter(deviceType));
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    rig.prompts.shown.clear();
    RunFinisher finisher(frm);
    if (menuItem.isEmpty()) {
        QVERIFY(child<QAction>(frm, "acSend")->isEnabled());
        child<QAction>(frm, "acSend")->trigger();
    } else {
        child<QMenu>(frm, "PopupMenu1")->findChild<QAction*>(menuItem)->trigger();
    }
    QCOMPARE(finisher.runs, 1);
    QCOMPARE(DeviceTree::nodeCodeOf(frm.selectedNode()), node);
    QVERIFY(frm.selectedNode()->parent()->isExpanded());
    QCOMPARE(frm.transactionDialog().pollInterval(), pollMs);
    QCOMPARE(frm.records().rowCount(), 20);
    const QStringList log = shownLogLines(frm);
    if (typeLineFirst)
        QCOMPARE(log.value(0), typeLogLine);
    else
        QVERIFY(log.contains(typeLogLine));
    QVERIFY(log.contains(kindLogLine));
    QVERIFY(rig.prompts.shown.isEmpty());
    QVERIFY(frm.treeChangeEnabled());
}

void MainWindowReadTest::RecordMenuKindMissingForTheTypeShowsItsMessage()
{
    WindowRig rig(meter(6));
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    rig.prompts.shown.clear();
    RunFinisher finisher(frm);
    child<QMenu>(frm, "PopupMenu1")->findChild<QAction*>(QStringLiteral("N41"))->trigger();
    QCOMPARE(rig.prompts.shown.size(), 1);
    QCOMPARE(rig.prompts.shown[0].text, QStringLiteral("该流量计无\"充值记录\"记录类型！"));
    QCOMPARE(rig.prompts.shown[0].caption, QStringLiteral("信息提示"));
    QCOMPARE(finisher.runs, 0);
}

void MainWindowReadTest::ReadAllFindingType4SaysNoMeterAndReadsNothing()
{
    WindowRig rig(meter(4));
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    rig.prompts.shown.clear();
    RunFinisher finisher(frm);
    child<QAction>(frm, "acSend")->trigger();
    QVERIFY(shownLogLines(frm).contains(
        QStringLiteral("===============智能体积修正仪(北京燃总协议)===============")));
    QCOMPARE(rig.prompts.shown.size(), 1);
    QCOMPARE(rig.prompts.shown[0].text, QStringLiteral("没有你要读的流量计信息！"));
    QCOMPARE(finisher.runs, 0);
    QVERIFY(frm.treeChangeEnabled());
}

void MainWindowReadTest::LogPaneToggleTwiceRestoresIt()
{
    WindowRig rig(meter(6));
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    child<QAction>(frm, "acWin")->trigger();
    QCOMPARE(child<QAction>(frm, "acWin")->text(), QStringLiteral("显示日志窗口"));
    QVERIFY(child<QAction>(frm, "acWin")->isChecked());
    QVERIFY(!child<QWidget>(frm, "pnlBottom")->isVisible());
    child<QAction>(frm, "acWin")->trigger();
    QCOMPARE(child<QAction>(frm, "acWin")->text(), QStringLiteral("隐藏日志窗口"));
    QVERIFY(!child<QAction>(frm, "acWin")->isChecked());
    QVERIFY(child<QWidget>(frm, "pnlBottom")->isVisible());

    child<QAction>(frm, "acCapWin")->trigger();
    QCOMPARE(child<QAction>(frm, "acCapWin")->text(), QStringLiteral("显示标题窗口"));
    QVERIFY(!child<QWidget>(frm, "pnlLeft")->isVisible());
    child<QAction>(frm, "acCapWin")->trigger();
    QCOMPARE(child<QAction>(frm, "acCapWin")->text(), QStringLiteral("隐藏标题窗口"));
    QVERIFY(child<QWidget>(frm, "pnlLeft")->isVisible());
}

void MainWindowReadTest::TypedAddressGoesIntoTheNextRequestAndSurvivesANormalExit()
{
    SimConfig config = meter(6);
    config.address = 5;
    WindowRig rig(config);
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    rig.prompts.shown.clear();
    onNextModal([](QWidget* dialog) {
        auto* addr = qobject_cast<AddressDialog*>(dialog);
        QVERIFY(addr);
        QCOMPARE(addr->windowTitle(), QStringLiteral("流量计地址设置"));
        QCOMPARE(addr->m_addressSpin->value(), 23);
        QCOMPARE(addr->m_addressSpin->minimum(), 1);
        QCOMPARE(addr->m_addressSpin->maximum(), 247);
        addr->m_addressSpin->setValue(5);
        addr->accept();
    });
    child<QAction>(frm, "acAddr")->trigger();
    QCOMPARE(frm.address(), 5);
    QCOMPARE(frm.statusText(1), QStringLiteral("流量计地址：5"));
    // Saved at once: a window that is killed keeps the change.
    QCOMPARE(SettingsFile(rig.folder.path(), QString()).readAddress(), 5);

    RunFinisher finisher(frm);
    doubleClickNode(frm, 612);
    QVERIFY(sentLines(frm).value(0).startsWith(QStringLiteral("【发送】05 65 09 0D ")));
    QCOMPARE(frm.records().rowCount(), 20);

    rig.destroyWindow();
    MainWindow& again = rig.createWindow();
    QCOMPARE(again.address(), 5);
}

void MainWindowReadTest::FastReadingReadsWithoutPausesAndIsKeptOnceSwitched()
{
    WindowRig rig(meter(6));
    const QString settingsPath = rig.folder.filePath(QStringLiteral("QL_EVC.ini"));
    MainWindow& frm = rig.createWindow();
    QVERIFY(!child<QAction>(frm, "acFastRead")->isChecked());
    QVERIFY(child<QMenu>(frm, "TreePopup")->actions().contains(child<QAction>(frm, "acFastRead")));
    QMenu* operation = frm.menuBar()->actions().value(2)->menu();
    QCOMPARE(operation->title(), QStringLiteral("操作(&O)"));
    QVERIFY(operation->actions().contains(child<QAction>(frm, "acFastRead")));
    // A normal exit without touching the item leaves the key out of the file.
    rig.destroyWindow();
    QFile written(settingsPath);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(!written.readAll().contains("[Read]"));
    written.close();

    MainWindow& fast = rig.createWindow();
    rig.showAndActivate();
    child<QAction>(fast, "acFastRead")->trigger();
    QVERIFY(child<QAction>(fast, "acFastRead")->isChecked());
    RunFinisher finisher(fast);
    const int64_t start = rig.clock.nowMs();
    doubleClickNode(fast, 612);
    QCOMPARE(finisher.startCaption, QStringLiteral("正在读取实时记录,请稍后...（快速）"));
    QCOMPARE(fast.records().rowCount(), 20);
    QCOMPARE(finisher.endStatus, QStringLiteral("处理完成"));
    // Five exchanges; paced, each would wait a 1200 ms poll interval first.
    QVERIFY(rig.clock.nowMs() - start < 1200);

    rig.destroyWindow();
    QVERIFY(child<QAction>(rig.createWindow(), "acFastRead")->isChecked());
    child<QAction>(*rig.mainWindow, "acFastRead")->trigger();
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll().contains("[Read]\r\nFast=0"));
}

void MainWindowReadTest::FastReadingAsksTheFoundTypeFirstAndTheParamWindowOpensWithIt()
{
    WindowRig rig(meter(6));
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    child<QAction>(frm, "acFastRead")->trigger();
    RunFinisher finisher(frm);
    const auto sentLines = [&frm] { return shownLogLines(frm).filter(QStringLiteral("【发送】")); };
    child<QMenu>(frm, "PopupMenu1")->findChild<QAction*>(QStringLiteral("N15"))->trigger();
    const QStringList cold = sentLines();
    frm.log().clear();
    frm.records().clearRows();
    child<QMenu>(frm, "PopupMenu1")->findChild<QAction*>(QStringLiteral("N15"))->trigger();
    QCOMPARE(finisher.runs, 2);
    // Types 5, 2, 1 and 3 are not asked again: the read starts at type 6's probe.
    const QStringList known = sentLines();
    const qsizetype type6Probe = cold.indexOf(known.value(0));
    QVERIFY(type6Probe > 0);
    QCOMPARE(known, cold.mid(type6Probe));

    child<QAction>(frm, "acReadParam")->trigger();
    ParamWindow& params = frm.paramWindow();
    QCOMPARE(params.itemIndex(), params.selectorIndexOf(6));
    QVERIFY(params.panelOf(6)->isVisible());
    params.hide();
}

void MainWindowReadTest::DeleteRecordsAndLogAskFirst()
{
    WindowRig rig(meter(6));
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    rig.prompts.shown.clear();
    // Nothing there: no questions.
    child<QAction>(frm, "acDelLog")->trigger();
    child<QAction>(frm, "acDelRec")->trigger();
    QVERIFY(rig.prompts.shown.isEmpty());

    RunFinisher finisher(frm);
    doubleClickNode(frm, 612);
    const int columns = frm.records().columnCount();
    rig.prompts.answers = {false, true, false, true};
    child<QAction>(frm, "acDelRec")->trigger();
    QCOMPARE(frm.records().rowCount(), 20);
    child<QAction>(frm, "acDelRec")->trigger();
    QCOMPARE(frm.records().rowCount(), 0);
    QCOMPARE(frm.records().columnCount(), columns);
    child<QAction>(frm, "acDelLog")->trigger();
    QVERIFY(frm.log().lineCount() > 0);
    child<QAction>(frm, "acDelLog")->trigger();
    QCOMPARE(frm.log().lineCount(), 0);
    frm.flushLog();
    QVERIFY(child<QPlainTextEdit>(frm, "Memo1")->toPlainText().isEmpty());
    QCOMPARE(rig.prompts.shown.size(), 4);
    QCOMPARE(rig.prompts.shown[0].text, QStringLiteral("是否要删除记录信息？"));
    QCOMPARE(rig.prompts.shown[2].text, QStringLiteral("是否要删除日志信息？"));
    QCOMPARE(rig.prompts.shown[3].caption, QStringLiteral("信息提示"));
}

QTEST_MAIN(MainWindowReadTest)
#include "main_window_read_test.moc"
