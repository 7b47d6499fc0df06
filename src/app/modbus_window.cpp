#include "app/modbus_window.h"

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
std::vector<FormatChoice> formatChoices()
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

QString choiceText(const FormatChoice& choice)
{
    QString text = QString::fromLatin1(modbusFormatName(choice.format));
    if (registersPerValue(choice.format) > 1)
        text += QLatin1Char(' ') + QString::fromLatin1(wordOrderName(choice.order)).toUpper();
    return text;
}

} // namespace

ModbusWindow::ModbusWindow(const ModbusFrmContext& context, QWidget* parent)
    : QDialog(parent), m_context(context), m_exchange(context.link, context.log, context.waiter),
      m_master(m_exchange, ModbusFraming::rtu()), m_framing(&ModbusFraming::rtu())
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
    m_saveButton = new QPushButton(QStringLiteral("保存"), this);
    m_saveButton->setObjectName(QStringLiteral("btnSave"));
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
    line3->addWidget(m_saveButton);
    line3->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(line1);
    layout->addLayout(line2);
    layout->addLayout(line3);
    layout->addWidget(tbValues, 1);
    layout->addWidget(lbCounters);
    layout->addWidget(lbStatus);

    m_pollTimer = new QTimer(this);
    connect(m_pollTimer, &QTimer::timeout, this, [this] {
        if (const std::optional<ModbusOutcome> outcome = run(readRequest(), false))
            showOutcome(*outcome);
    });
    connect(btnRead, &QPushButton::clicked, this, &ModbusWindow::readOnce);
    connect(btnPoll, &QPushButton::toggled, this, &ModbusWindow::setPolling);
    connect(m_saveButton, &QPushButton::clicked, this, &ModbusWindow::saveTable);
    connect(tbValues, &QTableWidget::itemChanged, this, &ModbusWindow::cellChanged);
    connect(edCount, &QSpinBox::valueChanged, this, [this] { resizeTable(); });
    // Values read from another start or slave must not stand beside the new addresses.
    connect(edStart, &QSpinBox::valueChanged, this, [this] {
        m_values.clear();
        refreshAddresses();
        refreshValues();
    });
    connect(edAddress, &QSpinBox::valueChanged, this, [this] {
        m_values.clear();
        refreshValues();
    });
    connect(chkOneBased, &QCheckBox::toggled, this, [this] { refreshAddresses(); });
    connect(cbFunction, &QComboBox::currentIndexChanged, this, [this] {
        edCount->setMaximum(isBitTable() ? kModbusMaxReadBits : kModbusMaxReadRegisters);
        m_values.clear();
        resizeTable();
    });
    loadSetup();
    refreshCounters();
}

ModbusWindow::~ModbusWindow() = default;

void ModbusWindow::closeEvent(QCloseEvent* event)
{
    setPolling(false);
    saveSetup();
    event->accept();
}

bool ModbusWindow::isBitTable() const
{
    return isModbusBitFunction(cbFunction->currentData().toInt());
}

void ModbusWindow::loadSetup()
{
    const ModbusSetup setup = m_context.settings.readModbusSetup();
    m_filling = true;
    edAddress->setValue(setup.address);
    cbFunction->setCurrentIndex(std::max(0, cbFunction->findData(setup.function)));
    edCount->setMaximum(isBitTable() ? kModbusMaxReadBits : kModbusMaxReadRegisters);
    edStart->setValue(setup.start);
    chkOneBased->setChecked(setup.oneBased);
    edInterval->setValue(setup.intervalMs);
    edCount->setValue(setup.count);
    m_filling = false;
    resizeTable();
    const std::vector<FormatChoice> choices = formatChoices();
    for (int row = 0; row < tbValues->rowCount(); ++row) {
        if (row < setup.names.size())
            tbValues->item(row, ColName)->setText(setup.names[row]);
        if (auto* format = qobject_cast<QComboBox*>(tbValues->cellWidget(row, ColFormat)); format)
            format->setCurrentIndex(std::max(0, format->findText(setup.formats.value(row))));
    }
}

void ModbusWindow::saveSetup()
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
    m_context.settings.writeModbusSetup(setup);
}

void ModbusWindow::resizeTable()
{
    if (m_filling)
        return;
    m_filling = true;
    const int before = tbValues->rowCount();
    const int rows = edCount->value();
    tbValues->setRowCount(rows);
    const std::vector<FormatChoice> choices = formatChoices();
    for (int row = before; row < rows; ++row) {
        auto* address = new QTableWidgetItem;
        address->setFlags(address->flags() & ~Qt::ItemIsEditable);
        tbValues->setItem(row, ColAddress, address);
        tbValues->setItem(row, ColName, new QTableWidgetItem);
        tbValues->setItem(row, ColValue, new QTableWidgetItem);
        auto* format = new QComboBox(tbValues);
        for (const FormatChoice& choice : choices)
            format->addItem(choiceText(choice));
        connect(format, &QComboBox::currentIndexChanged, this, [this] { refreshValues(); });
        tbValues->setCellWidget(row, ColFormat, format);
    }
    for (int row = 0; row < rows; ++row)
        if (QWidget* format = tbValues->cellWidget(row, ColFormat))
            format->setEnabled(!isBitTable());
    m_filling = false;
    refreshAddresses();
    refreshValues();
}

