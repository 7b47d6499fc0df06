#include "app/main_frm.h"

#include "app/about_frm.h"
#include "app/addr_frm.h"
#include "app/app_images.h"
#include "app/chart_frm.h"
#include "app/com_frm.h"
#include "app/help_files.h"
#include "app/log_mirror.h"
#include "app/manual_frm.h"
#include "app/modbus_frm.h"
#include "app/num_frm.h"
#include "app/prompter.h"
#include "app/read_param_frm.h"
#include "app/record_table_model.h"
#include "app/wait_echo_frm.h"
#include "catalogue/catalogue.h"
#include "log/log_file.h"
#include "protocol/meter_identification.h"
#include "protocol/meter_scan.h"
#include "protocol/waiter.h"
#include "serial/com_error.h"
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

const QString kInfoCaption = QStringLiteral("信息提示");
const QString kWarnCaption = QStringLiteral("警告信息");
const QString kOverwriteQuestion = QStringLiteral("是否要覆盖原记录信息？");
const QString kNoPortChosen = QStringLiteral("尚未选择串口，请在“串口设置”中选择串口。");
const QString kOpenFailed = QStringLiteral("串口打开失败或被占用，请检查");
const QString kCloseFailed = QStringLiteral("串口关闭失败，请检查!");
const QString kPortClosedStatus = QStringLiteral("串口状态：已关闭");
const QString kOpenCaption = QStringLiteral("打开串口");
const QString kCloseCaption = QStringLiteral("关闭串口");
const QString kPortBusy = QStringLiteral("串口正在通信，请等当前的读取结束后再试！");
// Light grey of the original panels (0xF0F0F0).
const QColor kPanelColour(0xF0, 0xF0, 0xF0);
constexpr int kNodeCodeRole = Qt::UserRole + 1;

QString Text(std::string_view text)
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
    ~WaitCursor() { Restore(); }
    void Restore()
    {
        if (FActive)
            QApplication::restoreOverrideCursor();
        FActive = false;
    }

private:
    bool FActive = true;
};

// "串口打开失败或被占用，请检查" and, under it, which port and why: a server
// that cannot be reached is named by its address, a device by its name.
QString OpenFailedText(const QString& portName, const EComPort& error)
{
    const QString reason = QString::fromStdString(error.Reason.empty() ? error.what() : error.Reason);
    const std::optional<NetworkAddress> address = ParseNetworkPortName(portName);
    if (address && error.ErrorNumber == kComErrOpen) {
        const QString host = address->host.contains(u':') ? u'[' + address->host + u']' : address->host;
        return kOpenFailed +
               QStringLiteral("\n无法连接 %1:%2（%3）").arg(host).arg(address->port).arg(reason);
    }
    return kOpenFailed + u'\n' + portName + QStringLiteral("：") + reason;
}

// Shown under "没有你要读的流量计信息！" when the replies began with their
// request: the adapter hears its own transmission.
QString EchoHint(int echoedReplies, bool echoRemoval)
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
    explicit FlagOff(bool& flag) : FFlag(flag) { FFlag = false; }
    ~FlagOff() { FFlag = true; }

private:
    bool& FFlag;
};

} // namespace

TMainFrm::TMainFrm(const MainFrmContext& context, QWidget* parent)
    : QMainWindow(parent), FPort(context.port), FWaiter(context.waiter), FPrompter(context.prompter),
      FSettingsDir(context.settingsDir),
      FSettings(context.settingsDir, context.userSettingsDir.isEmpty() ? SettingsFile::DefaultUserFolder()
                                                                       : context.userSettingsDir),
      FHelpDir(context.helpDir), FLink(context.port.Link()), FExchange(FLink, FLog, context.waiter),
      FRun(FExchange, FRecords)
{
    setObjectName(QStringLiteral("TMainFrm"));
    FMachinePorts = context.machinePorts;
    setWindowTitle(QStringLiteral("Quellon   RS485通信测试系统"));
    // Wide enough for every column of the record table and the log beside it.
    resize(1180, 760);
    FPlaceTimer = new QTimer(this);
    FPlaceTimer->setSingleShot(true);
    FPlaceTimer->setInterval(1000);
    connect(FPlaceTimer, &QTimer::timeout, this, &TMainFrm::SaveWindowPlace);

    BuildActions();
    BuildToolbar();
    BuildPanes();
    BuildTree();
    BuildMenus();
    BuildStatusBar();

    FRun.SetFieldDescription(&FFieldTypes, &FFieldDigits);
    FLink.SetMismatchReport([this](const std::string& line) { FLog.AppendLine(line); });
    FPortOpenedOnce = false;
    FTreeChangeEnabled = true;
    LoadSettings();
    LoadProtocolWorkbook();

    // The transaction window and the parameter window live as long as the
    // main window, created in that order.
    FWaitEchoFrm = new TWaitEchoFrm(FRun, FWaiter, this);
    FReadParamFrm =
        new TReadParamFrm({FLink, FWaiter, FPrompter, FLog, FSettings, [this] { return FAddress; },
                           [this] { return &FProtocolSheet; }, FSettingsDir, FPortGuard},
                          this);
    FReadParamFrm->PortErrorHandler = [this](const QString& message) { AfterPortUse(message); };
    FPort.SetConnectionLostHandler([this](const QString& reason) { PortLost(reason); });
    FPortGuard.SetOnFree([this] {
        if (!FLostPortMessage.isEmpty())
            QTimer::singleShot(0, this, [this] {
                if (!FPortGuard.Busy() && !FLostPortMessage.isEmpty())
                    ReportPortLoss(FLostPortMessage);
            });
    });
}

TMainFrm::~TMainFrm()
{
    FDestroying = true;
    FPort.SetConnectionLostHandler({});
    FPortGuard.SetOnFree({});
    SaveSettings();
    // Also a window never moved: the next start opens it where it was.
    if (FShownOnce)
        SaveWindowPlace();
    try {
        FPort.ClosePort();
    } catch (...) {
        // A port that fails at the last close is of no interest any more.
    }
    // The views refer to the record table, the log and the run, which are
    // members and go before the child widgets do: detach the views first.
    delete FReadParamFrm;
    delete FWaitEchoFrm;
    delete FChartFrm;
    delete FModbusFrm;
    ListView1->setModel(nullptr);
    delete FRecordModel;
    delete FLogMirror;
}

