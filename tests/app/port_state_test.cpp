// Opening and closing the port: the automatic opening on activation, the
// toolbar toggle, the states of the actions and texts, the port settings
// dialog and the settings file read at start and written at exit.
#include "app_test_support.h"

#include "app/port_settings_dialog.h"

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

SimConfig type6()
{
    SimConfig config;
    config.deviceType = 6;
    return config;
}

void expectClosedState(MainWindow& frm)
{
    QCOMPARE(child<QToolButton>(frm, "TBtnOpen")->text(), QStringLiteral("打开串口"));
    QCOMPARE(child<QToolButton>(frm, "TBtnOpen")->toolTip(), QStringLiteral("打开串口"));
    QCOMPARE(child<QToolButton>(frm, "TBtnOpen")->property("imageIndex").toInt(), 0);
    QVERIFY(child<QAction>(frm, "acSet")->isEnabled());
    QVERIFY(child<QToolButton>(frm, "RS485Btn")->isEnabled());
    QVERIFY(!child<QAction>(frm, "acSend")->isEnabled());
    QVERIFY(!child<QAction>(frm, "acRead")->isEnabled());
    QCOMPARE(frm.statusText(0), QStringLiteral("串口状态：已关闭"));
}

void expectOpenState(MainWindow& frm, const QString& portName)
{
    QCOMPARE(child<QToolButton>(frm, "TBtnOpen")->text(), QStringLiteral("关闭串口"));
    QCOMPARE(child<QToolButton>(frm, "TBtnOpen")->toolTip(), QStringLiteral("关闭串口"));
    QCOMPARE(child<QToolButton>(frm, "TBtnOpen")->property("imageIndex").toInt(), 1);
    QVERIFY(!child<QAction>(frm, "acSet")->isEnabled());
    QVERIFY(!child<QToolButton>(frm, "RS485Btn")->isEnabled());
    QVERIFY(child<QAction>(frm, "acSend")->isEnabled());
    QVERIFY(child<QAction>(frm, "acRead")->isEnabled());
    for (QAction* item : child<QMenu>(frm, "PopupMenu1")->actions())
        QVERIFY(item->isEnabled());
    QCOMPARE(frm.statusText(0), QStringLiteral("串口状态：") + portName);
}

// Activates another window and then the main window again.
void switchAwayAndBack(MainWindow& frm)
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
    WindowRig rig(type6());
    rig.port.failOpen = true;
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    rig.prompts.shown.removeIf([](const ShownPrompt& p) { return p.kind == QStringLiteral("warn"); });
    QCOMPARE(rig.prompts.shown.size(), 1);
    QCOMPARE(rig.prompts.shown[0].kind, QStringLiteral("inform"));
    QCOMPARE(rig.prompts.shown[0].text, QStringLiteral("串口打开失败或被占用，请检查\nCOM1：设备不存在"));
    QCOMPARE(rig.prompts.shown[0].caption, QStringLiteral("信息提示"));
    QVERIFY(!frm.portOpenedOnce());
    expectClosedState(frm);

    switchAwayAndBack(frm);
    QCOMPARE(rig.prompts.shown.size(), 2);
    QCOMPARE(rig.prompts.shown[1].text, QStringLiteral("串口打开失败或被占用，请检查\nCOM1：设备不存在"));
    QVERIFY(!frm.portOpenedOnce());

    rig.port.failOpen = false;
    switchAwayAndBack(frm);
    QCOMPARE(rig.prompts.shown.size(), 2);
    QVERIFY(frm.portOpenedOnce());
    QVERIFY(rig.port.connected());
    expectOpenState(frm, QStringLiteral("COM1"));
}

void PortStateTest::ManualCloseIsNotUndoneByActivation()
{
    WindowRig rig(type6());
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    QCOMPARE(rig.port.openCount, 1);
    expectOpenState(frm, QStringLiteral("COM1"));

    QTest::mouseClick(child<QToolButton>(frm, "TBtnOpen"), Qt::LeftButton);
    QVERIFY(!rig.port.connected());
    expectClosedState(frm);
    for (QAction* item : child<QMenu>(frm, "PopupMenu1")->actions())
        QVERIFY(!item->isEnabled());

    switchAwayAndBack(frm);
    QCOMPARE(rig.port.openCount, 1);
    QVERIFY(!rig.port.connected());

    QTest::mouseClick(child<QToolButton>(frm, "TBtnOpen"), Qt::LeftButton);
    QCOMPARE(rig.port.openCount, 2);
    expectOpenState(frm, QStringLiteral("COM1"));
}

