// The main window: device and record tree, record table, log pane, toolbar,
// menus and status bar. Every read starts here and runs modally in the
// transaction window. Its collaborators come from outside (port, waiter,
// prompter, settings folder) so tests drive it against a simulated meter.
#pragma once

#include "app/port_control.h"
#include "decoding/field_description.h"
#include "decoding/protocol_sheet.h"
#include "decoding/record_table.h"
#include "log/log_model.h"
#include "protocol/exchange.h"
#include "protocol/port_guard.h"
#include "protocol/transaction_run.h"
#include "serial/echo_removing_link.h"
#include "serial/port_list.h"
#include "settings/settings_file.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class LogMirror;
class Prompter;
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
class TChartFrm;
class TModbusFrm;
class TReadParamFrm;
class TWaitEchoFrm;
class Waiter;

// What the main window works with; every reference must outlive the window.
struct MainFrmContext {
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
};

class TMainFrm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainFrm(const MainFrmContext& context, QWidget* parent = nullptr);
    ~TMainFrm() override;

    // True when the protocol workbook could not be opened at start-up; the
    // program then ends after the message without serving the operator.
    bool ProtocolWorkbookFailed() const { return FProtocolWorkbookFailed; }

    // Window events, public so tests can raise them where the platform would.
    void FormShow();
    void FormActivate();
    bool FormCloseQuery();

    // Tree.
    void TreeView1Change(QTreeWidgetItem* node);
    void TreeView1DblClick();
    void SetupRecordColumns(int kindCode);
    void SelectRecordKind(int kindCode);
    void SelectDeviceType(int deviceType);
    // The record-type menu item with this component name ("N15" …).
    void RecordMenuClick(QAction* item);

    // Actions.
    void acSetExecute();
    void acOpenExecute();
    void acAddrExecute();
    void acReadParamExecute();
    void acSaveRecExecute();
    void acDelRecExecute();
    void acSaveLogExecute();
    void acDelLogExecute();
    void N16Click();
    void acAboutExecute();
    void acWinExecute(bool checked);
    void acCapWinExecute(bool checked);
    void acSendExecute();
    void acReadExecute();
    void acFastReadExecute(bool checked);
    void H2Click();
    // The chart window "曲线" over the record table, created on first use.
    void acChartExecute();
    // The general Modbus window "Modbus调试" on the same port, created on first use.
    void acModbusExecute();
    // "备份全部记录": every record kind of the meter into one workbook.
    void acBackupExecute();
    // "搜索流量计": the meters on the line; a double-click takes an address.
    void acSearchExecute();

    // State.
    int Address() const { return FAddress; }
    bool PortOpenedOnce() const { return FPortOpenedOnce; }
    bool TreeChangeEnabled() const { return FTreeChangeEnabled; }
    RecordTable& Records() { return FRecords; }
    LogModel& Log() { return FLog; }
    TWaitEchoFrm& WaitEcho() { return *FWaitEchoFrm; }
    TReadParamFrm& ReadParam() { return *FReadParamFrm; }
    PortGuard& PortOwner() { return FPortGuard; }
    TChartFrm* ChartFrm() const { return FChartFrm; }
    TModbusFrm* ModbusFrm() const { return FModbusFrm; }
    const ProtocolSheet& ProtocolLayout() const { return FProtocolSheet; }
    QString StatusText(int panel) const;
    QTreeWidgetItem* SelectedNode() const;
    // The code a tree node carries: 1..7 for a device type, else its kind code.
    static int NodeCodeOf(const QTreeWidgetItem* node);
    // Hands pending log lines to the log pane now.
    void FlushLog();

    // Controls by the names the operator's manual uses.
    QToolBar* RzToolbar1 = nullptr;
    QToolButton* RS485Btn = nullptr;
    QToolButton* TBtnOpen = nullptr;
    QToolButton* RzToolButton1 = nullptr;
    QToolButton* RzToolButton2 = nullptr;
    QToolButton* RzToolButton3 = nullptr;
    QToolButton* RzToolButton4 = nullptr;
    QToolButton* RzToolButton5 = nullptr;
    QToolButton* RzToolButton6 = nullptr;
    QToolButton* RzToolButton7 = nullptr;
    QToolButton* RzToolButton8 = nullptr;
    QToolButton* RzToolButton9 = nullptr;
    QToolButton* RzToolButton10 = nullptr;
    QToolButton* ModbusBtn = nullptr;
    QWidget* pnlLeft = nullptr;
    QTreeWidget* TreeView1 = nullptr;
    QSplitter* Splitter2 = nullptr;
    QWidget* pnlClient = nullptr;
    QTableView* ListView1 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QWidget* pnlBottom = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QMenu* PopMemo = nullptr;
    QMenu* PopListView = nullptr;
    QMenu* PopSend = nullptr;
    QMenu* TreePopup = nullptr;

    QAction* acSet = nullptr;
    QAction* acExit = nullptr;
    QAction* acAddr = nullptr;
    QAction* acSaveRec = nullptr;
    QAction* acSaveLog = nullptr;
    QAction* acDelRec = nullptr;
    QAction* acDelLog = nullptr;
    QAction* acAbout = nullptr;
    QAction* acWin = nullptr;
    QAction* acOpen = nullptr;
    QAction* acSend = nullptr;
    QAction* acCapWin = nullptr;
    QAction* acRead = nullptr;
    QAction* acReadParam = nullptr;
    // "快速读取": runs started from the window collect replies the fast way.
    QAction* acFastRead = nullptr;
    QAction* N16 = nullptr;
    QAction* H2 = nullptr;
    QAction* acChart = nullptr;
    QAction* acModbus = nullptr;
    QAction* acBackup = nullptr;
    QAction* acSearch = nullptr;

    // Shows the window where the operator left it; false (nothing shown) when
    // no place is stored or it lies on no screen.
    bool ShowAtStoredPlace();
    // Writes the window's place now (it is also written a second after every
    // move or resize, and when a window that was shown closes).
    void SaveWindowPlace();

