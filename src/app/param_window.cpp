#include "app/param_window.h"

#include "app/app_texts.h"
#include "app/export_messages.h"
#include "app/port_session.h"
#include "app/utf8_text.h"

#include "app/prompter.h"
#include "decoding/param_labels.h"
#include "export/record_export.h"
#include "log/log_model.h"
#include "protocol/waiter.h"
#include "serial/byte_link.h"
#include "settings/settings_file.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDate>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kReadOk = QStringLiteral("读取仪表参数成功！");
const QString kReadFailed = QStringLiteral("读取仪表参数失败，请检查！");
// The mode button names the mode it switches to.
const QString kShowAdvancedCaption = QStringLiteral("高级");
const QString kShowSimpleCaption = QStringLiteral("简化");

// Window geometry (client area): the width, the height it is centred with when
// created, and its top edge in simple mode and what switching modes moves it by.
constexpr int kWidth = 699;
constexpr int kCreatedHeight = 641;
constexpr int kSimpleTop = 91;
constexpr int kModeTopStep = 45;
// Spacing around the bottom row in each mode: above it (below the panels, or
// below the selector), above the buttons within it, and below it.
struct BottomSpacing {
    int above;
    int aboveButtons;
    int below;
};
constexpr BottomSpacing kSimpleSpacing{19, 0, 46};
constexpr BottomSpacing kAdvancedSpacing{7, 11, 40};
// Left margin of panels, selector and bottom row; right margin of the selector and the buttons.
constexpr int kLeftMargin = 14;
constexpr int kSelectorRightMargin = 13;
constexpr int kButtonsRightMargin = 19;

// Standard colours of the original panels: status labels green when normal, red in alarm.
const QColor kNormalColour(0x00, 0x80, 0x00);
const QColor kAlarmColour(0xFF, 0x00, 0x00);
const QColor kValueColour(0x00, 0x00, 0x80);
const QColor kGridCaptionColour(0x00, 0x00, 0xFF);
const QColor kGridValueColour(0xFF, 0x00, 0x00);

// The device types of the type selector, by selector index.
std::vector<const DeviceTypeDescription*> selectorTypes(const DeviceRegistry& registry)
{
    return registry.paramOrder(&ParamRead::selectorRank);
}

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

// Grid cells: filled with the grid colour, captions blue, values red, the text 2
// pixels right of and below the cell's corner.
class ParamGridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        painter->save();
        painter->fillRect(option.rect, option.palette.color(QPalette::Window));
        const bool value = index.column() == 1 || index.column() == 3;
        painter->setPen(value ? kGridValueColour : kGridCaptionColour);
        painter->setFont(option.font);
        const QRect textRect = option.rect.adjusted(2, 2, 0, 0);
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop, index.data().toString());
        painter->restore();
    }
};

} // namespace

ParamWindow::ParamWindow(const ParamWindowContext& context, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_exchange(context.session.link(), context.log, context.waiter), m_reader(context.registry, m_exchange),
      m_prompter(context.prompter), m_log(context.log), m_settings(context.settings),
      m_meterAddressSource(context.meterAddress), m_protocolSheetSource(context.protocolSheet),
      m_knownDeviceType(context.knownDeviceType), m_knownTypeFirst(context.knownTypeFirst),
      m_exportFolder(context.exportFolder), m_session(context.session)
{
    setObjectName(QStringLiteral("ReadParamFrm"));
    setWindowTitle(QStringLiteral("用户只读参数----"));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(kWidth / 2, kCreatedHeight / 2));
    }

    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    // The window takes the size its layout asks for, in either mode.
    m_layout->setSizeConstraint(QLayout::SetFixedSize);
    buildTitle();
    m_selectorTypes = selectorTypes(context.registry);
    // One panel shows at a time, at the same place: all share one cell.
    auto* panels = new QGridLayout;
    panels->setContentsMargins(kLeftMargin, 7, 0, 0);
    // As tall as the tallest panel whichever shows, so what lies below keeps its place.
    panels->setRowMinimumHeight(0, 411);
    for (const DeviceTypeDescription* type : m_selectorTypes) {
        QWidget* panel =
            type->params.fromWorkbook ? buildGridPanel(*type->params.panel) : buildPanel(*type->params.panel);
        panels->addWidget(panel, 0, 0, Qt::AlignLeft | Qt::AlignTop);
        m_panels.push_back(panel);
    }
    m_layout->addLayout(panels);
    buildSelector();
    buildBottomRow();

    m_tickTimer = new QTimer(this);
    m_tickTimer->setObjectName(QStringLiteral("Timer1"));
    m_tickTimer->setInterval(m_periodSpin->value() * 1000);
    connect(m_tickTimer, &QTimer::timeout, this, &ParamWindow::onTick);

    connect(&m_reader, &ParamReader::changed, this, &ParamWindow::showValues);
    connect(&m_reader, &ParamReader::busyChanged, this, &ParamWindow::setBusyCursor);
    for (const DeviceTypeDescription* type : m_selectorTypes)
        showValues(type->code);
    showDevicePanel(m_panels[0]);
    onDeviceTypeClicked();
    applyMode();
}

