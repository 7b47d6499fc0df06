// The window "Modbus调试" on the main window's port, against the simulator's
// register map over a pseudo-terminal: a read, display formats, a confirmed
// write, an exception named in the counters, polling, saving and the set-up
// kept in the settings file.
#include "app_test_support.h"

#include "app/modbus_value_model.h"
#include "app/modbus_window.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTest>

class ModbusWindowTest : public QObject {
    Q_OBJECT
private slots:
    void ReadsWritesPollsAndKeepsTheSetUp();
    void ModbusTcpIgnoresEchoRemoval();
};

namespace {

QModelIndex cell(ModbusWindow& modbus, int row, int column)
{
    return modbus.m_valueTable->model()->index(row, column);
}

QString valueOf(ModbusWindow& modbus, int row)
{
    return cell(modbus, row, ModbusValueModel::ColValue).data().toString();
}

// Typing into a cell, as the view's editor hands it to the model.
void type(ModbusWindow& modbus, int row, int column, const QString& text)
{
    modbus.m_valueTable->model()->setData(cell(modbus, row, column), text);
}

QComboBox* formatText(ModbusWindow& modbus, int row)
{
    return qobject_cast<QComboBox*>(
        modbus.m_valueTable->indexWidget(cell(modbus, row, ModbusValueModel::ColFormat)));
}

} // namespace

void ModbusWindowTest::ReadsWritesPollsAndKeepsTheSetUp()
{
    SimProcess sim;
    const QString ptyPath = sim.start({"--type", "6", "--addr", "23", "--modbus-addr", "1"});
    QVERIFY(!ptyPath.isEmpty());
    PtyWindowRig rig(ptyPath);
    rig.showAndActivate();
    MainWindow& frm = *rig.mainWindow;
    child<QAction>(frm, "m_modbusAction")->trigger();
    ModbusWindow* modbus = frm.modbusWindow();
    QVERIFY(modbus && modbus->isVisible());

    modbus->m_addressBox->setValue(1);
    modbus->m_functionBox->setCurrentIndex(modbus->m_functionBox->findData(3));
    modbus->m_startBox->setValue(0);
    modbus->m_countBox->setValue(4);
    modbus->m_readButton->click();
    QCOMPARE(
        QStringList({valueOf(*modbus, 0), valueOf(*modbus, 1), valueOf(*modbus, 2), valueOf(*modbus, 3)}),
        QStringList({"0", "1", "2", "3"}));
    frm.flushLog();
    QVERIFY(shownLogLines(frm).contains(QStringLiteral("【发送】01 03 00 00 00 04 44 09")));

    // Registers 0 and 1 as one 32-bit value; register 1 alone in hex.
    formatText(*modbus, 0)->setCurrentText(QStringLiteral("u32 CDAB"));
    formatText(*modbus, 1)->setCurrentText(QStringLiteral("hex"));
    QCOMPARE(valueOf(*modbus, 0), QStringLiteral("65536"));
    QCOMPARE(valueOf(*modbus, 1), QStringLiteral("0x0001"));
    modbus->m_oneBasedCheck->setChecked(true);
    QCOMPARE(cell(*modbus, 2, ModbusValueModel::ColAddress).data().toString(), QStringLiteral("40003"));

    // Typing a value asks with the frame first, then writes and reads again.
    rig.prompts.answers << true;
    type(*modbus, 2, ModbusValueModel::ColValue, QStringLiteral("77"));
    QCOMPARE(rig.prompts.shown.size(), 1);
    QVERIFY2(rig.prompts.shown[0].text.contains(QStringLiteral("01 06 00 02 00 4D ")),
             qPrintable(rig.prompts.shown[0].text));
    QCOMPARE(valueOf(*modbus, 2), QStringLiteral("77"));

    modbus->m_startBox->setValue(98);
    modbus->m_readButton->click();
    QCOMPARE(modbus->m_statusLabel->text(), QStringLiteral("异常 02 illegal data address"));
    QVERIFY2(modbus->m_countersLabel->text().contains(QStringLiteral("异常 02 illegal data address：1次")),
             qPrintable(modbus->m_countersLabel->text()));

    modbus->m_startBox->setValue(0);
    modbus->m_intervalBox->setValue(50);
    const int before = modbus->counters().requests;
    modbus->m_pollButton->click();
    QTRY_VERIFY_WITH_TIMEOUT(modbus->counters().goodReplies >= 5, 5000);
    modbus->m_pollButton->click();
    QVERIFY(!modbus->m_pollButton->isChecked());
    QVERIFY(modbus->counters().requests > before);

    type(*modbus, 0, ModbusValueModel::ColName, QStringLiteral("压力, 出口"));
    const QString csv = rig.folder.filePath(QStringLiteral("modbus.csv"));
    rig.prompts.saveNames << csv;
    modbus->m_saveButton->click();
    QFile saved(csv);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(saved.readAll());
    QVERIFY2(text.contains(QStringLiteral("40003")) && text.contains(QStringLiteral("77")) &&
                 text.contains(QStringLiteral("压力")),
             qPrintable(text));

    modbus->close();
    const ModbusSetup setup = SettingsFile(rig.folder.path(), rig.folder.filePath("user")).readModbusSetup();
    QCOMPARE(setup.count, 4);
    QCOMPARE(setup.intervalMs, 50);
    QVERIFY(setup.oneBased);
    QCOMPARE(setup.names.value(0), QStringLiteral("压力, 出口"));
    QCOMPARE(setup.formats.value(0), QStringLiteral("u32 CDAB"));
}

// A Modbus TCP gateway echoes nothing: with "去除回显" ticked the reply must
// not be taken for the echo.
void ModbusWindowTest::ModbusTcpIgnoresEchoRemoval()
{
    SimProcess sim;
    sim.start({"--type", "6", "--modbus-addr", "1", "--mbtcp", "0"});
    QVERIFY2(sim.firstLine().startsWith("MBTCP "), qPrintable(sim.firstLine()));
    PtyWindowRig rig(QStringLiteral("mbtcp://") + sim.firstLine().mid(6), true);
    rig.showAndActivate();
    child<QAction>(*rig.mainWindow, "m_modbusAction")->trigger();
    ModbusWindow* modbus = rig.mainWindow->modbusWindow();
    QVERIFY(modbus);
    modbus->m_addressBox->setValue(1);
    modbus->m_countBox->setValue(2);
    modbus->m_readButton->click();
    QCOMPARE(modbus->m_statusLabel->text(), QStringLiteral("正常"));
    QCOMPARE(QStringList({valueOf(*modbus, 0), valueOf(*modbus, 1)}), QStringList({"0", "1"}));
    QCOMPARE(modbus->counters().timeouts, 0);
}

QTEST_MAIN(ModbusWindowTest)
#include "modbus_window_test.moc"
