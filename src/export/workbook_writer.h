// Builds a workbook in memory the way the export drives a spreadsheet (cells by row and
// column, formats applied to ranges) and writes it as an .xlsx file with libxlsxwriter.
// Rows and columns count from 1. Every operation works on the current sheet: the
// first one unless SelectSheet chose another.
#pragma once

#include <QString>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct CellRange {
    int firstRow = 1;
    int firstColumn = 1;
    int lastRow = 1;
    int lastColumn = 1;
    bool operator==(const CellRange&) const = default;
};

// "B2:E2", "b4:d4" or a single cell "C7"; nullopt for anything else. The corners are
// put in order, so "E2:B2" is B2:E2.
std::optional<CellRange> parseRange(std::string_view text);
// 1 → "A", 26 → "Z", 27 → "AA"; empty text for a column below 1.
std::string columnLetters(int column);
// A sheet name the workbook accepts: characters : \ / ? * [ ] become "_", leading and
// trailing apostrophes are dropped, at most 31 characters, "Sheet1" when nothing is left.
std::string safeSheetName(const std::string& name);

enum class HorizontalAlignment { General, Left, Centre };
enum class VerticalAlignment { Bottom, Centre };

class WorkbookWriter {
public:
    WorkbookWriter();

    int sheetCount() const { return static_cast<int>(m_sheets.size()); }
    // Adds a blank sheet and returns its number (from 1).
    int addSheet();
    // Hides sheet `index`; the first sheet holds the content and stays visible.
    void hideSheet(int index);
    // Later operations work on sheet `index` (from 1); an unknown index changes nothing.
    void selectSheet(int index);
    // Names the current sheet (made safe by SafeSheetName).
    void setSheetName(const std::string& name);

    void setSheetFont(const std::string& fontName);
    void setFontSize(const CellRange& range, double size);
    void merge(const CellRange& range);
    void setHorizontalAlignment(const CellRange& range, HorizontalAlignment alignment);
    void setVerticalAlignment(const CellRange& range, VerticalAlignment alignment);
    // Thin continuous border on the left, right, top and bottom of every cell of the range.
    void setThinBorders(const CellRange& range);
    void setColumnWidth(int column, double width);
    void setRowHeight(int row, double height);
    // Prints the current sheet on A4 landscape, scaled to the page width; with a
    // `captionRow` (from 1) that row is repeated at the top of every page.
    void setPageSetup(int captionRow = 0);

    // Enters a text as a spreadsheet does: a text starting with "'" is stored as the
    // text after it; a plain decimal number ("12", "-3.5") is stored as a number;
    // anything else is stored as text.
    void setCell(int row, int column, const std::string& text);

    // Writes the workbook to `path` (any existing file there is overwritten); false with
    // `error` set when the file cannot be written.
    bool write(const QString& path, QString& error) const;

private:
    // write() with a name libxlsxwriter's fopen() can open.
    bool writeNarrow(const std::string& narrowName, const QString& path, QString& error) const;
    struct Style {
        double fontSize = 0; // 0: the sheet's default size
        HorizontalAlignment horizontal = HorizontalAlignment::General;
        VerticalAlignment vertical = VerticalAlignment::Bottom;
        bool borders = false;
        auto operator<=>(const Style&) const = default;
    };
    struct Cell {
        Style style;
        std::optional<std::string> text;
        std::optional<double> number;
    };
    struct Sheet {
        std::string name;
        bool hidden = false;
        std::map<std::pair<int, int>, Cell> cells;
        std::vector<CellRange> merges;
        std::map<int, double> columnWidths;
        std::map<int, double> rowHeights;
        bool pageSetup = false;
        int printTitleRow = 0; // 0: no repeated row
    };
    template <typename Change> void forRange(const CellRange& range, Change change);
    Sheet& current() { return m_sheets[m_current]; }

    std::vector<Sheet> m_sheets;
    size_t m_current = 0;
    std::string m_fontName; // of the whole workbook
};
