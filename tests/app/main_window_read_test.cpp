// Reads started from the tree, the record-type menu and "读取全部记录", against
// the simulated meter on a virtual clock, with every question answered by script.
#include "app_test_support.h"

#include "app/address_dialog.h"
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

SimConfig Meter(int deviceType, int records = 20)
{
    SimConfig config;
    config.deviceType = deviceType;
    config.address = 23;
    config.records = records;
    return config;
}

// Double-clicks the node as the operator would: the press selects it first.
void DoubleClickNode(MainWindow& frm, int code)
{
    QTreeWidgetItem* node = FindNode(frm, code);
    QVERIFY(node);
    if (node->parent())
        node->parent()->setExpanded(true);
    frm.m_deviceTree->scrollToItem(node);
    const QPoint at = frm.m_deviceTree->visualItemRect(node).center();
    QTest::mouseClick(frm.m_deviceTree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(frm.m_deviceTree->viewport(), Qt::LeftButton, {}, at);
}

QStringList Captions(const RecordTable& table)
{
    QStringList captions;
    for (const TableColumn& column : table.Columns())
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
    void RecordMenuReadsKind612At1200MsOnType6();
    void RecordMenuKindMissingForTheTypeShowsItsMessage();
    void ReadAllIdentifiesType1AndReadsKind11At1000Ms();
    void ReadAllFindingType4SaysNoMeterAndReadsNothing();
    void LogPaneToggleTwiceRestoresIt();
    void TypedAddressGoesIntoTheNextRequestAndSurvivesANormalExit();
    void DeleteRecordsAndLogAskFirst();
    void FastReadingReadsWithoutPausesAndIsKeptOnceSwitched();
};

void MainWindowReadTest::StartsWithSixDeviceTypesAndTheStartUpState()
{
    WindowRig rig(Meter(6));
    MainWindow& frm = rig.CreateWindow();
    QCOMPARE(frm.windowTitle(), QStringLiteral("Quellon   RS485通信测试系统"));
    QCOMPARE(frm.m_deviceTree->topLevelItemCount(), 6);
    QVERIFY(!FindNode(frm, 4));
    QVERIFY(!FindNode(frm, 42));
    QVERIFY(FindNode(frm, 6)->font(0).bold());
    QVERIFY(!FindNode(frm, 612)->font(0).bold());
    QVERIFY(!frm.m_readAllAction->isEnabled());
    QVERIFY(!frm.m_readRangeAction->isEnabled());
    QVERIFY(!frm.portOpenedOnce());
    QVERIFY(frm.treeChangeEnabled());

    frm.show();
    QCOMPARE(frm.statusText(0), QStringLiteral("串口状态：已关闭"));
    QCOMPARE(frm.statusText(1), QStringLiteral("流量计地址：23"));
    QCOMPARE(frm.statusText(2), QString());
    // Shown with kind 51 set up: the shipped protocol workbook is not in the
    // test's folder, so only "序号" is there.
    QCOMPARE(Captions(frm.Records()).value(0), QStringLiteral("序号"));
    QCOMPARE(rig.Prompts.Shown.size(), 1);
    QCOMPARE(rig.Prompts.Shown[0].caption, QStringLiteral("警告信息"));
    // The reader's reason follows the first line, naming the file.
    const QStringList lines = rig.Prompts.Shown[0].text.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QStringLiteral("Excel打开失败！请确定Excel是否安装，确认后,再重新试一次！"));
    QVERIFY2(lines[1].contains(QStringLiteral("Excel/VarnelModbus.xls：")), qPrintable(lines[1]));
    // The program ends after this message instead of serving the operator.
    QVERIFY(frm.protocolWorkbookFailed());
}

