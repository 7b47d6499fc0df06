// The transaction window: range reads through the record-range dialog, the
// gauge, the caption panel, failed blocks, cancelling, and a window that stays
// responsive while a read waits for replies.
#include "app_test_support.h"
#include "support/built_in_registry.h"

#include "app/block_range_dialog.h"
#include "app/transaction_dialog.h"
#include "protocol/transaction_run.h"

#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>

namespace {

SimConfig meter(int deviceType, int records = 20)
{
    SimConfig config;
    config.deviceType = deviceType;
    config.records = records;
    return config;
}

} // namespace

class TransactionDialogTest : public QObject {
    Q_OBJECT
private slots:
    void RangeReadOfBlocks3To5StartsAt2Of5AndEndsAt5Of5();
    void RangeReadNeedsAKindAndCanBeDeclined();
    void DeclinedOrReversedRangeKeepsTheTable();
    void CaptionPanelIsEmptyForKind42();
    void ThreeFailuresOnBlock7EndTheRunThere();
    void TwoFailuresThenSuccessGoOn();
    void CancelClosesAtOnceAndKeepsRows();
    void BeginAfterEndFinishesWithoutRequest();
};

void TransactionDialogTest::RangeReadOfBlocks3To5StartsAt2Of5AndEndsAt5Of5()
{
    WindowRig rig(meter(6, 100));
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    rig.prompts.shown.clear();
    child<QTreeWidget>(frm, "TreeView1")->setCurrentItem(findNode(frm, 612));
    RunFinisher finisher(frm);
    onNextModal([](QWidget* dialog) {
        auto* range = qobject_cast<BlockRangeDialog*>(dialog);
        QVERIFY(range);
        QCOMPARE(range->windowTitle(), QStringLiteral("流量计实时记录调试系统V2.0"));
        QCOMPARE(range->m_captionLabel->text(), QStringLiteral("实时记录500组"));
        QCOMPARE(range->m_endSpin->maximum(), 100);
        QCOMPARE(range->m_endSpin->value(), 100);
        QCOMPARE(range->m_beginSpin->minimum(), 1);
        QCOMPARE(range->m_beginSpin->maximum(), 1000);
        range->m_beginSpin->setValue(3);
        range->m_endSpin->setValue(5);
        range->accept();
    });
    child<QAction>(frm, "acRead")->trigger();
    QCOMPARE(finisher.runs, 1);
    QCOMPARE(finisher.startGauge, 2);
    QCOMPARE(finisher.startGaugeMax, 5);
    QCOMPARE(finisher.endGauge, 5);
    QCOMPARE(finisher.endGaugeMax, 5);
    QCOMPARE(finisher.endStatus, QStringLiteral("处理完成"));
    // Range reads of device type 6 run at 1000 ms.
    QCOMPARE(frm.transactionDialog().pollInterval(), 1000);
    QCOMPARE(frm.records().rowCount(), 15);
    const QStringList sent = sentLines(frm);
    QCOMPARE(sent.size(), 3);
    QVERIFY(sent[0].startsWith(QStringLiteral("【发送】17 65 09 0D 00 00 00 0A 00 00 00 0E ")));
    QVERIFY(sent[2].startsWith(QStringLiteral("【发送】17 65 09 0D 00 00 00 14 00 00 00 18 ")));
    QVERIFY(rig.prompts.shown.isEmpty());
}

void TransactionDialogTest::RangeReadNeedsAKindAndCanBeDeclined()
{
    WindowRig rig(meter(6));
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    rig.prompts.shown.clear();
    RunFinisher finisher(frm);
    child<QTreeWidget>(frm, "TreeView1")->setCurrentItem(findNode(frm, 6));
    child<QAction>(frm, "acRead")->trigger();
    QCOMPARE(rig.prompts.shown.size(), 1);
    QCOMPARE(rig.prompts.shown[0].text, QStringLiteral("请选择要读取的流量计记录类型！"));
    QCOMPARE(rig.prompts.shown[0].caption, QStringLiteral("信息提示"));

    child<QTreeWidget>(frm, "TreeView1")->setCurrentItem(findNode(frm, 611));
    onNextModal([](QWidget* dialog) { dialog->close(); });
    child<QAction>(frm, "acRead")->trigger();
    QCOMPARE(finisher.runs, 0);
    QCOMPARE(sentLines(frm).size(), 0);
}

void TransactionDialogTest::DeclinedOrReversedRangeKeepsTheTable()
{
    WindowRig rig(meter(6, 10));
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    RunFinisher finisher(frm);
    child<QTreeWidget>(frm, "TreeView1")->setCurrentItem(findNode(frm, 612));
    frm.onTreeNodeDoubleClicked();
    QCOMPARE(frm.records().rowCount(), 10);
    const int sentBefore = sentLines(frm).size();
    rig.prompts.shown.clear();

    // A reversed range is refused in the dialog, which stays open; "取消"
    // then leaves the table as it was.
    rig.prompts.answers = {true};
    bool stayedOpen = false;
    onNextModal([&stayedOpen](QWidget* dialog) {
        auto* range = qobject_cast<BlockRangeDialog*>(dialog);
        QVERIFY(range);
        range->m_beginSpin->setValue(8);
        range->m_endSpin->setValue(2);
        range->accept();
        stayedOpen = range->isVisible();
        range->reject();
    });
    child<QAction>(frm, "acRead")->trigger();
    QVERIFY(stayedOpen);
    QCOMPARE(finisher.runs, 1);
    QCOMPARE(frm.records().rowCount(), 10);
    QCOMPARE(sentLines(frm).size(), sentBefore);
    QCOMPARE(rig.prompts.shown.size(), 2);
    QCOMPARE(rig.prompts.shown[1].kind, QStringLiteral("warn"));
    QCOMPARE(rig.prompts.shown[1].text, QStringLiteral("起始条数不能大于结束条数，请重新输入！"));
}

