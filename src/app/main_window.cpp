#include "app/main_window.h"
#include "app/app_texts.h"
#include "app/utf8_text.h"

#include "app/about_dialog.h"
#include "app/address_dialog.h"
#include "app/app_images.h"
#include "app/chart_window.h"
#include "app/device_tree.h"
#include "app/help_files.h"
#include "app/log_pane.h"
#include "app/manual_window.h"
#include "app/modbus_window.h"
#include "app/param_window.h"
#include "app/port_actions.h"
#include "app/prompter.h"
#include "app/read_controller.h"
#include "app/record_pane.h"
#include "app/transaction_dialog.h"
#include "app/window_place_keeper.h"
#include "catalogue/catalogue.h"
#include "serial/com_port_error.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

MainWindow::MainWindow(const MainWindowContext& context, QWidget* parent)
    : QMainWindow(parent), m_registry(context.registry), m_waiter(context.waiter),
      m_prompter(context.prompter), m_settingsDir(context.settingsDir),
      m_settings(context.settingsDir, context.userSettingsDir.isEmpty() ? SettingsFile::defaultUserFolder()
                                                                        : context.userSettingsDir),
      m_helpDir(context.helpDir), m_session(context.port, m_log, context.waiter)
{
    setObjectName(QStringLiteral("TMainFrm"));
    setWindowTitle(QStringLiteral("Quellon   RS485通信测试系统"));
    // Wide enough for every column of the record table and the log beside it.
    resize(1180, 760);
    m_place = new WindowPlaceKeeper(*this, m_settings);

    buildStatusBar();
    m_ports = new PortActions(*this, m_session, m_prompter, *m_statusPanels[0]);
    connect(m_ports, &PortActions::shownOpen, this, &MainWindow::onPortShown);
    connect(m_ports, &PortActions::settingsChosen, this, [this](bool portRenamed) {
        if (portRenamed && m_paramWindow)
            m_paramWindow->forgetValues();
        saveSettings();
    });
    buildActions();
    buildPanes();
    buildToolbar();
    m_reads = std::make_unique<ReadController>(
        ReadContext{context.registry, *this, m_session, m_waiter, m_prompter, m_records, *m_deviceTree,
                    m_settingsDir, [this] { return m_address; }, [this] { return fastReading(); }});
    connect(m_reads.get(), &ReadController::addressChosen, this, &MainWindow::setAddress);
    connect(m_deviceTree, &DeviceTree::kindSelected, this, &MainWindow::onKindSelected);
    connect(m_deviceTree, &DeviceTree::nodeDoubleClicked, this, &MainWindow::onTreeNodeDoubleClicked);
    buildMenus();

    loadSettings(context.machinePorts, context.choosePortFirst);
    m_protocolWorkbookFailed = !m_reads->loadProtocolWorkbook(m_settings);

    // The parameter window lives as long as the main window.
    m_paramWindow = new ParamWindow(
        {m_registry, m_session, m_waiter, m_prompter, m_log, m_settings, [this] { return m_address; },
         [this] { return &m_reads->protocolSheet(); }, m_settingsDir,
         [this] { return m_reads->knownDeviceType(); }, [this] { return fastReading(); }},
        this);
}

MainWindow::~MainWindow()
{
    disconnect(&m_session, nullptr, this, nullptr);
    disconnect(&m_session, nullptr, m_ports, nullptr);
    saveSettings();
    // Also a window never moved: the next start opens it where it was.
    if (m_shownOnce)
        saveWindowPlace();
    // The views refer to the record table, the log and the run, which are
    // members and go before the child widgets do: detach the views first.
    delete m_paramWindow;
    // The transaction window goes while the read controller, whose run it
    // shows, can still be asked for it.
    delete &m_reads->transactionDialog();
    m_reads.reset();
    delete m_chartWindow;
    delete m_modbusWindow;
    delete m_recordPane;
    delete m_logPane;
}

// ---------------------------------------------------------------------------
// Building the window