QString ModbusWindow::addressText(int offset) const
{
    const int address = edStart->value() + offset;
    if (!chkOneBased->isChecked())
        return QString::number(address);
    const int reference = kFunctions[std::max(0, cbFunction->currentIndex())].reference;
    return QStringLiteral("%1%2").arg(reference).arg(address + 1, 4, 10, QLatin1Char('0'));
}

void ModbusWindow::refreshAddresses()
{
    const bool filling = m_filling;
    m_filling = true;
    for (int row = 0; row < tbValues->rowCount(); ++row)
        tbValues->item(row, ColAddress)->setText(addressText(row));
    m_filling = filling;
}

ModbusFormat ModbusWindow::rowFormat(int row, WordOrder* order) const
{
    const auto* format = qobject_cast<QComboBox*>(tbValues->cellWidget(row, ColFormat));
    const std::vector<FormatChoice> choices = formatChoices();
    const FormatChoice choice = choices[size_t(std::max(0, format ? format->currentIndex() : 0))];
    *order = choice.order;
    return choice.format;
}

void ModbusWindow::refreshValues()
{
    if (m_filling)
        return;
    m_filling = true;
    for (int row = 0; row < tbValues->rowCount(); ++row) {
        QString text;
        if (size_t(row) < m_values.size()) {
            WordOrder order = WordOrder::Abcd;
            const ModbusFormat format = rowFormat(row, &order);
            text = isBitTable()
                       ? QString::number(m_values[size_t(row)])
                       : QString::fromStdString(formatModbusValue(
                             format, order, std::span<const uint16_t>(m_values).subspan(size_t(row))));
        }
        tbValues->item(row, ColValue)->setText(text);
    }
    m_filling = false;
}

void ModbusWindow::refreshCounters()
{
    const ModbusCounters& counters = m_master.counters();
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
                             QString::fromLatin1(modbusExceptionName(int(code))))
                        .arg(counters.exceptionsByCode[code]);
    lbCounters->setText(text);
}

ModbusRequest ModbusWindow::readRequest() const
{
    ModbusRequest request;
    request.address = static_cast<uint8_t>(edAddress->value());
    request.function = static_cast<uint8_t>(cbFunction->currentData().toInt());
    request.start = static_cast<uint16_t>(edStart->value());
    request.count = edCount->value();
    return request;
}

std::optional<ModbusOutcome> ModbusWindow::run(const ModbusRequest& request, bool onDemand)
{
    PortGuard::Lease lease = m_context.portGuard.tryTake();
    if (!lease) {
        if (onDemand)
            m_context.prompter.warn(this, kPortBusy, kWarnCaption);
        return std::nullopt;
    }
    if (!m_context.link.connected()) {
        setPolling(false);
        m_context.prompter.warn(this, QString::fromUtf8(kPortClosedText), kWarnCaption);
        return std::nullopt;
    }
    const ModbusFraming& framing =
        m_context.portName ? modbusFramingForPort(m_context.portName()) : ModbusFraming::rtu();
    m_master.setFraming(framing);
    try {
        ModbusOutcome outcome = m_master.transact(request, kResponseTimeoutMs);
        refreshCounters();
        return outcome;
    } catch (const ComPortError& error) {
        setPolling(false);
        lease.release();
        const QString message = QString::fromStdString(error.what());
        if (portErrorHandler)
            portErrorHandler(message);
        else
            m_context.prompter.warn(this, message, kWarnCaption);
        return std::nullopt;
    }
}

void ModbusWindow::showOutcome(const ModbusOutcome& outcome)
{
    switch (outcome.kind) {
    case ModbusOutcome::Kind::Ok:
        m_values = outcome.values;
        refreshValues();
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
                     QString::fromLatin1(modbusExceptionName(outcome.exceptionCode))));
        break;
    case ModbusOutcome::Kind::Error:
        lbStatus->setText(QStringLiteral("错误：") + QString::fromStdString(outcome.error));
        break;
    }
}

void ModbusWindow::readOnce()
{
    if (edAddress->value() == kModbusBroadcast) {
        m_context.prompter.warn(this, QStringLiteral("广播地址0只能用于写入！"), kWarnCaption);
        return;
    }
    if (const std::optional<ModbusOutcome> outcome = run(readRequest(), true))
        showOutcome(*outcome);
}

