#include "app/record_table_model.h"

RecordTableModel::RecordTableModel(RecordTable& table, QObject* parent)
    : QAbstractTableModel(parent), m_table(table), m_shownRows(table.rowCount()),
      m_shownColumns(table.columnCount())
{
    m_table.setListener(this);
}

RecordTableModel::~RecordTableModel()
{
    m_table.setListener(nullptr);
}

int RecordTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_shownRows;
}

int RecordTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_shownColumns;
}

QVariant RecordTableModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_table.rowCount())
        return {};
    const auto& cells = m_table.rows()[static_cast<size_t>(index.row())];
    // A decoder may leave trailing cells out; they show empty.
    if (index.column() < 0 || static_cast<size_t>(index.column()) >= cells.size())
        return QString();
    return QString::fromStdString(cells[static_cast<size_t>(index.column())]);
}

QVariant RecordTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_table.columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return QString::fromStdString(m_table.columns()[static_cast<size_t>(section)].caption);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

void RecordTableModel::columnsChanged()
{
    beginResetModel();
    m_shownRows = m_table.rowCount();
    m_shownColumns = m_table.columnCount();
    endResetModel();
    emit columnsReplaced();
}

void RecordTableModel::rowsAppended(int, int)
{
    // Counted from what the view already has, so a missed notice cannot leave
    // the view and the table out of step.
    const int last = m_table.rowCount() - 1;
    if (last < m_shownRows)
        return;
    beginInsertRows(QModelIndex(), m_shownRows, last);
    m_shownRows = m_table.rowCount();
    endInsertRows();
    emit rowAppended(last);
}

void RecordTableModel::rowsCleared()
{
    beginResetModel();
    m_shownRows = 0;
    endResetModel();
}
