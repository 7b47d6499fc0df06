#include "app/modbus_window.h"

#include "app/modbus_value_model.h"

#include "app/app_texts.h"
#include "app/export_messages.h"
#include "app/port_session.h"

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
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {

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

// The format column shows a combo box in every row, as an editor that stays open.
class FormatDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override
    {
        auto* box = new QComboBox(parent);
        for (const ModbusValueModel::FormatChoice& choice : ModbusValueModel::formatChoices())
            box->addItem(ModbusValueModel::choiceText(choice));
        box->setEnabled(index.flags().testFlag(Qt::ItemIsEditable));
        connect(box, &QComboBox::currentIndexChanged, this,
                [this, box] { emit const_cast<FormatDelegate*>(this)->commitData(box); });
        return box;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        auto* box = static_cast<QComboBox*>(editor);
        const QSignalBlocker block(box);
        box->setCurrentText(index.data(Qt::EditRole).toString());
        box->setEnabled(index.flags().testFlag(Qt::ItemIsEditable));
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        model->setData(index, static_cast<QComboBox*>(editor)->currentText());
    }
};

} // namespace

ModbusWindow::ModbusWindow(const ModbusWindowContext& context, QWidget* parent)
    : QDialog(parent), m_context(context), m_exchange(context.session.link(), context.log, context.waiter),
      m_master(m_exchange, ModbusFraming::rtu()), m_framing(&ModbusFraming::rtu())
{
    setObjectName(QStringLiteral("modbusWindow"));
    setWindowTitle(QStringLiteral("Modbus调试"));
    resize(640, 520);

    auto spin = [this](QSpinBox*& slot, const char* name, int min, int max) {
        slot = new QSpinBox(this);
        slot->setObjectName(QString::fromLatin1(name));
        slot->setRange(min, max);
    };
    spin(m_addressBox, "edAddress", 0, 247);
    spin(m_startBox, "edStart", 0, 65535);
    spin(m_countBox, "edCount", 1, kModbusMaxReadBits);
    spin(m_intervalBox, "edInterval", 50, 3'600'000);
    m_intervalBox->setSuffix(QStringLiteral(" ms"));
    m_addressBox->setSpecialValueText(QStringLiteral("0 广播"));
    m_functionBox = new QComboBox(this);
    m_functionBox->setObjectName(QStringLiteral("cbFunction"));
    for (const FunctionChoice& choice : kFunctions)
        m_functionBox->addItem(QString::fromUtf8(choice.caption), choice.code);
    m_oneBasedCheck = new QCheckBox(QStringLiteral("40001 表示"), this);
    m_oneBasedCheck->setObjectName(QStringLiteral("chkOneBased"));
    m_multipleCheck = new QCheckBox(QStringLiteral("用15/16写"), this);
    m_multipleCheck->setObjectName(QStringLiteral("chkMultiple"));
    m_readButton = new QPushButton(QStringLiteral("读取"), this);
    m_readButton->setObjectName(QStringLiteral("btnRead"));
    m_pollButton = new QPushButton(QStringLiteral("轮询"), this);
    m_pollButton->setObjectName(QStringLiteral("pollButton"));
    m_pollButton->setCheckable(true);
    m_saveButton = new QPushButton(QStringLiteral("保存"), this);
    m_saveButton->setObjectName(QStringLiteral("btnSave"));
    m_values = new ModbusValueModel(this);
    m_valueTable = new QTableView(this);
    m_valueTable->setObjectName(QStringLiteral("tbValues"));
    m_valueTable->setModel(m_values);
    m_valueTable->setItemDelegateForColumn(ModbusValueModel::ColFormat, new FormatDelegate(m_valueTable));
    m_valueTable->horizontalHeader()->setStretchLastSection(true);
    m_valueTable->verticalHeader()->hide();
    m_valueTable->setColumnWidth(ModbusValueModel::ColName, 160);
    m_valueTable->setColumnWidth(ModbusValueModel::ColFormat, 110);
    m_countersLabel = new QLabel(this);
    m_countersLabel->setObjectName(QStringLiteral("lbCounters"));
    m_countersLabel->setWordWrap(true);
    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("lbStatus"));

    auto* line1 = new QHBoxLayout;
    line1->addWidget(new QLabel(QStringLiteral("从站地址"), this));
    line1->addWidget(m_addressBox);
    line1->addWidget(new QLabel(QStringLiteral("功能"), this));
    line1->addWidget(m_functionBox);
    line1->addWidget(m_multipleCheck);
    line1->addStretch();
    auto* line2 = new QHBoxLayout;
    line2->addWidget(new QLabel(QStringLiteral("起始地址"), this));
    line2->addWidget(m_startBox);
    line2->addWidget(m_oneBasedCheck);
    line2->addWidget(new QLabel(QStringLiteral("数量"), this));
    line2->addWidget(m_countBox);
    line2->addWidget(new QLabel(QStringLiteral("周期"), this));
    line2->addWidget(m_intervalBox);
    line2->addStretch();
    auto* line3 = new QHBoxLayout;
    line3->addWidget(m_readButton);
    line3->addWidget(m_pollButton);
    line3->addWidget(m_saveButton);
    line3->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(line1);
    layout->addLayout(line2);
    layout->addLayout(line3);
    layout->addWidget(m_valueTable, 1);
    layout->addWidget(m_countersLabel);
    layout->addWidget(m_statusLabel);

    m_pollTimer = new QTimer(this);
    connect(m_pollTimer, &QTimer::timeout, this, [this] {
        if (const std::optional<ModbusOutcome> outcome = run(readRequest(), false))
            showOutcome(*outcome);
    });
    connect(m_readButton, &QPushButton::clicked, this, &ModbusWindow::readOnce);
    connect(m_pollButton, &QPushButton::toggled, this, &ModbusWindow::setPolling);
    connect(m_saveButton, &QPushButton::clicked, this, &ModbusWindow::saveTable);
    connect(m_values, &ModbusValueModel::writeRequested, this, &ModbusWindow::writeRow);
    connect(m_values, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                for (int row = first; row <= last; ++row)
                    m_valueTable->openPersistentEditor(m_values->index(row, ModbusValueModel::ColFormat));
            });
    connect(m_countBox, &QSpinBox::valueChanged, this, [this] { resizeTable(); });
    // Values read from another start or slave must not stand beside the new addresses.
    connect(m_startBox, &QSpinBox::valueChanged, this, [this] {
        m_values->setValues({});
        refreshAddresses();
    });
    connect(m_addressBox, &QSpinBox::valueChanged, this, [this] { m_values->setValues({}); });
    connect(m_oneBasedCheck, &QCheckBox::toggled, this, [this] { refreshAddresses(); });
    connect(m_functionBox, &QComboBox::currentIndexChanged, this, [this] {
        m_countBox->setMaximum(isBitTable() ? kModbusMaxReadBits : kModbusMaxReadRegisters);
        m_values->setValues({});
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
    return isModbusBitFunction(m_functionBox->currentData().toInt());
}

void ModbusWindow::loadSetup()
{
    const ModbusSetup setup = m_context.settings.readModbusSetup();
    m_filling = true;
    m_addressBox->setValue(setup.address);
    m_functionBox->setCurrentIndex(std::max(0, m_functionBox->findData(setup.function)));
    m_countBox->setMaximum(isBitTable() ? kModbusMaxReadBits : kModbusMaxReadRegisters);
    m_startBox->setValue(setup.start);
    m_oneBasedCheck->setChecked(setup.oneBased);
    m_intervalBox->setValue(setup.intervalMs);
    m_countBox->setValue(setup.count);
    m_filling = false;
    resizeTable();
    for (int row = 0; row < m_values->rowCount(); ++row) {
        m_values->setName(row, setup.names.value(row));
        m_values->setFormatText(row, setup.formats.value(row));
    }
}

void ModbusWindow::saveSetup()
{
    ModbusSetup setup;
    setup.address = m_addressBox->value();
    setup.function = m_functionBox->currentData().toInt();
    setup.start = m_startBox->value();
    setup.count = m_countBox->value();
    setup.oneBased = m_oneBasedCheck->isChecked();
    setup.intervalMs = m_intervalBox->value();
    for (int row = 0; row < m_values->rowCount(); ++row) {
        setup.names << m_values->name(row);
        setup.formats << m_values->formatText(row);
    }
    m_context.settings.writeModbusSetup(setup);
}

void ModbusWindow::resizeTable()
{
    if (m_filling)
        return;
    m_values->setBitTable(isBitTable());
    m_values->setRowCount(m_countBox->value());
    refreshAddresses();
}

void ModbusWindow::refreshAddresses()
{
    const int reference = kFunctions[std::max(0, m_functionBox->currentIndex())].reference;
    m_values->setAddressing(m_startBox->value(), m_oneBasedCheck->isChecked(), reference);
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
    m_countersLabel->setText(text);
}

ModbusRequest ModbusWindow::readRequest() const
{
    ModbusRequest request;
    request.address = static_cast<uint8_t>(m_addressBox->value());
    request.function = static_cast<uint8_t>(m_functionBox->currentData().toInt());
    request.start = static_cast<uint16_t>(m_startBox->value());
    request.count = m_countBox->value();
    return request;
}

std::optional<ModbusOutcome> ModbusWindow::run(const ModbusRequest& request, bool onDemand)
{
    PortSession& session = m_context.session;
    std::optional<ModbusOutcome> outcome;
    bool closed = false;
    QString portError;
    const PortSession::RunResult result = session.run(
        [&] {
            if (!session.link().connected()) {
                closed = true;
                return;
            }
            m_master.setFraming(modbusFramingForPort(session.settings().comPort));
            outcome = m_master.transact(request, kResponseTimeoutMs);
            refreshCounters();
        },
        &portError);
    switch (result) {
    case PortSession::RunResult::Busy:
        if (onDemand)
            m_context.prompter.warn(this, kPortBusy, kWarnCaption);
        break;
    case PortSession::RunResult::Done:
        if (closed) {
            setPolling(false);
            m_context.prompter.warn(this, QString::fromUtf8(kPortClosedText), kWarnCaption);
        }
        break;
    case PortSession::RunResult::Failed:
        setPolling(false);
        m_context.prompter.warn(this, portError, kWarnCaption);
        break;
    case PortSession::RunResult::Lost:
        setPolling(false);
        break;
    }
    return outcome;
}

void ModbusWindow::showOutcome(const ModbusOutcome& outcome)
{
    switch (outcome.kind) {
    case ModbusOutcome::Kind::Ok:
        m_values->setValues(outcome.values);
        m_statusLabel->setText(QStringLiteral("正常"));
        break;
    case ModbusOutcome::Kind::Broadcast:
        m_statusLabel->setText(QStringLiteral("已广播"));
        break;
    case ModbusOutcome::Kind::Timeout:
        m_statusLabel->setText(QStringLiteral("超时"));
        break;
    case ModbusOutcome::Kind::Exception:
        m_statusLabel->setText(
            QStringLiteral("异常 %1 %2")
                .arg(QStringLiteral("%1").arg(outcome.exceptionCode, 2, 16, QLatin1Char('0')).toUpper(),
                     QString::fromLatin1(modbusExceptionName(outcome.exceptionCode))));
        break;
    case ModbusOutcome::Kind::Error:
        m_statusLabel->setText(QStringLiteral("错误：") + QString::fromStdString(outcome.error));
        break;
    }
}

void ModbusWindow::readOnce()
{
    if (m_addressBox->value() == kModbusBroadcast) {
        m_context.prompter.warn(this, QStringLiteral("广播地址0只能用于写入！"), kWarnCaption);
        return;
    }
    if (const std::optional<ModbusOutcome> outcome = run(readRequest(), true))
        showOutcome(*outcome);
}

void ModbusWindow::setPolling(bool on)
{
    if (on && m_addressBox->value() == kModbusBroadcast)
        on = false;
    if (on)
        m_pollTimer->start(m_intervalBox->value());
    else
        m_pollTimer->stop();
    const QSignalBlocker block(m_pollButton);
    m_pollButton->setChecked(on);
}

void ModbusWindow::writeRow(int row, const QString& text)
{
    ModbusRequest request;
    request.address = static_cast<uint8_t>(m_addressBox->value());
    request.start = static_cast<uint16_t>(m_startBox->value() + row);
    const bool multiple = m_multipleCheck->isChecked();
    if (isBitTable()) {
        if (m_functionBox->currentData().toInt() != ModbusFunction::kReadCoils ||
            (text != "0" && text != "1")) {
            m_context.prompter.warn(this, QStringLiteral("只能写线圈，值为0或1！"), kWarnCaption);
            return;
        }
        request.function = multiple ? ModbusFunction::kWriteMultipleCoils : ModbusFunction::kWriteSingleCoil;
        request.values = {static_cast<uint16_t>(text == "1")};
    } else {
        if (m_functionBox->currentData().toInt() != ModbusFunction::kReadHoldingRegisters) {
            m_context.prompter.warn(this, QStringLiteral("只能写保持寄存器！"), kWarnCaption);
            return;
        }
        const ModbusFormat format = m_values->format(row).format;
        const std::optional<std::vector<uint16_t>> registers =
            encodeModbusValue(format, m_values->format(row).order, text.toStdString());
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
    const ModbusFraming& framing = modbusFramingForPort(m_context.session.settings().comPort);
    if (const std::string problem = modbusRequestProblem(request); !problem.empty()) {
        m_context.prompter.warn(this, QString::fromStdString(problem), kWarnCaption);
        return;
    }
    const Bytes frame = framing.frame(request.address, modbusRequestPdu(request), m_master.nextTransaction());
    if (!m_context.prompter.ask(
            this,
            QStringLiteral("发送以下帧写入地址%1？\n%2")
                .arg(m_values->addressText(row), QString::fromStdString(bytesToHexSpaced(frame))),
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
    for (int column = 0; column < ModbusValueModel::ColumnCount; ++column)
        table.addColumn(m_values->headerData(column, Qt::Horizontal).toString().toStdString(), 100);
    for (int row = 0; row < m_values->rowCount(); ++row)
        table.appendRow({m_values->addressText(row).toStdString(), m_values->name(row).toStdString(),
                         m_values->isBitTable() ? std::string() : m_values->formatText(row).toStdString(),
                         m_values->valueText(row).toStdString()});
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
    showExportMessages(m_context.prompter, this, outcome);
}