// ---------------------------------------------------------------------------
// Building the window

void TMainFrm::BuildActions()
{
    auto make = [this](QAction*& action, const char* name, const QString& caption) {
        action = new QAction(caption, this);
        action->setObjectName(QString::fromLatin1(name));
    };
    make(acSet, "acSet", QStringLiteral("串口设置(&S)"));
    make(acExit, "acExit", QStringLiteral("退出系统"));
    make(acAddr, "acAddr", QStringLiteral("流量计地址"));
    make(acSaveRec, "acSaveRec", QStringLiteral("保存记录"));
    make(acSaveLog, "acSaveLog", QStringLiteral("保存日志"));
    make(acDelRec, "acDelRec", QStringLiteral("清除记录"));
    make(acDelLog, "acDelLog", QStringLiteral("清除日志"));
    make(acAbout, "acAbout", QStringLiteral("关于(&A)"));
    make(acWin, "acWin", QStringLiteral("隐藏日志窗口"));
    make(acOpen, "acOpen", kOpenCaption);
    make(acSend, "acSend", QStringLiteral("读取全部记录"));
    make(acCapWin, "acCapWin", QStringLiteral("隐藏标题窗口"));
    make(acRead, "acRead", QStringLiteral("读取部分记录"));
    make(acReadParam, "acReadParam", QStringLiteral("读实时数据"));
    make(N16, "N16", QStringLiteral("复制日志"));
    make(H2, "H2", QStringLiteral("使用手册(&H)"));
    make(acChart, "acChart", QStringLiteral("曲线"));
    make(acModbus, "acModbus", QStringLiteral("Modbus调试"));
    make(acFastRead, "acFastRead", QStringLiteral("快速读取"));
    acFastRead->setCheckable(true);
    acSend->setEnabled(false);
    acRead->setEnabled(false);
    // The menu items NWin and NCapWin carry the check mark of their action.
    acWin->setCheckable(true);
    acCapWin->setCheckable(true);

    connect(acSet, &QAction::triggered, this, &TMainFrm::acSetExecute);
    connect(acExit, &QAction::triggered, this, &QWidget::close);
    connect(acAddr, &QAction::triggered, this, &TMainFrm::acAddrExecute);
    connect(acSaveRec, &QAction::triggered, this, &TMainFrm::acSaveRecExecute);
    connect(acSaveLog, &QAction::triggered, this, &TMainFrm::acSaveLogExecute);
    connect(acDelRec, &QAction::triggered, this, &TMainFrm::acDelRecExecute);
    connect(acDelLog, &QAction::triggered, this, &TMainFrm::acDelLogExecute);
    connect(acAbout, &QAction::triggered, this, &TMainFrm::acAboutExecute);
    connect(acWin, &QAction::triggered, this, &TMainFrm::acWinExecute);
    connect(acOpen, &QAction::triggered, this, &TMainFrm::acOpenExecute);
    connect(acSend, &QAction::triggered, this, &TMainFrm::acSendExecute);
    connect(acCapWin, &QAction::triggered, this, &TMainFrm::acCapWinExecute);
    connect(acRead, &QAction::triggered, this, &TMainFrm::acReadExecute);
    connect(acReadParam, &QAction::triggered, this, &TMainFrm::acReadParamExecute);
    connect(N16, &QAction::triggered, this, &TMainFrm::N16Click);
    connect(H2, &QAction::triggered, this, &TMainFrm::H2Click);
    connect(acChart, &QAction::triggered, this, &TMainFrm::acChartExecute);
    connect(acModbus, &QAction::triggered, this, &TMainFrm::acModbusExecute);
    connect(acFastRead, &QAction::triggered, this, &TMainFrm::acFastReadExecute);
}

void TMainFrm::BuildToolbar()
{
    RzToolbar1 = new QToolBar(this);
    RzToolbar1->setObjectName(QStringLiteral("RzToolbar1"));
    RzToolbar1->setMovable(false);
    RzToolbar1->setFloatable(false);
    RzToolbar1->setFixedHeight(44);
    RzToolbar1->setIconSize(QSize(20, 20));
    RzToolbar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    addToolBar(Qt::TopToolBarArea, RzToolbar1);

    auto button = [this](QToolButton*& slot, const char* name, const QString& caption, ToolImage image,
                         QAction* action) {
        slot = new QToolButton(RzToolbar1);
        slot->setObjectName(QString::fromLatin1(name));
        slot->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        slot->setFixedSize(60, 40);
        slot->setCursor(Qt::PointingHandCursor);
        slot->setAutoRaise(true);
        slot->setText(caption);
        slot->setToolTip(caption);
        slot->setIcon(ToolbarImage(image));
        if (action) {
            connect(slot, &QToolButton::clicked, action, &QAction::trigger);
            connect(action, &QAction::changed, slot,
                    [slot, action] { slot->setEnabled(action->isEnabled()); });
        }
        RzToolbar1->addWidget(slot);
    };
    button(RS485Btn, "RS485Btn", QStringLiteral("串口设置"), ToolImage::PortSettings, acSet);
    button(TBtnOpen, "TBtnOpen", kOpenCaption, ToolImage::PortClosed, acOpen);
    TBtnOpen->setProperty("imageIndex", 0);
    RzToolbar1->addSeparator();
    button(RzToolButton1, "RzToolButton1", QStringLiteral("表地址"), ToolImage::Address, acAddr);
    RzToolbar1->addSeparator();
    button(RzToolButton2, "RzToolButton2", QStringLiteral("实时数据"), ToolImage::LiveData, acReadParam);
    button(RzToolButton3, "RzToolButton3", QStringLiteral("历史记录"), ToolImage::History, nullptr);
    RzToolButton3->setFixedSize(74, 40);
    RzToolButton3->setPopupMode(QToolButton::InstantPopup);
    button(RzToolButton4, "RzToolButton4", QStringLiteral("保存记录"), ToolImage::SaveRecords, acSaveRec);
    button(RzToolButton5, "RzToolButton5", QStringLiteral("删除记录"), ToolImage::DeleteRecords, acDelRec);
    button(RzToolButton10, "RzToolButton10", QStringLiteral("曲线"), ToolImage::Chart, acChart);
    button(ModbusBtn, "ModbusBtn", QStringLiteral("Modbus"), ToolImage::LiveData, acModbus);
    ModbusBtn->setToolTip(QStringLiteral("Modbus调试"));
    button(RzToolButton6, "RzToolButton6", QStringLiteral("保存日志"), ToolImage::SaveLog, acSaveLog);
    button(RzToolButton7, "RzToolButton7", QStringLiteral("删除日志"), ToolImage::DeleteLog, acDelLog);
    RzToolbar1->addSeparator();
    button(RzToolButton8, "RzToolButton8", QStringLiteral("关于"), ToolImage::About, acAbout);
    button(RzToolButton9, "RzToolButton9", QStringLiteral("退出系统"), ToolImage::Exit, acExit);
}

