// Every read the main window starts: identify the meter, select its kind in
// the tree, read the kind in the transaction window; also the archive download
// ("备份全部记录") and the meter search ("搜索流量计"). Each holds the port
// through the port session for its whole length and tells the operator when
// the port is busy, closed or failed.
#pragma once

#include "app/port_session.h"
#include "decoding/protocol_sheet.h"
#include "decoding/record_table.h"
#include "protocol/device_type_memo.h"
#include "protocol/meter_scan.h"
#include "protocol/prepared_kind.h"
#include "protocol/transaction_run.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

class DeviceRegistry;
class DeviceTree;
class Prompter;
class QAction;
class QTreeWidgetItem;
class SettingsFile;
class TransactionDialog;
class Waiter;

// What the reads work with; every reference must outlive the controller.
struct ReadContext {
    const DeviceRegistry& registry;
    QWidget& window; // parent of the dialogs and messages
    PortSession& session;
    Waiter& waiter;
    Prompter& prompter;
    RecordTable& records;
    DeviceTree& tree;
    QString settingsDir; // where the file dialogs start
    std::function<int()> address;
    std::function<bool()> fastReading; // "快速读取" checked
};

class ReadController : public QObject {
    Q_OBJECT
public:
    explicit ReadController(const ReadContext& context);
    ~ReadController() override;

    // Opens the protocol workbook the settings name; false, with the operator
    // told what is wrong with it, when it cannot be used.
    bool loadProtocolWorkbook(const SettingsFile& settings);

    // Sets up the table's columns for `kindCode`.
    void setupRecordColumns(int kindCode);
    int kindCode() const { return m_kind.kindCode; }
    const ProtocolSheet& protocolSheet() const { return m_protocolSheet; }
    // The type last found at the current port and meter address, 0 when none.
    int knownDeviceType() const;
    // "没有你要读的流量计信息！", with the echo hint when the replies began with their request.
    QString noMeterText() const;
    // False while a read selects tree nodes itself.
    bool treeChangeEnabled() const { return m_treeChangeEnabled; }
    TransactionDialog& transactionDialog() { return *m_transactionDialog; }

    // The operator selected a kind node: its columns, after asking when rows
    // would be lost (and then reading it at once).
    void onKindSelected(QTreeWidgetItem* node);
    // Every block of the kind selected in the tree.
    void readSelectedKind();
    // A record-type menu item ("N15" …): identifies the meter and reads the
    // item's kind of the type found.
    void readRecordMenuItem(QAction* item);
    // "读取全部记录": identifies the meter and reads its first kind.
    void readAll();
    // "读取部分记录": the blocks the operator chooses of the selected kind.
    void readRange();
    // "备份全部记录": every record kind of the meter into one workbook.
    void backup();
    // "搜索流量计": the meters on the line; a double-click takes an address.
    void search();

signals:
    // The operator took a meter found by the search.
    void addressChosen(int address);

private:
    // Runs `work` (which returns the text of a port failure it caught itself)
    // on the port; with `openPort` only when the port is open. The operator is
    // told when the port is busy, closed or failed. True when the work ran and
    // the port came through.
    bool usePort(const std::function<QString()>& work, bool openPort);
    // The device type at the meter address, with "正在识别流量计……" and
    // "取消" shown meanwhile; fast when "快速读取" is checked. Nothing when
    // the operator cancelled; port failures propagate.
    std::optional<int> identifyWithProgress(ProbeSet probes);
    void readDeviceType(int deviceType);
    bool prepareRecordTable(int kindCode);
    // Base request of `kind` at the meter address, with the port-closed message shown.
    BaseRequest composeRequest(const PreparedKind& kind);
    // Reads the plan's blocks of the kind set up; the port failure's text, if any.
    QString startRead(const BaseRequest& base, const ReadPlan& plan);
    QString readWholeKind(int kindCode, ReadStartWay way);
    void inform(const QString& text);
    bool ask(const QString& text);

    const DeviceRegistry& m_registry;
    QWidget& m_window;
    PortSession& m_session;
    Exchange& m_exchange;
    Waiter& m_waiter;
    Prompter& m_prompter;
    RecordTable& m_records;
    DeviceTree& m_tree;
    QString m_settingsDir;
    std::function<int()> m_address;
    std::function<bool()> m_fastReading;

    TransactionRun m_run;
    QPointer<TransactionDialog> m_transactionDialog;
    // What identification found at each port and address in this session.
    DeviceTypeMemo m_knownTypes;
    ProtocolSheet m_protocolSheet;
    CellReader m_protocolCells;
    // The record kind the table's columns were set up for.
    PreparedKind m_kind;
    bool m_treeChangeEnabled = true;
};
