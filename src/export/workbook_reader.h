// Reads the cells of a workbook's first worksheet as the texts a spreadsheet shows.
// The format is chosen by the file's content, not its name: an OLE2 compound file is
// read as .xls (FreeXL), a zip package as .xlsx. A missing, unreadable or corrupt file
// gives an error text, never a crash.
#pragma once

#include "decoding/protocol_sheet.h"

#include <QString>

#include <map>
#include <string>
#include <utility>

class SheetCells {
public:
    // Cell (row, column), 1-based; empty text for an empty cell or one outside the sheet.
    std::string text(int row, int column) const;
    void set(int row, int column, std::string text);
    int cellCount() const { return static_cast<int>(m_cells.size()); }
    const std::map<std::pair<int, int>, std::string>& all() const { return m_cells; }
    // A reader over these cells for the protocol-sheet loader; it refers to this object,
    // which must outlive it.
    CellReader reader() const;

private:
    std::map<std::pair<int, int>, std::string> m_cells;
};

struct WorkbookReadResult {
    SheetCells cells;
    QString error; // empty on success
    bool ok() const { return error.isEmpty(); }
};

WorkbookReadResult readFirstWorksheet(const QString& path);

// The text a spreadsheet shows for a number in the general format: whole numbers
// without decimals ("100"), others with up to 15 significant digits ("1.5").
std::string numberText(double value);