ParamWindow::~ParamWindow()
{
    while (m_busyCursors > 0)
        setBusyCursor(false);
}

// ---------------------------------------------------------------------------
// Building

void ParamWindow::buildTitle()
{
    m_titleLabel = new QLabel(this);
    m_titleLabel->setObjectName(QStringLiteral("pnlTitle"));
    m_titleLabel->setFixedSize(kWidth, 73);
    m_titleLabel->setAlignment(Qt::AlignCenter);
    m_titleLabel->setFrameShape(QFrame::Panel);
    m_titleLabel->setFrameShadow(QFrame::Raised);
    QFont font = m_titleLabel->font();
    font.setBold(true);
    font.setPixelSize(32);
    m_titleLabel->setFont(font);
    setTextColour(m_titleLabel, kGridCaptionColour);
    m_layout->addWidget(m_titleLabel);
}

QWidget* ParamWindow::buildPanel(const ParamPanelSpec& panelSpec)
{
    const ParamPanelSpec* spec = &panelSpec;
    auto* panel = new QWidget(this);
    panel->setObjectName(QString::fromLatin1(spec->panelName));
    panel->setFixedSize(672, 403);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 0, 0, 0);
    for (const ParamGroupSpec& group : spec->groups) {
        auto* box = new QGroupBox(toQString(group.caption), panel);
        auto* grid = new QGridLayout(box);
        grid->setHorizontalSpacing(4);
        // Long lists go in two columns of caption/value pairs.
        const int columns = group.labels.size() > 10 ? 2 : 1;
        const int perColumn = static_cast<int>((group.labels.size() + static_cast<size_t>(columns) - 1) /
                                               static_cast<size_t>(columns));
        for (size_t i = 0; i < group.labels.size(); ++i) {
            const ParamLabelSpec& label = group.labels[i];
            auto* caption = new QLabel(toQString(label.caption), box);
            caption->setObjectName(QString::fromLatin1(label.name) + QStringLiteral("Cap"));
            caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            auto* value = new QLabel(toQString(label.resetText), box);
            value->setObjectName(QString::fromLatin1(label.name));
            value->setMinimumWidth(label.kind == LabelKind::Value ? 100 : 48);
            const int r = static_cast<int>(i) % perColumn;
            const int c = static_cast<int>(i) / perColumn * 2;
            grid->addWidget(caption, r, c);
            grid->addWidget(value, r, c + 1);
        }
        grid->setRowStretch(perColumn, 1);
        row->addWidget(box);
    }
    panel->hide();
    return panel;
}

