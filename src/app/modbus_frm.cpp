#include "app/modbus_frm.h"

#include "app/prompter.h"
#include "decoding/record_table.h"
#include "export/record_csv.h"
#include "export/record_export.h"
#include "log/log_model.h"
#include "serial/byte_link.h"
#include "settings/settings_file.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString kPortBusy = QStringLiteral("串口正在通信，请等当前的读取结束后再试！");
const QString kWarnCaption = QStringLiteral("警告信息");
constexpr int kResponseTimeoutMs = 1000;

struct FunctionChoice {
    int code;
    const char* caption;
    int reference; // first digit of the 1-based "40001" notation
};
const FunctionChoice kFunctions[] = {
    {1, "01 读线圈", 0},
    {2, "02 读离散输入", 1},
    {3, "03 读保持寄存器", 4},
    {4, "04 读输入寄存器", 3},
};

// The display choices of a register row: the 16-bit formats, then each wider
// format in the four word orders.
struct FormatChoice {
    ModbusFormat format;
    WordOrder order;
};
std::vector<FormatChoice> FormatChoices()
{
    std::vector<FormatChoice> choices;
    for (ModbusFormat format :
         {ModbusFormat::U16, ModbusFormat::I16, ModbusFormat::Hex, ModbusFormat::Bin, ModbusFormat::Bcd})
        choices.push_back({format, WordOrder::Abcd});
    for (ModbusFormat format : {ModbusFormat::U32, ModbusFormat::I32, ModbusFormat::F32, ModbusFormat::F64})
        for (WordOrder order : {WordOrder::Abcd, WordOrder::Cdab, WordOrder::Badc, WordOrder::Dcba})
            choices.push_back({format, order});
    return choices;
}

QString ChoiceText(const FormatChoice& choice)
{
    QString text = QString::fromLatin1(ModbusFormatName(choice.format));
    if (RegistersPerValue(choice.format) > 1)
        text += QLatin1Char(' ') + QString::fromLatin1(WordOrderName(choice.order)).toUpper();
    return text;
}

} // namespace