void MainWindowReadTest::DoubleClickReadsAKindIntoTheTable()
{
    WindowRig rig(Meter(6));
    MainWindow& frm = rig.CreateWindow();
    rig.ShowAndActivate();
    rig.Prompts.Shown.clear();
    RunFinisher finisher(frm);
    DoubleClickNode(frm, 612);

    QCOMPARE(frm.transactionDialog().PollInterval(), 1200);
    QCOMPARE(finisher.Runs, 1);
    QCOMPARE(finisher.StartCaption, QStringLiteral("正在读取实时记录,请稍后..."));
    QCOMPARE(frm.Records().RowCount(), 20);
    QCOMPARE(frm.m_recordView->model()->rowCount(), 20);
    QCOMPARE(Captions(frm.Records()).value(0), QStringLiteral("序号"));
    QCOMPARE(frm.m_recordView->model()->columnCount(), frm.Records().ColumnCount());
    QCOMPARE(frm.m_recordView->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("序号"));
    // Blocks 1 to 4 hold the 20 records, block 5 is blank: the run ends there.
    QCOMPARE(finisher.EndStatus, QStringLiteral("处理完成"));
    QCOMPARE(finisher.EndGauge, 100);
    QCOMPARE(finisher.EndGaugeMax, 100);
    QVERIFY(!finisher.EndImageVisible);
    const QStringList log = LogLines(frm);
    QCOMPARE(log.value(0), QStringLiteral("===========Corvex 实时记录500组==========="));
    QVERIFY(log.value(1).startsWith(QStringLiteral("【发送】17 65 09 0D 00 00 00 00 00 00 00 04 ")));
    QVERIFY(log.value(2).startsWith(QStringLiteral("【接收】17 65 ")));
    QVERIFY(log.value(3).startsWith(QStringLiteral("【发送】17 65 09 0D 00 00 00 05 00 00 00 09 ")));
    QCOMPARE(SentLines(frm).size(), 5);
    frm.flushLog();
    QCOMPARE(frm.m_logView->toPlainText(), log.join(QLatin1Char('\n')));
    QVERIFY(rig.Prompts.Shown.isEmpty());
}

void MainWindowReadTest::ChangingKindWithRowsAsksAndNoKeepsEverything()
{
    WindowRig rig(Meter(6));
    MainWindow& frm = rig.CreateWindow();
    rig.ShowAndActivate();
    rig.Prompts.Shown.clear();
    RunFinisher finisher(frm);
    DoubleClickNode(frm, 612);
    const QStringList columns = Captions(frm.Records());
    const int logLines = frm.Log().LineCount();

    rig.Prompts.Answers = {false};
    frm.m_deviceTree->setCurrentItem(FindNode(frm, 611));
    QCOMPARE(rig.Prompts.Shown.size(), 1);
    QCOMPARE(rig.Prompts.Shown[0].kind, QStringLiteral("ask"));
    QCOMPARE(rig.Prompts.Shown[0].text,
             QStringLiteral("若选择\"月记录200组\",前一次所读取的记录信息将被删除，是否要继续？"));
    QCOMPARE(rig.Prompts.Shown[0].caption, QStringLiteral("信息提示"));
    QCOMPARE(frm.Records().RowCount(), 20);
    QCOMPARE(Captions(frm.Records()), columns);
    QCOMPARE(frm.Log().LineCount(), logLines);
    QCOMPARE(MainWindow::nodeCodeOf(frm.selectedNode()), 611);
    QCOMPARE(finisher.Runs, 1);
}

void MainWindowReadTest::ChangingKindWithRowsAndYesReadsTheNewKindFromBlockOne()
{
    WindowRig rig(Meter(6));
    MainWindow& frm = rig.CreateWindow();
    rig.ShowAndActivate();
    RunFinisher finisher(frm);
    DoubleClickNode(frm, 612);
    const int logLines = frm.Log().LineCount();

    rig.Prompts.Shown.clear();
    rig.Prompts.Answers = {true};
    frm.m_deviceTree->setCurrentItem(FindNode(frm, 611));
    QCOMPARE(rig.Prompts.Shown.size(), 1);
    QCOMPARE(rig.Prompts.Unanswered, 0);
    QCOMPARE(finisher.Runs, 2);
    const QStringList fresh = LogLines(frm).mid(logLines);
    QCOMPARE(fresh.value(0), QStringLiteral("===========Corvex 月记录200组==========="));
    QVERIFY(fresh.value(1).startsWith(QStringLiteral("【发送】17 65 09 0C 00 00 00 00 00 00 00 04 ")));
    QCOMPARE(frm.Records().RowCount(), 20);
    QCOMPARE(frm.transactionDialog().PollInterval(), 1200);
}

