#include "decoding/record_table.h"

void RecordTable::setColumns(std::vector<TableColumn> columns)
{
    m_columns = std::move(columns);
    m_rows.clear();
    if (m_listener)
        m_listener->columnsChanged();
}

void RecordTable::addColumn(std::string caption, int width, ColumnType type)
{
    m_columns.push_back({std::move(caption), width, type});
    if (m_listener)
        m_listener->columnsChanged();
}

void RecordTable::clearRows()
{
    m_rows.clear();
    if (m_listener)
        m_listener->rowsCleared();
}

void RecordTable::appendRow(std::vector<std::string> cells)
{
    m_rows.push_back(std::move(cells));
    if (m_listener)
        m_listener->rowsAppended(rowCount() - 1, 1);
}