TModbusFrm::TModbusFrm(const ModbusFrmContext& context, QWidget* parent)
    : QDialog(parent), FContext(context), FExchange(context.link, context.log, context.waiter),
      FMaster(FExchange, ModbusFraming::rtu()), FFraming(&ModbusFraming::rtu())
{
    setObjectName(QStringLiteral("ModbusFrm"));
    setWindowTitle(QStringLiteral("Modbus调试"));
    resize(640, 520);

    auto spin = [this](QSpinBox*& slot, const char* name, int min, int max) {
        slot = new QSpinBox(this);
        slot->setObjectName(QString::fromLatin1(name));
        slot->setRange(min, max);
    };
    spin(edAddress, "edAddress", 0, 247);
    spin(edStart, "edStart", 0, 65535);
    spin(edCount, "edCount", 1, kModbusMaxReadBits);
    spin(edInterval, "edInterval", 50, 3'600'000);
    edInterval->setSuffix(QStringLiteral(" ms"));
    edAddress->setSpecialValueText(QStringLiteral("0 广播"));
    cbFunction = new QComboBox(this);
    cbFunction->setObjectName(QStringLiteral("cbFunction"));
    for (const FunctionChoice& choice : kFunctions)
        cbFunction->addItem(QString::fromUtf8(choice.caption), choice.code);
    chkOneBased = new QCheckBox(QStringLiteral("40001 表示"), this);
    chkOneBased->setObjectName(QStringLiteral("chkOneBased"));
    chkMultiple = new QCheckBox(QStringLiteral("用15/16写"), this);
    chkMultiple->setObjectName(QStringLiteral("chkMultiple"));
    btnRead = new QPushButton(QStringLiteral("读取"), this);
    btnRead->setObjectName(QStringLiteral("btnRead"));
    btnPoll = new QPushButton(QStringLiteral("轮询"), this);
    btnPoll->setObjectName(QStringLiteral("btnPoll"));
    btnPoll->setCheckable(true);
    btnSave = new QPushButton(QStringLiteral("保存"), this);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    tbValues = new QTableWidget(0, ColumnCount, this);
    tbValues->setObjectName(QStringLiteral("tbValues"));
    tbValues->setHorizontalHeaderLabels(
        {QStringLiteral("地址"), QStringLiteral("名称"), QStringLiteral("格式"), QStringLiteral("值")});
    tbValues->horizontalHeader()->setStretchLastSection(true);
    tbValues->verticalHeader()->hide();
    tbValues->setColumnWidth(ColName, 160);
    tbValues->setColumnWidth(ColFormat, 110);
    lbCounters = new QLabel(this);
    lbCounters->setObjectName(QStringLiteral("lbCounters"));
    lbCounters->setWordWrap(true);
    lbStatus = new QLabel(this);
    lbStatus->setObjectName(QStringLiteral("lbStatus"));

    auto* line1 = new QHBoxLayout;
    line1->addWidget(new QLabel(QStringLiteral("从站地址"), this));
    line1->addWidget(edAddress);
    line1->addWidget(new QLabel(QStringLiteral("功能"), this));
    line1->addWidget(cbFunction);
    line1->addWidget(chkMultiple);
    line1->addStretch();
    auto* line2 = new QHBoxLayout;
    line2->addWidget(new QLabel(QStringLiteral("起始地址"), this));
    line2->addWidget(edStart);
    line2->addWidget(chkOneBased);
    line2->addWidget(new QLabel(QStringLiteral("数量"), this));
    line2->addWidget(edCount);
    line2->addWidget(new QLabel(QStringLiteral("周期"), this));
    line2->addWidget(edInterval);
    line2->addStretch();
    auto* line3 = new QHBoxLayout;
    line3->addWidget(btnRead);
    line3->addWidget(btnPoll);
    line3->addWidget(btnSave);
    line3->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(line1);
    layout->addLayout(line2);
    layout->addLayout(line3);
    layout->addWidget(tbValues, 1);
    layout->addWidget(lbCounters);
    layout->addWidget(lbStatus);

    FPollTimer = new QTimer(this);
    connect(FPollTimer, &QTimer::timeout, this, [this] {
        if (const std::optional<ModbusOutcome> outcome = Run(ReadRequest(), false))
            Show(*outcome);
    });
    connect(btnRead, &QPushButton::clicked, this, &TModbusFrm::ReadOnce);
    connect(btnPoll, &QPushButton::toggled, this, &TModbusFrm::SetPolling);
    connect(btnSave, &QPushButton::clicked, this, &TModbusFrm::SaveTable);
    connect(tbValues, &QTableWidget::itemChanged, this, &TModbusFrm::CellChanged);
    connect(edCount, &QSpinBox::valueChanged, this, [this] { ResizeTable(); });
    // Values read from another start or slave must not stand beside the new addresses.
    connect(edStart, &QSpinBox::valueChanged, this, [this] {
        FValues.clear();
        RefreshAddresses();
        RefreshValues();
    });
    connect(edAddress, &QSpinBox::valueChanged, this, [this] {
        FValues.clear();
        RefreshValues();
    });
    connect(chkOneBased, &QCheckBox::toggled, this, [this] { RefreshAddresses(); });
    connect(cbFunction, &QComboBox::currentIndexChanged, this, [this] {
        edCount->setMaximum(IsBitTable() ? kModbusMaxReadBits : kModbusMaxReadRegisters);
        FValues.clear();
        ResizeTable();
    });
    LoadSetup();
    RefreshCounters();
}

TModbusFrm::~TModbusFrm() = default;

void TModbusFrm::closeEvent(QCloseEvent* event)
{
    SetPolling(false);
    SaveSetup();
    event->accept();
}

bool TModbusFrm::IsBitTable() const
{
    return IsModbusBitFunction(cbFunction->currentData().toInt());
}

void TModbusFrm::LoadSetup()
{
    const ModbusSetup setup = FContext.settings.ReadModbusSetup();
    FFilling = true;
    edAddress->setValue(setup.address);
    cbFunction->setCurrentIndex(std::max(0, cbFunction->findData(setup.function)));
    edCount->setMaximum(IsBitTable() ? kModbusMaxReadBits : kModbusMaxReadRegisters);
    edStart->setValue(setup.start);
    chkOneBased->setChecked(setup.oneBased);
    edInterval->setValue(setup.intervalMs);
    edCount->setValue(setup.count);
    FFilling = false;
    ResizeTable();
    const std::vector<FormatChoice> choices = FormatChoices();
    for (int row = 0; row < tbValues->rowCount(); ++row) {
        if (row < setup.names.size())
            tbValues->item(row, ColName)->setText(setup.names[row]);
        if (auto* format = qobject_cast<QComboBox*>(tbValues->cellWidget(row, ColFormat)); format)
            format->setCurrentIndex(std::max(0, format->findText(setup.formats.value(row))));
    }
}

