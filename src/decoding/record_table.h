// The record table as plain data: column captions, widths and types, rows of
// texts. Decoders only append rows; the window shows the table through a view model
// that listens for changes. No Qt here so decoders stay testable and fuzzable.
#pragma once

#include <string>
#include <vector>

// What a column's cells mean, so nobody has to guess it from the texts: status
// words and codes look like numbers ("0012") but are no quantities. Cells stay
// texts whatever the type.
enum class ColumnType {
    Text,   // never charted; an untyped column is one
    Number, // a quantity the decoder wrote as a decimal number
    Time,   // a record time "YYYY-MM-DD hh:mm:ss" or a part of it
};

struct TableColumn {
    std::string caption;
    int width = 0;
    ColumnType type = ColumnType::Text;
};

class RecordTable {
public:
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void columnsChanged() = 0; // columns replaced; rows may be gone too
        virtual void rowsAppended(int first, int count) = 0;
        virtual void rowsCleared() = 0;
    };

    void setListener(Listener* listener) { m_listener = listener; }

    // Replaces the columns (and drops every row, as the list view does).
    void setColumns(std::vector<TableColumn> columns);
    void addColumn(std::string caption, int width, ColumnType type = ColumnType::Text);
    void clearRows();

    // Row cells: [0] is the caption ("序号" column), then the sub-items in column order.
    void appendRow(std::vector<std::string> cells);

    const std::vector<TableColumn>& columns() const { return m_columns; }
    const std::vector<std::vector<std::string>>& rows() const { return m_rows; }
    int rowCount() const { return static_cast<int>(m_rows.size()); }
    int columnCount() const { return static_cast<int>(m_columns.size()); }

private:
    std::vector<TableColumn> m_columns;
    std::vector<std::vector<std::string>> m_rows;
    Listener* m_listener = nullptr;
};