void ModbusWindow::setPolling(bool on)
{
    if (on && edAddress->value() == kModbusBroadcast)
        on = false;
    if (on)
        m_pollTimer->start(edInterval->value());
    else
        m_pollTimer->stop();
    const QSignalBlocker block(btnPoll);
    btnPoll->setChecked(on);
}

void ModbusWindow::cellChanged(QTableWidgetItem* item)
{
    if (m_filling || item->column() != ColValue)
        return;
    const QString text = item->text().trimmed();
    writeRow(item->row(), text);
    refreshValues();
}

void ModbusWindow::writeRow(int row, const QString& text)
{
    ModbusRequest request;
    request.address = static_cast<uint8_t>(edAddress->value());
    request.start = static_cast<uint16_t>(edStart->value() + row);
    const bool multiple = chkMultiple->isChecked();
    if (isBitTable()) {
        if (cbFunction->currentData().toInt() != ModbusFunction::kReadCoils || (text != "0" && text != "1")) {
            m_context.prompter.warn(this, QStringLiteral("只能写线圈，值为0或1！"), kWarnCaption);
            return;
        }
        request.function = multiple ? ModbusFunction::kWriteMultipleCoils : ModbusFunction::kWriteSingleCoil;
        request.values = {static_cast<uint16_t>(text == "1")};
    } else {
        if (cbFunction->currentData().toInt() != ModbusFunction::kReadHoldingRegisters) {
            m_context.prompter.warn(this, QStringLiteral("只能写保持寄存器！"), kWarnCaption);
            return;
        }
        WordOrder order = WordOrder::Abcd;
        const ModbusFormat format = rowFormat(row, &order);
        const std::optional<std::vector<uint16_t>> registers =
            EncodeModbusValue(format, order, text.toStdString());
        if (!registers) {
            m_context.prompter.warn(this,
                                    QStringLiteral("“%1”不是%2格式的值！")
                                        .arg(text, QString::fromLatin1(modbusFormatName(format))),
                                    kWarnCaption);
            return;
        }
        request.values = *registers;
        request.function = multiple || registers->size() > 1 ? ModbusFunction::kWriteMultipleRegisters
                                                             : ModbusFunction::kWriteSingleRegister;
    }
    const ModbusFraming& framing =
        m_context.portName ? modbusFramingForPort(m_context.portName()) : ModbusFraming::rtu();
    if (const std::string problem = modbusRequestProblem(request); !problem.empty()) {
        m_context.prompter.warn(this, QString::fromStdString(problem), kWarnCaption);
        return;
    }
    const Bytes frame = framing.frame(request.address, modbusRequestPdu(request), m_master.nextTransaction());
    if (!m_context.prompter.ask(this,
                                QStringLiteral("发送以下帧写入地址%1？\n%2")
                                    .arg(addressText(row), QString::fromStdString(bytesToHexSpaced(frame))),
                                QStringLiteral("确认写入")))
        return;
    const std::optional<ModbusOutcome> outcome = run(request, true);
    if (!outcome)
        return;
    showOutcome(*outcome);
    if (outcome->kind == ModbusOutcome::Kind::Ok)
        readOnce();
}

void ModbusWindow::saveTable()
{
    const QString name = m_context.prompter.saveFileName(
        this, QStringLiteral("保存"), QDir(m_context.exportFolder).filePath(QStringLiteral("modbus.xlsx")),
        QStringLiteral("Excel (*.xlsx);;CSV (*.csv)"));
    if (name.isEmpty())
        return;
    RecordTable table;
    for (int column = 0; column < ColumnCount; ++column)
        table.addColumn(tbValues->horizontalHeaderItem(column)->text().toStdString(), 100);
    for (int row = 0; row < tbValues->rowCount(); ++row) {
        const auto* format = qobject_cast<QComboBox*>(tbValues->cellWidget(row, ColFormat));
        table.appendRow({tbValues->item(row, ColAddress)->text().toStdString(),
                         tbValues->item(row, ColName)->text().toStdString(),
                         format && !isBitTable() ? format->currentText().toStdString() : std::string(),
                         tbValues->item(row, ColValue)->text().toStdString()});
    }
    if (name.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)) {
        const std::string error = writeRecordCsv(table, name.toStdString());
        if (!error.empty())
            m_context.prompter.warn(this, QString::fromStdString(error), kWarnCaption);
        return;
    }
    const ExportOutcome outcome = exportRecordTable(table, "Modbus调试", name, QDate::currentDate(),
                                                    [this](const QString& text, const QString& title) {
                                                        return m_context.prompter.ask(this, text, title);
                                                    });
    for (const ExportMessage& message : outcome.messages) {
        if (message.warning)
            m_context.prompter.warn(this, message.text, message.caption);
        else
            m_context.prompter.inform(this, message.text, message.caption);
    }
}
