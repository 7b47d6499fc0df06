// Opening and closing the port: the automatic opening on activation, the
// toolbar toggle, the states of the actions and texts, the port settings
// dialog and the settings file read at start and written at exit.
#include "app_test_support.h"

#include "app/com_frm.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

namespace {

SimConfig Type6()
{
    SimConfig config;
    config.deviceType = 6;
    return config;
}

void ExpectClosedState(TMainFrm& frm)
{
    QCOMPARE(frm.TBtnOpen->text(), QStringLiteral("打开串口"));
    QCOMPARE(frm.TBtnOpen->toolTip(), QStringLiteral("打开串口"));
    QCOMPARE(frm.TBtnOpen->property("imageIndex").toInt(), 0);
    QVERIFY(frm.acSet->isEnabled());
    QVERIFY(frm.RS485Btn->isEnabled());
    QVERIFY(!frm.acSend->isEnabled());
    QVERIFY(!frm.acRead->isEnabled());
    QCOMPARE(frm.StatusText(0), QStringLiteral("串口状态：已关闭"));
}

void ExpectOpenState(TMainFrm& frm, const QString& portName)
{
    QCOMPARE(frm.TBtnOpen->text(), QStringLiteral("关闭串口"));
    QCOMPARE(frm.TBtnOpen->toolTip(), QStringLiteral("关闭串口"));
    QCOMPARE(frm.TBtnOpen->property("imageIndex").toInt(), 1);
    QVERIFY(!frm.acSet->isEnabled());
    QVERIFY(!frm.RS485Btn->isEnabled());
    QVERIFY(frm.acSend->isEnabled());
    QVERIFY(frm.acRead->isEnabled());
    for (QAction* item : frm.PopupMenu1->actions())
        QVERIFY(item->isEnabled());
    QCOMPARE(frm.StatusText(0), QStringLiteral("串口状态：") + portName);
}

// Activates another window and then the main window again.
void SwitchAwayAndBack(TMainFrm& frm)
{
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    QCoreApplication::processEvents();
    QApplication::setActiveWindow(&frm);
    QCoreApplication::processEvents();
}

} // namespace

class PortStateTest : public QObject {
    Q_OBJECT
private slots:
    void FailedAutomaticOpeningSaysSoAndRetriesOnNextActivation();
    void ManualCloseIsNotUndoneByActivation();
    void FirstStartTakesTheOnlyPortOrOpensNone();
    void StatusShowsTheWholePortNameAndThePlaceIsKept();
    void ToggleFailuresKeepTheirState();
    void ReadWithClosedPortSaysSoAndLogsNothing();
    void SettingsAreLoadedAtStartAndWrittenAtExit();
    void PortDialogAppliesOnOkAndKeepsEverythingOnCancel();
    void PortListIsSortedWithoutRegardToCase();
    void PortDialogTakesNetworkNamesAndKeepsEchoRemoval();
    void PortVanishingDuringAReadEndsItOnceAndShowsClosed();
};

void PortStateTest::FailedAutomaticOpeningSaysSoAndRetriesOnNextActivation()
{
    WindowRig rig(Type6());
    rig.Port.FailOpen = true;
    TMainFrm& frm = rig.CreateWindow();
    rig.ShowAndActivate();
    rig.Prompts.Shown.removeIf([](const ShownPrompt& p) { return p.kind == QStringLiteral("warn"); });
    QCOMPARE(rig.Prompts.Shown.size(), 1);
    QCOMPARE(rig.Prompts.Shown[0].kind, QStringLiteral("inform"));
    QCOMPARE(rig.Prompts.Shown[0].text,
             QStringLiteral("串口打开失败或被占用，请检查\nCOM1：Unable to open com port"));
    QCOMPARE(rig.Prompts.Shown[0].caption, QStringLiteral("信息提示"));
    QVERIFY(!frm.PortOpenedOnce());
    ExpectClosedState(frm);

    SwitchAwayAndBack(frm);
    QCOMPARE(rig.Prompts.Shown.size(), 2);
    QCOMPARE(rig.Prompts.Shown[1].text,
             QStringLiteral("串口打开失败或被占用，请检查\nCOM1：Unable to open com port"));
    QVERIFY(!frm.PortOpenedOnce());

    rig.Port.FailOpen = false;
    SwitchAwayAndBack(frm);
    QCOMPARE(rig.Prompts.Shown.size(), 2);
    QVERIFY(frm.PortOpenedOnce());
    QVERIFY(rig.Port.Connected());
    ExpectOpenState(frm, QStringLiteral("COM1"));
}