void TMainFrm::BuildPanes()
{
    pnlLeft = new QWidget(this);
    pnlLeft->setObjectName(QStringLiteral("pnlLeft"));
    TreeView1 = new QTreeWidget(pnlLeft);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setColumnCount(1);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    TreeView1->setIndentation(19);
    TreeView1->setExpandsOnDoubleClick(false);
    TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    QPalette treePalette = TreeView1->palette();
    treePalette.setColor(QPalette::Base, kPanelColour);
    TreeView1->setPalette(treePalette);
    auto* leftLayout = new QVBoxLayout(pnlLeft);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(TreeView1);

    pnlClient = new QWidget(this);
    pnlClient->setObjectName(QStringLiteral("pnlClient"));
    ListView1 = new QTableView(pnlClient);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setHorizontalHeader(new TallHeader(ListView1));
    FRecordModel = new RecordTableModel(FRecords, this);
    ListView1->setModel(FRecordModel);
    ListView1->setShowGrid(true);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setWordWrap(false);
    ListView1->verticalHeader()->hide();
    ListView1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ListView1->verticalHeader()->setDefaultSectionSize(22);
    ListView1->horizontalHeader()->setHighlightSections(false);
    ListView1->horizontalHeader()->setStretchLastSection(false);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(FRecordModel, &RecordTableModel::ColumnsReplaced, this, [this] {
        for (int c = 0; c < FRecords.ColumnCount(); ++c)
            ListView1->setColumnWidth(c, FRecords.Columns()[static_cast<size_t>(c)].width);
    });
    connect(FRecordModel, &RecordTableModel::RowAppended, ListView1, &QTableView::scrollToBottom);
    auto* clientLayout = new QVBoxLayout(pnlClient);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->addWidget(ListView1);

    Splitter2 = new QSplitter(Qt::Horizontal, this);
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Splitter2->setHandleWidth(3);
    Splitter2->setChildrenCollapsible(false);
    Splitter2->addWidget(pnlLeft);
    Splitter2->addWidget(pnlClient);
    Splitter2->setStretchFactor(1, 1);
    Splitter2->setSizes({300, 571});

    pnlBottom = new QWidget(this);
    pnlBottom->setObjectName(QStringLiteral("pnlBottom"));
    FLogGroup = new QGroupBox(QStringLiteral("日志信息"), pnlBottom);
    Memo1 = new QPlainTextEdit(FLogGroup);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* groupLayout = new QVBoxLayout(FLogGroup);
    groupLayout->setContentsMargins(4, 4, 4, 4);
    groupLayout->addWidget(Memo1);
    auto* bottomLayout = new QVBoxLayout(pnlBottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    bottomLayout->addWidget(FLogGroup);
    FLogMirror = new LogMirror(FLog, *Memo1, this);

    Splitter1 = new QSplitter(Qt::Vertical, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->addWidget(Splitter2);
    Splitter1->addWidget(pnlBottom);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setSizes({450, 197});
    setCentralWidget(Splitter1);
}

void TMainFrm::BuildTree()
{
    QFont bold = TreeView1->font();
    bold.setBold(true);
    for (const DeviceTypeDescription* type : DeviceRegistry::instance().deviceTypes()) {
        if (!type->shownInTree)
            continue;
        auto* typeNode = new QTreeWidgetItem(TreeView1, {Text(type->caption)});
        typeNode->setData(0, kNodeCodeRole, type->code);
        typeNode->setIcon(0, TreeImage(TreeImageIndex(type->code)));
        typeNode->setFont(0, bold);
        typeNode->setToolTip(0, Text(type->caption));
        for (const RecordKind& kind : type->kinds) {
            auto* kindNode = new QTreeWidgetItem(typeNode, {Text(kind.caption)});
            kindNode->setData(0, kNodeCodeRole, kind.code);
            kindNode->setIcon(0, TreeImage(TreeImageIndex(kind.code)));
            kindNode->setToolTip(0, Text(kind.caption));
        }
    }
    connect(TreeView1, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem* previous) {
                UpdateNodeImages(current, previous);
                TreeView1Change(current);
            });
    connect(TreeView1, &QTreeWidget::itemDoubleClicked, this, [this] { TreeView1DblClick(); });
}

void TMainFrm::BuildMenus()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    for (const RecordMenuItem& item : RecordMenuItems()) {
        QAction* action = PopupMenu1->addAction(Text(item.caption));
        action->setObjectName(Text(item.name));
        connect(action, &QAction::triggered, this, [this, action] { RecordMenuClick(action); });
        if (item.separatorAfter)
            PopupMenu1->addSeparator();
    }
    BuildArchiveActions();
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(acBackup);
    RzToolButton3->setMenu(PopupMenu1);

    PopSend = new QMenu(this);
    PopSend->setObjectName(QStringLiteral("PopSend"));
    PopSend->addAction(acSend);
    PopSend->addAction(acRead);

    // The tree offers the record-type menu and, below a separator, the two
    // reads of PopSend.
    TreePopup = new QMenu(this);
    TreePopup->setObjectName(QStringLiteral("TreePopup"));
    TreePopup->addActions(PopupMenu1->actions());
    TreePopup->addSeparator();
    TreePopup->addAction(acSend);
    TreePopup->addAction(acRead);
    TreePopup->addAction(acFastRead);
    connect(TreeView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { TreePopup->popup(TreeView1->viewport()->mapToGlobal(at)); });

    PopMemo = new QMenu(this);
    PopMemo->setObjectName(QStringLiteral("PopMemo"));
    PopMemo->addAction(acSaveLog);
    PopMemo->addAction(acDelLog);
    PopMemo->addAction(N16);
    connect(Memo1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopMemo->popup(Memo1->viewport()->mapToGlobal(at)); });

    PopListView = new QMenu(this);
    PopListView->setObjectName(QStringLiteral("PopListView"));
    PopListView->addAction(acSaveRec);
    PopListView->addAction(acDelRec);
    PopListView->addAction(acChart);
    connect(ListView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopListView->popup(ListView1->viewport()->mapToGlobal(at)); });

    QMenuBar* MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    QMenu* system = MainMenu1->addMenu(QStringLiteral("系统(&S)"));
    system->addAction(acSet);
    system->addSeparator();
    system->addAction(acExit);
    QMenu* address = MainMenu1->addMenu(QStringLiteral("地址(&A)"));
    address->addAction(acAddr);
    address->addAction(acSearch);
    QMenu* operation = MainMenu1->addMenu(QStringLiteral("操作(&O)"));
    operation->addAction(acReadParam);
    operation->addSeparator();
    operation->addAction(acSaveRec);
    operation->addAction(acSaveLog);
    operation->addSeparator();
    operation->addAction(acDelRec);
    operation->addAction(acDelLog);
    operation->addSeparator();
    operation->addAction(acSend);
    operation->addAction(acRead);
    operation->addAction(acFastRead);
    QMenu* windows = MainMenu1->addMenu(QStringLiteral("窗口(&W)"));
    windows->addAction(acWin);
    windows->addAction(acCapWin);
    windows->addSeparator();
    windows->addAction(acModbus);
    QMenu* help = MainMenu1->addMenu(QStringLiteral("帮助(&H)"));
    help->addAction(H2);
    help->addAction(acAbout);
}