void MainWindowReadTest::DoubleClickOnRowsAsksBeforeOverwriting()
{
    WindowRig rig(Meter(6));
    MainWindow& frm = rig.CreateWindow();
    rig.ShowAndActivate();
    RunFinisher finisher(frm);
    DoubleClickNode(frm, 612);
    rig.Prompts.Shown.clear();

    rig.Prompts.Answers = {false};
    frm.onTreeNodeDoubleClicked();
    QCOMPARE(rig.Prompts.Shown.size(), 1);
    QCOMPARE(rig.Prompts.Shown[0].text, QStringLiteral("是否要覆盖原记录信息？"));
    QCOMPARE(rig.Prompts.Shown[0].caption, QStringLiteral("信息提示"));
    QCOMPARE(finisher.Runs, 1);
    QCOMPARE(frm.Records().RowCount(), 20);

    const int logLines = frm.Log().LineCount();
    rig.Prompts.Answers = {true};
    frm.onTreeNodeDoubleClicked();
    QCOMPARE(finisher.Runs, 2);
    // The old rows went; the table holds the 20 records of the new read only.
    QCOMPARE(frm.Records().RowCount(), 20);
    QCOMPARE(LogLines(frm).value(logLines), QStringLiteral("===========Corvex 实时记录500组==========="));
}

void MainWindowReadTest::DeviceTypeNodeDoesNothing()
{
    WindowRig rig(Meter(6));
    MainWindow& frm = rig.CreateWindow();
    rig.ShowAndActivate();
    rig.Prompts.Shown.clear();
    RunFinisher finisher(frm);
    const QStringList columns = Captions(frm.Records());
    DoubleClickNode(frm, 6);
    QCOMPARE(MainWindow::nodeCodeOf(frm.selectedNode()), 6);
    QCOMPARE(finisher.Runs, 0);
    QCOMPARE(frm.Log().LineCount(), 0);
    QCOMPARE(Captions(frm.Records()), columns);
    QVERIFY(rig.Prompts.Shown.isEmpty());
}

void MainWindowReadTest::RecordMenuOnUnidentifiedMeterStartsNothing()
{
    SimConfig silent = Meter(6);
    silent.faults = {"silence"};
    WindowRig rig(silent);
    MainWindow& frm = rig.CreateWindow();
    rig.ShowAndActivate();
    rig.Prompts.Shown.clear();
    RunFinisher finisher(frm);
    const QList<QAction*> items = frm.m_recordKindMenu->actions();
    int menuItems = 0;
    for (QAction* item : items) {
        if (item->isSeparator())
            continue;
        ++menuItems;
        frm.Log().Clear();
        rig.Prompts.Shown.clear();
        item->trigger();
        QCOMPARE(rig.Prompts.Shown.size(), 1);
        QCOMPARE(rig.Prompts.Shown[0].kind, QStringLiteral("inform"));
        QCOMPARE(rig.Prompts.Shown[0].text, QStringLiteral("没有你要读的流量计信息！"));
        QCOMPARE(rig.Prompts.Shown[0].caption, QStringLiteral("信息提示"));
        QVERIFY(item->isEnabled());
        // Six probe lines, three sends each, nothing received, no read started.
        QCOMPARE(SentLines(frm).size(), 18);
        QCOMPARE(LogLines(frm).filter(QStringLiteral("【接收】")).size(), 0);
        QCOMPARE(LogLines(frm).size(), 24);
    }
    // The twenty record-type items and "备份全部记录", which identifies the same way.
    QCOMPARE(menuItems, 21);
    QCOMPARE(finisher.Runs, 0);
    QCOMPARE(frm.Records().RowCount(), 0);
    QVERIFY(frm.treeChangeEnabled());
    QVERIFY(!QApplication::overrideCursor());
}

void MainWindowReadTest::RecordMenuReadsKind612At1200MsOnType6()
{
    WindowRig rig(Meter(6));
    MainWindow& frm = rig.CreateWindow();
    rig.ShowAndActivate();
    rig.Prompts.Shown.clear();
    RunFinisher finisher(frm);
    frm.m_recordKindMenu->findChild<QAction*>(QStringLiteral("N15"))->trigger();
    QCOMPARE(finisher.Runs, 1);
    QCOMPARE(MainWindow::nodeCodeOf(frm.selectedNode()), 612);
    QVERIFY(frm.selectedNode()->parent()->isExpanded());
    QCOMPARE(frm.transactionDialog().PollInterval(), 1200);
    QCOMPARE(frm.Records().RowCount(), 20);
    QVERIFY(LogLines(frm).contains(QStringLiteral("=================Corvex智能体积修正仪=================")));
    QVERIFY(LogLines(frm).contains(QStringLiteral("===========Corvex 实时记录500组===========")));
    QVERIFY(rig.Prompts.Shown.isEmpty());
    QVERIFY(frm.treeChangeEnabled());
}

