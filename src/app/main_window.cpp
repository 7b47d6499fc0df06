#include "app/main_window.h"
#include "app/app_texts.h"
#include "app/link_reason_text.h"

#include "app/about_dialog.h"
#include "app/address_dialog.h"
#include "app/app_images.h"
#include "app/block_range_dialog.h"
#include "app/chart_window.h"
#include "app/help_files.h"
#include "app/log_mirror.h"
#include "app/manual_window.h"
#include "app/modbus_window.h"
#include "app/param_window.h"
#include "app/port_settings_dialog.h"
#include "app/prompter.h"
#include "app/record_table_model.h"
#include "app/transaction_dialog.h"
#include "catalogue/catalogue.h"
#include "log/log_file.h"
#include "protocol/meter_identification.h"
#include "protocol/meter_scan.h"
#include "protocol/waiter.h"
#include "serial/com_port.h"
#include "serial/com_port_error.h"
#include "serial/com_types.h"
#include "serial/link_factory.h"

#include "export/protocol_workbook.h"
#include "export/record_export.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDate>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString kOverwriteQuestion = QStringLiteral("是否要覆盖原记录信息？");
const QString kNoPortChosen = QStringLiteral("尚未选择串口，请在“串口设置”中选择串口。");
const QString kOpenFailed = QStringLiteral("串口打开失败或被占用，请检查");
const QString kOpenTimedOut = QStringLiteral("串口打开超时，请检查");
const QString kCloseFailed = QStringLiteral("串口关闭失败，请检查!");
const QString kPortClosedStatus = QStringLiteral("串口状态：已关闭");
const QString kOpenCaption = QStringLiteral("打开串口");
const QString kCloseCaption = QStringLiteral("关闭串口");
// Light grey of the original panels (0xF0F0F0).
const QColor kPanelColour(0xF0, 0xF0, 0xF0);
constexpr int kNodeCodeRole = Qt::UserRole + 1;

QString text(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The record table's header, 5 pixels taller than Qt makes it, with the rows
// starting 2 pixels below it: the sections are painted in all but the last 2
// pixels of the header.
class TallHeader : public QHeaderView {
public:
    explicit TallHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

    QSize sizeHint() const override
    {
        QSize size = QHeaderView::sizeHint();
        size.setHeight(size.height() + 7);
        return size;
    }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override
    {
        QHeaderView::paintSection(painter, rect.adjusted(0, 0, 0, -2), logicalIndex);
    }
};

// Restores the normal cursor however a handler ends.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { restore(); }
    void restore()
    {
        if (m_active)
            QApplication::restoreOverrideCursor();
        m_active = false;
    }

private:
    bool m_active = true;
};

// "串口打开失败或被占用，请检查" and, under it, which port and why: a server
// that cannot be reached is named by its address, a device by its name.
QString openFailedText(const QString& portName, const ComPortError& error)
{
    if (error.errorNumber == kComErrOpenTimeout)
        return kOpenTimedOut + u'\n' + portName +
               QStringLiteral("：%1 秒内没有打开").arg((ComPort::kOpenTimeoutMs + 999) / 1000);
    const QString reason = causeText(error);
    const std::optional<NetworkAddress> address = parseNetworkPortName(portName);
    if (address && error.errorNumber == kComErrOpen) {
        const QString host = address->host.contains(u':') ? u'[' + address->host + u']' : address->host;
        return kOpenFailed +
               QStringLiteral("\n无法连接 %1:%2（%3）").arg(host).arg(address->port).arg(reason);
    }
    return kOpenFailed + u'\n' + portName + QStringLiteral("：") + reason;
}

// Shown under "没有你要读的流量计信息！" when the replies began with their
// request: the adapter hears its own transmission.
QString echoHint(int echoedReplies, bool echoRemoval)
{
    if (echoedReplies == 0)
        return {};
    return echoRemoval
               ? QStringLiteral("\n应答以请求开头：去除回显后仍听到请求，适配器把请求回送了两次。")
               : QStringLiteral(
                     "\n应答以请求开头：适配器回送了发出的字节，请在\"串口设置\"中勾选\"去除回显\"。");
}

// Clears a flag for the duration of a scope.
class FlagOff {
public:
    explicit FlagOff(bool& flag) : m_flag(flag) { m_flag = false; }
    ~FlagOff() { m_flag = true; }

private:
    bool& m_flag;
};

} // namespace

MainWindow::MainWindow(const MainWindowContext& context, QWidget* parent)
    : QMainWindow(parent), m_waiter(context.waiter), m_prompter(context.prompter),
      m_settingsDir(context.settingsDir),
      m_settings(context.settingsDir, context.userSettingsDir.isEmpty() ? SettingsFile::defaultUserFolder()
                                                                        : context.userSettingsDir),
      m_helpDir(context.helpDir), m_session(context.port, m_log, context.waiter),
      m_registry(context.registry), m_exchange(m_session.exchange()), m_run(m_exchange, m_records)
{
    setObjectName(QStringLiteral("TMainFrm"));
    m_machinePorts = context.machinePorts;
    m_choosePortFirst = context.choosePortFirst;
    setWindowTitle(QStringLiteral("Quellon   RS485通信测试系统"));
    // Wide enough for every column of the record table and the log beside it.
    resize(1180, 760);
    m_placeTimer = new QTimer(this);
    m_placeTimer->setSingleShot(true);
    m_placeTimer->setInterval(1000);
    connect(m_placeTimer, &QTimer::timeout, this, &MainWindow::saveWindowPlace);

    buildActions();
    buildToolbar();
    buildPanes();
    buildTree();
    buildMenus();
    buildStatusBar();

    m_portOpenedOnce = false;
    m_treeChangeEnabled = true;
    loadSettings();
    loadProtocolWorkbook();

    // The transaction window and the parameter window live as long as the
    // main window, created in that order.
    m_transactionDialog = new TransactionDialog(m_run, m_waiter, this);
    m_paramWindow =
        new ParamWindow({m_registry, m_session, m_waiter, m_prompter, m_log, m_settings,
                         [this] { return m_address; }, [this] { return &m_protocolSheet; }, m_settingsDir,
                         [this] { return knownDeviceType(); }, [this] { return fastReading(); }},
                        this);
    connect(&m_session, &PortSession::stateChanged, this, &MainWindow::onPortStateChanged);
    connect(&m_session, &PortSession::lost, this, &MainWindow::onPortLost);
}