void TMainFrm::BuildStatusBar()
{
    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(true);
    const int widths[3] = {150, 120, 50};
    for (int i = 0; i < 3; ++i) {
        FStatusPanels[i] = new QLabel(StatusBar1);
        FStatusPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        // A panel grows with its text: "串口状态：tcp://127.0.0.1:4001" is shown whole.
        FStatusPanels[i]->setMinimumWidth(widths[i]);
        FStatusPanels[i]->setFrameShape(QFrame::Panel);
        FStatusPanels[i]->setFrameShadow(QFrame::Sunken);
        StatusBar1->addWidget(FStatusPanels[i]);
    }
}

// ---------------------------------------------------------------------------
// Settings and the protocol workbook

void TMainFrm::LoadSettings()
{
    PortSettings stored = FSettings.ReadPort();
    if (!FSettings.HasPortChoice() && FMachinePorts) {
        const QList<SerialPortDetails> ports = FMachinePorts();
        FNoPortChosen = ports.size() != 1;
        if (ports.size() == 1)
            stored.ComPort = ports.first().path;
    }
    FLink.SetEnabled(stored.Echo);
    try {
        FPort.SetLineSettings(stored);
    } catch (const EComPort&) {
        // Only a port that is already open applies settings at once; at
        // start-up it is closed, and the opening reports any failure.
    }
    FAddress = FSettings.ReadAddress();
    acFastRead->setChecked(FSettings.ReadFastRead());
}

// Called whenever the port or the address changes, so a window that is killed
// keeps them; a settings file that cannot be written is not reported.
void TMainFrm::SaveSettings()
{
    PortSettings port = FPort.LineSettings();
    port.Echo = FLink.Enabled();
    FSettings.WritePortAndAddress(port, FAddress);
}

void TMainFrm::LoadProtocolWorkbook()
{
    auto workbook = std::make_shared<ProtocolWorkbook>(
        OpenProtocolWorkbook(FSettings.ProgramFolder(), FSettings.ReadTemplateFile()));
    if (!workbook->Ok()) {
        // Without its register map the program cannot serve device type 5: say
        // so and end, as the operator's installation is incomplete. The reader's
        // reason (file, sheet, cell) lets the operator repair the workbook.
        qWarning("%s: %s", qUtf8Printable(workbook->path), qUtf8Printable(workbook->detail));
        FPrompter.Warn(this,
                       workbook->message + QLatin1Char('\n') + QDir::toNativeSeparators(workbook->path) +
                           QStringLiteral("：") + workbook->detail,
                       kWarnCaption);
        FProtocolWorkbookFailed = true;
        return;
    }
    FProtocolCells = [workbook](int row, int column) { return workbook->cells.Text(row, column); };
}

// ---------------------------------------------------------------------------
// Window events

bool TMainFrm::ShowAtStoredPlace()
{
    const std::optional<WindowPlace> place = FSettings.ReadWindowPlace();
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

void TMainFrm::SaveWindowPlace()
{
    FPlaceTimer->stop();
    const QRect frame = normalGeometry().isValid() ? normalGeometry() : geometry();
    FSettings.WriteWindowPlace({frame.x(), frame.y(), frame.width(), frame.height(), isMaximized()});
}

void TMainFrm::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    if (isVisible())
        FPlaceTimer->start();
}

void TMainFrm::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (isVisible())
        FPlaceTimer->start();
}

void TMainFrm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!FShownOnce) {
        FShownOnce = true;
        FormShow();
    }
}

void TMainFrm::FormShow()
{
    SetupRecordColumns(kFirstTypedKind);
    SetPortStatus(kPortClosedStatus);
    ShowAddress();
}