protected:
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildActions();
    void BuildToolbar();
    void BuildPanes();
    void BuildTree();
    void BuildMenus();
    void BuildStatusBar();

    void LoadSettings();
    void SaveSettings();
    void LoadProtocolWorkbook();
    bool PrepareRecordTable(int kindCode);

    void ShowPortOpened();
    void ShowPortClosed(bool disableRecordMenu);
    void AfterPortUse(const QString& error = QString());
    // The connection ended by itself; reported at once when nobody is using
    // the port, else when its user lets go of it.
    void PortLost(const QString& reason);
    // Shows the closed state, as after "关闭串口", and tells the operator once,
    // with the reason in words under our own line. By value: the reason is
    // often the pending one this clears.
    void ReportPortLoss(QString reason);
    // "串口状态：正在连接 …" while a network port connects.
    void ShowConnecting();
    // Which probes identify the meter: those of the record-type menu (also the
    // backup's) or the older record readers' of "读取全部记录".
    enum class ProbeSet { RecordMenu, RecordReader };
    // The device type at the meter address, with "正在识别流量计……" and
    // "取消" shown meanwhile; fast when "快速读取" is checked. 0 when nothing
    // answered or the operator cancelled (`cancelled` then set).
    int IdentifyWithProgress(bool& cancelled, ProbeSet probes = ProbeSet::RecordMenu);
    // The port for an operator action; empty, with the operator told why, when
    // another exchange is using it.
    PortGuard::Lease ClaimPort();
    // As ClaimPort, and an empty lease with "串口未打开…" shown when the port is closed.
    PortGuard::Lease ClaimOpenPort();
    void SetPortStatus(const QString& text);
    void ShowAddress();

    // Base request of the selected kind, with the port-closed message shown.
    BaseRequest ComposeBaseRequest(int kindCode);
    void StartRun(int endBlock, int beginBlock, const Bytes& baseRequest, int kindCode, int pollIntervalMs);
    int NodeCode(const QTreeWidgetItem* node) const { return NodeCodeOf(node); }
    void UpdateNodeImages(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void Inform(const QString& text);
    bool Ask(const QString& text);
    // The archive download and the search (main_frm_archive.cpp).
    void BuildArchiveActions();
    bool FastReading() const;

    PortControl& FPort;
    PortGuard FPortGuard;
    // The port's reason of a loss not yet reported.
    QString FLostPortMessage;
    Waiter& FWaiter;
    Prompter& FPrompter;
    QString FSettingsDir;
    SettingsFile FSettings;
    QString FHelpDir;

    RecordTable FRecords;
    LogModel FLog;
    // The port's link with the echo of each request removed when the settings
    // ask for it ([Port] Echo, the dialog's "去除回显"): what every exchange uses.
    EchoRemovingLink FLink;
    Exchange FExchange;
    TransactionRun FRun;
    FieldTypeList FFieldTypes;
    FieldDigitsArray FFieldDigits{};
    ProtocolSheet FProtocolSheet;
    CellReader FProtocolCells;
    bool FProtocolWorkbookFailed = false;

    int FAddress = 23;
    bool FPortOpenedOnce = false;
    bool FTreeChangeEnabled = true;
    bool FShownOnce = false;
    bool FActivationAfterPrompt = false;
    // No port chosen yet (first start): nothing is opened until the operator chooses.
    bool FNoPortChosen = false;
    bool FNoPortTold = false;
    QTimer* FPlaceTimer = nullptr;
    // The record kind the table's columns were set up for.
    int FTableKind = 0;
    std::function<QList<SerialPortDetails>()> FMachinePorts;
    bool FDestroying = false;

    RecordTableModel* FRecordModel = nullptr;
    LogMirror* FLogMirror = nullptr;
    TWaitEchoFrm* FWaitEchoFrm = nullptr;
    TReadParamFrm* FReadParamFrm = nullptr;
    TChartFrm* FChartFrm = nullptr;
    TModbusFrm* FModbusFrm = nullptr;
    QGroupBox* FLogGroup = nullptr;
    QLabel* FStatusPanels[3] = {nullptr, nullptr, nullptr};
};