MainWindow::~MainWindow()
{
    m_destroying = true;
    disconnect(&m_session, nullptr, this, nullptr);
    saveSettings();
    // Also a window never moved: the next start opens it where it was.
    if (m_shownOnce)
        saveWindowPlace();
    // The views refer to the record table, the log and the run, which are
    // members and go before the child widgets do: detach the views first.
    delete m_paramWindow;
    delete m_transactionDialog;
    delete m_chartWindow;
    delete m_modbusWindow;
    m_recordView->setModel(nullptr);
    delete m_recordModel;
    delete m_logMirror;
}

// ---------------------------------------------------------------------------
// Building the window

void MainWindow::buildActions()
{
    auto make = [this](QAction*& action, const char* name, const QString& caption) {
        action = new QAction(caption, this);
        action->setObjectName(QString::fromLatin1(name));
    };
    make(m_portSettingsAction, "acSet", QStringLiteral("串口设置(&S)"));
    make(m_exitAction, "acExit", QStringLiteral("退出系统"));
    make(m_addressAction, "acAddr", QStringLiteral("流量计地址"));
    make(m_saveRecordsAction, "acSaveRec", QStringLiteral("保存记录"));
    make(m_saveLogAction, "acSaveLog", QStringLiteral("保存日志"));
    make(m_clearRecordsAction, "acDelRec", QStringLiteral("清除记录"));
    make(m_clearLogAction, "acDelLog", QStringLiteral("清除日志"));
    make(m_aboutAction, "acAbout", QStringLiteral("关于(&A)"));
    make(m_hideLogAction, "acWin", QStringLiteral("隐藏日志窗口"));
    make(m_openPortAction, "acOpen", kOpenCaption);
    make(m_readAllAction, "acSend", QStringLiteral("读取全部记录"));
    make(m_hideCaptionAction, "acCapWin", QStringLiteral("隐藏标题窗口"));
    make(m_readRangeAction, "acRead", QStringLiteral("读取部分记录"));
    make(m_readRealtimeAction, "acReadParam", QStringLiteral("读实时数据"));
    make(m_copyLogAction, "N16", QStringLiteral("复制日志"));
    make(m_manualAction, "H2", QStringLiteral("使用手册(&H)"));
    make(m_chartAction, "acChart", QStringLiteral("曲线"));
    make(m_modbusAction, "m_modbusAction", QStringLiteral("Modbus调试"));
    make(m_fastReadAction, "acFastRead", QStringLiteral("快速读取"));
    m_fastReadAction->setCheckable(true);
    m_readAllAction->setEnabled(false);
    m_readRangeAction->setEnabled(false);
    // The menu items NWin and NCapWin carry the check mark of their action.
    m_hideLogAction->setCheckable(true);
    m_hideCaptionAction->setCheckable(true);

    connect(m_portSettingsAction, &QAction::triggered, this, &MainWindow::onPortSettingsTriggered);
    connect(m_exitAction, &QAction::triggered, this, &QWidget::close);
    connect(m_addressAction, &QAction::triggered, this, &MainWindow::onAddressTriggered);
    connect(m_saveRecordsAction, &QAction::triggered, this, &MainWindow::onSaveRecordsTriggered);
    connect(m_saveLogAction, &QAction::triggered, this, &MainWindow::onSaveLogTriggered);
    connect(m_clearRecordsAction, &QAction::triggered, this, &MainWindow::onClearRecordsTriggered);
    connect(m_clearLogAction, &QAction::triggered, this, &MainWindow::onClearLogTriggered);
    connect(m_aboutAction, &QAction::triggered, this, &MainWindow::onAboutTriggered);
    connect(m_hideLogAction, &QAction::triggered, this, &MainWindow::onHideLogToggled);
    connect(m_openPortAction, &QAction::triggered, this, &MainWindow::onOpenPortTriggered);
    connect(m_readAllAction, &QAction::triggered, this, &MainWindow::onReadAllTriggered);
    connect(m_hideCaptionAction, &QAction::triggered, this, &MainWindow::onHideCaptionToggled);
    connect(m_readRangeAction, &QAction::triggered, this, &MainWindow::onReadRangeTriggered);
    connect(m_readRealtimeAction, &QAction::triggered, this, &MainWindow::onReadRealtimeTriggered);
    connect(m_copyLogAction, &QAction::triggered, this, &MainWindow::onCopyLogTriggered);
    connect(m_manualAction, &QAction::triggered, this, &MainWindow::onManualTriggered);
    connect(m_chartAction, &QAction::triggered, this, &MainWindow::onChartTriggered);
    connect(m_modbusAction, &QAction::triggered, this, &MainWindow::onModbusTriggered);
    connect(m_fastReadAction, &QAction::triggered, this, &MainWindow::onFastReadToggled);
}