void PortStateTest::FirstStartTakesTheOnlyPortOrOpensNone()
{
    {
        WindowRig rig(type6());
        rig.machinePorts = [] { return QList<SerialPortDetails>{{"/dev/ttyUSB3", "", "", "", ""}}; };
        MainWindow& frm = rig.createWindow();
        rig.showAndActivate();
        expectOpenState(frm, QStringLiteral("/dev/ttyUSB3"));
    }
    {
        // As on Windows: even the only port stays closed until the operator chose.
        WindowRig rig(type6());
        rig.machinePorts = [] { return QList<SerialPortDetails>{{"COM1", "", "", "", ""}}; };
        rig.choosePortFirst = true;
        rig.createWindow();
        bool dialogShown = false;
        onNextModal([&dialogShown](QWidget* dialog) {
            dialogShown = qobject_cast<PortSettingsDialog*>(dialog) != nullptr;
            qobject_cast<QDialog*>(dialog)->reject();
        });
        rig.showAndActivate();
        QTRY_VERIFY(dialogShown);
        QCOMPARE(rig.port.openCount, 0);
    }
    WindowRig rig(type6());
    rig.machinePorts = [] {
        return QList<SerialPortDetails>{{"/dev/ttyS0", "", "", "", ""}, {"/dev/ttyUSB0", "", "", "", ""}};
    };
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    switchAwayAndBack(frm);
    rig.prompts.shown.removeIf([](const ShownPrompt& p) { return p.kind == QStringLiteral("warn"); });
    QCOMPARE(rig.port.openCount, 0);
    expectClosedState(frm);
    QCOMPARE(rig.prompts.shown.size(), 1);
    QCOMPARE(rig.prompts.shown[0].text, QStringLiteral("尚未选择串口，请在“串口设置”中选择串口。"));
}

void PortStateTest::StatusShowsTheWholePortNameAndThePlaceIsKept()
{
    WindowRig rig(type6());
    rig.machinePorts = [] { return QList<SerialPortDetails>{{"tcp://127.0.0.1:4001", "", "", "", ""}}; };
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    auto* panel = frm.findChild<QLabel*>(QStringLiteral("StatusPanel0"));
    QVERIFY(panel->text().endsWith(QStringLiteral("tcp://127.0.0.1:4001")));
    QVERIFY(panel->width() >= panel->fontMetrics().horizontalAdvance(panel->text()));

    frm.setGeometry(40, 50, 1000, 700);
    frm.saveWindowPlace();
    rig.destroyWindow();
    MainWindow& again = rig.createWindow();
    QVERIFY(again.showAtStoredPlace());
    QCOMPARE(again.geometry().size(), QSize(1000, 700));
}

void PortStateTest::ToggleFailuresKeepTheirState()
{
    WindowRig rig(type6());
    rig.port.failOpen = true;
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    rig.prompts.shown.clear();
    child<QAction>(frm, "acOpen")->trigger();
    QCOMPARE(rig.prompts.shown.size(), 1);
    QCOMPARE(rig.prompts.shown[0].text, QStringLiteral("串口打开失败或被占用，请检查\nCOM1：设备不存在"));
    QCOMPARE(rig.prompts.shown[0].caption, QStringLiteral("信息提示"));
    expectClosedState(frm);
    QVERIFY(!frm.portOpenedOnce());
}

void PortStateTest::ReadWithClosedPortSaysSoAndLogsNothing()
{
    WindowRig rig(type6());
    rig.port.failOpen = true;
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    rig.prompts.shown.clear();
    RunFinisher finisher(frm);
    child<QTreeWidget>(frm, "TreeView1")->setCurrentItem(findNode(frm, 612));
    frm.onTreeNodeDoubleClicked();
    QCOMPARE(rig.prompts.shown.size(), 1);
    QCOMPARE(rig.prompts.shown[0].text, QStringLiteral("串口未打开，请打开串口再读取数据！"));
    QCOMPARE(rig.prompts.shown[0].caption, QStringLiteral("信息提示"));
    QCOMPARE(frm.log().lineCount(), 0);
    QCOMPARE(finisher.runs, 0);
    // Without one successful opening the tree does not enable the reads.
    QVERIFY(!child<QAction>(frm, "acSend")->isEnabled());
}