void TModbusFrm::SaveSetup()
{
    ModbusSetup setup;
    setup.address = edAddress->value();
    setup.function = cbFunction->currentData().toInt();
    setup.start = edStart->value();
    setup.count = edCount->value();
    setup.oneBased = chkOneBased->isChecked();
    setup.intervalMs = edInterval->value();
    for (int row = 0; row < tbValues->rowCount(); ++row) {
        setup.names << tbValues->item(row, ColName)->text();
        const auto* format = qobject_cast<QComboBox*>(tbValues->cellWidget(row, ColFormat));
        setup.formats << (format ? format->currentText() : QString());
    }
    FContext.settings.WriteModbusSetup(setup);
}

void TModbusFrm::ResizeTable()
{
    if (FFilling)
        return;
    FFilling = true;
    const int before = tbValues->rowCount();
    const int rows = edCount->value();
    tbValues->setRowCount(rows);
    const std::vector<FormatChoice> choices = FormatChoices();
    for (int row = before; row < rows; ++row) {
        auto* address = new QTableWidgetItem;
        address->setFlags(address->flags() & ~Qt::ItemIsEditable);
        tbValues->setItem(row, ColAddress, address);
        tbValues->setItem(row, ColName, new QTableWidgetItem);
        tbValues->setItem(row, ColValue, new QTableWidgetItem);
        auto* format = new QComboBox(tbValues);
        for (const FormatChoice& choice : choices)
            format->addItem(ChoiceText(choice));
        connect(format, &QComboBox::currentIndexChanged, this, [this] { RefreshValues(); });
        tbValues->setCellWidget(row, ColFormat, format);
    }
    for (int row = 0; row < rows; ++row)
        if (QWidget* format = tbValues->cellWidget(row, ColFormat))
            format->setEnabled(!IsBitTable());
    FFilling = false;
    RefreshAddresses();
    RefreshValues();
}

QString TModbusFrm::AddressText(int offset) const
{
    const int address = edStart->value() + offset;
    if (!chkOneBased->isChecked())
        return QString::number(address);
    const int reference = kFunctions[std::max(0, cbFunction->currentIndex())].reference;
    return QStringLiteral("%1%2").arg(reference).arg(address + 1, 4, 10, QLatin1Char('0'));
}

void TModbusFrm::RefreshAddresses()
{
    const bool filling = FFilling;
    FFilling = true;
    for (int row = 0; row < tbValues->rowCount(); ++row)
        tbValues->item(row, ColAddress)->setText(AddressText(row));
    FFilling = filling;
}

ModbusFormat TModbusFrm::RowFormat(int row, WordOrder* order) const
{
    const auto* format = qobject_cast<QComboBox*>(tbValues->cellWidget(row, ColFormat));
    const std::vector<FormatChoice> choices = FormatChoices();
    const FormatChoice choice = choices[size_t(std::max(0, format ? format->currentIndex() : 0))];
    *order = choice.order;
    return choice.format;
}

void TModbusFrm::RefreshValues()
{
    if (FFilling)
        return;
    FFilling = true;
    for (int row = 0; row < tbValues->rowCount(); ++row) {
        QString text;
        if (size_t(row) < FValues.size()) {
            WordOrder order = WordOrder::Abcd;
            const ModbusFormat format = RowFormat(row, &order);
            text = IsBitTable()
                       ? QString::number(FValues[size_t(row)])
                       : QString::fromStdString(FormatModbusValue(
                             format, order, std::span<const uint16_t>(FValues).subspan(size_t(row))));
        }
        tbValues->item(row, ColValue)->setText(text);
    }
    FFilling = false;
}

