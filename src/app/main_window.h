// The main window: device and record tree, record table, log pane, toolbar,
// menus and status bar. Every read starts here and runs modally in the
// transaction window. Its collaborators come from outside (port, waiter,
// prompter, settings folder) so tests drive it against a simulated meter.
#pragma once

#include "app/port_control.h"
#include "app/port_session.h"
#include "decoding/protocol_sheet.h"
#include "decoding/record_table.h"
#include "log/log_model.h"
#include "protocol/device_type_memo.h"
#include "protocol/exchange.h"
#include "protocol/port_guard.h"
#include "protocol/prepared_kind.h"
#include "protocol/transaction_run.h"
#include "serial/port_list.h"
#include "settings/settings_file.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>

class LogMirror;
class Prompter;
class QAbstractScrollArea;
class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QTableView;
class QToolBar;
class QToolButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class RecordTableModel;
class ChartWindow;
class ModbusWindow;
class ParamWindow;
class TransactionDialog;
class Waiter;

// What the main window works with; every reference must outlive the window.
struct MainWindowContext {
    const DeviceRegistry& registry; // must outlive the window
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

    // Tree.
    void onTreeNodeChanged(QTreeWidgetItem* node);
    void onTreeNodeDoubleClicked();
    void setupRecordColumns(int kindCode);
    void selectRecordKind(int kindCode);
    // "没有你要读的流量计信息！", with the echo hint when the replies began with their request.
    QString noMeterText() const;
    void selectDeviceType(int deviceType);
    // The record-type menu item with this component name ("N15" …).
    void onRecordKindChosen(QAction* item);

    // Actions.
    void onPortSettingsTriggered();
    void onOpenPortTriggered();
    void onAddressTriggered();
    void onReadRealtimeTriggered();
    void onSaveRecordsTriggered();
    void onClearRecordsTriggered();
    void onSaveLogTriggered();
    void onClearLogTriggered();
    void onCopyLogTriggered();
    void onAboutTriggered();
    void onHideLogToggled(bool checked);
    void onHideCaptionToggled(bool checked);
    void onReadAllTriggered();
    void onReadRangeTriggered();
    void onFastReadToggled(bool checked);
    void onManualTriggered();
    // The chart window "曲线" over the record table, created on first use.
    void onChartTriggered();
    // The general Modbus window "Modbus调试" on the same port, created on first use.
    void onModbusTriggered();
    // "备份全部记录": every record kind of the meter into one workbook.
    void onBackupTriggered();
    // "搜索流量计": the meters on the line; a double-click takes an address.
    void onSearchTriggered();

    // State.
    int address() const { return m_address; }
    bool portOpenedOnce() const { return m_portOpenedOnce; }
    bool treeChangeEnabled() const { return m_treeChangeEnabled; }
    RecordTable& records() { return m_records; }
    LogModel& log() { return m_log; }
    TransactionDialog& transactionDialog() { return *m_transactionDialog; }
    ParamWindow& paramWindow() { return *m_paramWindow; }
    PortGuard& portOwner() { return m_session.guard(); }
    PortSession& portSession() { return m_session; }
    ChartWindow* chartWindow() const { return m_chartWindow; }
    ModbusWindow* modbusWindow() const { return m_modbusWindow; }
    const ProtocolSheet& protocolLayout() const { return m_protocolSheet; }
    QString statusText(int panel) const;
    QTreeWidgetItem* selectedNode() const;
    // The code a tree node carries: 1..7 for a device type, else its kind code.
    static int nodeCodeOf(const QTreeWidgetItem* node);
    // Hands pending log lines to the log pane now.
    void flushLog();

    // Controls by the names the operator's manual uses.
    QToolBar* m_toolBar = nullptr;
    QToolButton* m_portSettingsButton = nullptr;
    QToolButton* m_openPortButton = nullptr;
    QToolButton* m_addressButton = nullptr;
    QToolButton* m_realtimeButton = nullptr;
    QToolButton* m_historyButton = nullptr;
    QToolButton* m_saveRecordsButton = nullptr;
    QToolButton* m_deleteRecordsButton = nullptr;
    QToolButton* m_saveLogButton = nullptr;
    QToolButton* m_deleteLogButton = nullptr;
    QToolButton* m_aboutButton = nullptr;
    QToolButton* m_exitButton = nullptr;
    QToolButton* m_chartButton = nullptr;
    QToolButton* m_modbusButton = nullptr;
    QWidget* m_treePane = nullptr;
    QTreeWidget* m_deviceTree = nullptr;
    QSplitter* m_treeSplitter = nullptr;
    QWidget* m_recordPane = nullptr;
    QTableView* m_recordView = nullptr;
    QSplitter* m_logSplitter = nullptr;
    QWidget* m_logPane = nullptr;
    QPlainTextEdit* m_logView = nullptr;
    QStatusBar* m_statusBar = nullptr;
    QMenu* m_recordKindMenu = nullptr;
    QMenu* m_logMenu = nullptr;
    QMenu* m_recordMenu = nullptr;
    QMenu* m_readMenu = nullptr;
    QMenu* m_treeMenu = nullptr;