void TransactionDialogTest::CaptionPanelIsEmptyForKind42()
{
    WindowRig rig(meter(4));
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    RunFinisher finisher(frm);
    const PreparedKind kind = prepareKind(builtIn(), 42, {});
    frm.transactionDialog().startRun(kind, {Bytes{23, 0x65, 0x09, 0x02}, 2}, {1, 0, 1200, {}});
    QCOMPARE(finisher.runs, 1);
    QCOMPARE(finisher.startCaption, QString());
    QCOMPARE(frm.transactionDialog().m_captionLabel->text(), QString());
    QCOMPARE(frm.records().rowCount(), 20);
    QCOMPARE(finisher.endStatus, QStringLiteral("处理完成"));
}

void TransactionDialogTest::ThreeFailuresOnBlock7EndTheRunThere()
{
    WindowRig rig(meter(1));
    // The meter falls silent after six requests: block 7 gets no answer.
    rig.port.silentFromRequest = 6;
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    RunFinisher finisher(frm);
    child<QTreeWidget>(frm, "TreeView1")->setCurrentItem(findNode(frm, 11));
    frm.onTreeNodeDoubleClicked();
    QCOMPARE(frm.records().rowCount(), 6);
    QCOMPARE(frm.transactionDialog().m_countLabel->text(), QStringLiteral("读取第7条数据失败!"));
    QCOMPARE(finisher.endStatus, QStringLiteral("读取第7条数据失败!"));
    QCOMPARE(frm.log().lines().back(), std::string("读取第7条数据失败!"));
    const QStringList sent = sentLines(frm);
    QCOMPARE(sent.size(), 9);
    // Block 7 asked three times, block 8 never.
    for (int i = 6; i < 9; ++i)
        QVERIFY(sent[i].startsWith(QStringLiteral("【发送】17 66 00 64 02 00 07 ")));
    QVERIFY(frm.transactionDialog().m_okButton->isEnabled() || !frm.transactionDialog().isVisible());
    QVERIFY(!finisher.endImageVisible);
}

void TransactionDialogTest::TwoFailuresThenSuccessGoOn()
{
    SimConfig config = meter(6, 10);
    WindowRig rig(config);
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    RunFinisher finisher(frm);
    // Block 2's first two requests go unanswered; the third is answered.
    finisher.cancelAt = [&rig](int tick) {
        if (tick == 1)
            rig.port.silentFromRequest = 1;
        if (tick == 3)
            rig.port.silentFromRequest = -1;
        return false;
    };
    child<QTreeWidget>(frm, "TreeView1")->setCurrentItem(findNode(frm, 612));
    frm.onTreeNodeDoubleClicked();
    QCOMPARE(frm.records().rowCount(), 10);
    QCOMPARE(finisher.endStatus, QStringLiteral("处理完成"));
    const QStringList sent = sentLines(frm);
    for (int i = 1; i <= 3; ++i)
        QVERIFY(sent[i].startsWith(QStringLiteral("【发送】17 65 09 0D 00 00 00 05 ")));
    QVERIFY(sent[4].startsWith(QStringLiteral("【发送】17 65 09 0D 00 00 00 0A ")));
    QVERIFY(!shownLogLines(frm).contains(QStringLiteral("读取第2条数据失败!")));
}

void TransactionDialogTest::CancelClosesAtOnceAndKeepsRows()
{
    WindowRig rig(meter(6, 100));
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    RunFinisher finisher(frm);
    finisher.cancelAt = [](int tick) { return tick == 3; };
    child<QTreeWidget>(frm, "TreeView1")->setCurrentItem(findNode(frm, 612));
    frm.onTreeNodeDoubleClicked();
    QVERIFY(!frm.transactionDialog().isVisible());
    QCOMPARE(frm.records().rowCount(), 15);
    QCOMPARE(sentLines(frm).size(), 3);
    QCOMPARE(frm.transactionDialog().m_progressBar->maximum(), 100);
    QVERIFY(!frm.transactionDialog().run().cancelled());
}

void TransactionDialogTest::BeginAfterEndFinishesWithoutRequest()
{
    WindowRig rig(meter(6));
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    RunFinisher finisher(frm);
    const PreparedKind kind = prepareKind(builtIn(), 612, {});
    frm.transactionDialog().startRun(kind, {Bytes{23, 0x65, 0x09, 0x0D}, 3}, {5, 3, 1000, {}});
    QCOMPARE(finisher.endStatus, QStringLiteral("处理完成"));
    QCOMPARE(sentLines(frm).size(), 0);
    QCOMPARE(finisher.startCaption, QStringLiteral("正在读取实时记录,请稍后..."));
}

QTEST_MAIN(TransactionDialogTest)
#include "transaction_dialog_test.moc"