void TModbusFrm::RefreshCounters()
{
    const ModbusCounters& counters = FMaster.Counters();
    QString text = QStringLiteral("请求 %1    正常 %2    超时 %3    校验错 %4    异常 %5")
                       .arg(counters.requests)
                       .arg(counters.goodReplies)
                       .arg(counters.timeouts)
                       .arg(counters.checkErrors)
                       .arg(counters.exceptions);
    for (size_t code = 0; code < counters.exceptionsByCode.size(); ++code)
        if (counters.exceptionsByCode[code] > 0)
            text += QStringLiteral("\n异常 %1 %2：%3次")
                        .arg(QStringLiteral("%1").arg(code, 2, 16, QLatin1Char('0')).toUpper(),
                             QString::fromLatin1(ModbusExceptionName(int(code))))
                        .arg(counters.exceptionsByCode[code]);
    lbCounters->setText(text);
}

ModbusRequest TModbusFrm::ReadRequest() const
{
    ModbusRequest request;
    request.address = static_cast<uint8_t>(edAddress->value());
    request.function = static_cast<uint8_t>(cbFunction->currentData().toInt());
    request.start = static_cast<uint16_t>(edStart->value());
    request.count = edCount->value();
    return request;
}

std::optional<ModbusOutcome> TModbusFrm::Run(const ModbusRequest& request, bool onDemand)
{
    PortGuard::Lease lease = FContext.portGuard.TryTake();
    if (!lease) {
        if (onDemand)
            FContext.prompter.Warn(this, kPortBusy, kWarnCaption);
        return std::nullopt;
    }
    if (!FContext.link.Connected()) {
        SetPolling(false);
        FContext.prompter.Warn(this, QString::fromUtf8(kPortClosedText), kWarnCaption);
        return std::nullopt;
    }
    const ModbusFraming& framing =
        FContext.portName ? ModbusFramingForPort(FContext.portName()) : ModbusFraming::rtu();
    FMaster.SetFraming(framing);
    try {
        ModbusOutcome outcome = FMaster.Transact(request, kResponseTimeoutMs);
        RefreshCounters();
        return outcome;
    } catch (const EComPort& error) {
        SetPolling(false);
        lease.Release();
        const QString message = QString::fromStdString(error.what());
        if (PortErrorHandler)
            PortErrorHandler(message);
        else
            FContext.prompter.Warn(this, message, kWarnCaption);
        return std::nullopt;
    }
}

void TModbusFrm::Show(const ModbusOutcome& outcome)
{
    switch (outcome.kind) {
    case ModbusOutcome::Kind::Ok:
        FValues = outcome.values;
        RefreshValues();
        lbStatus->setText(QStringLiteral("正常"));
        break;
    case ModbusOutcome::Kind::Broadcast:
        lbStatus->setText(QStringLiteral("已广播"));
        break;
    case ModbusOutcome::Kind::Timeout:
        lbStatus->setText(QStringLiteral("超时"));
        break;
    case ModbusOutcome::Kind::Exception:
        lbStatus->setText(
            QStringLiteral("异常 %1 %2")
                .arg(QStringLiteral("%1").arg(outcome.exceptionCode, 2, 16, QLatin1Char('0')).toUpper(),
                     QString::fromLatin1(ModbusExceptionName(outcome.exceptionCode))));
        break;
    case ModbusOutcome::Kind::Error:
        lbStatus->setText(QStringLiteral("错误：") + QString::fromStdString(outcome.error));
        break;
    }
}

void TModbusFrm::ReadOnce()
{
    if (edAddress->value() == kModbusBroadcast) {
        FContext.prompter.Warn(this, QStringLiteral("广播地址0只能用于写入！"), kWarnCaption);
        return;
    }
    if (const std::optional<ModbusOutcome> outcome = Run(ReadRequest(), true))
        Show(*outcome);
}

void TModbusFrm::SetPolling(bool on)
{
    if (on && edAddress->value() == kModbusBroadcast)
        on = false;
    if (on)
        FPollTimer->start(edInterval->value());
    else
        FPollTimer->stop();
    const QSignalBlocker block(btnPoll);
    btnPoll->setChecked(on);
}

void TModbusFrm::CellChanged(QTableWidgetItem* item)
{
    if (FFilling || item->column() != ColValue)
        return;
    const QString text = item->text().trimmed();
    WriteRow(item->row(), text);
    RefreshValues();
}

