#include "app/meter_book_window.h"

#include "app/meter_book_model.h"
#include "app/prompter.h"
#include "store/record_store.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString kWarningCaption = QStringLiteral("警告信息");
const QString kQuestionCaption = QStringLiteral("信息提示");

QPushButton* button(const QString& caption, const char* name, QWidget* parent)
{
    auto* result = new QPushButton(caption, parent);
    result->setObjectName(QString::fromLatin1(name));
    return result;
}

} // namespace

MeterBookWindow::MeterBookWindow(const DeviceRegistry& registry, RecordStore& store, Prompter& prompter,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window), m_registry(registry), m_store(store), m_prompter(prompter)
{
    setObjectName(QStringLiteral("meterBookWindow"));
    setWindowTitle(QStringLiteral("抄表簿"));
    m_model = new MeterBookModel(registry, store, this);
    connect(m_model, &MeterBookModel::storeFailed, this, &MeterBookWindow::warnStore);

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("meterTable"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    connect(m_table, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        // Editable cells are edited on a double click; the others open the history.
        if (!(m_model->flags(index) & Qt::ItemIsEditable))
            onHistoryClicked();
    });
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MeterBookWindow::updateButtons);
    connect(m_model, &QAbstractItemModel::modelReset, this, &MeterBookWindow::updateButtons);

    auto* refreshButton = button(QStringLiteral("刷新"), "refreshButton", this);
    m_historyButton = button(QStringLiteral("历史记录"), "historyButton", this);
    m_retireButton = button(QStringLiteral("停用"), "retireButton", this);
    m_deleteButton = button(QStringLiteral("连同历史记录删除"), "deleteButton", this);
    connect(refreshButton, &QPushButton::clicked, this, &MeterBookWindow::refresh);
    connect(m_historyButton, &QPushButton::clicked, this, &MeterBookWindow::onHistoryClicked);
    connect(m_retireButton, &QPushButton::clicked, this, &MeterBookWindow::onRetireClicked);
    connect(m_deleteButton, &QPushButton::clicked, this, &MeterBookWindow::onDeleteClicked);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(refreshButton);
    buttons->addWidget(m_historyButton);
    buttons->addStretch();
    buttons->addWidget(m_retireButton);
    buttons->addWidget(m_deleteButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_table);
    resize(1000, 420);

    refresh();
}

qint64 MeterBookWindow::selectedMeter() const
{
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    return rows.isEmpty() ? 0 : m_model->meterIdAt(rows.first().row());
}

qint64 MeterBookWindow::addMeter(const QString& port, int address, int deviceType)
{
    const std::optional<qint64> meter = m_store.meterAt(port, address, deviceType);
    if (!meter) {
        warnStore(m_store.error());
        return 0;
    }
    refresh();
    selectMeter(*meter);
    return *meter;
}

void MeterBookWindow::refresh()
{
    const qint64 selected = selectedMeter();
    if (m_model->reload()) {
        m_table->resizeColumnsToContents();
        selectMeter(selected);
    }
}

void MeterBookWindow::onHistoryClicked()
{
    if (const qint64 meter = selectedMeter())
        emit historyRequested(meter);
}

void MeterBookWindow::onRetireClicked()
{
    const qint64 meter = selectedMeter();
    if (!meter)
        return;
    const QString name =
        m_model->data(m_model->index(m_model->rowOfMeter(meter), MeterBookModel::Name)).toString();
    if (!m_prompter.ask(
            this, QStringLiteral("停用“%1”？\n停用后它不再列在抄表簿中，它的历史记录全部保留。").arg(name),
            kQuestionCaption))
        return;
    if (!m_store.removeMeter(meter, false))
        warnStore(m_store.error());
    refresh();
}

void MeterBookWindow::onDeleteClicked()
{
    const qint64 meter = selectedMeter();
    if (!meter)
        return;
    const QString name =
        m_model->data(m_model->index(m_model->rowOfMeter(meter), MeterBookModel::Name)).toString();
    if (!m_prompter.ask(
            this,
            QStringLiteral("删除“%1”及其全部历史记录？\n删除后这些记录无法恢复；只想不再抄读它时请用“停用”。")
                .arg(name),
            kWarningCaption))
        return;
    if (!m_store.removeMeter(meter, true))
        warnStore(m_store.error());
    refresh();
}

void MeterBookWindow::warnStore(const QString& message)
{
    m_prompter.warn(this, message, kWarningCaption);
}

void MeterBookWindow::selectMeter(qint64 meterId)
{
    const int row = meterId ? m_model->rowOfMeter(meterId) : -1;
    if (row >= 0)
        m_table->selectRow(row);
    updateButtons();
}

void MeterBookWindow::updateButtons()
{
    const bool selected = selectedMeter() != 0;
    m_historyButton->setEnabled(selected);
    m_retireButton->setEnabled(selected);
    m_deleteButton->setEnabled(selected);
}
