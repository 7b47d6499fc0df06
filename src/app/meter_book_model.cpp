#include "app/meter_book_model.h"

#include "app/store_texts.h"

MeterBookModel::MeterBookModel(const DeviceRegistry& registry, RecordStore& store, QObject* parent)
    : QAbstractTableModel(parent), m_registry(registry), m_store(store)
{
}

bool MeterBookModel::reload()
{
    std::optional<std::vector<MeterEntry>> meters = m_store.meters();
    std::optional<std::map<qint64, MeterActivity>> activity = meters ? m_store.meterActivity() : std::nullopt;
    if (!meters || !activity) {
        emit storeFailed(m_store.error());
        return false;
    }
    beginResetModel();
    m_meters = std::move(*meters);
    m_activity = std::move(*activity);
    endResetModel();
    return true;
}

qint64 MeterBookModel::meterIdAt(int row) const
{
    return row >= 0 && row < rowCount() ? m_meters[static_cast<size_t>(row)].id : 0;
}

int MeterBookModel::rowOfMeter(qint64 meterId) const
{
    for (size_t row = 0; row < m_meters.size(); ++row)
        if (m_meters[row].id == meterId)
            return static_cast<int>(row);
    return -1;
}

int MeterBookModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_meters.size());
}

int MeterBookModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MeterBookModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const MeterEntry& meter = m_meters[static_cast<size_t>(index.row())];
    const auto found = m_activity.find(meter.id);
    const MeterActivity* activity = found == m_activity.end() ? nullptr : &found->second;
    switch (static_cast<Column>(index.column())) {
    case Name:
        return meter.name;
    case Type:
        return deviceTypeLabel(m_registry, meter.deviceType);
    case Address:
        return meter.address;
    case Port:
        return meter.port;
    case Serial:
        return meter.serial;
    case Site:
        return meter.site;
    case Notes:
        return meter.notes;
    case LastDownload:
        return activity ? localTimeText(activity->lastStarted) : QString();
    case LastOutcome:
        return activity && !activity->lastStarted.isEmpty() ? outcomeCaption(activity->lastOutcome)
                                                            : QString();
    case Records: {
        QStringList counts;
        if (activity)
            for (const auto& [kind, rows] : activity->records)
                counts << QStringLiteral("%1：%2条").arg(kindLabel(m_registry, kind)).arg(rows);
        return counts.join(QStringLiteral("；"));
    }
    case ColumnCount:
        break;
    }
    return {};
}

QVariant MeterBookModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const kCaptions[ColumnCount] = {
        "名称", "类型", "地址", "端口", "序列号", "安装地点", "备注", "最近下载", "下载结果", "已存记录"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(kCaptions[section]) : QVariant();
}

Qt::ItemFlags MeterBookModel::flags(const QModelIndex& index) const
{
    const Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    const int column = index.column();
    return column == Name || column == Site || column == Notes ? flags | Qt::ItemIsEditable : flags;
}

bool MeterBookModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    MeterEntry edited = m_meters[static_cast<size_t>(index.row())];
    const QString text = value.toString().trimmed();
    if (index.column() == Name) {
        // A meter always has a name to be found by in the book.
        if (text.isEmpty())
            return false;
        edited.name = text;
    } else if (index.column() == Site) {
        edited.site = text;
    } else {
        edited.notes = text;
    }
    if (!m_store.updateMeterTexts(edited.id, edited.name, edited.site, edited.notes)) {
        emit storeFailed(m_store.error());
        return false;
    }
    m_meters[static_cast<size_t>(index.row())] = edited;
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}