void MainWindow::buildToolbar()
{
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("RzToolbar1"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setFixedHeight(44);
    m_toolBar->setIconSize(QSize(20, 20));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    auto button = [this](QToolButton*& slot, const char* name, const QString& caption, ToolImage image,
                         QAction* action) {
        slot = new QToolButton(m_toolBar);
        slot->setObjectName(QString::fromLatin1(name));
        slot->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        slot->setFixedSize(60, 40);
        slot->setCursor(Qt::PointingHandCursor);
        slot->setAutoRaise(true);
        slot->setText(caption);
        slot->setToolTip(caption);
        slot->setIcon(toolbarImage(image));
        if (action) {
            connect(slot, &QToolButton::clicked, action, &QAction::trigger);
            connect(action, &QAction::changed, slot,
                    [slot, action] { slot->setEnabled(action->isEnabled()); });
        }
        m_toolBar->addWidget(slot);
    };
    button(m_portSettingsButton, "RS485Btn", QStringLiteral("串口设置"), ToolImage::PortSettings,
           m_portSettingsAction);
    button(m_openPortButton, "TBtnOpen", kOpenCaption, ToolImage::PortClosed, m_openPortAction);
    m_openPortButton->setProperty("imageIndex", 0);
    m_toolBar->addSeparator();
    button(m_addressButton, "RzToolButton1", QStringLiteral("表地址"), ToolImage::Address, m_addressAction);
    m_toolBar->addSeparator();
    button(m_realtimeButton, "RzToolButton2", QStringLiteral("实时数据"), ToolImage::LiveData,
           m_readRealtimeAction);
    button(m_historyButton, "RzToolButton3", QStringLiteral("历史记录"), ToolImage::History, nullptr);
    m_historyButton->setFixedSize(74, 40);
    m_historyButton->setPopupMode(QToolButton::InstantPopup);
    button(m_saveRecordsButton, "RzToolButton4", QStringLiteral("保存记录"), ToolImage::SaveRecords,
           m_saveRecordsAction);
    button(m_deleteRecordsButton, "RzToolButton5", QStringLiteral("删除记录"), ToolImage::DeleteRecords,
           m_clearRecordsAction);
    button(m_chartButton, "RzToolButton10", QStringLiteral("曲线"), ToolImage::Chart, m_chartAction);
    button(m_modbusButton, "ModbusBtn", QStringLiteral("Modbus"), ToolImage::LiveData, m_modbusAction);
    m_modbusButton->setToolTip(QStringLiteral("Modbus调试"));
    button(m_saveLogButton, "RzToolButton6", QStringLiteral("保存日志"), ToolImage::SaveLog, m_saveLogAction);
    button(m_deleteLogButton, "RzToolButton7", QStringLiteral("删除日志"), ToolImage::DeleteLog,
           m_clearLogAction);
    m_toolBar->addSeparator();
    button(m_aboutButton, "RzToolButton8", QStringLiteral("关于"), ToolImage::About, m_aboutAction);
    button(m_exitButton, "RzToolButton9", QStringLiteral("退出系统"), ToolImage::Exit, m_exitAction);
}

void MainWindow::buildPanes()
{
    m_treePane = new QWidget(this);
    m_treePane->setObjectName(QStringLiteral("pnlLeft"));
    m_deviceTree = new QTreeWidget(m_treePane);
    m_deviceTree->setObjectName(QStringLiteral("TreeView1"));
    m_deviceTree->setHeaderHidden(true);
    m_deviceTree->setColumnCount(1);
    m_deviceTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_deviceTree->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_deviceTree->setIndentation(19);
    m_deviceTree->setExpandsOnDoubleClick(false);
    m_deviceTree->setContextMenuPolicy(Qt::CustomContextMenu);
    QPalette treePalette = m_deviceTree->palette();
    treePalette.setColor(QPalette::Base, kPanelColour);
    m_deviceTree->setPalette(treePalette);
    auto* leftLayout = new QVBoxLayout(m_treePane);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(m_deviceTree);

    m_recordPane = new QWidget(this);
    m_recordPane->setObjectName(QStringLiteral("pnlClient"));
    m_recordView = new QTableView(m_recordPane);
    m_recordView->setObjectName(QStringLiteral("ListView1"));
    m_recordView->setHorizontalHeader(new TallHeader(m_recordView));
    m_recordModel = new RecordTableModel(m_records, this);
    m_recordView->setModel(m_recordModel);
    m_recordView->setShowGrid(true);
    m_recordView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_recordView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_recordView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_recordView->setWordWrap(false);
    m_recordView->verticalHeader()->hide();
    m_recordView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_recordView->verticalHeader()->setDefaultSectionSize(22);
    m_recordView->horizontalHeader()->setHighlightSections(false);
    m_recordView->horizontalHeader()->setStretchLastSection(false);
    m_recordView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_recordModel, &RecordTableModel::columnsReplaced, this, [this] {
        for (int c = 0; c < m_records.columnCount(); ++c)
            m_recordView->setColumnWidth(c, m_records.columns()[static_cast<size_t>(c)].width);
    });
    connect(m_recordModel, &RecordTableModel::rowAppended, m_recordView, &QTableView::scrollToBottom);
    auto* clientLayout = new QVBoxLayout(m_recordPane);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->addWidget(m_recordView);

    m_treeSplitter = new QSplitter(Qt::Horizontal, this);
    m_treeSplitter->setObjectName(QStringLiteral("Splitter2"));
    m_treeSplitter->setHandleWidth(3);
    m_treeSplitter->setChildrenCollapsible(false);
    m_treeSplitter->addWidget(m_treePane);
    m_treeSplitter->addWidget(m_recordPane);
    m_treeSplitter->setStretchFactor(1, 1);
    m_treeSplitter->setSizes({300, 571});

    m_logPane = new QWidget(this);
    m_logPane->setObjectName(QStringLiteral("pnlBottom"));
    m_logGroup = new QGroupBox(QStringLiteral("日志信息"), m_logPane);
    m_logView = new QPlainTextEdit(m_logGroup);
    m_logView->setObjectName(QStringLiteral("Memo1"));
    m_logView->setReadOnly(true);
    m_logView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_logView->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_logView->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* groupLayout = new QVBoxLayout(m_logGroup);
    groupLayout->setContentsMargins(4, 4, 4, 4);
    groupLayout->addWidget(m_logView);
    auto* bottomLayout = new QVBoxLayout(m_logPane);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    bottomLayout->addWidget(m_logGroup);
    m_logMirror = new LogMirror(m_log, *m_logView, this);

    m_logSplitter = new QSplitter(Qt::Vertical, this);
    m_logSplitter->setObjectName(QStringLiteral("Splitter1"));
    m_logSplitter->setHandleWidth(3);
    m_logSplitter->setChildrenCollapsible(false);
    m_logSplitter->addWidget(m_treeSplitter);
    m_logSplitter->addWidget(m_logPane);
    m_logSplitter->setStretchFactor(0, 1);
    m_logSplitter->setSizes({450, 197});
    setCentralWidget(m_logSplitter);
}

