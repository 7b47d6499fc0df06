// The general Modbus window "Modbus调试": reads and writes any register of any
// slave on the main window's port, once or polled, one table row per register
// with its own display format and a name the operator types. It shares the
// main window's port, port guard and hex log; it is created once and shown
// non-modally, closing only hides it.
#pragma once

#include "modbus/modbus_master.h"
#include "modbus/modbus_values.h"
#include "protocol/exchange.h"
#include "protocol/port_guard.h"

#include <QDialog>

#include <functional>
#include <memory>

class PortSession;
class LogModel;
class Prompter;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableView;
class ModbusValueModel;
class QTimer;
class SettingsFile;
class Waiter;

struct ModbusWindowContext {
    // The port; its name says the framing: mbtcp:// speaks Modbus TCP, every other RTU.
    PortSession& session;
    Waiter& waiter;
    Prompter& prompter;
    LogModel& log;
    SettingsFile& settings;
    // Initial folder of the save dialog.
    QString exportFolder;
};

class ModbusWindow : public QDialog {
    Q_OBJECT
public:
    explicit ModbusWindow(const ModbusWindowContext& context, QWidget* parent = nullptr);
    ~ModbusWindow() override;

    // One request now; the outcome shows in the table, the counters and the
    // status line. Refused while another exchange holds the port.
    void readOnce();
    // Starts or stops polling every interval; a turn is skipped while the
    // port is busy.
    void setPolling(bool on);
    // Writes the text typed into row `row`'s value cell (06/16, or 05/15 for
    // coils) after the operator confirmed the frame; then reads again.
    void writeRow(int row, const QString& text);
    // "保存": the table into .xlsx or .csv.
    void saveTable();
    // The set-up into `[Modbus]`.
    void saveSetup();

    QSpinBox* m_addressBox = nullptr;
    QComboBox* m_functionBox = nullptr;
    QSpinBox* m_startBox = nullptr;
    QCheckBox* m_oneBasedCheck = nullptr;
    QSpinBox* m_countBox = nullptr;
    QSpinBox* m_intervalBox = nullptr;
    QCheckBox* m_multipleCheck = nullptr;
    QPushButton* m_readButton = nullptr;
    QPushButton* m_pollButton = nullptr;
    QPushButton* m_saveButton = nullptr;
    QTableView* m_valueTable = nullptr;
    ModbusValueModel* m_values = nullptr;
    QLabel* m_countersLabel = nullptr;
    QLabel* m_statusLabel = nullptr;

    const ModbusCounters& counters() const { return m_master.counters(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    ModbusRequest readRequest() const;
    // Runs one request under the port lease; nullopt when the port was busy
    // or closed, or failed.
    std::optional<ModbusOutcome> run(const ModbusRequest& request, bool onDemand);
    void showOutcome(const ModbusOutcome& outcome);
    void resizeTable();
    void refreshAddresses();
    void refreshCounters();
    bool isBitTable() const;
    void loadSetup();

    ModbusWindowContext m_context;
    Exchange m_exchange;
    ModbusMaster m_master;
    const ModbusFraming* m_framing;
    QTimer* m_pollTimer = nullptr;
    bool m_filling = false;
};