void MainWindowReadTest::RecordMenuKindMissingForTheTypeShowsItsMessage()
{
    WindowRig rig(Meter(6));
    MainWindow& frm = rig.CreateWindow();
    rig.ShowAndActivate();
    rig.Prompts.Shown.clear();
    RunFinisher finisher(frm);
    frm.m_recordKindMenu->findChild<QAction*>(QStringLiteral("N41"))->trigger();
    QCOMPARE(rig.Prompts.Shown.size(), 1);
    QCOMPARE(rig.Prompts.Shown[0].text, QStringLiteral("该流量计无\"充值记录\"记录类型！"));
    QCOMPARE(rig.Prompts.Shown[0].caption, QStringLiteral("信息提示"));
    QCOMPARE(finisher.Runs, 0);
}

void MainWindowReadTest::ReadAllIdentifiesType1AndReadsKind11At1000Ms()
{
    WindowRig rig(Meter(1));
    MainWindow& frm = rig.CreateWindow();
    rig.ShowAndActivate();
    rig.Prompts.Shown.clear();
    RunFinisher finisher(frm);
    QVERIFY(frm.m_readAllAction->isEnabled());
    frm.m_readAllAction->trigger();
    QCOMPARE(finisher.Runs, 1);
    QCOMPARE(MainWindow::nodeCodeOf(frm.selectedNode()), 11);
    QCOMPARE(frm.transactionDialog().PollInterval(), 1000);
    QCOMPARE(frm.Records().RowCount(), 20);
    const QStringList log = LogLines(frm);
    QCOMPARE(log.value(0),
             QStringLiteral("===============智能体积修正仪实时记录(ModBus协议)==============="));
    QVERIFY(log.contains(QStringLiteral("===========智能体积修正仪(ModBus V1.2)实时记录===========")));
    QVERIFY(rig.Prompts.Shown.isEmpty());
    QVERIFY(frm.treeChangeEnabled());
}

void MainWindowReadTest::ReadAllFindingType4SaysNoMeterAndReadsNothing()
{
    WindowRig rig(Meter(4));
    MainWindow& frm = rig.CreateWindow();
    rig.ShowAndActivate();
    rig.Prompts.Shown.clear();
    RunFinisher finisher(frm);
    frm.m_readAllAction->trigger();
    QVERIFY(
        LogLines(frm).contains(QStringLiteral("===============智能体积修正仪(北京燃总协议)===============")));
    QCOMPARE(rig.Prompts.Shown.size(), 1);
    QCOMPARE(rig.Prompts.Shown[0].text, QStringLiteral("没有你要读的流量计信息！"));
    QCOMPARE(finisher.Runs, 0);
    QVERIFY(frm.treeChangeEnabled());
}

void MainWindowReadTest::LogPaneToggleTwiceRestoresIt()
{
    WindowRig rig(Meter(6));
    MainWindow& frm = rig.CreateWindow();
    rig.ShowAndActivate();
    frm.m_hideLogAction->trigger();
    QCOMPARE(frm.m_hideLogAction->text(), QStringLiteral("显示日志窗口"));
    QVERIFY(frm.m_hideLogAction->isChecked());
    QVERIFY(!frm.m_logPane->isVisible());
    frm.m_hideLogAction->trigger();
    QCOMPARE(frm.m_hideLogAction->text(), QStringLiteral("隐藏日志窗口"));
    QVERIFY(!frm.m_hideLogAction->isChecked());
    QVERIFY(frm.m_logPane->isVisible());

    frm.m_hideCaptionAction->trigger();
    QCOMPARE(frm.m_hideCaptionAction->text(), QStringLiteral("显示标题窗口"));
    QVERIFY(!frm.m_treePane->isVisible());
    frm.m_hideCaptionAction->trigger();
    QCOMPARE(frm.m_hideCaptionAction->text(), QStringLiteral("隐藏标题窗口"));
    QVERIFY(frm.m_treePane->isVisible());
}