void MainWindow::buildTree()
{
    QFont bold = m_deviceTree->font();
    bold.setBold(true);
    for (const DeviceTypeDescription* type : m_registry.deviceTypes()) {
        if (!type->shownInTree)
            continue;
        auto* typeNode = new QTreeWidgetItem(m_deviceTree, {text(type->caption)});
        typeNode->setData(0, kNodeCodeRole, type->code);
        typeNode->setIcon(0, treeImage(treeImageIndex(m_registry, type->code)));
        typeNode->setFont(0, bold);
        typeNode->setToolTip(0, text(type->caption));
        for (const RecordKind& kind : type->kinds) {
            auto* kindNode = new QTreeWidgetItem(typeNode, {text(kind.caption)});
            kindNode->setData(0, kNodeCodeRole, kind.code);
            kindNode->setIcon(0, treeImage(treeImageIndex(m_registry, kind.code)));
            kindNode->setToolTip(0, text(kind.caption));
        }
    }
    connect(m_deviceTree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem* previous) {
                updateNodeImages(current, previous);
                onTreeNodeChanged(current);
            });
    connect(m_deviceTree, &QTreeWidget::itemDoubleClicked, this, [this] { onTreeNodeDoubleClicked(); });
}

QMenu* MainWindow::contextMenuFor(QAbstractScrollArea* view, const QString& name)
{
    auto* menu = new QMenu(this);
    menu->setObjectName(name);
    connect(view, &QWidget::customContextMenuRequested, this,
            [view, menu](const QPoint& at) { menu->popup(view->viewport()->mapToGlobal(at)); });
    return menu;
}

void MainWindow::buildMenus()
{
    m_recordKindMenu = new QMenu(this);
    m_recordKindMenu->setObjectName(QStringLiteral("PopupMenu1"));
    for (const RecordMenuItem& item : recordMenuItems()) {
        QAction* action = m_recordKindMenu->addAction(text(item.caption));
        action->setObjectName(text(item.name));
        connect(action, &QAction::triggered, this, [this, action] { onRecordKindChosen(action); });
        if (item.separatorAfter)
            m_recordKindMenu->addSeparator();
    }
    buildArchiveActions();
    m_recordKindMenu->addSeparator();
    m_recordKindMenu->addAction(m_backupAction);
    m_historyButton->setMenu(m_recordKindMenu);

    m_readMenu = new QMenu(this);
    m_readMenu->setObjectName(QStringLiteral("PopSend"));
    m_readMenu->addAction(m_readAllAction);
    m_readMenu->addAction(m_readRangeAction);

    // The tree offers the record-type menu and, below a separator, the two
    // reads of m_readMenu.
    m_treeMenu = contextMenuFor(m_deviceTree, QStringLiteral("TreePopup"));
    m_treeMenu->addActions(m_recordKindMenu->actions());
    m_treeMenu->addSeparator();
    m_treeMenu->addActions({m_readAllAction, m_readRangeAction, m_fastReadAction});
    m_logMenu = contextMenuFor(m_logView, QStringLiteral("PopMemo"));
    m_logMenu->addActions({m_saveLogAction, m_clearLogAction, m_copyLogAction});
    m_recordMenu = contextMenuFor(m_recordView, QStringLiteral("PopListView"));
    m_recordMenu->addActions({m_saveRecordsAction, m_clearRecordsAction, m_chartAction});

    QMenuBar* mainMenu = menuBar();
    mainMenu->setObjectName(QStringLiteral("MainMenu1"));
    QMenu* system = mainMenu->addMenu(QStringLiteral("系统(&S)"));
    system->addAction(m_portSettingsAction);
    system->addSeparator();
    system->addAction(m_exitAction);
    QMenu* address = mainMenu->addMenu(QStringLiteral("地址(&A)"));
    address->addAction(m_addressAction);
    address->addAction(m_searchAction);
    QMenu* operation = mainMenu->addMenu(QStringLiteral("操作(&O)"));
    operation->addAction(m_readRealtimeAction);
    operation->addSeparator();
    operation->addAction(m_saveRecordsAction);
    operation->addAction(m_saveLogAction);
    operation->addSeparator();
    operation->addAction(m_clearRecordsAction);
    operation->addAction(m_clearLogAction);
    operation->addSeparator();
    operation->addAction(m_readAllAction);
    operation->addAction(m_readRangeAction);
    operation->addAction(m_fastReadAction);
    QMenu* windows = mainMenu->addMenu(QStringLiteral("窗口(&W)"));
    windows->addAction(m_hideLogAction);
    windows->addAction(m_hideCaptionAction);
    windows->addSeparator();
    windows->addAction(m_modbusAction);
    QMenu* help = mainMenu->addMenu(QStringLiteral("帮助(&H)"));
    help->addAction(m_manualAction);
    help->addAction(m_aboutAction);
}

void MainWindow::buildStatusBar()
{
    m_statusBar = statusBar();
    m_statusBar->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar->setSizeGripEnabled(true);
    const int widths[3] = {150, 120, 50};
    for (int i = 0; i < 3; ++i) {
        m_statusPanels[i] = new QLabel(m_statusBar);
        m_statusPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        // A panel grows with its text: "串口状态：tcp://127.0.0.1:4001" is shown whole.
        m_statusPanels[i]->setMinimumWidth(widths[i]);
        m_statusPanels[i]->setFrameShape(QFrame::Panel);
        m_statusPanels[i]->setFrameShadow(QFrame::Sunken);
        m_statusBar->addWidget(m_statusPanels[i]);
    }
}

// ---------------------------------------------------------------------------
// Settings and the protocol workbook

void MainWindow::loadSettings()
{
    PortSettings stored = m_settings.readPort();
    if (!m_settings.hasPortChoice() && m_choosePortFirst) {
        m_noPortChosen = true;
    } else if (!m_settings.hasPortChoice() && m_machinePorts) {
        const QList<SerialPortDetails> ports = m_machinePorts();
        m_noPortChosen = ports.size() != 1;
        if (ports.size() == 1)
            stored.comPort = ports.first().path;
    }
    try {
        m_session.setSettings(stored);
    } catch (const ComPortError&) {
        // Only a port that is already open applies settings at once; at
        // start-up it is closed, and the opening reports any failure.
    }
    m_address = m_settings.readAddress();
    m_fastReadAction->setChecked(m_settings.readFastRead());
}

// Called whenever the port or the address changes, so a window that is killed
// keeps them; a settings file that cannot be written is not reported.
void MainWindow::saveSettings()
{
    m_settings.writePortAndAddress(m_session.settings(), m_address);
}

