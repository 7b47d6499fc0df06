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
std::optional<CellRange> ParseRange(std::string_view text);
// 1 → "A", 26 → "Z", 27 → "AA"; empty text for a column below 1.
std::string ColumnLetters(int column);
// A sheet name the workbook accepts: characters : \ / ? * [ ] become "_", leading and
// trailing apostrophes are dropped, at most 31 characters, "Sheet1" when nothing is left.
std::string SafeSheetName(const std::string& name);

enum class HorizontalAlignment { General, Left, Centre };
enum class VerticalAlignment { Bottom, Centre };

class WorkbookWriter {
public:
    WorkbookWriter();

    int SheetCount() const { return static_cast<int>(m_sheets.size()); }
    // Adds a blank sheet and returns its number (from 1).
    int AddSheet();
    // Hides sheet `index`; the first sheet holds the content and stays visible.
    void HideSheet(int index);
    // Later operations work on sheet `index` (from 1); an unknown index changes nothing.
    void SelectSheet(int index);
    // Names the current sheet (made safe by SafeSheetName).
    void SetSheetName(const std::string& name);

    void SetSheetFont(const std::string& fontName);
    void SetFontSize(const CellRange& range, double size);
    void Merge(const CellRange& range);
    void SetHorizontalAlignment(const CellRange& range, HorizontalAlignment alignment);
    void SetVerticalAlignment(const CellRange& range, VerticalAlignment alignment);
    // Thin continuous border on the left, right, top and bottom of every cell of the range.
    void SetThinBorders(const CellRange& range);
    void SetColumnWidth(int column, double width);
    void SetRowHeight(int row, double height);
    // Prints the current sheet on A4 landscape, scaled to the page width; with a
    // `captionRow` (from 1) that row is repeated at the top of every page.
    void SetPageSetup(int captionRow = 0);

    // Enters a text as a spreadsheet does: a text starting with "'" is stored as the
    // text after it; a plain decimal number ("12", "-3.5") is stored as a number;
    // anything else is stored as text.
    void SetCell(int row, int column, const std::string& text);

    // Writes the workbook to `path` (any existing file there is overwritten); false with
    // `error` set when the file cannot be written.
    bool Write(const QString& path, QString& error) const;

private:
    // Write() with a name libxlsxwriter's fopen() can open.
    bool WriteNarrow(const std::string& narrowName, const QString& path, QString& error) const;
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
    template <typename Change> void ForRange(const CellRange& range, Change change);
    Sheet& Current() { return m_sheets[m_current]; }

    std::vector<Sheet> m_sheets;
    size_t m_current = 0;
    std::string m_fontName; // of the whole workbook
};
