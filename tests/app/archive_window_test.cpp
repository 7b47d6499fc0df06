// "备份全部记录" and "搜索流量计" in the window, over a pseudo-terminal served by
// ql-rs485-sim with the program's own port, waiter and timers.
#include "app_test_support.h"
#include "support/built_in_registry.h"

#include "app/backup_dialog.h"
#include "app/search_dialog.h"
#include "catalogue/catalogue.h"

#include <QAction>
#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

namespace {

// Fast reading on, as "快速读取" leaves it in the settings file.
void turnFastReadingOn(PtyWindowRig& rig)
{
    QFile file(rig.folder.filePath(QStringLiteral("QL_EVC.ini")));
    QVERIFY(file.open(QIODevice::Append));
    file.write("[Read]\r\nFast=1\r\n");
}

} // namespace

class ArchiveWindowTest : public QObject {
    Q_OBJECT
private slots:
    void BackupWritesEveryKindAndShowsItsEnd();
    void SearchListsTheMetersAndADoubleClickTakesTheAddress();
};

void ArchiveWindowTest::BackupWritesEveryKindAndShowsItsEnd()
{
#ifdef _WIN32
    QSKIP("the simulated meter serves a pseudo-terminal, which Windows lacks");
#endif
    SimProcess sim;
    const QString ptyPath = sim.start({"--type", "6", "--records", "3", "--addr", "23"});
    QVERIFY(!ptyPath.isEmpty());
    PtyWindowRig rig(ptyPath);
    turnFastReadingOn(rig);
    rig.showAndActivate();
    MainWindow& frm = *rig.mainWindow;
    QCOMPARE(child<QMenu>(frm, "PopupMenu1")->actions().last(), child<QAction>(frm, "acBackup"));
    const QString out = rig.folder.filePath(QStringLiteral("backup.xlsx"));
    rig.prompts.saveNames << out;

    // The progress window stays up at the end until the operator closes it.
    QString endStatus;
    int kindsDone = -1;
    int blocksLeft = -1;
    bool portBusyMeanwhile = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* progress = frm.findChild<BackupDialog*>();
        if (!progress)
            return;
        portBusyMeanwhile = portBusyMeanwhile || frm.portOwner().busy();
        if (progress->m_cancelButton->text() != QStringLiteral("完成") || !progress->isVisible())
            return;
        poll.stop();
        endStatus = progress->m_statusLabel->text();
        kindsDone = progress->m_kindProgress->value();
        blocksLeft = progress->m_blockProgress->maximum() - progress->m_blockProgress->value();
        progress->m_cancelButton->click();
    });
    poll.start();
    child<QAction>(frm, "acBackup")->trigger();

    QVERIFY2(endStatus.startsWith(QStringLiteral("处理完成；已保存到 ")), qPrintable(endStatus));
    QCOMPARE(kindsDone, 17);
    QCOMPARE(blocksLeft, 0);
    QVERIFY(portBusyMeanwhile);
    QVERIFY(!frm.portOwner().busy());
    QVERIFY(QFile::exists(out));
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import openpyxl, sys\nb = openpyxl.load_workbook(sys.argv[1])\n"
                                 "print(len(b.sheetnames), b.worksheets[0]['D20'].value)"),
                  out});
    QVERIFY(python.waitForFinished(60000));
    // 17 kind sheets after the summary; the summary's rows for kind 612: 3 rows.
    QCOMPARE(python.readAllStandardOutput().trimmed(), QByteArray("18 3"));
}

void ArchiveWindowTest::SearchListsTheMetersAndADoubleClickTakesTheAddress()
{
#ifdef _WIN32
    QSKIP("the simulated meter serves a pseudo-terminal, which Windows lacks");
#endif
    SimProcess sim;
    const QString ptyPath = sim.start({"--meter", "7:6", "--meter", "8:7"});
    QVERIFY(!ptyPath.isEmpty());
    PtyWindowRig rig(ptyPath);
    rig.showAndActivate();
    MainWindow& frm = *rig.mainWindow;

    QStringList listed;
    QString endStatus;
    QString stoppedStatus;
    onNextModal([&](QWidget* dialog) {
        auto* search = qobject_cast<SearchDialog*>(dialog);
        QVERIFY(search);
        // "停止" pressed while the first address is probed: the end says so.
        QTimer::singleShot(0, search->m_stopButton, &QPushButton::click);
        search->m_searchButton->click();
        stoppedStatus = search->m_statusLabel->text();
        search->m_fromSpin->setValue(6);
        search->m_toSpin->setValue(8);
        search->m_searchButton->click(); // returns when the search has ended
        endStatus = search->m_statusLabel->text();
        for (int row = 0; row < search->m_meterList->rowCount(); ++row)
            listed << search->m_meterList->item(row, 0)->text() + QLatin1Char(' ') +
                          search->m_meterList->item(row, 1)->text();
        emit search->m_meterList->cellDoubleClicked(1, 0);
        if (search->isVisible()) // no choice taken: close rather than hang
            search->done(QDialog::Rejected);
    });
    child<QAction>(frm, "acSearch")->trigger();

    const std::string_view type7 = deviceTypeCaption(builtIn(), 7);
    QCOMPARE(listed, QStringList({QStringLiteral("7 6 Corvex智能体积修正仪(modbus V2.0)"),
                                  QStringLiteral("8 7 ") + QString::fromUtf8(type7.data(), type7.size())}));
    QVERIFY2(endStatus.startsWith(QStringLiteral("找到 2 台流量计")), qPrintable(endStatus));
    QVERIFY2(stoppedStatus.startsWith(QStringLiteral("搜索已停止，找到 0 台流量计")),
             qPrintable(stoppedStatus));
    QCOMPARE(frm.address(), 8);
    QCOMPARE(frm.statusText(1), QStringLiteral("流量计地址：8"));
    QVERIFY(!frm.portOwner().busy());
}

QTEST_MAIN(ArchiveWindowTest)
#include "archive_window_test.moc"