void MainWindow::loadProtocolWorkbook()
{
    auto workbook = std::make_shared<ProtocolWorkbook>(
        openProtocolWorkbook(m_settings.programFolder(), m_settings.readTemplateFile()));
    if (!workbook->ok()) {
        // Without its register map the program cannot serve device type 5: say
        // so and end, as the operator's installation is incomplete. The reader's
        // reason (file, sheet, cell) lets the operator repair the workbook.
        qWarning("%s: %s", qUtf8Printable(workbook->path), qUtf8Printable(workbook->detail));
        m_prompter.warn(this,
                        workbook->message + QLatin1Char('\n') + QDir::toNativeSeparators(workbook->path) +
                            QStringLiteral("：") + workbook->detail,
                        kWarnCaption);
        m_protocolWorkbookFailed = true;
        return;
    }
    m_protocolCells = [workbook](int row, int column) { return workbook->cells.text(row, column); };
}

// ---------------------------------------------------------------------------
// Window events

bool MainWindow::showAtStoredPlace()
{
    const std::optional<WindowPlace> place = m_settings.readWindowPlace();
    if (!place)
        return false;
    const QRect frame(place->left, place->top, place->width, place->height);
    bool onScreen = false;
    for (const QScreen* screen : QGuiApplication::screens())
        onScreen = onScreen || screen->availableGeometry().intersects(frame);
    if (!onScreen)
        return false;
    setGeometry(frame);
    if (place->maximized)
        showMaximized();
    else
        show();
    return true;
}

void MainWindow::saveWindowPlace()
{
    m_placeTimer->stop();
    const QRect frame = normalGeometry().isValid() ? normalGeometry() : geometry();
    m_settings.writeWindowPlace({frame.x(), frame.y(), frame.width(), frame.height(), isMaximized()});
}

void MainWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    if (isVisible())
        m_placeTimer->start();
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (isVisible())
        m_placeTimer->start();
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        onShown();
    }
}

void MainWindow::onShown()
{
    // The parameter window lays out its workbook-described type from the sheet
    // as loaded for the first section.
    setupRecordColumns(kindOfProtocolWorkbookSection(m_registry, 0));
    setPortStatus(kPortClosedStatus);
    showAddress();
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange)
        return;
    if (!isActiveWindow()) {
        // Our own message box taking the focus is no switch away: its closing
        // must not try (and fail, and ask) again.
        m_activationAfterPrompt = qobject_cast<QMessageBox*>(QApplication::activeWindow()) != nullptr;
        return;
    }
    if (m_activationAfterPrompt) {
        m_activationAfterPrompt = false;
        return;
    }
    onActivated();
}

void MainWindow::onActivated()
{
    if (m_portOpenedOnce || m_session.state() != PortSession::State::Closed)
        return;
    if (m_noPortChosen) {
        if (!m_noPortTold) {
            m_noPortTold = true;
            // Shown from the event loop: this runs inside the activation.
            if (m_choosePortFirst)
                QTimer::singleShot(0, this, &MainWindow::onPortSettingsTriggered);
            else
                inform(kNoPortChosen);
        }
        return;
    }
    try {
        m_session.open();
    } catch (const ComPortError& error) {
        inform(openFailedText(m_session.settings().comPort, error));
    }
}

bool MainWindow::canClose()
{
    return ask(QStringLiteral("是否要退出本系统？"));
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (canClose())
        event->accept();
    else
        event->ignore();
}

// ---------------------------------------------------------------------------
// Port state

void MainWindow::showPortOpened()
{
    m_portOpenedOnce = true;
    m_readAllAction->setEnabled(true);
    m_readRangeAction->setEnabled(true);
    for (QAction* item : m_recordKindMenu->actions())
        item->setEnabled(true);
    m_openPortButton->setText(kCloseCaption);
    m_openPortButton->setToolTip(kCloseCaption);
    m_openPortButton->setIcon(toolbarImage(ToolImage::PortOpen));
    m_openPortButton->setProperty("imageIndex", 1);
    m_openPortAction->setText(kCloseCaption);
    m_portSettingsAction->setEnabled(false);
    setPortStatus(QStringLiteral("串口状态：") + m_session.settings().comPort);
}

void MainWindow::showPortClosed(bool disableRecordMenu)
{
    if (disableRecordMenu) {
        for (QAction* item : m_recordKindMenu->actions())
            item->setEnabled(false);
    }
    m_readAllAction->setEnabled(false);
    m_readRangeAction->setEnabled(false);
    m_openPortButton->setText(kOpenCaption);
    m_openPortButton->setToolTip(kOpenCaption);
    m_openPortButton->setIcon(toolbarImage(ToolImage::PortClosed));
    m_openPortButton->setProperty("imageIndex", 0);
    m_openPortAction->setText(kOpenCaption);
    m_portSettingsAction->setEnabled(true);
    setPortStatus(kPortClosedStatus);
}

void MainWindow::onPortStateChanged(PortSession::State state)
{
    const PortSession::State shown = std::exchange(m_shownPortState, state);
    switch (state) {
    case PortSession::State::Connecting:
        showConnecting();
        break;
    case PortSession::State::Open:
        showPortOpened();
        break;
    case PortSession::State::Closed:
        if (shown == PortSession::State::Open)
            showPortClosed(true);
        else
            setPortStatus(kPortClosedStatus);
        break;
    }
}

// A port that ended its connection by itself (adapter unplugged) shows as
// closed, as after a manual close, and the operator is told once: with the
// port's own reason when it said why, else with ours.
void MainWindow::afterPortUse(const QString& error)
{
    if (!m_session.afterUse(error) && !error.isEmpty())
        m_prompter.warn(this, error, kWarnCaption);
}

void MainWindow::onPortLost(const QString& reason)
{
    const QString lost = QStringLiteral("串口连接已断开，请检查！");
    m_prompter.warn(this, reason.isEmpty() ? lost : lost + u'\n' + reason, kWarnCaption);
}

void MainWindow::showConnecting()
{
    const QString name = m_session.settings().comPort;
    if (!isNetworkPortName(name))
        return;
    // Connecting can take seconds, and the window waits for it: say so first.
    setPortStatus(QStringLiteral("串口状态：正在连接 ") + name);
    // No event is handled before the wait: the panel is widened to its text
    // and drawn right here, or it shows the old width cut short.
    m_statusBar->layout()->activate();
    m_statusBar->repaint();
}

