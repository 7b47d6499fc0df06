#include "app/history_window.h"
#include "app/export_messages.h"

#include "app/chart_window.h"
#include "app/history_model.h"
#include "app/prompter.h"
#include "app/record_table_model.h"
#include "app/store_texts.h"
#include "export/record_csv.h"
#include "export/record_export.h"
#include "store/record_store.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString kWarningCaption = QStringLiteral("警告信息");
constexpr int kDefaultDays = 31;
constexpr int kAddressRole = Qt::UserRole + 1;

QTableView* tableView(const char* name, QWidget* parent)
{
    auto* view = new QTableView(parent);
    view->setObjectName(QString::fromLatin1(name));
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->verticalHeader()->hide();
    view->horizontalHeader()->setStretchLastSection(true);
    return view;
}

// The meter's clock minus the PC's, signed, in whole seconds.
QString clockOffsetText(const QVariant& seconds)
{
    if (seconds.isNull())
        return {};
    const double value = seconds.toDouble();
    return QStringLiteral("%1%2 秒").arg(value > 0 ? QStringLiteral("+") : QString()).arg(qRound64(value));
}

// A meter's name as a file name: port names such as /dev/ttyUSB0 hold slashes.
QString fileNameOf(QString name)
{
    static const QRegularExpression forbidden(QStringLiteral("[/\\\\:*?\"<>|]"));
    return name.replace(forbidden, QStringLiteral("_"));
}

} // namespace

HistoryWindow::HistoryWindow(const DeviceRegistry& registry, RecordStore& store, Prompter& prompter,
                             QString saveDirectory, QWidget* parent)
    : QWidget(parent, Qt::Window), m_registry(registry), m_store(store), m_prompter(prompter),
      m_saveDirectory(std::move(saveDirectory)), m_shownModel(std::make_unique<RecordTableModel>(m_shown))
{
    setObjectName(QStringLiteral("historyWindow"));
    setWindowTitle(QStringLiteral("历史记录"));
    m_model = new HistoryModel(registry, this);
    m_downloads = new QStandardItemModel(0, 8, this);
    m_downloads->setHorizontalHeaderLabels({QStringLiteral("开始"), QStringLiteral("结束"),
                                            QStringLiteral("记录类型"), QStringLiteral("块（读/请求）"),
                                            QStringLiteral("新记录"), QStringLiteral("已存在"),
                                            QStringLiteral("结果"), QStringLiteral("表计时钟偏差")});

    m_meterCombo = new QComboBox(this);
    m_meterCombo->setObjectName(QStringLiteral("meterCombo"));
    m_meterCombo->setMinimumContentsLength(16);
    m_kindCombo = new QComboBox(this);
    m_kindCombo->setObjectName(QStringLiteral("kindCombo"));
    m_kindCombo->setMinimumContentsLength(16);
    const QDate today = QDate::currentDate();
    m_fromDate = new QDateEdit(today.addDays(-kDefaultDays), this);
    m_fromDate->setObjectName(QStringLiteral("fromDate"));
    m_toDate = new QDateEdit(today, this);
    m_toDate->setObjectName(QStringLiteral("toDate"));
    for (QDateEdit* edit : {m_fromDate, m_toDate}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    }
    auto* queryButton = new QPushButton(QStringLiteral("查询"), this);
    queryButton->setObjectName(QStringLiteral("queryButton"));
    m_chartButton = new QPushButton(QStringLiteral("曲线"), this);
    m_chartButton->setObjectName(QStringLiteral("chartButton"));
    m_exportButton = new QPushButton(QStringLiteral("导出"), this);
    m_exportButton->setObjectName(QStringLiteral("exportButton"));

    auto* choice = new QHBoxLayout;
    choice->addWidget(new QLabel(QStringLiteral("表计"), this));
    choice->addWidget(m_meterCombo);
    choice->addWidget(new QLabel(QStringLiteral("记录类型"), this));
    choice->addWidget(m_kindCombo);
    choice->addWidget(new QLabel(QStringLiteral("从"), this));
    choice->addWidget(m_fromDate);
    choice->addWidget(new QLabel(QStringLiteral("到"), this));
    choice->addWidget(m_toDate);
    choice->addWidget(queryButton);
    choice->addStretch();
    choice->addWidget(m_chartButton);
    choice->addWidget(m_exportButton);

    m_recordTable = tableView("recordTable", this);
    m_recordTable->setModel(m_model);
    m_summaryLabel = new QLabel(this);
    m_summaryLabel->setObjectName(QStringLiteral("summaryLabel"));
    m_downloadTable = tableView("downloadTable", this);
    m_downloadTable->setModel(m_downloads);
    m_downloadTable->setWordWrap(false);

    auto* downloadsPart = new QWidget(this);
    auto* downloadsLayout = new QVBoxLayout(downloadsPart);
    downloadsLayout->setContentsMargins(0, 0, 0, 0);
    downloadsLayout->addWidget(new QLabel(QStringLiteral("下载记录"), downloadsPart));
    downloadsLayout->addWidget(m_downloadTable);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(m_recordTable);
    splitter->addWidget(downloadsPart);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(choice);
    layout->addWidget(m_summaryLabel);
    layout->addWidget(splitter);
    resize(1100, 640);

    connect(m_meterCombo, &QComboBox::activated, this, &HistoryWindow::onMeterChanged);
    connect(queryButton, &QPushButton::clicked, this, &HistoryWindow::onQueryClicked);
    connect(m_kindCombo, &QComboBox::activated, this, &HistoryWindow::onQueryClicked);
    connect(m_chartButton, &QPushButton::clicked, this, &HistoryWindow::onChartClicked);
    connect(m_exportButton, &QPushButton::clicked, this, &HistoryWindow::onExportClicked);
    reloadMeters();
    onMeterChanged();
}

