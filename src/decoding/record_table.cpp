#include "decoding/record_table.h"

void RecordTable::SetColumns(std::vector<TableColumn> columns)
{
    m_columns = std::move(columns);
    m_rows.clear();
    if (m_listener)
        m_listener->ColumnsChanged();
}

void RecordTable::AddColumn(std::string caption, int width, ColumnType type)
{
    m_columns.push_back({std::move(caption), width, type});
    if (m_listener)
        m_listener->ColumnsChanged();
}

void RecordTable::ClearRows()
{
    m_rows.clear();
    if (m_listener)
        m_listener->RowsCleared();
}

void RecordTable::AppendRow(std::vector<std::string> cells)
{
    m_rows.push_back(std::move(cells));
    if (m_listener)
        m_listener->RowsAppended(RowCount() - 1, 1);
}
