// The record table as plain data: column captions and widths, rows of texts.
// Decoders only append rows; the window shows the table through a view model
// that listens for changes. No Qt here so decoders stay testable and fuzzable.
#pragma once

#include <string>
#include <vector>

struct TableColumn {
    std::string caption;
    int width = 0;
};

class RecordTable {
public:
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void ColumnsChanged() = 0; // columns replaced; rows may be gone too
        virtual void RowsAppended(int first, int count) = 0;
        virtual void RowsCleared() = 0;
    };

    void SetListener(Listener* listener) { m_listener = listener; }

    // Replaces the columns (and drops every row, as the list view does).
    void SetColumns(std::vector<TableColumn> columns);
    void AddColumn(std::string caption, int width);
    void ClearRows();

    // Row cells: [0] is the caption ("序号" column), then the sub-items in column order.
    void AppendRow(std::vector<std::string> cells);

    const std::vector<TableColumn>& Columns() const { return m_columns; }
    const std::vector<std::vector<std::string>>& Rows() const { return m_rows; }
    int RowCount() const { return static_cast<int>(m_rows.size()); }
    int ColumnCount() const { return static_cast<int>(m_columns.size()); }

private:
    std::vector<TableColumn> m_columns;
    std::vector<std::vector<std::string>> m_rows;
    Listener* m_listener = nullptr;
};