HistoryWindow::~HistoryWindow()
{
    // The chart reads m_shownModel, which goes after the children.
    delete m_chart;
}

qint64 HistoryWindow::currentMeter() const
{
    return m_meterCombo->currentData().toLongLong();
}

int HistoryWindow::currentKind() const
{
    return m_kindCombo->currentData().toInt();
}

void HistoryWindow::warnStore()
{
    m_prompter.warn(this, m_store.error(), kWarningCaption);
}

void HistoryWindow::reloadMeters()
{
    const qint64 current = currentMeter();
    const std::optional<std::vector<MeterEntry>> meters = m_store.meters(true);
    if (!meters) {
        warnStore();
        return;
    }
    m_meterCombo->clear();
    for (const MeterEntry& meter : *meters) {
        // Retired meters keep their history, so they stay to be looked at.
        const QString label = meter.retired ? QStringLiteral("%1（已停用）").arg(meter.name) : meter.name;
        m_meterCombo->addItem(label, meter.id);
        m_meterCombo->setItemData(m_meterCombo->count() - 1, meter.address, kAddressRole);
    }
    const int index = m_meterCombo->findData(current);
    m_meterCombo->setCurrentIndex(index >= 0 ? index : 0);
}

void HistoryWindow::showMeter(qint64 meterId)
{
    reloadMeters();
    const int index = m_meterCombo->findData(meterId);
    if (index >= 0)
        m_meterCombo->setCurrentIndex(index);
    onMeterChanged();
}

void HistoryWindow::onMeterChanged()
{
    const qint64 meter = currentMeter();
    m_kindCombo->clear();
    if (meter) {
        const std::optional<std::map<qint64, MeterActivity>> activity = m_store.meterActivity();
        if (!activity)
            warnStore();
        else if (const auto found = activity->find(meter); found != activity->end())
            for (const auto& [kind, rows] : found->second.records)
                m_kindCombo->addItem(kindLabel(m_registry, kind), kind);
    }
    fillDownloads(meter);
    onQueryClicked();
}