void MainWindow::buildActions()
{
    auto make = [this](QAction*& action, const char* name, const QString& caption, auto slot) {
        action = new QAction(caption, this);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, slot);
    };
    make(m_exitAction, "acExit", QStringLiteral("退出系统"), &QWidget::close);
    make(m_addressAction, "acAddr", QStringLiteral("流量计地址"), &MainWindow::onAddressTriggered);
    make(m_aboutAction, "acAbout", QStringLiteral("关于(&A)"), &MainWindow::onAboutTriggered);
    make(m_hideLogAction, "acWin", QStringLiteral("隐藏日志窗口"), &MainWindow::onHideLogToggled);
    make(m_readAllAction, "acSend", QStringLiteral("读取全部记录"), &MainWindow::onReadAllTriggered);
    make(m_hideCaptionAction, "acCapWin", QStringLiteral("隐藏标题窗口"), &MainWindow::onHideCaptionToggled);
    make(m_readRangeAction, "acRead", QStringLiteral("读取部分记录"), &MainWindow::onReadRangeTriggered);
    make(m_readRealtimeAction, "acReadParam", QStringLiteral("读实时数据"),
         &MainWindow::onReadRealtimeTriggered);
    make(m_manualAction, "H2", QStringLiteral("使用手册(&H)"), &MainWindow::onManualTriggered);
    make(m_chartAction, "acChart", QStringLiteral("曲线"), &MainWindow::onChartTriggered);
    make(m_modbusAction, "m_modbusAction", QStringLiteral("Modbus调试"), &MainWindow::onModbusTriggered);
    make(m_fastReadAction, "acFastRead", QStringLiteral("快速读取"), &MainWindow::onFastReadToggled);
    make(m_backupAction, "acBackup", QStringLiteral("备份全部记录"), [this] { m_reads->backup(); });
    make(m_searchAction, "acSearch", QStringLiteral("搜索流量计"), [this] { m_reads->search(); });
    m_fastReadAction->setCheckable(true);
    m_readAllAction->setEnabled(false);
    m_readRangeAction->setEnabled(false);
    // The menu items NWin and NCapWin carry the check mark of their action.
    m_hideLogAction->setCheckable(true);
    m_hideCaptionAction->setCheckable(true);
    // Only the toolbar shows the history button's action, which pops up the record-type menu.
    m_historyAction = new QAction(this);
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

    // The buttons carry shorter captions than the menu items of the same action.
    auto button = [this](QAction* action, const char* name, const QString& caption, ToolImage image) {
        action->setIconText(caption);
        action->setToolTip(caption);
        action->setIcon(toolbarImage(image));
        action->setIconVisibleInMenu(false);
        m_toolBar->addAction(action);
        auto* slot = qobject_cast<QToolButton*>(m_toolBar->widgetForAction(action));
        slot->setObjectName(QString::fromLatin1(name));
        slot->setFixedSize(60, 40);
        slot->setCursor(Qt::PointingHandCursor);
        // Reachable with Tab, as a tool button is anywhere else.
        slot->setFocusPolicy(Qt::TabFocus);
        return slot;
    };
    button(m_ports->settingsAction(), "RS485Btn", QStringLiteral("串口设置"), ToolImage::PortSettings);
    // Its caption follows the action's, which says what a click does to the port.
    QAction* open = m_ports->openAction();
    m_ports->setOpenButton(button(open, "TBtnOpen", open->text(), ToolImage::PortClosed));
    open->setIconText(QString());
    open->setToolTip(QString());
    m_toolBar->addSeparator();
    button(m_addressAction, "RzToolButton1", QStringLiteral("表地址"), ToolImage::Address);
    m_toolBar->addSeparator();
    button(m_readRealtimeAction, "RzToolButton2", QStringLiteral("实时数据"), ToolImage::LiveData);
    m_historyButton =
        button(m_historyAction, "RzToolButton3", QStringLiteral("历史记录"), ToolImage::History);
    m_historyButton->setFixedSize(74, 40);
    m_historyButton->setPopupMode(QToolButton::InstantPopup);
    button(m_recordPane->saveAction(), "RzToolButton4", QStringLiteral("保存记录"), ToolImage::SaveRecords);
    button(m_recordPane->clearAction(), "RzToolButton5", QStringLiteral("删除记录"),
           ToolImage::DeleteRecords);
    button(m_chartAction, "RzToolButton10", QStringLiteral("曲线"), ToolImage::Chart);
    button(m_modbusAction, "ModbusBtn", QStringLiteral("Modbus"), ToolImage::LiveData);
    m_modbusAction->setToolTip(QStringLiteral("Modbus调试"));
    button(m_logPane->saveAction(), "RzToolButton6", QStringLiteral("保存日志"), ToolImage::SaveLog);
    button(m_logPane->clearAction(), "RzToolButton7", QStringLiteral("删除日志"), ToolImage::DeleteLog);
    m_toolBar->addSeparator();
    button(m_aboutAction, "RzToolButton8", QStringLiteral("关于"), ToolImage::About);
    button(m_exitAction, "RzToolButton9", QStringLiteral("退出系统"), ToolImage::Exit);
}