QWidget* ParamWindow::buildGridPanel(const ParamPanelSpec& panelSpec)
{
    auto* panel = new QWidget(this);
    panel->setObjectName(QString::fromLatin1(panelSpec.panelName));
    panel->setFixedSize(673, 411);
    auto* box = new QGroupBox(QStringLiteral("实时数据"), panel);
    box->setGeometry(0, 0, 673, 411);
    m_valueGrid = new QTableWidget(box);
    m_valueGrid->setObjectName(QStringLiteral("StringGrid1"));
    m_valueGrid->setGeometry(8, 18, 4 * 155 + 4, 384);
    m_valueGrid->setColumnCount(4);
    m_valueGrid->horizontalHeader()->hide();
    m_valueGrid->verticalHeader()->hide();
    m_valueGrid->horizontalHeader()->setDefaultSectionSize(155);
    m_valueGrid->verticalHeader()->setMinimumSectionSize(1);
    m_valueGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_valueGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_valueGrid->setFocusPolicy(Qt::NoFocus);
    m_valueGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_valueGrid->setSelectionMode(QAbstractItemView::NoSelection);
    QFont font = m_valueGrid->font();
    font.setBold(true);
    font.setPixelSize(14);
    m_valueGrid->setFont(font);
    m_valueGrid->setItemDelegate(new ParamGridDelegate(m_valueGrid));
    panel->hide();
    return panel;
}

void ParamWindow::buildSelector()
{
    m_typeSelector = new QGroupBox(QStringLiteral("流量计类型"), this);
    m_typeSelector->setObjectName(QStringLiteral("RG_Type"));
    m_typeSelector->setFixedSize(672, 85);
    // Its place (and the margins around it) shows only in advanced mode.
    m_selectorPlace = new QWidget(this);
    auto* place = new QHBoxLayout(m_selectorPlace);
    place->setContentsMargins(kLeftMargin, 11, kSelectorRightMargin, 0);
    place->addWidget(m_typeSelector);
    m_layout->addWidget(m_selectorPlace);
    auto* grid = new QGridLayout(m_typeSelector);
    m_typeButtons = new QButtonGroup(this);
    for (int index = 0; index < selectorCount(); ++index) {
        auto* item = new QRadioButton(
            toQString(m_selectorTypes[static_cast<size_t>(index)]->params.selectorItem), m_typeSelector);
        item->setObjectName(QStringLiteral("RG_Type_%1").arg(index));
        m_typeButtons->addButton(item, index);
        grid->addWidget(item, index / 3, index % 3);
        m_typeItems.push_back(item);
    }
    m_typeItems[0]->setChecked(true);
    connect(m_typeButtons, &QButtonGroup::idClicked, this, [this](int) { onDeviceTypeClicked(); });
}

void ParamWindow::buildBottomRow()
{
    m_autoReadPane = new QWidget(this);
    m_autoReadPane->setObjectName(QStringLiteral("pnlSend"));
    m_autoReadPane->setFixedSize(260, 40);
    auto* row = new QHBoxLayout(m_autoReadPane);
    m_autoReadCheck = new QCheckBox(QStringLiteral("定时发送："), m_autoReadPane);
    m_autoReadCheck->setObjectName(QStringLiteral("chkSend"));
    m_periodSpin = new QSpinBox(m_autoReadPane);
    m_periodSpin->setObjectName(QStringLiteral("spSec"));
    m_periodSpin->setRange(kMinPeriodSec, kMaxPeriodSec);
    m_periodSpin->setValue(kMinPeriodSec);
    auto* unit = new QLabel(QStringLiteral("秒"), m_autoReadPane);
    row->addWidget(m_autoReadCheck);
    row->addWidget(m_periodSpin);
    row->addWidget(unit);
    connect(m_autoReadCheck, &QCheckBox::clicked, this, [this](bool) { onAutoReadClicked(); });

    // Right-aligned, so the read button keeps its place whether the export button shows or not.
    m_buttonRow = new QHBoxLayout;
    m_buttonRow->setSpacing(0);
    m_buttonRow->addStretch();
    auto button = [this](QPushButton*& target, const char* name, const QString& text, int spaceAfter) {
        target = new QPushButton(text, this);
        target->setObjectName(QString::fromLatin1(name));
        target->setFixedSize(88, 30);
        target->setAutoDefault(false);
        m_buttonRow->addWidget(target);
        m_buttonRow->addSpacing(spaceAfter);
    };
    button(m_exportButton, "btnExcel", QStringLiteral("导出Excel"), 6);
    button(m_readButton, "BtnRead", QStringLiteral("读参数"), 8);
    button(m_modeButton, "Button1", kShowAdvancedCaption, 8);
    button(m_closeButton, "BtnClose", QStringLiteral("关闭"), 0);
    m_bottomRow = new QHBoxLayout;
    m_bottomRow->setSpacing(0);
    m_bottomRow->addWidget(m_autoReadPane, 0, Qt::AlignTop);
    m_bottomRow->addLayout(m_buttonRow, 1);
    m_layout->addLayout(m_bottomRow);
    m_exportButton->hide();
    connect(m_exportButton, &QPushButton::clicked, this, &ParamWindow::onExportClicked);
    connect(m_readButton, &QPushButton::clicked, this, &ParamWindow::onReadClicked);
    connect(m_modeButton, &QPushButton::clicked, this, &ParamWindow::onModeClicked);
    connect(m_closeButton, &QPushButton::clicked, this, &ParamWindow::onCloseClicked);
}