void MainWindowReadTest::TypedAddressGoesIntoTheNextRequestAndSurvivesANormalExit()
{
    SimConfig config = Meter(6);
    config.address = 5;
    WindowRig rig(config);
    MainWindow& frm = rig.CreateWindow();
    rig.ShowAndActivate();
    rig.Prompts.Shown.clear();
    OnNextModal([](QWidget* dialog) {
        auto* addr = qobject_cast<AddressDialog*>(dialog);
        QVERIFY(addr);
        QCOMPARE(addr->windowTitle(), QStringLiteral("流量计地址设置"));
        QCOMPARE(addr->m_addressSpin->value(), 23);
        QCOMPARE(addr->m_addressSpin->minimum(), 1);
        QCOMPARE(addr->m_addressSpin->maximum(), 247);
        addr->m_addressSpin->setValue(5);
        addr->accept();
    });
    frm.m_addressAction->trigger();
    QCOMPARE(frm.Address(), 5);
    QCOMPARE(frm.statusText(1), QStringLiteral("流量计地址：5"));
    // Saved at once: a window that is killed keeps the change.
    QCOMPARE(SettingsFile(rig.Folder.path(), QString()).ReadAddress(), 5);

    RunFinisher finisher(frm);
    DoubleClickNode(frm, 612);
    QVERIFY(SentLines(frm).value(0).startsWith(QStringLiteral("【发送】05 65 09 0D ")));
    QCOMPARE(frm.Records().RowCount(), 20);

    rig.DestroyWindow();
    MainWindow& again = rig.CreateWindow();
    QCOMPARE(again.Address(), 5);
}

void MainWindowReadTest::FastReadingReadsWithoutPausesAndIsKeptOnceSwitched()
{
    WindowRig rig(Meter(6));
    const QString settingsPath = rig.Folder.filePath(QStringLiteral("QL_EVC.ini"));
    MainWindow& frm = rig.CreateWindow();
    QVERIFY(!frm.m_fastReadAction->isChecked());
    QVERIFY(frm.m_treeMenu->actions().contains(frm.m_fastReadAction));
    QMenu* operation = frm.menuBar()->actions().value(2)->menu();
    QCOMPARE(operation->title(), QStringLiteral("操作(&O)"));
    QVERIFY(operation->actions().contains(frm.m_fastReadAction));
    // A normal exit without touching the item leaves the key out of the file.
    rig.DestroyWindow();
    QFile written(settingsPath);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(!written.readAll().contains("[Read]"));
    written.close();

    MainWindow& fast = rig.CreateWindow();
    rig.ShowAndActivate();
    fast.m_fastReadAction->trigger();
    QVERIFY(fast.m_fastReadAction->isChecked());
    RunFinisher finisher(fast);
    const int64_t start = rig.Clock.NowMs();
    DoubleClickNode(fast, 612);
    QCOMPARE(finisher.StartCaption, QStringLiteral("正在读取实时记录,请稍后...（快速）"));
    QCOMPARE(fast.Records().RowCount(), 20);
    QCOMPARE(finisher.EndStatus, QStringLiteral("处理完成"));
    // Five exchanges; paced, each would wait a 1200 ms poll interval first.
    QVERIFY(rig.Clock.NowMs() - start < 1200);

    rig.DestroyWindow();
    QVERIFY(rig.CreateWindow().m_fastReadAction->isChecked());
    rig.mainWindow->m_fastReadAction->trigger();
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll().contains("[Read]\r\nFast=0"));
}

void MainWindowReadTest::DeleteRecordsAndLogAskFirst()
{
    WindowRig rig(Meter(6));
    MainWindow& frm = rig.CreateWindow();
    rig.ShowAndActivate();
    rig.Prompts.Shown.clear();
    // Nothing there: no questions.
    frm.m_clearLogAction->trigger();
    frm.m_clearRecordsAction->trigger();
    QVERIFY(rig.Prompts.Shown.isEmpty());

    RunFinisher finisher(frm);
    DoubleClickNode(frm, 612);
    const int columns = frm.Records().ColumnCount();
    rig.Prompts.Answers = {false, true, false, true};
    frm.m_clearRecordsAction->trigger();
    QCOMPARE(frm.Records().RowCount(), 20);
    frm.m_clearRecordsAction->trigger();
    QCOMPARE(frm.Records().RowCount(), 0);
    QCOMPARE(frm.Records().ColumnCount(), columns);
    frm.m_clearLogAction->trigger();
    QVERIFY(frm.Log().LineCount() > 0);
    frm.m_clearLogAction->trigger();
    QCOMPARE(frm.Log().LineCount(), 0);
    frm.flushLog();
    QVERIFY(frm.m_logView->toPlainText().isEmpty());
    QCOMPARE(rig.Prompts.Shown.size(), 4);
    QCOMPARE(rig.Prompts.Shown[0].text, QStringLiteral("是否要删除记录信息？"));
    QCOMPARE(rig.Prompts.Shown[2].text, QStringLiteral("是否要删除日志信息？"));
    QCOMPARE(rig.Prompts.Shown[3].caption, QStringLiteral("信息提示"));
}

QTEST_MAIN(MainWindowReadTest)
#include "main_window_read_test.moc"
