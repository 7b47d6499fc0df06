// The main window: device and record tree, record table, log pane, toolbar,
// menus and status bar. Reads start here (the read controller runs them
// modally in the transaction window). Its collaborators come from outside
// (port, waiter, prompter, settings folder) so tests drive it against a
// simulated meter; they find its widgets and actions by objectName.
#pragma once

#include "app/port_control.h"
#include "app/port_session.h"
#include "decoding/record_table.h"
#include "log/log_model.h"
#include "protocol/port_guard.h"
#include "serial/port_list.h"
#include "settings/settings_file.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class ChartWindow;
class DeviceRegistry;
class DeviceTree;
class LogPane;
class ModbusWindow;
class ParamWindow;
class PortActions;
class Prompter;
class QAction;
class QLabel;
class QMenu;
class QToolBar;
class QToolButton;
class QTreeWidgetItem;
class ReadController;
class RecordPane;
class TransactionDialog;
class Waiter;
class WindowPlaceKeeper;

// What the main window works with; every reference must outlive the window.
struct MainWindowContext {
    const DeviceRegistry& registry;
    PortControl& port;
    Waiter& waiter;
    Prompter& prompter;
    // Folder of the settings file and of the Excel/ folder: the program folder.
    QString settingsDir;
    // Where the settings go when settingsDir cannot be written; empty for the
    // per-user configuration folder.
    QString userSettingsDir;
    // Folder of the help files.
    QString helpDir;
    // The machine's serial ports, asked when the settings name no port yet: the
    // only one there is gets used; with none or several the window opens none
    // and points to the port dialog. Empty: the settings' default port.
    std::function<QList<SerialPortDetails>()> machinePorts = {};
    // With no port in the settings, take none of the machine's and show the
    // port dialog at the first activation: on Windows merely opening a port
    // that is not ours can block for a long time.
    bool choosePortFirst = false;
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(const MainWindowContext& context, QWidget* parent = nullptr);
    ~MainWindow() override;

    // True when the protocol workbook could not be opened at start-up; the
    // program then ends after the message without serving the operator.
    bool protocolWorkbookFailed() const { return m_protocolWorkbookFailed; }

    // Window events, public so tests can raise them where the platform would.
    void onShown();
    void onActivated();
    bool canClose();

    // Reads, as the tree's double-click, a record-type menu item ("N15" …) and
    // "读取全部记录" start them.
    void onTreeNodeDoubleClicked();
    void onRecordKindChosen(QAction* item);
    void onReadAllTriggered();
    void setupRecordColumns(int kindCode);
    void onReadRealtimeTriggered();
    void onClearRecordsTriggered();

    // State.
    int address() const { return m_address; }
    bool portOpenedOnce() const { return m_portOpenedOnce; }
    bool treeChangeEnabled() const;
    RecordTable& records() { return m_records; }
    LogModel& log() { return m_log; }
    TransactionDialog& transactionDialog();
    ParamWindow& paramWindow() { return *m_paramWindow; }
    PortGuard& portOwner() { return m_session.guard(); }
    PortSession& portSession() { return m_session; }
    ChartWindow* chartWindow() const { return m_chartWindow; }
    ModbusWindow* modbusWindow() const { return m_modbusWindow; }
    QString statusText(int panel) const;
    QTreeWidgetItem* selectedNode() const;
    // Hands pending log lines to the log pane now.
    void flushLog();

    // Shows the window where the operator left it; false (nothing shown) when
    // no place is stored or it lies on no screen.
    bool showAtStoredPlace();
    // Writes the window's place now (it is also written a second after every
    // move or resize, and when a window that was shown closes).
    void saveWindowPlace();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildActions();
    void buildToolbar();
    void buildPanes();
    void buildMenus();
    void buildStatusBar();

    void loadSettings(const std::function<QList<SerialPortDetails>()>& machinePorts, bool choosePortFirst);
    void saveSettings();

    void onAddressTriggered();
    void onAboutTriggered();
    void onHideLogToggled(bool checked);
    void onHideCaptionToggled(bool checked);
    void onReadRangeTriggered();
    void onFastReadToggled(bool checked);
    void onManualTriggered();
    // The chart window "曲线" over the record table, created on first use.
    void onChartTriggered();
    // The general Modbus window "Modbus调试" on the same port, created on first use.
    void onModbusTriggered();
    void onKindSelected(QTreeWidgetItem* node);
    void setAddress(int address);

    // Read actions and record-type menu follow the port.
    void onPortShown(bool open);
    void showAddress();
    bool fastReading() const;

    const DeviceRegistry& m_registry;
    Waiter& m_waiter;
    Prompter& m_prompter;
    QString m_settingsDir;
    SettingsFile m_settings;
    QString m_helpDir;

    RecordTable m_records;
    LogModel m_log;
    PortSession m_session;
    bool m_protocolWorkbookFailed = false;

    int m_address = 23;
    bool m_portOpenedOnce = false;
    bool m_shownOnce = false;
    bool m_activationAfterPrompt = false;

    QToolBar* m_toolBar = nullptr;
    QToolButton* m_historyButton = nullptr;
    QWidget* m_treePane = nullptr;
    DeviceTree* m_deviceTree = nullptr;
    RecordPane* m_recordPane = nullptr;
    LogPane* m_logPane = nullptr;
    QLabel* m_statusPanels[3] = {nullptr, nullptr, nullptr};
    QMenu* m_recordKindMenu = nullptr;

    QAction* m_exitAction = nullptr;
    QAction* m_addressAction = nullptr;
    QAction* m_aboutAction = nullptr;
    QAction* m_hideLogAction = nullptr;
    QAction* m_readAllAction = nullptr;
    QAction* m_hideCaptionAction = nullptr;
    QAction* m_readRangeAction = nullptr;
    QAction* m_readRealtimeAction = nullptr;
    // "快速读取": runs started from the window collect replies the fast way.
    QAction* m_fastReadAction = nullptr;
    QAction* m_manualAction = nullptr;
    QAction* m_chartAction = nullptr;
    QAction* m_modbusAction = nullptr;
    QAction* m_backupAction = nullptr;
    QAction* m_searchAction = nullptr;
    QAction* m_historyAction = nullptr;

    std::unique_ptr<ReadController> m_reads;
    WindowPlaceKeeper* m_place = nullptr;
    PortActions* m_ports = nullptr;
    ParamWindow* m_paramWindow = nullptr;
    ChartWindow* m_chartWindow = nullptr;
    ModbusWindow* m_modbusWindow = nullptr;
};