// ---------------------------------------------------------------------------
// State

void ParamWindow::setMeterAddress(uint8_t address)
{
    m_reader.setMeterAddress(address);
}

void ParamWindow::forgetValues()
{
    m_reader.forget();
}

void ParamWindow::setParamLayout(const std::vector<std::string>& paramFields,
                                 const ParamLayoutArray& paramLayout)
{
    m_reader.setParamLayout(paramFields, paramLayout);
}

int ParamWindow::itemIndex() const
{
    return m_typeButtons->checkedId();
}

void ParamWindow::setItemIndex(int index)
{
    if (index < 0 || index >= selectorCount() || index == itemIndex())
        return;
    m_typeItems[static_cast<size_t>(index)]->setChecked(true);
    onDeviceTypeClicked();
}

bool ParamWindow::simpleMode() const
{
    return m_simpleMode;
}

QWidget* ParamWindow::panelOf(int deviceType) const
{
    const int index = selectorIndexOf(deviceType);
    return index < 0 ? nullptr : m_panels[static_cast<size_t>(index)];
}

int ParamWindow::selectorIndexOf(int deviceType) const
{
    const std::vector<const DeviceTypeDescription*>& types = m_selectorTypes;
    const auto found = std::find_if(types.begin(), types.end(),
                                    [deviceType](const auto* type) { return type->code == deviceType; });
    return found == types.end() ? -1 : static_cast<int>(found - types.begin());
}

int ParamWindow::selectorCount() const
{
    return static_cast<int>(m_selectorTypes.size());
}

void ParamWindow::showDevicePanel(QWidget* panel)
{
    for (QWidget* each : m_panels)
        each->hide();
    if (panel)
        panel->show();
}

void ParamWindow::showValues(int deviceType)
{
    const DeviceTypeDescription* type = m_reader.registry().deviceType(deviceType);
    if (type && type->params.fromWorkbook) {
        showGrid();
        return;
    }
    QWidget* panel = panelOf(deviceType);
    const ParamPanelSpec* spec = type ? type->params.panel : nullptr;
    if (!panel || !spec)
        return;
    for (const ParamGroupSpec& group : spec->groups) {
        for (const ParamLabelSpec& label : group.labels) {
            auto* widget = panel->findChild<QLabel*>(QString::fromLatin1(label.name));
            const auto value = m_reader.values().find(label.name);
            if (!widget || value == m_reader.values().end())
                continue;
            widget->setText(toQString(value->second.text));
            const bool coloured = label.kind == LabelKind::Status || label.kind == LabelKind::Fixed;
            setTextColour(widget, !coloured                                  ? kValueColour
                                  : value->second.state == LabelState::Alarm ? kAlarmColour
                                                                             : kNormalColour);
        }
    }
}

void ParamWindow::showGrid()
{
    const ParamGrid& grid = m_reader.grid();
    m_valueGrid->setRowCount(static_cast<int>(grid.size()));
    m_valueGrid->verticalHeader()->setDefaultSectionSize(paramGridRowHeight(grid));
    for (int r = 0; r < static_cast<int>(grid.size()); ++r) {
        for (int c = 0; c < 4; ++c) {
            const QString text = toQString(grid[static_cast<size_t>(r)][static_cast<size_t>(c)]);
            QTableWidgetItem* item = m_valueGrid->item(r, c);
            if (!item)
                m_valueGrid->setItem(r, c, new QTableWidgetItem(text));
            else
                item->setText(text);
        }
    }
}