void MainWindow::buildPanes()
{
    m_treePane = new QWidget(this);
    m_treePane->setObjectName(QStringLiteral("pnlLeft"));
    m_deviceTree = new DeviceTree(m_registry, m_treePane);
    auto* leftLayout = new QVBoxLayout(m_treePane);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(m_deviceTree);

    m_recordPane = new RecordPane(
        m_records, m_prompter, m_settingsDir,
        [this] {
            const QTreeWidgetItem* node = m_deviceTree->selectedKindNode();
            return node ? node->text(0) : QString();
        },
        this);

    auto* treeSplitter = new QSplitter(Qt::Horizontal, this);
    treeSplitter->setObjectName(QStringLiteral("Splitter2"));
    treeSplitter->setHandleWidth(3);
    treeSplitter->setChildrenCollapsible(false);
    treeSplitter->addWidget(m_treePane);
    treeSplitter->addWidget(m_recordPane);
    treeSplitter->setStretchFactor(1, 1);
    treeSplitter->setSizes({300, 571});

    m_logPane = new LogPane(m_log, m_prompter, m_settingsDir, this);

    auto* logSplitter = new QSplitter(Qt::Vertical, this);
    logSplitter->setObjectName(QStringLiteral("Splitter1"));
    logSplitter->setHandleWidth(3);
    logSplitter->setChildrenCollapsible(false);
    logSplitter->addWidget(treeSplitter);
    logSplitter->addWidget(m_logPane);
    logSplitter->setStretchFactor(0, 1);
    logSplitter->setSizes({450, 197});
    setCentralWidget(logSplitter);
}

void MainWindow::buildMenus()
{
    m_recordKindMenu = new QMenu(this);
    m_recordKindMenu->setObjectName(QStringLiteral("PopupMenu1"));
    for (const RecordMenuItem& item : recordMenuItems()) {
        QAction* action = m_recordKindMenu->addAction(toQString(item.caption));
        action->setObjectName(toQString(item.name));
        connect(action, &QAction::triggered, this, [this, action] { onRecordKindChosen(action); });
        if (item.separatorAfter)
            m_recordKindMenu->addSeparator();
    }
    m_recordKindMenu->addSeparator();
    m_recordKindMenu->addAction(m_backupAction);
    m_historyButton->setMenu(m_recordKindMenu);

    auto* readMenu = new QMenu(this);
    readMenu->setObjectName(QStringLiteral("PopSend"));
    readMenu->addAction(m_readAllAction);
    readMenu->addAction(m_readRangeAction);

    // The tree offers the record-type menu and, below a separator, the two
    // reads of "PopSend".
    auto* treeMenu = new QMenu(this);
    treeMenu->setObjectName(QStringLiteral("TreePopup"));
    connect(m_deviceTree, &QWidget::customContextMenuRequested, this, [this, treeMenu](const QPoint& at) {
        treeMenu->popup(m_deviceTree->viewport()->mapToGlobal(at));
    });
    treeMenu->addActions(m_recordKindMenu->actions());
    treeMenu->addSeparator();
    treeMenu->addActions({m_readAllAction, m_readRangeAction, m_fastReadAction});
    m_recordPane->menu()->addAction(m_chartAction);

    QMenuBar* mainMenu = menuBar();
    mainMenu->setObjectName(QStringLiteral("MainMenu1"));
    QMenu* system = mainMenu->addMenu(QStringLiteral("系统(&S)"));
    system->addAction(m_ports->settingsAction());
    system->addSeparator();
    system->addAction(m_exitAction);
    QMenu* address = mainMenu->addMenu(QStringLiteral("地址(&A)"));
    address->addAction(m_addressAction);
    address->addAction(m_searchAction);
    QMenu* operation = mainMenu->addMenu(QStringLiteral("操作(&O)"));
    operation->addAction(m_readRealtimeAction);
    operation->addSeparator();
    operation->addAction(m_recordPane->saveAction());
    operation->addAction(m_logPane->saveAction());
    operation->addSeparator();
    operation->addAction(m_recordPane->clearAction());
    operation->addAction(m_logPane->clearAction());
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
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(true);
    const int widths[3] = {150, 120, 50};
    for (int i = 0; i < 3; ++i) {
        m_statusPanels[i] = new QLabel(bar);
        m_statusPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        // A panel grows with its text: "串口状态：tcp://127.0.0.1:4001" is shown whole.
        m_statusPanels[i]->setMinimumWidth(widths[i]);
        m_statusPanels[i]->setFrameShape(QFrame::Panel);
        m_statusPanels[i]->setFrameShadow(QFrame::Sunken);
        bar->addWidget(m_statusPanels[i]);
    }
}