PortGuard::Lease MainWindow::claimPort()
{
    PortGuard::Lease lease = m_session.claim();
    if (!lease)
        inform(kPortBusy);
    return lease;
}

PortGuard::Lease MainWindow::claimOpenPort()
{
    PortGuard::Lease lease = claimPort();
    if (lease && !m_session.link().connected()) {
        inform(QString::fromUtf8(kPortClosedText));
        return {};
    }
    return lease;
}

void MainWindow::setPortStatus(const QString& text)
{
    m_statusPanels[0]->setText(text);
}

void MainWindow::showAddress()
{
    m_statusPanels[1]->setText(QStringLiteral("流量计地址：") + QString::number(m_address));
}

QString MainWindow::statusText(int panel) const
{
    return panel >= 0 && panel < 3 ? m_statusPanels[panel]->text() : QString();
}

void MainWindow::onOpenPortTriggered()
{
    // Closing under a parameter read would spoil its exchange.
    const PortGuard::Lease lease = claimPort();
    if (!lease)
        return;
    if (m_session.state() == PortSession::State::Closed) {
        try {
            m_session.open();
        } catch (const ComPortError& error) {
            inform(openFailedText(m_session.settings().comPort, error));
        }
        return;
    }
    try {
        m_session.close();
    } catch (const ComPortError&) {
        inform(kCloseFailed);
    }
}

void MainWindow::onPortSettingsTriggered()
{
    PortSettingsDialog dialog(this);
    const PortSettings current = m_session.settings();
    dialog.setPortName(current.comPort);
    dialog.setBaudRateOrdinal(current.baudRate);
    dialog.setDataBitsOrdinal(current.dataBits);
    dialog.setStopBitsOrdinal(current.stopBits);
    dialog.setParityOrdinal(current.parity);
    dialog.setEcho(current.echo);
    if (dialog.exec() != QDialog::Accepted)
        return;
    PortSettings chosen;
    chosen.comPort = dialog.portName();
    chosen.baudRate = dialog.baudRateOrdinal(current.baudRate);
    chosen.dataBits = dialog.dataBitsOrdinal(current.dataBits);
    chosen.stopBits = dialog.stopBitsOrdinal(current.stopBits);
    chosen.parity = dialog.parityOrdinal(current.parity);
    chosen.echo = dialog.echo();
    m_noPortChosen = false;
    if (chosen.comPort != current.comPort && m_paramWindow)
        m_paramWindow->forgetValues();
    try {
        m_session.setSettings(chosen);
    } catch (const ComPortError& error) {
        afterPortUse(portErrorText(error));
    }
    saveSettings();
}

// ---------------------------------------------------------------------------
// Tree and reads

int MainWindow::nodeCodeOf(const QTreeWidgetItem* node)
{
    return node ? node->data(0, kNodeCodeRole).toInt() : 0;
}

QTreeWidgetItem* MainWindow::selectedNode() const
{
    return m_deviceTree->currentItem();
}

void MainWindow::updateNodeImages(QTreeWidgetItem* current, QTreeWidgetItem* previous)
{
    if (previous)
        previous->setIcon(0, treeImage(treeImageIndex(m_registry, nodeCode(previous))));
    if (current)
        current->setIcon(0, treeImage(treeSelectedImageIndex(m_registry, nodeCode(current))));
}

void MainWindow::inform(const QString& text)
{
    m_prompter.inform(this, text, kInfoCaption);
}

bool MainWindow::ask(const QString& text)
{
    return m_prompter.ask(this, text, kInfoCaption);
}

void MainWindow::setupRecordColumns(int kindCode)
{
    m_kind = prepareKind(m_registry, kindCode, m_protocolCells);
    m_records.setColumns(m_kind.columns);
    // The parameter window lays out device type 5 from the sheet last loaded.
    if (m_kind.kind && m_kind.kind->fieldsFromWorkbook)
        m_protocolSheet = m_kind.sheet;
    if (m_kind.problem == KindProblem::BadProtocolSheet)
        m_prompter.warn(this, QString::fromStdString(m_kind.error), kWarnCaption);
}

BaseRequest MainWindow::composeRequest(const PreparedKind& kind)
{
    BaseRequest base = composeKindRequest(m_exchange, kind, m_address);
    if (base.portClosed)
        inform(QString::fromUtf8(kPortClosedText));
    return base;
}

void MainWindow::readWholeKind(int kindCode, ReadStartWay way)
{
    if (!prepareRecordTable(kindCode))
        return;
    const BaseRequest base = composeRequest(m_kind);
    if (base.request.empty())
        return;
    startRead(base, wholeKindPlan(*m_kind.kind, way, fastReading(), lineSettingsOf(m_session.settings())));
}

void MainWindow::startRead(const BaseRequest& base, const ReadPlan& plan)
{
    m_transactionDialog->startRun(m_kind, base, plan);
    const RunOutcome& outcome = m_run.outcome();
    if (outcome.end != RunEnd::PortLost)
        afterPortUse();
    else
        afterPortUse(outcome.portFailure ? portErrorText(*outcome.portFailure)
                                         : QString::fromStdString(outcome.portError));
    // A block that failed only because the adapter hears itself is put right
    // in the port settings, not by reading again.
    if (outcome.end == RunEnd::BlockFailed && m_exchange.echoedReplies() > 0)
        inform(QString::fromStdString(failedBlockText(outcome.block)) +
               echoHint(m_exchange.echoedReplies(), m_session.echoRemoval()));
}

void MainWindow::onTreeNodeChanged(QTreeWidgetItem* node)
{
    if (!m_treeChangeEnabled || !node || !node->parent())
        return;
    const int kindCode = nodeCode(node);
    if (m_records.rowCount() == 0) {
        setupRecordColumns(kindCode);
    } else if (ask(QStringLiteral("若选择\"") + node->text(0) +
                   QStringLiteral("\",前一次所读取的记录信息将被删除，是否要继续？"))) {
        m_records.clearRows();
        setupRecordColumns(kindCode);
        onTreeNodeDoubleClicked();
    }
    if (m_portOpenedOnce) {
        m_readAllAction->setEnabled(true);
        m_readRangeAction->setEnabled(true);
    }
}