void PortStateTest::ManualCloseIsNotUndoneByActivation()
{
    WindowRig rig(Type6());
    TMainFrm& frm = rig.CreateWindow();
    rig.ShowAndActivate();
    QCOMPARE(rig.Port.OpenCount, 1);
    ExpectOpenState(frm, QStringLiteral("COM1"));

    QTest::mouseClick(frm.TBtnOpen, Qt::LeftButton);
    QVERIFY(!rig.Port.Connected());
    ExpectClosedState(frm);
    for (QAction* item : frm.PopupMenu1->actions())
        QVERIFY(!item->isEnabled());

    SwitchAwayAndBack(frm);
    QCOMPARE(rig.Port.OpenCount, 1);
    QVERIFY(!rig.Port.Connected());

    QTest::mouseClick(frm.TBtnOpen, Qt::LeftButton);
    QCOMPARE(rig.Port.OpenCount, 2);
    ExpectOpenState(frm, QStringLiteral("COM1"));
}

void PortStateTest::FirstStartTakesTheOnlyPortOrOpensNone()
{
    {
        WindowRig rig(Type6());
        rig.MachinePorts = [] { return QList<SerialPortDetails>{{"/dev/ttyUSB3", "", "", "", ""}}; };
        TMainFrm& frm = rig.CreateWindow();
        rig.ShowAndActivate();
        ExpectOpenState(frm, QStringLiteral("/dev/ttyUSB3"));
    }
    WindowRig rig(Type6());
    rig.MachinePorts = [] {
        return QList<SerialPortDetails>{{"/dev/ttyS0", "", "", "", ""}, {"/dev/ttyUSB0", "", "", "", ""}};
    };
    TMainFrm& frm = rig.CreateWindow();
    rig.ShowAndActivate();
    SwitchAwayAndBack(frm);
    rig.Prompts.Shown.removeIf([](const ShownPrompt& p) { return p.kind == QStringLiteral("warn"); });
    QCOMPARE(rig.Port.OpenCount, 0);
    ExpectClosedState(frm);
    QCOMPARE(rig.Prompts.Shown.size(), 1);
    QCOMPARE(rig.Prompts.Shown[0].text, QStringLiteral("尚未选择串口，请在“串口设置”中选择串口。"));
}

void PortStateTest::StatusShowsTheWholePortNameAndThePlaceIsKept()
{
    WindowRig rig(Type6());
    rig.MachinePorts = [] { return QList<SerialPortDetails>{{"tcp://127.0.0.1:4001", "", "", "", ""}}; };
    TMainFrm& frm = rig.CreateWindow();
    rig.ShowAndActivate();
    auto* panel = frm.findChild<QLabel*>(QStringLiteral("StatusPanel0"));
    QVERIFY(panel->text().endsWith(QStringLiteral("tcp://127.0.0.1:4001")));
    QVERIFY(panel->width() >= panel->fontMetrics().horizontalAdvance(panel->text()));

    frm.setGeometry(40, 50, 1000, 700);
    frm.SaveWindowPlace();
    rig.DestroyWindow();
    TMainFrm& again = rig.CreateWindow();
    QVERIFY(again.ShowAtStoredPlace());
    QCOMPARE(again.geometry().size(), QSize(1000, 700));
}

void PortStateTest::ToggleFailuresKeepTheirState()
{
    WindowRig rig(Type6());
    rig.Port.FailOpen = true;
    TMainFrm& frm = rig.CreateWindow();
    rig.ShowAndActivate();
    rig.Prompts.Shown.clear();
    frm.acOpen->trigger();
    QCOMPARE(rig.Prompts.Shown.size(), 1);
    QCOMPARE(rig.Prompts.Shown[0].text,
             QStringLiteral("串口打开失败或被占用，请检查\nCOM1：Unable to open com port"));
    QCOMPARE(rig.Prompts.Shown[0].caption, QStringLiteral("信息提示"));
    ExpectClosedState(frm);
    QVERIFY(!frm.PortOpenedOnce());
}

void PortStateTest::ReadWithClosedPortSaysSoAndLogsNothing()
{
    WindowRig rig(Type6());
    rig.Port.FailOpen = true;
    TMainFrm& frm = rig.CreateWindow();
    rig.ShowAndActivate();
    rig.Prompts.Shown.clear();
    RunFinisher finisher(frm);
    frm.TreeView1->setCurrentItem(FindNode(frm, 612));
    frm.TreeView1DblClick();
    QCOMPARE(rig.Prompts.Shown.size(), 1);
    QCOMPARE(rig.Prompts.Shown[0].text, QStringLiteral("串口未打开，请打开串口再读取数据！"));
    QCOMPARE(rig.Prompts.Shown[0].caption, QStringLiteral("信息提示"));
    QCOMPARE(frm.Log().LineCount(), 0);
    QCOMPARE(finisher.Runs, 0);
    // Without one successful opening the tree does not enable the reads.
    QVERIFY(!frm.acSend->isEnabled());
}