void TMainFrm::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange)
        return;
    if (!isActiveWindow()) {
        // Our own message box taking the focus is no switch away: its closing
        // must not try (and fail, and ask) again.
        FActivationAfterPrompt = qobject_cast<QMessageBox*>(QApplication::activeWindow()) != nullptr;
        return;
    }
    if (FActivationAfterPrompt) {
        FActivationAfterPrompt = false;
        return;
    }
    FormActivate();
}

void TMainFrm::FormActivate()
{
    if (FPortOpenedOnce || FPort.Connected())
        return;
    if (FNoPortChosen) {
        if (!FNoPortTold) {
            FNoPortTold = true;
            Inform(kNoPortChosen);
        }
        return;
    }
    try {
        ShowConnecting();
        FPort.OpenPort();
        FPort.Link().PurgeBuffers();
    } catch (const EComPort& error) {
        try {
            FPort.ClosePort();
        } catch (const EComPort&) {
        }
        SetPortStatus(kPortClosedStatus);
        Inform(OpenFailedText(FPort.LineSettings().ComPort, error));
        return;
    }
    ShowPortOpened();
}

bool TMainFrm::FormCloseQuery()
{
    return Ask(QStringLiteral("是否要退出本系统？"));
}

void TMainFrm::closeEvent(QCloseEvent* event)
{
    if (FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

// ---------------------------------------------------------------------------
// Port state

void TMainFrm::ShowPortOpened()
{
    FPortOpenedOnce = true;
    acSend->setEnabled(true);
    acRead->setEnabled(true);
    for (QAction* item : PopupMenu1->actions())
        item->setEnabled(true);
    TBtnOpen->setText(kCloseCaption);
    TBtnOpen->setToolTip(kCloseCaption);
    TBtnOpen->setIcon(ToolbarImage(ToolImage::PortOpen));
    TBtnOpen->setProperty("imageIndex", 1);
    acOpen->setText(kCloseCaption);
    acSet->setEnabled(false);
    SetPortStatus(QStringLiteral("串口状态：") + FPort.LineSettings().ComPort);
}

void TMainFrm::ShowPortClosed(bool disableRecordMenu)
{
    if (disableRecordMenu) {
        for (QAction* item : PopupMenu1->actions())
            item->setEnabled(false);
    }
    acSend->setEnabled(false);
    acRead->setEnabled(false);
    TBtnOpen->setText(kOpenCaption);
    TBtnOpen->setToolTip(kOpenCaption);
    TBtnOpen->setIcon(ToolbarImage(ToolImage::PortClosed));
    TBtnOpen->setProperty("imageIndex", 0);
    acOpen->setText(kOpenCaption);
    acSet->setEnabled(true);
    SetPortStatus(kPortClosedStatus);
}

// A port that ended its connection by itself (adapter unplugged) shows as
// closed, as after a manual close, and the operator is told once: with the
// port's own error text when an operation failed or the port said why, else
// with ours.
void TMainFrm::AfterPortUse(const QString& error)
{
    if (!FPort.Connected() && TBtnOpen->text() == kCloseCaption) {
        // A loss has told its reason alone; the caught error's text is the
        // fallback for a port that could not be reopened.
        ReportPortLoss(FLostPortMessage.isEmpty() ? error : FLostPortMessage);
        return;
    }
    if (!error.isEmpty())
        FPrompter.Warn(this, error, kWarnCaption);
}

void TMainFrm::PortLost(const QString& reason)
{
    FLostPortMessage = reason;
    if (!FPortGuard.Busy())
        ReportPortLoss(reason);
}

void TMainFrm::ReportPortLoss(QString reason)
{
    FLostPortMessage.clear();
    if (TBtnOpen->text() != kCloseCaption)
        return;
    try {
        // Also drops the failure the port keeps for its next operation: the
        // operator hears of it here, once.
        FPort.ClosePort();
    } catch (const EComPort&) {
    }
    ShowPortClosed(true);
    const QString lost = QStringLiteral("串口连接已断开，请检查！");
    FPrompter.Warn(this, reason.isEmpty() ? lost : lost + u'\n' + reason, kWarnCaption);
}

void TMainFrm::ShowConnecting()
{
    const QString name = FPort.LineSettings().ComPort;
    if (!IsNetworkPortName(name))
        return;
    // Connecting can take seconds, and the window waits for it: say so first.
    SetPortStatus(QStringLiteral("串口状态：正在连接 ") + name);
    // No event is handled before the wait: the panel is widened to its text
    // and drawn right here, or it shows the old width cut short.
    StatusBar1->layout()->activate();
    StatusBar1->repaint();
}

PortGuard::Lease TMainFrm::ClaimPort()
{
    PortGuard::Lease lease = FPortGuard.TryTake();
    if (!lease) {
        Inform(kPortBusy);
        return lease;
    }
    // Bounds each reply wait by the wire time of the longest reply on this line.
    FExchange.SetLine(LineSettingsOf(FPort.LineSettings()));
    FExchange.ResetEchoedReplies();
    return lease;
}

PortGuard::Lease TMainFrm::ClaimOpenPort()
{
    PortGuard::Lease lease = ClaimPort();
    if (lease && !FPort.Connected()) {
        Inform(QString::fromUtf8(kPortClosedText));
        return {};
    }
    return lease;
}

void TMainFrm::SetPortStatus(const QString& text)
{
    FStatusPanels[0]->setText(text);
}

void TMainFrm::ShowAddress()
{
    FStatusPanels[1]->setText(QStringLiteral("流量计地址：") + QString::number(FAddress));
}

QString TMainFrm::StatusText(int panel) const
{
    return panel >= 0 && panel < 3 ? FStatusPanels[panel]->text() : QString();
}

void TMainFrm::acOpenExecute()
{
    // Closing under a parameter read would spoil its exchange.
    const PortGuard::Lease lease = ClaimPort();
    if (!lease)
        return;
    if (TBtnOpen->text() == kOpenCaption) {
        try {
            FPort.ClosePort();
            ShowConnecting();
            FPort.OpenPort();
        } catch (const EComPort& error) {
            SetPortStatus(kPortClosedStatus);
            Inform(OpenFailedText(FPort.LineSettings().ComPort, error));
            return;
        }
        ShowPortOpened();
        return;
    }
    try {
        FPort.ClosePort();
    } catch (const EComPort&) {
        Inform(kCloseFailed);
        return;
    }
    ShowPortClosed(true);
}

void TMainFrm::acSetExecute()
{
    TComFrm dialog(this);
    const PortSettings current = FPort.LineSettings();
    dialog.SetPortName(current.ComPort);
    dialog.SetBaudRateOrdinal(current.BaudRate);
    dialog.SetDataBitsOrdinal(current.DataBits);
    dialog.SetStopBitsOrdinal(current.StopBits);
    dialog.SetParityOrdinal(current.Parity);
    dialog.SetEcho(FLink.Enabled());
    if (dialog.exec() != QDialog::Accepted)
        return;
    PortSettings chosen;
    chosen.ComPort = dialog.PortName();
    chosen.BaudRate = dialog.BaudRateOrdinal(current.BaudRate);
    chosen.DataBits = dialog.DataBitsOrdinal(current.DataBits);
    chosen.StopBits = dialog.StopBitsOrdinal(current.StopBits);
    chosen.Parity = dialog.ParityOrdinal(current.Parity);
    FLink.SetEnabled(dialog.Echo());
    FNoPortChosen = false;
    if (chosen.ComPort != current.ComPort && FReadParamFrm)
        FReadParamFrm->ForgetValues();
    try {
        FPort.SetLineSettings(chosen);
    } catch (const EComPort& error) {
        AfterPortUse(QString::fromStdString(error.what()));
    }
    SaveSettings();
}

// ---------------------------------------------------------------------------
// Tree and reads

int TMainFrm::NodeCodeOf(const QTreeWidgetItem* node)
{
    return node ? node->data(0, kNodeCodeRole).toInt() : 0;
}

QTreeWidgetItem* TMainFrm::SelectedNode() const
{
    return TreeView1->currentItem();
}

void TMainFrm::UpdateNodeImages(QTreeWidgetItem* current, QTreeWidgetItem* previous)
{
    if (previous)
        previous->setIcon(0, TreeImage(TreeImageIndex(NodeCode(previous))));
    if (current)
        current->setIcon(0, TreeImage(TreeSelectedImageIndex(NodeCode(current))));
}

void TMainFrm::Inform(const QString& text)
{
    FPrompter.Inform(this, text, kInfoCaption);
}

bool TMainFrm::Ask(const QString& text)
{
    return FPrompter.Ask(this, text, kInfoCaption);
}

void TMainFrm::SetupRecordColumns(int kindCode)
{
    FTableKind = kindCode;
    SetupKindColumns(kindCode, FRecords);
    const RecordKind* kind = FindRecordKind(kindCode);
    if (!kind || !kind->fieldsFromWorkbook)
        return;
    if (!FProtocolCells) {
        // No protocol workbook: the kind has only its "序号" column and a
        // record length of 0, so no request can be composed for it.
        FProtocolSheet = ProtocolSheet();
        FFieldTypes.clear();
        FFieldDigits.fill(0);
        FRecords.SetColumns({{"序号", 45}});
        return;
    }
    ProtocolLoadResult loaded = LoadProtocolSection(kindCode, FProtocolCells);
    FProtocolSheet = loaded.sheet;
    FFieldTypes = loaded.sheet.fieldTypes;
    FFieldDigits = loaded.sheet.fieldDigits;
    FRecords.SetColumns(loaded.sheet.columns);
    if (!loaded.Ok())
        FPrompter.Warn(this, QString::fromStdString(loaded.error), kWarnCaption);
}

BaseRequest TMainFrm::ComposeBaseRequest(int kindCode)
{
    RegisterWindow registers;
    const int section = ProtocolWorkbookSection(kindCode);
    if (section >= 0) {
        registers.start = FProtocolSheet.recordStart[static_cast<size_t>(section)];
        registers.length = FProtocolSheet.recordLength[static_cast<size_t>(section)];
    }
    BaseRequest base = FExchange.ComposeBaseRequest(kindCode, FAddress, registers);
    if (base.portClosed)
        Inform(QString::fromUtf8(kPortClosedText));
    return base;
}

void TMainFrm::StartRun(int endBlock, int beginBlock, const Bytes& baseRequest, int kindCode,
                        int pollIntervalMs)
{
    FWaitEchoFrm->SetPollInterval(pollIntervalMs);
    FRun.SetCollection(acFastRead->isChecked() ? ReplyCollection::Fast(LineSettingsOf(FPort.LineSettings()))
                                               : ReplyCollection::Paced());
    FWaitEchoFrm->StartRun(endBlock, beginBlock, baseRequest, kindCode);
    const RunOutcome& outcome = FRun.Outcome();
    AfterPortUse(outcome.end == RunEnd::PortLost ? QString::fromStdString(outcome.portError) : QString());
    // A block that failed only because the adapter hears itself is put right
    // in the port settings, not by reading again.
    if (outcome.end == RunEnd::BlockFailed && FExchange.EchoedReplies() > 0)
        Inform(QString::fromStdString(FailedBlockText(outcome.block)) +
               EchoHint(FExchange.EchoedReplies(), FLink.Enabled()));
}

void TMainFrm::TreeView1Change(QTreeWidgetItem* node)
{
    if (!FTreeChangeEnabled || !node || !node->parent())
        return;
    const int kindCode = NodeCode(node);
    if (FRecords.RowCount() == 0) {
        SetupRecordColumns(kindCode);
    } else if (Ask(QStringLiteral("若选择\"") + node->text(0) +
                   QStringLiteral("\",前一次所读取的记录信息将被删除，是否要继续？"))) {
        FRecords.ClearRows();
        SetupRecordColumns(kindCode);
        TreeView1DblClick();
    }
    if (FPortOpenedOnce) {
        acSend->setEnabled(true);
        acRead->setEnabled(true);
    }
}

// Asks before rows already in the table are overwritten; on Yes (or with an
// empty table) sets up the kind's columns with no rows. False when declined,
// in which case rows and columns stay as they were.
bool TMainFrm::PrepareRecordTable(int kindCode)
{
    if (FRecords.RowCount() > 0 && !Ask(kOverwriteQuestion))
        return false;
    SetupRecordColumns(kindCode);
    FRecords.ClearRows();
    return true;
}

void TMainFrm::TreeView1DblClick()
{
    QTreeWidgetItem* node = SelectedNode();
    if (!node || !node->parent())
        return;
    const PortGuard::Lease lease = ClaimPort();
    if (!lease)
        return;
    const int kindCode = NodeCode(node);
    if (!PrepareRecordTable(kindCode))
        return;
    const BaseRequest base = ComposeBaseRequest(kindCode);
    if (base.request.empty())
        return;
    StartRun(base.blockCount, 1, base.request, kindCode,
             PollIntervalMs(DeviceTypeOfKind(kindCode), ReadStartWay::TreeOrRecordMenu));
}

void TMainFrm::SelectRecordKind(int kindCode)
{
    for (QTreeWidgetItemIterator it(TreeView1); *it; ++it) {
        if (NodeCode(*it) == kindCode) {
            (*it)->setExpanded(true);
            if ((*it)->parent())
                (*it)->parent()->setExpanded(true);
            TreeView1->setCurrentItem(*it);
        }
    }
}

void TMainFrm::RecordMenuClick(QAction* item)
{
    const RecordMenuItem* menuItem = item ? FindRecordMenuItem(item->objectName().toStdString()) : nullptr;
    if (!menuItem)
        return;
    PortGuard::Lease lease = ClaimOpenPort();
    if (!lease)
        return;
    TreeView1->collapseAll();
    WaitCursor cursor;
    item->setEnabled(false);
    RecordMenuChoice choice;
    bool cancelled = false;
    try {
        cursor.Restore();
        choice.deviceType = IdentifyWithProgress(cancelled);
        AfterPortUse();
    } catch (const EComPort& error) {
        item->setEnabled(true);
        AfterPortUse(QString::fromStdString(error.what()));
        return;
    }
    item->setEnabled(true);
    if (cancelled)
        return;
    const RecordMenuResolution resolution = ResolveRecordMenuItem(*menuItem, choice.deviceType);
    choice.kindCode = resolution.kindCode;
    choice.message = resolution.message;
    // The read claims the port again at once, with no event handled between.
    lease.Release();
    if (choice.kindCode == 0) {
        Inform(Text(choice.message) +
               (choice.deviceType == 0 ? EchoHint(FExchange.EchoedReplies(), FLink.Enabled()) : QString()));
        return;
    }
    // The progress window's "取消" must not sit under a busy cursor.
    cursor.Restore();
    FlagOff quiet(FTreeChangeEnabled);
    SelectRecordKind(choice.kindCode);
    TreeView1DblClick();
}

void TMainFrm::acSendExecute()
{
    int deviceType = 0;
    {
        const PortGuard::Lease lease = ClaimOpenPort();
        if (!lease)
            return;
        TreeView1->collapseAll();
        bool cancelled = false;
        try {
            deviceType = IdentifyWithProgress(cancelled, ProbeSet::RecordReader);
            AfterPortUse();
        } catch (const EComPort& error) {
            AfterPortUse(QString::fromStdString(error.what()));
            return;
        }
        if (cancelled)
            return;
    }
    if (deviceType == 0) {
        Inform(Text(kNoMeterMessage) + EchoHint(FExchange.EchoedReplies(), FLink.Enabled()));
        return;
    }
    SelectDeviceType(deviceType);
}

void TMainFrm::SelectDeviceType(int deviceType)
{
    const PortGuard::Lease lease = ClaimPort();
    if (!lease)
        return;
    TreeView1->collapseAll();
    FlagOff quiet(FTreeChangeEnabled);
    QTreeWidgetItem* kindNode = nullptr;
    for (int i = 0; i < TreeView1->topLevelItemCount(); ++i) {
        QTreeWidgetItem* typeNode = TreeView1->topLevelItem(i);
        if (NodeCode(typeNode) != deviceType || typeNode->childCount() == 0)
            continue;
        typeNode->setExpanded(true);
        kindNode = typeNode->child(0);
        TreeView1->setCurrentItem(kindNode);
    }
    // A device type without a node (type 4 is dropped from the tree) has no
    // kind to read: say so rather than read whatever happens to be selected.
    if (!kindNode) {
        Inform(Text(kNoMeterMessage));
        return;
    }
    const int kindCode = NodeCode(SelectedNode());
    if (!PrepareRecordTable(kindCode))
        return;
    const BaseRequest base = ComposeBaseRequest(kindCode);
    if (base.request.empty())
        return;
    StartRun(base.blockCount, 1, base.request, kindCode,
             PollIntervalMs(deviceType, ReadStartWay::RangeOrIdentification));
}

int TMainFrm::IdentifyWithProgress(bool& cancelled, ProbeSet probes)
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
    if (FastReading()) {
        const LineSettings line = LineSettingsOf(FPort.LineSettings());
        deviceType = recordReader ? ProbeRecordReader(FExchange, FAddress, line, stop)
                                  : ProbeMeter(FExchange, FAddress, line, stop);
    } else {
        deviceType = recordReader ? IdentifyRecordReader(FExchange, FAddress, stop)
                                  : IdentifyMeter(FExchange, FAddress, stop);
    }
    cancelled = progress.wasCanceled();
    return cancelled ? 0 : deviceType;
}

void TMainFrm::acFastReadExecute(bool checked)
{
    FSettings.WriteFastRead(checked);
}

void TMainFrm::acReadExecute()
{
    QTreeWidgetItem* node = SelectedNode();
    if (!node || !node->parent()) {
        Inform(QStringLiteral("请选择要读取的流量计记录类型！"));
        return;
    }
    const PortGuard::Lease lease = ClaimPort();
    if (!lease)
        return;
    const int kindCode = NodeCode(node);
    // The table is cleared only once the operator has chosen a range: "取消"
    // in the range dialog keeps the records already read.
    if (FRecords.RowCount() > 0 && !Ask(kOverwriteQuestion))
        return;
    const BaseRequest base = ComposeBaseRequest(kindCode);
    if (base.request.empty())
        return;
    TNumFrm range(this, &FPrompter);
    range.Prepare(node->text(0), base.blockCount);
    if (range.exec() != QDialog::Accepted)
        return;
    SetupRecordColumns(kindCode);
    FRecords.ClearRows();
    StartRun(range.EndBlock(), range.BeginBlock(), base.request, kindCode,
             PollIntervalMs(DeviceTypeOfKind(kindCode), ReadStartWay::RangeOrIdentification));
}

// ---------------------------------------------------------------------------
// Records, log, windows, dialogs

void TMainFrm::acDelRecExecute()
{
    if (FRecords.RowCount() > 0 && !Ask(QStringLiteral("是否要删除记录信息？")))
        return;
    FRecords.ClearRows();
}

void TMainFrm::acSaveRecExecute()
{
    if (FRecords.RowCount() == 0)
        return;
    const QString name = FPrompter.SaveFileName(this, QStringLiteral("保存记录"),
                                                QDir(FSettingsDir).filePath(QStringLiteral("*.xlsx")),
                                                QStringLiteral("*.xlsx"));
    if (name.isEmpty())
        return;
    QTreeWidgetItem* node = SelectedNode();
    const std::string caption = node && node->parent() ? node->text(0).toStdString() : std::string();
    ExportOutcome outcome;
    {
        WaitCursor cursor;
        outcome = ExportRecordTable(
            FRecords, caption, name, QDate::currentDate(),
            [this](const QString& text, const QString& title) { return FPrompter.Ask(this, text, title); });
    }
    for (const ExportMessage& message : outcome.messages) {
        if (message.warning)
            FPrompter.Warn(this, message.text, message.caption);
        else
            FPrompter.Inform(this, message.text, message.caption);
    }
}

void TMainFrm::acDelLogExecute()
{
    if (FLog.LineCount() == 0)
        return;
    if (!Ask(QStringLiteral("是否要删除日志信息？")))
        return;
    FLog.Clear();
}

void TMainFrm::acSaveLogExecute()
{
    FlushLog();
    const std::string proposed =
        ProposedLogFileName(QDir::toNativeSeparators(FSettingsDir + '/').toStdString());
    const QString name =
        FPrompter.SaveFileName(this, QStringLiteral("保存日志"), QString::fromStdString(proposed),
                               QString::fromLatin1(kSaveLogFilter));
    if (name.isEmpty())
        return;
    const LogSaveResult result = SaveLogFile(FLog, name.toStdString(), [this](const LogMessage& question) {
        return FPrompter.Ask(this, QString::fromStdString(question.Text),
                             QString::fromStdString(question.Caption));
    });
    for (const LogMessage& message : result.Messages) {
        if (message.Kind == LogMessageKind::Warning)
            FPrompter.Warn(this, QString::fromStdString(message.Text),
                           QString::fromStdString(message.Caption));
        else
            FPrompter.Inform(this, QString::fromStdString(message.Text),
                             QString::fromStdString(message.Caption));
    }
}

void TMainFrm::acChartExecute()
{
    if (!FChartFrm) {
        FChartFrm = new TChartFrm(*FRecordModel, FPrompter, FSettingsDir, this);
        FChartFrm->SetSubject([this] {
            const std::string_view kind = RecordKindCaption(FTableKind);
            return QString::fromUtf8(kind.data(), static_cast<qsizetype>(kind.size())) +
                   QStringLiteral("    流量计地址：") + QString::number(FAddress);
        });
    }
    FChartFrm->show();
    FChartFrm->raise();
    FChartFrm->activateWindow();
}

void TMainFrm::acModbusExecute()
{
    if (!FModbusFrm) {
        FModbusFrm = new TModbusFrm({FLink, FWaiter, FPrompter, FLog, FSettings, FPortGuard,
                                     [this] { return FPort.LineSettings().ComPort; }, FSettingsDir},
                                    this);
        FModbusFrm->PortErrorHandler = [this](const QString& message) { AfterPortUse(message); };
    }
    FModbusFrm->show();
    FModbusFrm->raise();
    FModbusFrm->activateWindow();
}

void TMainFrm::N16Click()
{
    if (Memo1->textCursor().hasSelection())
        Memo1->copy();
}

void TMainFrm::FlushLog()
{
    FLogMirror->Flush();
}

void TMainFrm::acWinExecute(bool checked)
{
    // `checked` is the new state of NWin: checked means the pane is hidden.
    acWin->setText(checked ? QStringLiteral("显示日志窗口") : QStringLiteral("隐藏日志窗口"));
    pnlBottom->setVisible(!checked);
}

void TMainFrm::acCapWinExecute(bool checked)
{
    acCapWin->setText(checked ? QStringLiteral("显示标题窗口") : QStringLiteral("隐藏标题窗口"));
    pnlLeft->setVisible(!checked);
}

void TMainFrm::acAddrExecute()
{
    TAddrFrm dialog(this);
    dialog.SetAddress(FAddress);
    if (dialog.exec() != QDialog::Accepted)
        return;
    FAddress = dialog.Address();
    ShowAddress();
    SaveSettings();
}

void TMainFrm::acAboutExecute()
{
    TAboutFrm about(FPrompter, FHelpDir, this);
    about.exec();
}

void TMainFrm::acReadParamExecute()
{
    FReadParamFrm->SetMeterAddress(static_cast<uint8_t>(FAddress));
    FReadParamFrm->show();
    FReadParamFrm->raise();
    FReadParamFrm->activateWindow();
}

void TMainFrm::H2Click()
{
    ShowManual(this, FPrompter, FHelpDir);
}