// Asks before rows already in the table are overwritten; on Yes (or with an
// empty table) sets up the kind's columns with no rows. False when declined,
// in which case rows and columns stay as they were.
bool MainWindow::prepareRecordTable(int kindCode)
{
    if (m_records.rowCount() > 0 && !ask(kOverwriteQuestion))
        return false;
    setupRecordColumns(kindCode);
    m_records.clearRows();
    return true;
}

void MainWindow::onTreeNodeDoubleClicked()
{
    QTreeWidgetItem* node = selectedNode();
    if (!node || !node->parent())
        return;
    const PortGuard::Lease lease = claimPort();
    if (!lease)
        return;
    const int kindCode = nodeCode(node);
    readWholeKind(kindCode, ReadStartWay::TreeOrRecordMenu);
}

void MainWindow::selectRecordKind(int kindCode)
{
    for (QTreeWidgetItemIterator it(m_deviceTree); *it; ++it) {
        if (nodeCode(*it) == kindCode) {
            (*it)->setExpanded(true);
            if ((*it)->parent())
                (*it)->parent()->setExpanded(true);
            m_deviceTree->setCurrentItem(*it);
        }
    }
}

void MainWindow::onRecordKindChosen(QAction* item)
{
    const RecordMenuItem* menuItem = item ? findRecordMenuItem(item->objectName().toStdString()) : nullptr;
    if (!menuItem)
        return;
    PortGuard::Lease lease = claimOpenPort();
    if (!lease)
        return;
    m_deviceTree->collapseAll();
    WaitCursor cursor;
    item->setEnabled(false);
    RecordMenuChoice choice;
    bool cancelled = false;
    try {
        cursor.restore();
        choice.deviceType = identifyWithProgress(cancelled);
        afterPortUse();
    } catch (const ComPortError& error) {
        item->setEnabled(true);
        afterPortUse(portErrorText(error));
        return;
    }
    item->setEnabled(true);
    if (cancelled)
        return;
    const RecordMenuResolution resolution = resolveRecordMenuItem(m_registry, *menuItem, choice.deviceType);
    choice.kindCode = resolution.kindCode;
    choice.message = resolution.message;
    // The read claims the port again at once, with no event handled between.
    lease.release();
    if (choice.kindCode == 0) {
        inform(text(choice.message) + (choice.deviceType == 0
                                           ? echoHint(m_exchange.echoedReplies(), m_session.echoRemoval())
                                           : QString()));
        return;
    }
    // The progress window's "取消" must not sit under a busy cursor.
    cursor.restore();
    FlagOff quiet(m_treeChangeEnabled);
    selectRecordKind(choice.kindCode);
    onTreeNodeDoubleClicked();
}

void MainWindow::onReadAllTriggered()
{
    std::optional<int> deviceType;
    {
        const PortGuard::Lease lease = claimOpenPort();
        if (!lease)
            return;
        m_deviceTree->collapseAll();
        deviceType = identifyForRead(ProbeSet::RecordReader);
        if (deviceType)
            afterPortUse();
    }
    if (!deviceType)
        return;
    if (*deviceType == 0) {
        inform(noMeterText());
        return;
    }
    selectDeviceType(*deviceType);
}

std::optional<int> MainWindow::identifyForRead(ProbeSet probes)
{
    bool cancelled = false;
    int deviceType = 0;
    try {
        deviceType = identifyWithProgress(cancelled, probes);
    } catch (const ComPortError& error) {
        afterPortUse(portErrorText(error));
        return std::nullopt;
    }
    if (cancelled)
        return std::nullopt;
    return deviceType;
}

QString MainWindow::noMeterText() const
{
    return text(kNoMeterMessage) + echoHint(m_exchange.echoedReplies(), m_session.echoRemoval());
}

void MainWindow::selectDeviceType(int deviceType)
{
    const PortGuard::Lease lease = claimPort();
    if (!lease)
        return;
    m_deviceTree->collapseAll();
    FlagOff quiet(m_treeChangeEnabled);
    QTreeWidgetItem* kindNode = nullptr;
    for (int i = 0; i < m_deviceTree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* typeNode = m_deviceTree->topLevelItem(i);
        if (nodeCode(typeNode) != deviceType || typeNode->childCount() == 0)
            continue;
        typeNode->setExpanded(true);
        kindNode = typeNode->child(0);
        m_deviceTree->setCurrentItem(kindNode);
    }
    // A device type without a node (type 4 is dropped from the tree) has no
    // kind to read: say so rather than read whatever happens to be selected.
    if (!kindNode) {
        inform(text(kNoMeterMessage));
        return;
    }
    const int kindCode = nodeCode(selectedNode());
    readWholeKind(kindCode, ReadStartWay::RangeOrIdentification);
}

int MainWindow::identifyWithProgress(bool& cancelled, ProbeSet probes)
{
    // Paced identification asks six device types three times each: many
    // seconds on a silent line, which the operator may cut short.
    QProgressDialog progress(QStringLiteral("正在识别流量计……"), QStringLiteral("取消"), 0, 0, this);
    progress.setObjectName(QStringLiteral("IdentifyProgress"));
    progress.setWindowTitle(kInfoCaption);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.show();
    const auto stop = [&progress] { return progress.wasCanceled(); };
    int deviceType = 0;
    const bool recordReader = probes == ProbeSet::RecordReader;
    if (fastReading()) {
        // The type found here before is asked first: a known meter answers
        // its own probe at once instead of after every other type's.
        const int known = knownDeviceType();
        const LineSettings line = lineSettingsOf(m_session.settings());
        deviceType = recordReader ? probeRecordReader(m_registry, m_exchange, m_address, line, stop, known)
                                  : probeMeter(m_registry, m_exchange, m_address, line, stop, known);
    } else {
        deviceType = recordReader ? identifyRecordReader(m_registry, m_exchange, m_address, stop)
                                  : identifyMeter(m_registry, m_exchange, m_address, stop);
    }
    cancelled = progress.wasCanceled();
    if (cancelled)
        return 0;
    m_knownTypes.remember(m_session.settings().comPort.toStdString(), m_address, deviceType);
    return deviceType;
}

int MainWindow::knownDeviceType() const
{
    return m_knownTypes.typeAt(m_session.settings().comPort.toStdString(), m_address);
}

void MainWindow::onFastReadToggled(bool checked)
{
    m_settings.writeFastRead(checked);
}