void PortStateTest::SettingsAreLoadedAtStartAndWrittenAtExit()
{
    WindowRig rig(Type6());
    const QString ini = rig.Folder.filePath(QStringLiteral("QL_EVC.ini"));
    {
        QFile file(ini);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Port]\r\nComPort=/dev/ttyQL7\r\nBaudRate=9\r\nDataBits=3\r\nStopBits=2\r\nParity=0\r\n"
                   "[address]\r\naddr=7\r\n");
    }
    TMainFrm& frm = rig.CreateWindow();
    QCOMPARE(rig.Port.LineSettings().ComPort, QStringLiteral("/dev/ttyQL7"));
    QCOMPARE(rig.Port.LineSettings().BaudRate, 9);
    QCOMPARE(rig.Port.LineSettings().StopBits, 2);
    QCOMPARE(rig.Port.LineSettings().Parity, 0);
    QCOMPARE(frm.Address(), 7);
    rig.ShowAndActivate();
    QCOMPARE(frm.StatusText(1), QStringLiteral("流量计地址：7"));
    ExpectOpenState(frm, QStringLiteral("/dev/ttyQL7"));

    PortSettings changed = rig.Port.LineSettings();
    changed.BaudRate = 4;
    rig.Port.SetLineSettings(changed);
    rig.DestroyWindow();
    SettingsFile settings(rig.Folder.path(), rig.Folder.filePath(QStringLiteral("user")));
    QCOMPARE(settings.ReadPort().BaudRate, 4);
    QCOMPARE(settings.ReadPort().ComPort, QStringLiteral("/dev/ttyQL7"));
    QCOMPARE(settings.ReadAddress(), 7);
}

void PortStateTest::PortDialogAppliesOnOkAndKeepsEverythingOnCancel()
{
    WindowRig rig(Type6());
    rig.Port.FailOpen = true;
    TMainFrm& frm = rig.CreateWindow();
    rig.ShowAndActivate();
    const PortSettings before = rig.Port.LineSettings();

    OnNextModal([](QWidget* dialog) {
        auto* com = qobject_cast<TComFrm*>(dialog);
        QVERIFY(com);
        QCOMPARE(com->windowTitle(), QStringLiteral("串口设置"));
        QCOMPARE(com->cbCom->currentText(), QStringLiteral("COM1"));
        QCOMPARE(com->cbBaudRate->currentText(), QStringLiteral("9600"));
        QCOMPARE(com->cbParity->currentText(), QStringLiteral("Odd"));
        com->cbBaudRate->setCurrentIndex(0);
        com->cbCom->setEditText(QStringLiteral("/dev/pts/77"));
        com->reject();
    });
    frm.acSet->trigger();
    QCOMPARE(rig.Port.LineSettings(), before);

    OnNextModal([](QWidget* dialog) {
        auto* com = qobject_cast<TComFrm*>(dialog);
        QVERIFY(com);
        com->cbCom->setEditText(QStringLiteral("/dev/pts/77"));
        com->cbBaudRate->setCurrentText(QStringLiteral("19200"));
        com->cbDataBit->setCurrentText(QStringLiteral("7"));
        com->cbStopBit->setCurrentText(QStringLiteral("2"));
        com->cbParity->setCurrentText(QStringLiteral("Space"));
        com->accept();
    });
    frm.acSet->trigger();
    QCOMPARE(rig.Port.LineSettings().ComPort, QStringLiteral("/dev/pts/77"));
    QCOMPARE(rig.Port.LineSettings().BaudRate, 9);
    QCOMPARE(rig.Port.LineSettings().DataBits, 2);
    QCOMPARE(rig.Port.LineSettings().StopBits, 2);
    QCOMPARE(rig.Port.LineSettings().Parity, 4);
}