void ParamWindow::setBusyCursor(bool busy)
{
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++m_busyCursors;
    } else if (m_busyCursors > 0) {
        QApplication::restoreOverrideCursor();
        --m_busyCursors;
    }
}

// ---------------------------------------------------------------------------
// Events

void ParamWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        onShown();
}

void ParamWindow::closeEvent(QCloseEvent* event)
{
    onClosed();
    event->accept();
}

void ParamWindow::reject()
{
    onClosed();
    QDialog::reject();
}

void ParamWindow::onShown()
{
    if (m_meterAddressSource)
        m_reader.setMeterAddress(static_cast<uint8_t>(m_meterAddressSource()));
    if (m_protocolSheetSource) {
        if (const ProtocolSheet* sheet = m_protocolSheetSource())
            m_reader.setParamLayout(sheet->paramFields, sheet->paramLayout);
    }
    onDeviceTypeClicked();
    // The meter found here before opens with its own panel.
    if (const int known = m_knownDeviceType ? m_knownDeviceType() : 0; selectorIndexOf(known) >= 0)
        setItemIndex(selectorIndexOf(known));

    m_simpleMode = true;
    applyMode();
    move(x(), kSimpleTop);

    m_periodSpin->setValue(std::clamp(m_settings.readTimerSec(), kMinPeriodSec, kMaxPeriodSec));
    m_tickTimer->setInterval(m_periodSpin->value() * 1000);

    showGrid();
}

void ParamWindow::onClosed()
{
    m_tickTimer->stop();
    m_autoReadCheck->setChecked(false);
    onAutoReadClicked();
    m_settings.writeTimerSec(m_periodSpin->value());
}

void ParamWindow::onDeviceTypeClicked()
{
    m_exportButton->hide();
    const int index = itemIndex();
    if (index < 0 || index >= selectorCount())
        return;
    const ParamRead& read = m_selectorTypes[static_cast<size_t>(index)]->params;
    m_titleLabel->setText(toQString(read.selectorTitle));
    setWindowTitle(toQString(read.selectorCaption));
    showDevicePanel(m_panels[static_cast<size_t>(index)]);
    if (read.fromWorkbook)
        m_exportButton->show();
}

void ParamWindow::applyMode()
{
    m_modeButton->setText(m_simpleMode ? kShowAdvancedCaption : kShowSimpleCaption);
    m_selectorPlace->setVisible(!m_simpleMode);
    m_autoReadPane->setVisible(!m_simpleMode);
    if (!m_simpleMode && m_autoReadCheck->isChecked())
        m_tickTimer->start();
    else
        m_tickTimer->stop();
    const BottomSpacing& spacing = m_simpleMode ? kSimpleSpacing : kAdvancedSpacing;
    m_bottomRow->setContentsMargins(kLeftMargin, spacing.above, kButtonsRightMargin, spacing.below);
    m_buttonRow->setContentsMargins(0, spacing.aboveButtons, 0, 0);
    // Resized now rather than at the next event loop turn, so the move below is from the new size.
    m_layout->activate();
}

void ParamWindow::onModeClicked()
{
    m_simpleMode = !m_simpleMode;
    applyMode();
    move(x(), y() + (m_simpleMode ? kModeTopStep : -kModeTopStep));
}

void ParamWindow::onCloseClicked()
{
    close();
}

void ParamWindow::onAutoReadClicked()
{
    if (m_autoReadCheck->isChecked()) {
        m_tickTimer->start();
        m_periodSpin->setEnabled(false);
        m_settings.writeTimerSec(m_periodSpin->value());
    } else {
        m_tickTimer->stop();
        m_periodSpin->setEnabled(true);
    }
    m_tickTimer->setInterval(m_periodSpin->value() * 1000);
}

bool ParamWindow::detectDeviceType()
{
    const int known = m_knownTypeFirst && m_knownTypeFirst() && m_knownDeviceType ? m_knownDeviceType() : 0;
    if (selectorIndexOf(known) >= 0 && m_reader.readParams(known) == ParamResult::Decoded) {
        showDetected(known);
        return true;
    }
    const ParamReader::Detection detection = m_reader.detectDeviceType();
    if (detection.deviceType == 0)
        return false;
    showDetected(detection.deviceType);
    return true;
}