    QAction* m_portSettingsAction = nullptr;
    QAction* m_exitAction = nullptr;
    QAction* m_addressAction = nullptr;
    QAction* m_saveRecordsAction = nullptr;
    QAction* m_saveLogAction = nullptr;
    QAction* m_clearRecordsAction = nullptr;
    QAction* m_clearLogAction = nullptr;
    QAction* m_aboutAction = nullptr;
    QAction* m_hideLogAction = nullptr;
    QAction* m_openPortAction = nullptr;
    QAction* m_readAllAction = nullptr;
    QAction* m_hideCaptionAction = nullptr;
    QAction* m_readRangeAction = nullptr;
    QAction* m_readRealtimeAction = nullptr;
    // "快速读取": runs started from the window collect replies the fast way.
    QAction* m_fastReadAction = nullptr;
    QAction* m_copyLogAction = nullptr;
    QAction* m_manualAction = nullptr;
    QAction* m_chartAction = nullptr;
    QAction* m_modbusAction = nullptr;
    QAction* m_backupAction = nullptr;
    QAction* m_searchAction = nullptr;

    // Shows the window where the operator left it; false (nothing shown) when
    // no place is stored or it lies on no screen.
    bool showAtStoredPlace();
    // Writes the window's place now (it is also written a second after every
    // move or resize, and when a window that was shown closes).
    void saveWindowPlace();

protected:
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildActions();
    void buildToolbar();
    void buildPanes();
    void buildTree();
    void buildMenus();
    // A context menu of `view`, popped up where the operator right-clicks.
    QMenu* contextMenuFor(QAbstractScrollArea* view, const QString& name);
    void buildStatusBar();

    void loadSettings();
    void saveSettings();
    void loadProtocolWorkbook();
    bool prepareRecordTable(int kindCode);

    void showPortOpened();
    void showPortClosed(bool disableRecordMenu);
    void onPortStateChanged(PortSession::State state);
    // Tells the operator once, with the reason in words under our own line.
    void onPortLost(const QString& reason);
    // After a use of the port: a loss is told once, any other port error as it is.
    void afterPortUse(const QString& error = QString());
    // "串口状态：正在连接 …" while a network port connects.
    void showConnecting();
    // Which probes identify the meter: those of the record-type menu (also the
    // backup's) or the older record readers' of "读取全部记录".
    enum class ProbeSet { RecordMenu, RecordReader };
    // The device type at the meter address, with "正在识别流量计……" and
    // "取消" shown meanwhile; fast when "快速读取" is checked. 0 when nothing
    // answered or the operator cancelled (`cancelled` then set).
    int identifyWithProgress(bool& cancelled, ProbeSet probes = ProbeSet::RecordMenu);
    // Identification before reading every record: nothing when cancelled or
    // when the port failed (the operator told), else the device type, 0 when
    // no meter answered.
    std::optional<int> identifyForRead(ProbeSet probes);
    // The port for an operator action; empty, with the operator told why, when
    // another exchange is using it.
    PortGuard::Lease claimPort();
    // As claimPort, and an empty lease with "串口未打开…" shown when the port is closed.
    PortGuard::Lease claimOpenPort();
    void setPortStatus(const QString& text);
    void showAddress();

    // Base request of `kind` at the meter address, with the port-closed message shown.
    BaseRequest composeRequest(const PreparedKind& kind);
    // Reads the plan's blocks of the kind the table is set up for, in the progress window.
    void startRead(const BaseRequest& base, const ReadPlan& plan);
    // Every block of `kindCode`, once the operator agreed to overwrite the table.
    void readWholeKind(int kindCode, ReadStartWay way);
    int nodeCode(const QTreeWidgetItem* node) const { return nodeCodeOf(node); }
    void updateNodeImages(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void inform(const QString& text);
    bool ask(const QString& text);
    // The archive download and the search (main_window_archive.cpp).
    void buildArchiveActions();
    bool fastReading() const;
    // The type last found at the current port and meter address, 0 when none.
    int knownDeviceType() const;

    // What identification found at each port and address in this session.
    DeviceTypeMemo m_knownTypes;
    Waiter& m_waiter;
    Prompter& m_prompter;
    QString m_settingsDir;
    SettingsFile m_settings;
    QString m_helpDir;

    RecordTable m_records;
    LogModel m_log;
    PortSession m_session;
    const DeviceRegistry& m_registry;
    Exchange& m_exchange;
    // The port state last shown: a failed opening shows less than a close.
    PortSession::State m_shownPortState = PortSession::State::Closed;
    TransactionRun m_run;
    ProtocolSheet m_protocolSheet;
    CellReader m_protocolCells;
    bool m_protocolWorkbookFailed = false;

    int m_address = 23;
    bool m_portOpenedOnce = false;
    bool m_treeChangeEnabled = true;
    bool m_shownOnce = false;
    bool m_activationAfterPrompt = false;
    // No port chosen yet (first start): nothing is opened until the operator chooses.
    bool m_noPortChosen = false;
    bool m_noPortTold = false;
    bool m_choosePortFirst = false;
    QTimer* m_placeTimer = nullptr;
    // The record kind the table's columns were set up for.
    PreparedKind m_kind;
    std::function<QList<SerialPortDetails>()> m_machinePorts;
    bool m_destroying = false;

    RecordTableModel* m_recordModel = nullptr;
    LogMirror* m_logMirror = nullptr;
    TransactionDialog* m_transactionDialog = nullptr;
    ParamWindow* m_paramWindow = nullptr;
    ChartWindow* m_chartWindow = nullptr;
    ModbusWindow* m_modbusWindow = nullptr;
    QGroupBox* m_logGroup = nullptr;
    QLabel* m_statusPanels[3] = {nullptr, nullptr, nullptr};
};