void PortStateTest::PortDialogTakesNetworkNamesAndKeepsEchoRemoval()
{
    WindowRig rig(Type6());
    rig.Port.FailOpen = true;
    TMainFrm& frm = rig.CreateWindow();
    rig.ShowAndActivate();

    OnNextModal([](QWidget* dialog) {
        auto* com = qobject_cast<TComFrm*>(dialog);
        QVERIFY(com);
        QCOMPARE(com->cbEcho->text(), QStringLiteral("去除回显"));
        QVERIFY(!com->cbEcho->isChecked());
        const QList<QComboBox*> lineLists = {com->cbBaudRate, com->cbDataBit, com->cbStopBit, com->cbParity};
        com->cbCom->setEditText(QStringLiteral("tcp://192.0.2.7:4001"));
        for (QComboBox* list : lineLists)
            QVERIFY2(!list->isEnabled(), qPrintable(list->objectName()));
        // RFC 2217 carries the line settings to the server.
        com->cbCom->setEditText(QStringLiteral("rfc2217://192.0.2.7:4001"));
        for (QComboBox* list : lineLists)
            QVERIFY2(list->isEnabled(), qPrintable(list->objectName()));
        com->cbCom->setEditText(QStringLiteral("TCP://192.0.2.7:4001"));
        QVERIFY(!com->cbParity->isEnabled());
        com->cbEcho->setChecked(true);
        com->accept();
    });
    frm.acSet->trigger();
    QCOMPARE(rig.Port.LineSettings().ComPort, QStringLiteral("TCP://192.0.2.7:4001"));
    rig.DestroyWindow();

    SettingsFile settings(rig.Folder.path(), rig.Folder.filePath(QStringLiteral("user")));
    QVERIFY(settings.ReadPort().Echo);
    QCOMPARE(settings.ReadPort().ComPort, QStringLiteral("TCP://192.0.2.7:4001"));
    // The next start shows what was stored.
    TMainFrm& again = rig.CreateWindow();
    bool shownChecked = false;
    OnNextModal([&shownChecked](QWidget* dialog) {
        auto* com = qobject_cast<TComFrm*>(dialog);
        QVERIFY(com);
        shownChecked = com->cbEcho->isChecked();
        QVERIFY(!com->cbBaudRate->isEnabled());
        com->reject();
    });
    again.acSet->trigger();
    QVERIFY(shownChecked);
}

void PortStateTest::PortListIsSortedWithoutRegardToCase()
{
    QCOMPARE(TComFrm::SortedPortNames({"COM2", "com10", "COM1"}), QStringList({"COM1", "com10", "COM2"}));
    TComFrm dialog(nullptr, [] {
        return QList<SerialPortDetails>{{"COM2", "USB-RS485 Cable", "", "", ""}, {"COM10", "", "", "", ""}};
    });
    dialog.SetPortName(QStringLiteral("/dev/pts/3"));
    // An ordinal the lists cannot show leaves no selection, and confirming
    // keeps the current value.
    dialog.SetBaudRateOrdinal(13);
    dialog.LoadPortList();
    QCOMPARE(dialog.cbCom->count(), 2);
    QCOMPARE(dialog.cbCom->itemText(0), QStringLiteral("COM10"));
    QCOMPARE(dialog.cbCom->itemText(1), QStringLiteral("COM2"));
    QCOMPARE(dialog.PortDescription(1), QStringLiteral("USB-RS485 Cable"));
    QCOMPARE(dialog.PortDescription(0), QString());
    QCOMPARE(dialog.PortName(), QStringLiteral("/dev/pts/3"));
    QCOMPARE(dialog.cbBaudRate->currentIndex(), -1);
    QCOMPARE(dialog.BaudRateOrdinal(13), 13);

    TComFrm empty(nullptr, [] { return QList<SerialPortDetails>(); });
    empty.SetPortName(QStringLiteral("COM5"));
    empty.LoadPortList();
    QCOMPARE(empty.cbCom->count(), 0);
    QCOMPARE(empty.PortName(), QStringLiteral("COM5"));
}

void PortStateTest::PortVanishingDuringAReadEndsItOnceAndShowsClosed()
{
    WindowRig rig(Type6());
    TMainFrm& frm = rig.CreateWindow();
    rig.ShowAndActivate();
    rig.Prompts.Shown.clear();
    RunFinisher finisher(frm);
    finisher.CancelAt = [&rig](int tick) {
        if (tick == 2)
            rig.Link.Disconnect();
        return false;
    };
    frm.TreeView1->setCurrentItem(FindNode(frm, 612));
    frm.TreeView1DblClick();
    QCOMPARE(finisher.Runs, 1);
    QCOMPARE(frm.Records().RowCount(), 10);
    QCOMPARE(finisher.EndStatus, QStringLiteral("读取第3条数据失败!"));
    QCOMPARE(rig.Prompts.Shown.size(), 1);
    QCOMPARE(rig.Prompts.Shown[0].kind, QStringLiteral("warn"));
    QCOMPARE(rig.Prompts.Shown[0].caption, QStringLiteral("警告信息"));
    ExpectClosedState(frm);
}

QTEST_MAIN(PortStateTest)
#include "port_state_test.moc"