void MainWindow::onReadRangeTriggered()
{
    QTreeWidgetItem* node = selectedNode();
    if (!node || !node->parent()) {
        inform(QStringLiteral("请选择要读取的流量计记录类型！"));
        return;
    }
    const PortGuard::Lease lease = claimPort();
    if (!lease)
        return;
    const int kindCode = nodeCode(node);
    // The table is cleared only once the operator has chosen a range: "取消"
    // in the range dialog keeps the records already read.
    if (m_records.rowCount() > 0 && !ask(kOverwriteQuestion))
        return;
    const BaseRequest base = composeRequest(prepareKind(m_registry, kindCode, m_protocolCells));
    if (base.request.empty())
        return;
    BlockRangeDialog range(this, &m_prompter);
    range.prepare(node->text(0), base.blockCount);
    if (range.exec() != QDialog::Accepted)
        return;
    setupRecordColumns(kindCode);
    m_records.clearRows();
    ReadPlan plan = wholeKindPlan(*m_kind.kind, ReadStartWay::RangeOrIdentification, fastReading(),
                                  lineSettingsOf(m_session.settings()));
    plan.beginBlock = range.beginBlock();
    plan.endBlock = range.endBlock();
    startRead(base, plan);
}

// ---------------------------------------------------------------------------
// Records, log, windows, dialogs

void MainWindow::onClearRecordsTriggered()
{
    if (m_records.rowCount() > 0 && !ask(QStringLiteral("是否要删除记录信息？")))
        return;
    m_records.clearRows();
}

void MainWindow::onSaveRecordsTriggered()
{
    if (m_records.rowCount() == 0)
        return;
    const QString name = m_prompter.saveFileName(this, QStringLiteral("保存记录"),
                                                 QDir(m_settingsDir).filePath(QStringLiteral("*.xlsx")),
                                                 QStringLiteral("*.xlsx"));
    if (name.isEmpty())
        return;
    QTreeWidgetItem* node = selectedNode();
    const std::string caption = node && node->parent() ? node->text(0).toStdString() : std::string();
    ExportOutcome outcome;
    {
        WaitCursor cursor;
        outcome = exportRecordTable(
            m_records, caption, name, QDate::currentDate(),
            [this](const QString& text, const QString& title) { return m_prompter.ask(this, text, title); });
    }
    for (const ExportMessage& message : outcome.messages) {
        if (message.warning)
            m_prompter.warn(this, message.text, message.caption);
        else
            m_prompter.inform(this, message.text, message.caption);
    }
    // Confirmed as a saved log or picture is.
    if (outcome.saved)
        m_prompter.inform(this, QStringLiteral("记录文件保存成功！"), kInfoCaption);
}

void MainWindow::onClearLogTriggered()
{
    if (m_log.lineCount() == 0)
        return;
    if (!ask(QStringLiteral("是否要删除日志信息？")))
        return;
    m_log.clear();
}

void MainWindow::onSaveLogTriggered()
{
    flushLog();
    const std::string proposed =
        proposedLogFileName(QDir::toNativeSeparators(m_settingsDir + '/').toStdString());
    const QString name =
        m_prompter.saveFileName(this, QStringLiteral("保存日志"), QString::fromStdString(proposed),
                                QString::fromLatin1(kSaveLogFilter));
    if (name.isEmpty())
        return;
    const LogSaveResult result = saveLogFile(m_log, name.toStdString(), [this](const LogMessage& question) {
        return m_prompter.ask(this, QString::fromStdString(question.text),
                              QString::fromStdString(question.caption));
    });
    for (const LogMessage& message : result.messages) {
        if (message.kind == LogMessageKind::Warning)
            m_prompter.warn(this, QString::fromStdString(message.text),
                            QString::fromStdString(message.caption));
        else
            m_prompter.inform(this, QString::fromStdString(message.text),
                              QString::fromStdString(message.caption));
    }
}

void MainWindow::onChartTriggered()
{
    if (!m_chartWindow) {
        m_chartWindow = new ChartWindow(*m_recordModel, m_prompter, m_settingsDir, this);
        m_chartWindow->setSubject([this] {
            const std::string_view kind = recordKindCaption(m_registry, m_kind.kindCode);
            return ChartWindow::Subject{QString::fromUtf8(kind.data(), static_cast<qsizetype>(kind.size())),
                                        m_address};
        });
    }
    m_chartWindow->show();
    m_chartWindow->raise();
    m_chartWindow->activateWindow();
}

void MainWindow::onModbusTriggered()
{
    if (!m_modbusWindow) {
        m_modbusWindow =
            new ModbusWindow({m_session, m_waiter, m_prompter, m_log, m_settings, m_settingsDir}, this);
    }
    m_modbusWindow->show();
    m_modbusWindow->raise();
    m_modbusWindow->activateWindow();
}

void MainWindow::onCopyLogTriggered()
{
    if (m_logView->textCursor().hasSelection())
        m_logView->copy();
}

void MainWindow::flushLog()
{
    m_logMirror->flush();
}

void MainWindow::onHideLogToggled(bool checked)
{
    // `checked` is the new state of NWin: checked means the pane is hidden.
    m_hideLogAction->setText(checked ? QStringLiteral("显示日志窗口") : QStringLiteral("隐藏日志窗口"));
    m_logPane->setVisible(!checked);
}

void MainWindow::onHideCaptionToggled(bool checked)
{
    m_hideCaptionAction->setText(checked ? QStringLiteral("显示标题窗口") : QStringLiteral("隐藏标题窗口"));
    m_treePane->setVisible(!checked);
}

void MainWindow::onAddressTriggered()
{
    AddressDialog dialog(this);
    dialog.setAddress(m_address);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_address = dialog.address();
    showAddress();
    saveSettings();
}

void MainWindow::onAboutTriggered()
{
    AboutDialog about(m_prompter, m_helpDir, this);
    about.exec();
}

void MainWindow::onReadRealtimeTriggered()
{
    m_paramWindow->setMeterAddress(static_cast<uint8_t>(m_address));
    m_paramWindow->show();
    m_paramWindow->raise();
    m_paramWindow->activateWindow();
}

void MainWindow::onManualTriggered()
{
    showManual(this, m_prompter, m_helpDir);
}