void HistoryWindow::fillDownloads(qint64 meterId)
{
    m_downloads->removeRows(0, m_downloads->rowCount());
    if (!meterId)
        return;
    std::optional<QSqlQuery> query = m_store.downloadsQuery(meterId);
    if (!query) {
        warnStore();
        return;
    }
    while (query->next()) {
        const QString outcome = query->value(8).toString();
        QList<QStandardItem*> row{
            new QStandardItem(localTimeText(query->value(2).toString())),
            new QStandardItem(localTimeText(query->value(3).toString())),
            new QStandardItem(kindLabel(m_registry, query->value(1).toInt())),
            new QStandardItem(
                QStringLiteral("%1/%2").arg(query->value(5).toInt()).arg(query->value(4).toInt())),
            new QStandardItem(query->value(6).toString()),
            new QStandardItem(query->value(7).toString()),
            new QStandardItem(outcomeCaption(outcome)),
            new QStandardItem(clockOffsetText(query->value(9))),
        };
        if (outcome != QLatin1String("completed") && outcome != QLatin1String("stopped"))
            row[6]->setForeground(QBrush(Qt::red));
        m_downloads->appendRow(row);
    }
    m_downloadTable->resizeColumnsToContents();
}

void HistoryWindow::onQueryClicked()
{
    const qint64 meter = currentMeter();
    const int kind = currentKind();
    if (!meter || !kind) {
        m_model->clearHistory();
        m_summaryLabel->setText(QStringLiteral("该表计尚无存储的记录"));
    } else {
        // The dates are the meter's own: the whole "到" day is included.
        const QDateTime from(m_fromDate->date(), QTime(0, 0), Qt::UTC);
        const QDateTime to(m_toDate->date().addDays(1), QTime(0, 0), Qt::UTC);
        if (!m_model->setHistory(m_store, meter, kind, from, to)) {
            warnStore();
            return;
        }
        while (m_model->canFetchMore())
            m_model->fetchMore();
        int gaps = 0;
        for (int row = 1; row < m_model->rowCount(); ++row)
            gaps += m_model->gapText(row).isEmpty() ? 0 : 1;
        m_summaryLabel->setText(
            gaps ? QStringLiteral("共%1条记录，%2处缺失记录（已标出）").arg(m_model->rowCount()).arg(gaps)
                 : QStringLiteral("共%1条记录").arg(m_model->rowCount()));
        m_recordTable->resizeColumnsToContents();
    }
    m_chartButton->setEnabled(m_model->rowCount() > 0);
    m_exportButton->setEnabled(m_model->rowCount() > 0);
}

bool HistoryWindow::loadShownRecords()
{
    const int kind = m_model->kindCode();
    const std::optional<std::vector<TableColumn>> columns = kind ? m_store.kindColumns(kind) : std::nullopt;
    const std::optional<std::vector<std::vector<std::string>>> rows =
        columns ? m_store.history(currentMeter(), kind, QDateTime(m_fromDate->date(), QTime(0, 0), Qt::UTC),
                                  QDateTime(m_toDate->date().addDays(1), QTime(0, 0), Qt::UTC))
                : std::nullopt;
    if (!rows) {
        if (kind)
            warnStore();
        return false;
    }
    m_shown.setColumns(*columns);
    for (const std::vector<std::string>& row : *rows)
        m_shown.appendRow(row);
    return true;
}

void HistoryWindow::onChartClicked()
{
    if (!loadShownRecords())
        return;
    if (!m_chart) {
        m_chart = new ChartWindow(*m_shownModel, m_prompter, m_saveDirectory, this);
        m_chart->setSubject([this] {
            return ChartWindow::Subject{m_kindCombo->currentText(),
                                        m_meterCombo->currentData(kAddressRole).toInt()};
        });
    }
    m_chart->refresh();
    m_chart->show();
    m_chart->raise();
}

void HistoryWindow::onExportClicked()
{
    const QString name = m_prompter.saveFileName(
        this, QStringLiteral("导出历史记录"),
        QDir(m_saveDirectory).filePath(fileNameOf(m_meterCombo->currentText()) + QStringLiteral(".xlsx")),
        QStringLiteral("Excel (*.xlsx);;CSV (*.csv)"));
    if (name.isEmpty() || !loadShownRecords())
        return;
    if (name.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)) {
        const std::string error = writeRecordCsv(m_shown, name.toStdString());
        if (!error.empty())
            m_prompter.warn(this, QString::fromStdString(error), kWarningCaption);
        return;
    }
    const ExportOutcome outcome = exportRecordTable(
        m_shown, m_kindCombo->currentText().toStdString(), name, QDate::currentDate(),
        [this](const QString& text, const QString& title) { return m_prompter.ask(this, text, title); });
    showExportMessages(m_prompter, this, outcome);
}
