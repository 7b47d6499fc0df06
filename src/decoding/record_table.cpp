#include "decoding/record_table.h"

void RecordTable::SetColumns(std::vector<TableColumn> columns)
{
    FColumns = std::move(columns);
    FRows.clear();
    if (FListener)
        FListener->ColumnsChanged();
}

void RecordTable::AddColumn(std::string caption, int width)
{
    FColumns.push_back({std::move(caption), width});
    if (FListener)
        FListener->ColumnsChanged();
}

void RecordTable::ClearRows()
{
    FRows.clear();
    if (FListener)
        FListener->RowsCleared();
}

void RecordTable::AppendRow(std::vector<std::string> cells)
{
    FRows.push_back(std::move(cells));
    if (FListener)
        FListener->RowsAppended(RowCount() - 1, 1);
}