void PortStateTest::SettingsAreLoadedAtStartAndWrittenAtExit()
{
    WindowRig rig(type6());
    const QString ini = rig.folder.filePath(QStringLiteral("QL_EVC.ini"));
    {
        QFile file(ini);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Port]\r\nComPort=/dev/ttyQL7\r\nBaudRate=9\r\nDataBits=3\r\nStopBits=2\r\nParity=0\r\n"
                   "[address]\r\naddr=7\r\n");
    }
    MainWindow& frm = rig.createWindow();
    QCOMPARE(rig.port.portSettings().comPort, QStringLiteral("/dev/ttyQL7"));
    QCOMPARE(rig.port.portSettings().baudRate, 9);
    QCOMPARE(rig.port.portSettings().stopBits, 2);
    QCOMPARE(rig.port.portSettings().parity, 0);
    QCOMPARE(frm.address(), 7);
    rig.showAndActivate();
    QCOMPARE(frm.statusText(1), QStringLiteral("流量计地址：7"));
    expectOpenState(frm, QStringLiteral("/dev/ttyQL7"));

    PortSettings changed = rig.port.portSettings();
    changed.baudRate = 4;
    rig.port.setPortSettings(changed);
    rig.destroyWindow();
    SettingsFile settings(rig.folder.path(), rig.folder.filePath(QStringLiteral("user")));
    QCOMPARE(settings.readPort().baudRate, 4);
    QCOMPARE(settings.readPort().comPort, QStringLiteral("/dev/ttyQL7"));
    QCOMPARE(settings.readAddress(), 7);
}

void PortStateTest::PortDialogAppliesOnOkAndKeepsEverythingOnCancel()
{
    WindowRig rig(type6());
    rig.port.failOpen = true;
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    const PortSettings before = rig.port.portSettings();

    onNextModal([](QWidget* dialog) {
        auto* com = qobject_cast<PortSettingsDialog*>(dialog);
        QVERIFY(com);
        QCOMPARE(com->windowTitle(), QStringLiteral("串口设置"));
        QCOMPARE(com->m_portCombo->currentText(), QStringLiteral("COM1"));
        QCOMPARE(com->m_baudRateCombo->currentText(), QStringLiteral("9600"));
        QCOMPARE(com->m_parityCombo->currentText(), QStringLiteral("Odd"));
        com->m_baudRateCombo->setCurrentIndex(0);
        com->m_portCombo->setEditText(QStringLiteral("/dev/pts/77"));
        com->reject();
    });
    child<QAction>(frm, "acSet")->trigger();
    QCOMPARE(rig.port.portSettings(), before);

    onNextModal([](QWidget* dialog) {
        auto* com = qobject_cast<PortSettingsDialog*>(dialog);
        QVERIFY(com);
        com->m_portCombo->setEditText(QStringLiteral("/dev/pts/77"));
        com->m_baudRateCombo->setCurrentText(QStringLiteral("19200"));
        com->m_dataBitsCombo->setCurrentText(QStringLiteral("7"));
        com->m_stopBitsCombo->setCurrentText(QStringLiteral("2"));
        com->m_parityCombo->setCurrentText(QStringLiteral("Space"));
        com->accept();
    });
    child<QAction>(frm, "acSet")->trigger();
    QCOMPARE(rig.port.portSettings().comPort, QStringLiteral("/dev/pts/77"));
    QCOMPARE(rig.port.portSettings().baudRate, 9);
    QCOMPARE(rig.port.portSettings().dataBits, 2);
    QCOMPARE(rig.port.portSettings().stopBits, 2);
    QCOMPARE(rig.port.portSettings().parity, 4);
}

