#include "app/record_table_model.h"

RecordTableModel::RecordTableModel(RecordTable& table, QObject* parent)
    : QAbstractTableModel(parent), FTable(table), FShownRows(table.RowCount()),
      FShownColumns(table.ColumnCount())
{
    FTable.SetListener(this);
}

RecordTableModel::~RecordTableModel()
{
    FTable.SetListener(nullptr);
}

int RecordTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : FShownRows;
}

int RecordTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : FShownColumns;
}

QVariant RecordTableModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= FTable.RowCount())
        return {};
    const auto& cells = FTable.Rows()[static_cast<size_t>(index.row())];
    // A decoder may leave trailing cells out; they show empty.
    if (index.column() < 0 || static_cast<size_t>(index.column()) >= cells.size())
        return QString();
    return QString::fromStdString(cells[static_cast<size_t>(index.column())]);
}

QVariant RecordTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= FTable.ColumnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return QString::fromStdString(FTable.Columns()[static_cast<size_t>(section)].caption);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

void RecordTableModel::ColumnsChanged()
{
    beginResetModel();
    FShownRows = FTable.RowCount();
    FShownColumns = FTable.ColumnCount();
    endResetModel();
    emit ColumnsReplaced();
}

void RecordTableModel::RowsAppended(int, int)
{
    // Counted from what the view already has, so a missed notice cannot leave
    // the view and the table out of step.
    const int last = FTable.RowCount() - 1;
    if (last < FShownRows)
        return;
    beginInsertRows(QModelIndex(), FShownRows, last);
    FShownRows = FTable.RowCount();
    endInsertRows();
    emit RowAppended(last);
}

void RecordTableModel::RowsCleared()
{
    beginResetModel();
    FShownRows = 0;
    endResetModel();
}