void TModbusFrm::WriteRow(int row, const QString& text)
{
    ModbusRequest request;
    request.address = static_cast<uint8_t>(edAddress->value());
    request.start = static_cast<uint16_t>(edStart->value() + row);
    const bool multiple = chkMultiple->isChecked();
    if (IsBitTable()) {
        if (cbFunction->currentData().toInt() != ModbusFunction::kReadCoils || (text != "0" && text != "1")) {
            FContext.prompter.Warn(this, QStringLiteral("只能写线圈，值为0或1！"), kWarnCaption);
            return;
        }
        request.function = multiple ? ModbusFunction::kWriteMultipleCoils : ModbusFunction::kWriteSingleCoil;
        request.values = {static_cast<uint16_t>(text == "1")};
    } else {
        if (cbFunction->currentData().toInt() != ModbusFunction::kReadHoldingRegisters) {
            FContext.prompter.Warn(this, QStringLiteral("只能写保持寄存器！"), kWarnCaption);
            return;
        }
        WordOrder order = WordOrder::Abcd;
        const ModbusFormat format = RowFormat(row, &order);
        const std::optional<std::vector<uint16_t>> registers =
            EncodeModbusValue(format, order, text.toStdString());
        if (!registers) {
            FContext.prompter.Warn(this,
                                   QStringLiteral("“%1”不是%2格式的值！")
                                       .arg(text, QString::fromLatin1(ModbusFormatName(format))),
                                   kWarnCaption);
            return;
        }
        request.values = *registers;
        request.function = multiple || registers->size() > 1 ? ModbusFunction::kWriteMultipleRegisters
                                                             : ModbusFunction::kWriteSingleRegister;
    }
    const ModbusFraming& framing =
        FContext.portName ? ModbusFramingForPort(FContext.portName()) : ModbusFraming::rtu();
    if (const std::string problem = ModbusRequestProblem(request); !problem.empty()) {
        FContext.prompter.Warn(this, QString::fromStdString(problem), kWarnCaption);
        return;
    }
    const Bytes frame = framing.frame(request.address, ModbusRequestPdu(request));
    if (!FContext.prompter.Ask(this,
                               QStringLiteral("发送以下帧写入地址%1？\n%2")
                                   .arg(AddressText(row), QString::fromStdString(BytesToHexSpaced(frame))),
                               QStringLiteral("确认写入")))
        return;
    const std::optional<ModbusOutcome> outcome = Run(request, true);
    if (!outcome)
        return;
    Show(*outcome);
    if (outcome->kind == ModbusOutcome::Kind::Ok)
        ReadOnce();
}

void TModbusFrm::SaveTable()
{
    const QString name = FContext.prompter.SaveFileName(
        this, QStringLiteral("保存"), QDir(FContext.exportFolder).filePath(QStringLiteral("modbus.xlsx")),
        QStringLiteral("Excel (*.xlsx);;CSV (*.csv)"));
    if (name.isEmpty())
        return;
    RecordTable table;
    for (int column = 0; column < ColumnCount; ++column)
        table.AddColumn(tbValues->horizontalHeaderItem(column)->text().toStdString(), 100);
    for (int row = 0; row < tbValues->rowCount(); ++row) {
        const auto* format = qobject_cast<QComboBox*>(tbValues->cellWidget(row, ColFormat));
        table.AppendRow({tbValues->item(row, ColAddress)->text().toStdString(),
                         tbValues->item(row, ColName)->text().toStdString(),
                         format && !IsBitTable() ? format->currentText().toStdString() : std::string(),
                         tbValues->item(row, ColValue)->text().toStdString()});
    }
    if (name.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)) {
        const std::string error = WriteRecordCsv(table, name.toStdString());
        if (!error.empty())
            FContext.prompter.Warn(this, QString::fromStdString(error), kWarnCaption);
        return;
    }
    const ExportOutcome outcome = ExportRecordTable(table, "Modbus调试", name, QDate::currentDate(),
                                                    [this](const QString& text, const QString& title) {
                                                        return FContext.prompter.Ask(this, text, title);
                                                    });
    for (const ExportMessage& message : outcome.messages) {
        if (message.warning)
            FContext.prompter.Warn(this, message.text, message.caption);
        else
            FContext.prompter.Inform(this, message.text, message.caption);
    }
}