void PortStateTest::PortDialogTakesNetworkNamesAndKeepsEchoRemoval()
{
    WindowRig rig(type6());
    rig.port.failOpen = true;
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();

    onNextModal([](QWidget* dialog) {
        auto* com = qobject_cast<PortSettingsDialog*>(dialog);
        QVERIFY(com);
        QCOMPARE(com->m_echoCheck->text(), QStringLiteral("去除回显"));
        QVERIFY(!com->m_echoCheck->isChecked());
        const QList<QComboBox*> lineLists = {com->m_baudRateCombo, com->m_dataBitsCombo, com->m_stopBitsCombo,
                                             com->m_parityCombo};
        com->m_portCombo->setEditText(QStringLiteral("tcp://192.0.2.7:4001"));
        for (QComboBox* list : lineLists)
            QVERIFY2(!list->isEnabled(), qPrintable(list->objectName()));
        // RFC 2217 carries the line settings to the server.
        com->m_portCombo->setEditText(QStringLiteral("rfc2217://192.0.2.7:4001"));
        for (QComboBox* list : lineLists)
            QVERIFY2(list->isEnabled(), qPrintable(list->objectName()));
        // A Modbus TCP gateway echoes nothing.
        com->m_portCombo->setEditText(QStringLiteral("mbtcp://192.0.2.7"));
        QVERIFY(!com->m_echoCheck->isEnabled());
        com->m_portCombo->setEditText(QStringLiteral("TCP://192.0.2.7:4001"));
        QVERIFY(!com->m_parityCombo->isEnabled());
        com->m_echoCheck->setChecked(true);
        com->accept();
    });
    child<QAction>(frm, "acSet")->trigger();
    QCOMPARE(rig.port.portSettings().comPort, QStringLiteral("TCP://192.0.2.7:4001"));
    rig.destroyWindow();

    SettingsFile settings(rig.folder.path(), rig.folder.filePath(QStringLiteral("user")));
    QVERIFY(settings.readPort().echo);
    QCOMPARE(settings.readPort().comPort, QStringLiteral("TCP://192.0.2.7:4001"));
    // The next start shows what was stored.
    MainWindow& again = rig.createWindow();
    bool shownChecked = false;
    onNextModal([&shownChecked](QWidget* dialog) {
        auto* com = qobject_cast<PortSettingsDialog*>(dialog);
        QVERIFY(com);
        shownChecked = com->m_echoCheck->isChecked();
        QVERIFY(!com->m_baudRateCombo->isEnabled());
        com->reject();
    });
    child<QAction>(again, "acSet")->trigger();
    QVERIFY(shownChecked);
}

void PortStateTest::PortListIsSortedWithoutRegardToCase()
{
    QCOMPARE(PortSettingsDialog::sortedPortNames({"COM2", "com10", "COM1"}),
             QStringList({"COM1", "com10", "COM2"}));
    PortSettingsDialog dialog(nullptr, [] {
        return QList<SerialPortDetails>{{"COM2", "USB-RS485 Cable", "", "", ""}, {"COM10", "", "", "", ""}};
    });
    dialog.setPortName(QStringLiteral("/dev/pts/3"));
    // An ordinal the lists cannot show leaves no selection, and confirming
    // keeps the current value.
    dialog.setBaudRateOrdinal(13);
    dialog.loadPortList();
    QCOMPARE(dialog.m_portCombo->count(), 2);
    QCOMPARE(dialog.m_portCombo->itemText(0), QStringLiteral("COM10"));
    QCOMPARE(dialog.m_portCombo->itemText(1), QStringLiteral("COM2"));
    QCOMPARE(dialog.portDescription(1), QStringLiteral("USB-RS485 Cable"));
    QCOMPARE(dialog.portDescription(0), QString());
    QCOMPARE(dialog.portName(), QStringLiteral("/dev/pts/3"));
    QCOMPARE(dialog.m_baudRateCombo->currentIndex(), -1);
    QCOMPARE(dialog.baudRateOrdinal(13), 13);

    PortSettingsDialog empty(nullptr, [] { return QList<SerialPortDetails>(); });
    empty.setPortName(QStringLiteral("COM5"));
    empty.loadPortList();
    QCOMPARE(empty.m_portCombo->count(), 0);
    QCOMPARE(empty.portName(), QStringLiteral("COM5"));
}

void PortStateTest::PortVanishingDuringAReadEndsItOnceAndShowsClosed()
{
    WindowRig rig(type6());
    MainWindow& frm = rig.createWindow();
    rig.showAndActivate();
    rig.prompts.shown.clear();
    RunFinisher finisher(frm);
    finisher.cancelAt = [&rig](int tick) {
        if (tick == 2)
            rig.link.disconnect();
        return false;
    };
    child<QTreeWidget>(frm, "TreeView1")->setCurrentItem(findNode(frm, 612));
    frm.onTreeNodeDoubleClicked();
    QCOMPARE(finisher.runs, 1);
    QCOMPARE(frm.records().rowCount(), 10);
    QCOMPARE(finisher.endStatus, QStringLiteral("读取第3条数据失败!"));
    QCOMPARE(rig.prompts.shown.size(), 1);
    QCOMPARE(rig.prompts.shown[0].kind, QStringLiteral("warn"));
    QCOMPARE(rig.prompts.shown[0].caption, QStringLiteral("警告信息"));
    expectClosedState(frm);
}

QTEST_MAIN(PortStateTest)
#include "port_state_test.moc"