// ---------------------------------------------------------------------------
// Settings

void MainWindow::loadSettings(const std::function<QList<SerialPortDetails>()>& machinePorts,
                              bool choosePortFirst)
{
    PortSettings stored = m_settings.readPort();
    bool noPortChosen = false;
    if (!m_settings.hasPortChoice() && choosePortFirst) {
        noPortChosen = true;
    } else if (!m_settings.hasPortChoice() && machinePorts) {
        const QList<SerialPortDetails> ports = machinePorts();
        noPortChosen = ports.size() != 1;
        if (ports.size() == 1)
            stored.comPort = ports.first().path;
    }
    m_ports->setNoPortChosen(noPortChosen, choosePortFirst);
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

// ---------------------------------------------------------------------------
// Window events

bool MainWindow::showAtStoredPlace()
{
    return m_place->showAtStoredPlace();
}

void MainWindow::saveWindowPlace()
{
    m_place->save();
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
    m_reads->setupRecordColumns(kindOfProtocolWorkbookSection(m_registry, 0));
    m_ports->showClosed();
    showAddress();
    // The focus starts on the toolbar, not on the tree, whose first node would
    // show a focus frame.
    m_toolBar->widgetForAction(m_ports->settingsAction())->setFocus();
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
    if (!m_portOpenedOnce && m_session.state() == PortSession::State::Closed)
        m_ports->openAtActivation();
}

bool MainWindow::canClose()
{
    return m_prompter.ask(this, QStringLiteral("是否要退出本系统？"), kInfoCaption);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (canClose())
        event->accept();
    else
        event->ignore();
}

// ---------------------------------------------------------------------------
// Port state and status bar

void MainWindow::onPortShown(bool open)
{
    m_portOpenedOnce = m_portOpenedOnce || open;
    m_readAllAction->setEnabled(open);
    m_readRangeAction->setEnabled(open);
    for (QAction* item : m_recordKindMenu->actions())
        item->setEnabled(open);
}

void MainWindow::showAddress()
{
    m_statusPanels[1]->setText(QStringLiteral("流量计地址：") + QString::number(m_address));
}

QString MainWindow::statusText(int panel) const
{
    return panel >= 0 && panel < 3 ? m_statusPanels[panel]->text() : QString();
}

// ---------------------------------------------------------------------------
// Tree and reads

QTreeWidgetItem* MainWindow::selectedNode() const
{
    return m_deviceTree->currentItem();
}

bool MainWindow::treeChangeEnabled() const
{
    return m_reads->treeChangeEnabled();
}

TransactionDialog& MainWindow::transactionDialog()
{
    return m_reads->transactionDialog();
}

void MainWindow::setupRecordColumns(int kindCode)
{
    m_reads->setupRecordColumns(kindCode);
}

void MainWindow::onKindSelected(QTreeWidgetItem* node)
{
    if (!m_reads->treeChangeEnabled())
        return;
    m_reads->onKindSelected(node);
    if (m_portOpenedOnce) {
        m_readAllAction->setEnabled(true);
        m_readRangeAction->setEnabled(true);
    }
}

void MainWindow::onTreeNodeDoubleClicked()
{
    m_reads->readSelectedKind();
}

void MainWindow::onRecordKindChosen(QAction* item)
{
    m_reads->readRecordMenuItem(item);
}

void MainWindow::onReadAllTriggered()
{
    m_reads->readAll();
}

void MainWindow::onReadRangeTriggered()
{
    m_reads->readRange();
}

bool MainWindow::fastReading() const
{
    return m_fastReadAction && m_fastReadAction->isChecked();
}

void MainWindow::onFastReadToggled(bool checked)
{
    m_settings.writeFastRead(checked);
}

// ---------------------------------------------------------------------------
// Records, log, windows, dialogs

void MainWindow::onClearRecordsTriggered()
{
    m_recordPane->clear();
}

void MainWindow::onChartTriggered()
{
    if (!m_chartWindow) {
        m_chartWindow = new ChartWindow(m_recordPane->model(), m_prompter, m_settingsDir, this);
        m_chartWindow->setSubject([this] {
            const std::string_view kind = recordKindCaption(m_registry, m_reads->kindCode());
            return ChartWindow::Subject{toQString(kind), m_address};
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

void MainWindow::flushLog()
{
    m_logPane->flush();
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
    setAddress(dialog.address());
}

void MainWindow::setAddress(int address)
{
    m_address = address;
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