void ParamWindow::showDetected(int deviceType)
{
    const DeviceTypeDescription* type = m_reader.registry().deviceType(deviceType);
    if (!type)
        return;
    m_titleLabel->setText(toQString(type->params.detectedTitle));
    setWindowTitle(toQString(type->params.detectedCaption));
    // A read in several steps shows its panel only once its follow-up was read.
    if (type->params.steps.size() < 2 || m_reader.followUpRead())
        showDevicePanel(panelOf(deviceType));
    setItemIndex(selectorIndexOf(deviceType));
}

void ParamWindow::onReadClicked()
{
    if (m_reading)
        return;
    QString message;
    QString portError;
    const PortSession::RunResult result = m_session.run(
        [this, &message] {
            m_reading = true;
            m_readButton->setEnabled(false);
            setBusyCursor(true);
            // The button comes back after every attempt, also one a port failure ended.
            const auto restore = qScopeGuard([this] {
                m_readButton->setEnabled(true);
                setBusyCursor(false);
                m_reading = false;
            });
            if (simpleMode()) {
                message = detectDeviceType() ? kReadOk : kReadFailed;
            } else {
                const int index = itemIndex();
                const int result =
                    index >= 0 && index < selectorCount()
                        ? m_reader.readParams(m_selectorTypes[static_cast<size_t>(index)]->code)
                        : 0;
                message = result == ParamResult::Decoded ? kReadOk : kReadFailed;
            }
        },
        &portError);
    switch (result) {
    case PortSession::RunResult::Busy:
        m_prompter.inform(this, kPortBusy, kInfoCaption);
        break;
    case PortSession::RunResult::Done:
        m_prompter.inform(this, message, kInfoCaption);
        break;
    case PortSession::RunResult::Failed:
        m_prompter.warn(this, portError, kWarnCaption);
        break;
    case PortSession::RunResult::Lost:
        break;
    }
}

void ParamWindow::onTick()
{
    // A tick that falls while a read is under way (its waits process events) or while
    // another exchange holds the port would mix its frames into the other exchange.
    if (m_reading)
        return;
    QString portError;
    const PortSession::RunResult result = m_session.run(
        [this] {
            const int index = itemIndex();
            m_reading = true;
            m_readButton->setEnabled(false);
            const auto restore = qScopeGuard([this] {
                m_readButton->setEnabled(true);
                m_reading = false;
            });
            if (index >= 0 && index < selectorCount())
                m_reader.readParams(m_selectorTypes[static_cast<size_t>(index)]->code);
        },
        &portError);
    if (result == PortSession::RunResult::Busy)
        return;
    if (m_log.lineCount() > kMaxLogLines)
        m_log.trimTo(kMaxLogLines);
    if (result == PortSession::RunResult::Failed || result == PortSession::RunResult::Lost) {
        // The port is gone: stop asking every few seconds, and say so once.
        m_autoReadCheck->setChecked(false);
        onAutoReadClicked();
        if (result == PortSession::RunResult::Failed)
            m_prompter.warn(this, portError, kWarnCaption);
    }
}

void ParamWindow::onExportClicked()
{
    const QString name = m_prompter.saveFileName(this, QStringLiteral("导出Excel"),
                                                 QDir(m_exportFolder).filePath(QStringLiteral("*.xlsx")),
                                                 QStringLiteral("*.xlsx"));
    if (name.isEmpty())
        return;
    const ParamRead& read = m_selectorTypes[static_cast<size_t>(std::max(0, itemIndex()))]->params;
    setBusyCursor(true);
    const ExportOutcome outcome = exportParameterSheet(
        m_reader.grid(), std::string(read.gridSheetName), std::string(read.gridSheetTitle), name,
        QDate::currentDate(),
        [this](const QString& text, const QString& caption) { return m_prompter.ask(this, text, caption); });
    setBusyCursor(false);
    showExportMessages(m_prompter, this, outcome);
}
