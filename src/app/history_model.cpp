#include "app/history_model.h"

#include "catalogue/catalogue.h"
#include "store/record_store.h"

#include <QBrush>
#include <QColor>
#include <QSqlRecord>

namespace {

constexpr int kGapColumn = 0;
constexpr int kSeqColumn = 1;

constexpr int kMinutesPerDay = 24 * 60;

} // namespace

HistoryModel::HistoryModel(const DeviceRegistry& registry, QObject* parent)
    : QSqlQueryModel(parent), m_registry(registry)
{
}

bool HistoryModel::setHistory(RecordStore& store, qint64 meterId, int kindCode, const QDateTime& from,
                              const QDateTime& to)
{
    const std::optional<std::vector<TableColumn>> columns = store.kindColumns(kindCode);
    std::optional<QSqlQuery> query = columns ? store.historyQuery(meterId, kindCode, from, to) : std::nullopt;
    if (!query) {
        clearHistory();
        return false;
    }
    // setQuery() resets the model once everything it will be asked is in place.
    m_kindCode = kindCode;
    const RecordKind* kind = m_registry.recordKind(kindCode);
    m_intervalMinutes = kind ? kind->intervalMinutes : 0;
    m_captions.clear();
    m_timeColumn = -1;
    const QSqlRecord record = query->record();
    m_seqColumn = record.indexOf(QStringLiteral("seq"));
    m_cellsColumn = record.indexOf(QStringLiteral("cells"));
    for (size_t i = 0; i < columns->size(); ++i) {
        m_captions << QString::fromStdString((*columns)[i].caption);
        if (m_timeColumn < 0 && (*columns)[i].type == ColumnType::Time)
            m_timeColumn = record.indexOf(QStringLiteral("c%1_at").arg(i));
    }
    setQuery(std::move(*query));
    return true;
}

void HistoryModel::clearHistory()
{
    m_kindCode = 0;
    m_captions.clear();
    m_timeColumn = -1;
    clear();
}

QVariant HistoryModel::sourceValue(int row, int sourceColumn) const
{
    // QSqlQueryModel's own index() would check the column against our columnCount().
    return sourceColumn < 0 ? QVariant() : QSqlQueryModel::data(createIndex(row, sourceColumn));
}

QDateTime HistoryModel::timeAt(int row) const
{
    QDateTime time = QDateTime::fromString(sourceValue(row, m_timeColumn).toString(),
                                           QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    time.setTimeSpec(Qt::UTC); // the meter's clock, compared with itself only
    return time;
}

QString HistoryModel::gapText(int row) const
{
    if (row <= 0 || row >= rowCount() || m_intervalMinutes <= 0 || m_timeColumn < 0)
        return {};
    const QDateTime before = timeAt(row - 1), after = timeAt(row);
    if (!before.isValid() || !after.isValid())
        return {};
    const qint64 minutes = before.secsTo(after) / 60;
    if (minutes <= m_intervalMinutes)
        return {};
    if (minutes >= 2 * kMinutesPerDay)
        return QStringLiteral("间隔%1天无记录").arg(minutes / kMinutesPerDay);
    return QStringLiteral("间隔%1小时无记录").arg(minutes / 60);
}

int HistoryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() || m_captions.isEmpty() ? 0 : static_cast<int>(m_captions.size()) + 1;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.column() >= columnCount())
        return {};
    if (role == Qt::BackgroundRole)
        return gapText(index.row()).isEmpty() ? QVariant() : QVariant(QBrush(QColor(255, 224, 160)));
    if (role != Qt::DisplayRole)
        return {};
    if (index.column() == kGapColumn)
        return gapText(index.row());
    if (index.column() == kSeqColumn)
        return sourceValue(index.row(), m_seqColumn);
    // The texts as the meter gave them ("2126.00", not the stored number 2126).
    return RecordStore::cellsOf(sourceValue(index.row(), m_cellsColumn).toString())
        .value(index.column() - kSeqColumn - 1);
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    return section == kGapColumn ? QStringLiteral("记录间隔") : m_captions[section - 1];
}
