#include "app/read_param_frm.h"

#include "app/prompter.h"
#include "export/record_export.h"
#include "log/log_model.h"
#include "params/param_labels.h"
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
#include <QScreen>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>

namespace {

const QString kInfoCaption = QStringLiteral("信息提示");
const QString kWarnCaption = QStringLiteral("警告信息");
const QString kReadOk = QStringLiteral("读取仪表参数成功！");
const QString kReadFailed = QStringLiteral("读取仪表参数失败，请检查！");
const QString kPortBusy = QStringLiteral("串口正在通信，请等当前的读取结束后再试！");
const QString kSimpleCaption = QStringLiteral("高级");
const QString kAdvancedCaption = QStringLiteral("简化");

// Window geometry (client area): width, height in each mode, the top edge in
// simple mode and what switching modes moves.
constexpr int kWidth = 699;
constexpr int kCreatedHeight = 641;
constexpr int kSimpleHeight = 586;
constexpr int kModeHeightStep = 89;
constexpr int kModeTopStep = 45;
constexpr int kModeButtonStep = 95;
constexpr int kSimpleTop = 91;
constexpr int kSimpleButtonTop = 510;

// Standard colours of the original panels: status labels green when normal, red in alarm.
const QColor kNormalColour(0x00, 0x80, 0x00);
const QColor kAlarmColour(0xFF, 0x00, 0x00);
const QColor kValueColour(0x00, 0x00, 0x80);
const QColor kGridCaptionColour(0x00, 0x00, 0xFF);
const QColor kGridValueColour(0xFF, 0x00, 0x00);

// The device types of the type selector, by selector index.
std::vector<const DeviceTypeDescription*> SelectorTypes()
{
    return DeviceRegistry::instance().paramOrder(&ParamRead::selectorRank);
}

QString Q(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString Q(const char* utf8)
{
    return QString::fromUtf8(utf8);
}
QString Q(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

void SetTextColour(QWidget* widget, const QColor& colour)
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

TReadParamFrm::TReadParamFrm(const ReadParamFrmContext& context, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      FExchange(context.link, context.log, context.waiter), FReader(FExchange), FPrompter(context.prompter),
      FLog(context.log), FSettings(context.settings), FMeterAddressSource(context.meterAddress),
      FProtocolSheetSource(context.protocolSheet), FExportFolder(context.exportFolder),
      FPortGuard(context.portGuard)
{
    setObjectName(QStringLiteral("ReadParamFrm"));
    setWindowTitle(QStringLiteral("用户只读参数----"));
    setFixedSize(kWidth, kCreatedHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(kWidth / 2, kCreatedHeight / 2));
    }

    BuildTitle();
    m_selectorTypes = SelectorTypes();
    for (const DeviceTypeDescription* type : m_selectorTypes)
        FPanels.push_back(type->params.fromWorkbook ? BuildGridPanel(*type->params.panel)
                                                    : BuildPanel(*type->params.panel));
    BuildSelector();
    BuildBottomRow();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(spSec->value() * 1000);
    connect(Timer1, &QTimer::timeout, this, &TReadParamFrm::Timer1Timer);

    FReader.Changed = [this](int deviceType) { ShowValues(deviceType); };
    FReader.BusyCursor = [this](bool busy) { SetBusyCursor(busy); };
    for (const DeviceTypeDescription* type : m_selectorTypes)
        ShowValues(type->code);
    ShowDevicePanel(FPanels[0]);
    RG_TypeClick();
}

TReadParamFrm::~TReadParamFrm()
{
    while (FBusyCursors > 0)
        SetBusyCursor(false);
}

// ---------------------------------------------------------------------------
// Building

void TReadParamFrm::BuildTitle()
{
    pnlTitle = new QLabel(this);
    pnlTitle->setObjectName(QStringLiteral("pnlTitle"));
    pnlTitle->setGeometry(0, 0, kWidth, 73);
    pnlTitle->setAlignment(Qt::AlignCenter);
    pnlTitle->setFrameShape(QFrame::Panel);
    pnlTitle->setFrameShadow(QFrame::Raised);
    QFont font = pnlTitle->font();
    font.setBold(true);
    font.setPixelSize(32);
    pnlTitle->setFont(font);
    SetTextColour(pnlTitle, kGridCaptionColour);
}

QWidget* TReadParamFrm::BuildPanel(const ParamPanelSpec& panelSpec)
{
    const ParamPanelSpec* spec = &panelSpec;
    auto* panel = new QWidget(this);
    panel->setObjectName(QString::fromLatin1(spec->panelName));
    panel->setGeometry(14, 80, 672, 403);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 0, 0, 0);
    for (const ParamGroupSpec& group : spec->groups) {
        auto* box = new QGroupBox(Q(group.caption), panel);
        auto* grid = new QGridLayout(box);
        grid->setHorizontalSpacing(4);
        // Long lists go in two columns of caption/value pairs.
        const int columns = group.labels.size() > 10 ? 2 : 1;
        const int perColumn = static_cast<int>((group.labels.size() + static_cast<size_t>(columns) - 1) /
                                               static_cast<size_t>(columns));
        for (size_t i = 0; i < group.labels.size(); ++i) {
            const ParamLabelSpec& label = group.labels[i];
            auto* caption = new QLabel(Q(label.caption), box);
            caption->setObjectName(QString::fromLatin1(label.name) + QStringLiteral("Cap"));
            caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            auto* value = new QLabel(Q(label.resetText), box);
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

QWidget* TReadParamFrm::BuildGridPanel(const ParamPanelSpec& panelSpec)
{
    auto* panel = new QWidget(this);
    panel->setObjectName(QString::fromLatin1(panelSpec.panelName));
    panel->setGeometry(14, 80, 673, 411);
    auto* box = new QGroupBox(QStringLiteral("实时数据"), panel);
    box->setGeometry(0, 0, 673, 411);
    StringGrid1 = new QTableWidget(box);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setGeometry(8, 18, 4 * 155 + 4, 384);
    StringGrid1->setColumnCount(4);
    StringGrid1->horizontalHeader()->hide();
    StringGrid1->verticalHeader()->hide();
    StringGrid1->horizontalHeader()->setDefaultSectionSize(155);
    StringGrid1->verticalHeader()->setMinimumSectionSize(1);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setFocusPolicy(Qt::NoFocus);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionMode(QAbstractItemView::NoSelection);
    QFont font = StringGrid1->font();
    font.setBold(true);
    font.setPixelSize(14);
    StringGrid1->setFont(font);
    StringGrid1->setItemDelegate(new ParamGridDelegate(StringGrid1));
    panel->hide();
    return panel;
}

void TReadParamFrm::BuildSelector()
{
    RG_Type = new QGroupBox(QStringLiteral("流量计类型"), this);
    RG_Type->setObjectName(QStringLiteral("RG_Type"));
    RG_Type->setGeometry(14, 502, 672, 85);
    auto* grid = new QGridLayout(RG_Type);
    FTypeButtons = new QButtonGroup(this);
    for (int index = 0; index < SelectorCount(); ++index) {
        auto* item =
            new QRadioButton(Q(m_selectorTypes[static_cast<size_t>(index)]->params.selectorItem), RG_Type);
        item->setObjectName(QStringLiteral("RG_Type_%1").arg(index));
        FTypeButtons->addButton(item, index);
        grid->addWidget(item, index / 3, index % 3);
        FTypeItems.push_back(item);
    }
    FTypeItems[0]->setChecked(true);
    connect(FTypeButtons, &QButtonGroup::idClicked, this, [this](int) { RG_TypeClick(); });
}

void TReadParamFrm::BuildBottomRow()
{
    pnlSend = new QWidget(this);
    pnlSend->setObjectName(QStringLiteral("pnlSend"));
    pnlSend->setGeometry(14, 594, 260, 40);
    auto* row = new QHBoxLayout(pnlSend);
    chkSend = new QCheckBox(QStringLiteral("定时发送："), pnlSend);
    chkSend->setObjectName(QStringLiteral("chkSend"));
    spSec = new QSpinBox(pnlSend);
    spSec->setObjectName(QStringLiteral("spSec"));
    spSec->setRange(kMinPeriodSec, kMaxPeriodSec);
    spSec->setValue(kMinPeriodSec);
    auto* unit = new QLabel(QStringLiteral("秒"), pnlSend);
    row->addWidget(chkSend);
    row->addWidget(spSec);
    row->addWidget(unit);
    connect(chkSend, &QCheckBox::clicked, this, [this](bool) { chkSendClick(); });

    auto button = [this](QPushButton*& target, const char* name, const QString& text, int left) {
        target = new QPushButton(text, this);
        target->setObjectName(QString::fromLatin1(name));
        target->setGeometry(left, 600, 88, 30);
        target->setAutoDefault(false);
    };
    button(btnExcel, "btnExcel", QStringLiteral("导出Excel"), 306);
    button(BtnRead, "BtnRead", QStringLiteral("读参数"), 400);
    button(Button1, "Button1", kSimpleCaption, 496);
    button(BtnClose, "BtnClose", QStringLiteral("关闭"), 592);
    btnExcel->hide();
    connect(btnExcel, &QPushButton::clicked, this, &TReadParamFrm::btnExcelClick);
    connect(BtnRead, &QPushButton::clicked, this, &TReadParamFrm::BtnReadClick);
    connect(Button1, &QPushButton::clicked, this, &TReadParamFrm::Button1Click);
    connect(BtnClose, &QPushButton::clicked, this, &TReadParamFrm::BtnCloseClick);
}

// ---------------------------------------------------------------------------
// State

void TReadParamFrm::SetMeterAddress(uint8_t address)
{
    FReader.SetMeterAddress(address);
}

void TReadParamFrm::ForgetValues()
{
    FReader.Forget();
}

void TReadParamFrm::SetParamLayout(const std::vector<std::string>& paramFields,
                                   const ParamLayoutArray& paramLayout)
{
    FReader.SetParamLayout(paramFields, paramLayout);
}

int TReadParamFrm::ItemIndex() const
{
    return FTypeButtons->checkedId();
}

void TReadParamFrm::SetItemIndex(int index)
{
    if (index < 0 || index >= SelectorCount() || index == ItemIndex())
        return;
    FTypeItems[static_cast<size_t>(index)]->setChecked(true);
    RG_TypeClick();
}

bool TReadParamFrm::SimpleMode() const
{
    return Button1->text() == kSimpleCaption;
}

QWidget* TReadParamFrm::PanelOf(int deviceType) const
{
    const int index = SelectorIndexOf(deviceType);
    return index < 0 ? nullptr : FPanels[static_cast<size_t>(index)];
}

int TReadParamFrm::SelectorIndexOf(int deviceType)
{
    const std::vector<const DeviceTypeDescription*> types = SelectorTypes();
    const auto found = std::find_if(types.begin(), types.end(),
                                    [deviceType](const auto* type) { return type->code == deviceType; });
    return found == types.end() ? -1 : static_cast<int>(found - types.begin());
}

int TReadParamFrm::SelectorCount() const
{
    return static_cast<int>(m_selectorTypes.size());
}

void TReadParamFrm::ShowDevicePanel(QWidget* panel)
{
    for (QWidget* each : FPanels)
        each->hide();
    if (panel)
        panel->show();
}

void TReadParamFrm::ShowValues(int deviceType)
{
    const DeviceTypeDescription* type = DeviceRegistry::instance().deviceType(deviceType);
    if (type && type->params.fromWorkbook) {
        ShowGrid();
        return;
    }
    QWidget* panel = PanelOf(deviceType);
    const ParamPanelSpec* spec = type ? type->params.panel : nullptr;
    if (!panel || !spec)
        return;
    for (const ParamGroupSpec& group : spec->groups) {
        for (const ParamLabelSpec& label : group.labels) {
            auto* widget = panel->findChild<QLabel*>(QString::fromLatin1(label.name));
            const auto value = FReader.Values().find(label.name);
            if (!widget || value == FReader.Values().end())
                continue;
            widget->setText(Q(value->second.text));
            const bool coloured = label.kind == LabelKind::Status || label.kind == LabelKind::Fixed;
            SetTextColour(widget, !coloured                                  ? kValueColour
                                  : value->second.state == LabelState::Alarm ? kAlarmColour
                                                                             : kNormalColour);
        }
    }
}

void TReadParamFrm::ShowGrid()
{
    const ParamGrid& grid = FReader.Grid();
    StringGrid1->setRowCount(static_cast<int>(grid.size()));
    StringGrid1->verticalHeader()->setDefaultSectionSize(ParamGridRowHeight(grid));
    for (int r = 0; r < static_cast<int>(grid.size()); ++r) {
        for (int c = 0; c < 4; ++c) {
            const QString text = Q(grid[static_cast<size_t>(r)][static_cast<size_t>(c)]);
            QTableWidgetItem* item = StringGrid1->item(r, c);
            if (!item)
                StringGrid1->setItem(r, c, new QTableWidgetItem(text));
            else
                item->setText(text);
        }
    }
}

void TReadParamFrm::SetBusyCursor(bool busy)
{
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++FBusyCursors;
    } else if (FBusyCursors > 0) {
        QApplication::restoreOverrideCursor();
        --FBusyCursors;
    }
}

// ---------------------------------------------------------------------------
// Events

void TReadParamFrm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TReadParamFrm::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
}

void TReadParamFrm::reject()
{
    FormClose();
    QDialog::reject();
}

void TReadParamFrm::FormShow()
{
    if (FMeterAddressSource)
        FReader.SetMeterAddress(static_cast<uint8_t>(FMeterAddressSource()));
    if (FProtocolSheetSource) {
        if (const ProtocolSheet* sheet = FProtocolSheetSource())
            FReader.SetParamLayout(sheet->paramFields, sheet->paramLayout);
    }
    RG_TypeClick();

    // Simple mode; the bottom row lies below the visible area.
    Button1->setText(kSimpleCaption);
    setFixedSize(kWidth, kSimpleHeight);
    RG_Type->hide();
    pnlSend->hide();
    Timer1->stop();
    for (QPushButton* button : {Button1, BtnRead, BtnClose})
        button->move(button->x(), kSimpleButtonTop);
    move(x(), kSimpleTop);

    spSec->setValue(std::clamp(FSettings.ReadTimerSec(), kMinPeriodSec, kMaxPeriodSec));
    Timer1->setInterval(spSec->value() * 1000);

    ShowGrid();
}

void TReadParamFrm::FormClose()
{
    Timer1->stop();
    chkSend->setChecked(false);
    chkSendClick();
    FSettings.WriteTimerSec(spSec->value());
}

void TReadParamFrm::RG_TypeClick()
{
    btnExcel->hide();
    const int index = ItemIndex();
    if (index < 0 || index >= SelectorCount())
        return;
    const ParamRead& read = m_selectorTypes[static_cast<size_t>(index)]->params;
    pnlTitle->setText(Q(read.selectorTitle));
    setWindowTitle(Q(read.selectorCaption));
    ShowDevicePanel(FPanels[static_cast<size_t>(index)]);
    if (read.fromWorkbook)
        btnExcel->show();
}

void TReadParamFrm::MoveButtons(int dy)
{
    for (QPushButton* button : {Button1, BtnRead, BtnClose})
        button->move(button->x(), button->y() + dy);
}

void TReadParamFrm::Button1Click()
{
    if (SimpleMode()) {
        Button1->setText(kAdvancedCaption);
        setFixedSize(kWidth, height() + kModeHeightStep);
        move(x(), y() - kModeTopStep);
        MoveButtons(kModeButtonStep);
        pnlSend->show();
        if (chkSend->isChecked())
            Timer1->start();
        RG_Type->show();
    } else {
        Button1->setText(kSimpleCaption);
        setFixedSize(kWidth, height() - kModeHeightStep);
        move(x(), y() + kModeTopStep);
        MoveButtons(-kModeButtonStep);
        pnlSend->hide();
        Timer1->stop();
        RG_Type->hide();
    }
}

void TReadParamFrm::BtnCloseClick()
{
    close();
}

void TReadParamFrm::chkSendClick()
{
    if (chkSend->isChecked()) {
        Timer1->start();
        spSec->setEnabled(false);
        FSettings.WriteTimerSec(spSec->value());
    } else {
        Timer1->stop();
        spSec->setEnabled(true);
    }
    Timer1->setInterval(spSec->value() * 1000);
}

void TReadParamFrm::ReportPortError(const QString& message)
{
    if (PortErrorHandler)
        PortErrorHandler(message);
    else
        FPrompter.Warn(this, message, kWarnCaption);
}

bool TReadParamFrm::DetectDeviceType()
{
    const ParamReader::Detection detection = FReader.DetectDeviceType();
    if (detection.deviceType == 0)
        return false;
    ShowDetected(detection.deviceType);
    return true;
}

void TReadParamFrm::ShowDetected(int deviceType)
{
    const DeviceTypeDescription* type = DeviceRegistry::instance().deviceType(deviceType);
    if (!type)
        return;
    pnlTitle->setText(Q(type->params.detectedTitle));
    setWindowTitle(Q(type->params.detectedCaption));
    // A read in several steps shows its panel only once its follow-up was read.
    if (type->params.steps.size() < 2 || FReader.FollowUpRead())
        ShowDevicePanel(PanelOf(deviceType));
    SetItemIndex(SelectorIndexOf(deviceType));
}

void TReadParamFrm::BtnReadClick()
{
    if (FReading)
        return;
    PortGuard::Lease lease = FPortGuard.TryTake();
    if (!lease) {
        FPrompter.Inform(this, kPortBusy, kInfoCaption);
        return;
    }
    FReading = true;
    BtnRead->setEnabled(false);
    SetBusyCursor(true);
    QString message;
    QString portError;
    try {
        if (SimpleMode()) {
            message = DetectDeviceType() ? kReadOk : kReadFailed;
        } else {
            const int index = ItemIndex();
            const int result = index >= 0 && index < SelectorCount()
                                   ? FReader.ReadParams(m_selectorTypes[static_cast<size_t>(index)]->code)
                                   : 0;
            message = result == ParamResult::Decoded ? kReadOk : kReadFailed;
        }
    } catch (const EComPort& error) {
        portError = QString::fromStdString(error.what());
    }
    // The button comes back after every attempt, also one a port failure ended.
    BtnRead->setEnabled(true);
    SetBusyCursor(false);
    FReading = false;
    lease.Release();
    if (!portError.isEmpty())
        ReportPortError(portError);
    else
        FPrompter.Inform(this, message, kInfoCaption);
}

void TReadParamFrm::Timer1Timer()
{
    // A tick that falls while a read is under way (its waits process events) or while
    // another exchange holds the port would mix its frames into the other exchange.
    if (FReading)
        return;
    PortGuard::Lease lease = FPortGuard.TryTake();
    if (!lease)
        return;
    const int index = ItemIndex();
    FReading = true;
    BtnRead->setEnabled(false);
    QString portError;
    try {
        if (index >= 0 && index < SelectorCount())
            FReader.ReadParams(m_selectorTypes[static_cast<size_t>(index)]->code);
    } catch (const EComPort& error) {
        portError = QString::fromStdString(error.what());
    }
    BtnRead->setEnabled(true);
    FReading = false;
    lease.Release();
    if (FLog.LineCount() > kMaxLogLines)
        FLog.TrimTo(kMaxLogLines);
    if (!portError.isEmpty()) {
        // The port is gone: stop asking every few seconds, and say so once.
        chkSend->setChecked(false);
        chkSendClick();
        ReportPortError(portError);
    }
}

void TReadParamFrm::btnExcelClick()
{
    const QString name = FPrompter.SaveFileName(this, QStringLiteral("导出Excel"),
                                                QDir(FExportFolder).filePath(QStringLiteral("*.xlsx")),
                                                QStringLiteral("*.xlsx"));
    if (name.isEmpty())
        return;
    ExportOutcome outcome;
    SetBusyCursor(true);
    outcome = ExportParameterSheet(
        FReader.Grid(), name, QDate::currentDate(),
        [this](const QString& text, const QString& caption) { return FPrompter.Ask(this, text, caption); });
    SetBusyCursor(false);
    for (const ExportMessage& shown : outcome.messages) {
        if (shown.warning)
            FPrompter.Warn(this, shown.text, shown.caption);
        else
            FPrompter.Inform(this, shown.text, shown.caption);
    }
}
