#include "export/workbook_writer.h"

#include "export/file_name_bytes.h"

#include <QFile>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <system_error>

namespace {

constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;
// Formatting a larger range cell by cell would only exhaust memory; no export needs it.
constexpr long long kMaxRangeCells = 1000000;
constexpr size_t kMaxSheetNameLength = 31;
constexpr double kDefaultColumnWidth = 8.43;

bool parseCorner(std::string_view text, int& row, int& column)
{
    size_t i = 0;
    long long c = 0;
    long long r = 0;
    for (; i < text.size() && std::isalpha(static_cast<unsigned char>(text[i])); ++i) {
        c = c * 26 + (std::toupper(static_cast<unsigned char>(text[i])) - 'A' + 1);
        if (c > kMaxColumns)
            return false;
    }
    const size_t digitsAt = i;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        r = r * 10 + (text[i] - '0');
        if (r > kMaxRows)
            return false;
    }
    if (i != text.size() || digitsAt == 0 || digitsAt == text.size() || r == 0)
        return false;
    row = static_cast<int>(r);
    column = static_cast<int>(c);
    return true;
}

// A plain decimal number as a spreadsheet takes it from typed text.
std::optional<double> plainNumber(const std::string& text)
{
    size_t i = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    size_t digits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(text[i])))
            ++digits;
        else if (text[i] == '.' && !point)
            point = true;
        else
            return std::nullopt;
    }
    // Longer digit strings would lose digits as a double; keep them as text.
    if (digits == 0 || digits > 15)
        return std::nullopt;
    // from_chars reads the point whatever the locale; it takes no leading '+'.
    const size_t from = text[0] == '+' ? 1 : 0;
    double value = 0.0;
    const auto parsed = std::from_chars(text.data() + from, text.data() + text.size(), value);
    if (parsed.ec != std::errc() || parsed.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

std::optional<CellRange> parseRange(std::string_view text)
{
    const size_t colon = text.find(':');
    CellRange range;
    if (!parseCorner(text.substr(0, colon), range.firstRow, range.firstColumn))
        return std::nullopt;
    if (colon == std::string_view::npos) {
        range.lastRow = range.firstRow;
        range.lastColumn = range.firstColumn;
    } else if (!parseCorner(text.substr(colon + 1), range.lastRow, range.lastColumn)) {
        return std::nullopt;
    }
    if (range.lastRow < range.firstRow)
        std::swap(range.lastRow, range.firstRow);
    if (range.lastColumn < range.firstColumn)
        std::swap(range.lastColumn, range.firstColumn);
    return range;
}

std::string columnLetters(int column)
{
    std::string letters;
    while (column > 0) {
        const int rest = (column - 1) % 26;
        letters.insert(letters.begin(), static_cast<char>('A' + rest));
        column = (column - 1) / 26;
    }
    return letters;
}

std::string safeSheetName(const std::string& name)
{
    std::string safe;
    for (char c : name)
        safe += std::string_view(":\\/?*[]").find(c) == std::string_view::npos ? c : '_';
    while (!safe.empty() && safe.front() == '\'')
        safe.erase(safe.begin());
    // Cut at a character boundary after 31 characters.
    size_t count = 0;
    for (size_t i = 0; i < safe.size(); ++i) {
        if ((static_cast<unsigned char>(safe[i]) & 0xC0) == 0x80)
            continue;
        if (count == kMaxSheetNameLength) {
            safe.resize(i);
            break;
        }
        ++count;
    }
    while (!safe.empty() && safe.back() == '\'')
        safe.pop_back();
    return safe.empty() ? std::string("Sheet1") : safe;
}

WorkbookWriter::WorkbookWriter()
{
    m_sheets.push_back({});
    m_sheets.back().name = "Sheet1";
}

int WorkbookWriter::addSheet()
{
    m_sheets.push_back({});
    m_sheets.back().name = "Sheet" + std::to_string(m_sheets.size());
    return sheetCount();
}

void WorkbookWriter::selectSheet(int index)
{
    if (index >= 1 && index <= sheetCount())
        m_current = static_cast<size_t>(index - 1);
}

void WorkbookWriter::hideSheet(int index)
{
    if (index >= 2 && index <= sheetCount())
        m_sheets[static_cast<size_t>(index - 1)].hidden = true;
}

void WorkbookWriter::setSheetName(const std::string& name)
{
    current().name = safeSheetName(name);
}

void WorkbookWriter::setSheetFont(const std::string& fontName)
{
    m_fontName = fontName;
}

template <typename Change> void WorkbookWriter::forRange(const CellRange& range, Change change)
{
    if (range.firstRow < 1 || range.firstColumn < 1 || range.lastRow > kMaxRows ||
        range.lastColumn > kMaxColumns || range.lastRow < range.firstRow ||
        range.lastColumn < range.firstColumn)
        return;
    const long long cells = static_cast<long long>(range.lastRow - range.firstRow + 1) *
                            (range.lastColumn - range.firstColumn + 1);
    if (cells > kMaxRangeCells)
        return;
    for (int r = range.firstRow; r <= range.lastRow; ++r)
        for (int c = range.firstColumn; c <= range.lastColumn; ++c)
            change(current().cells[{r, c}]);
}

void WorkbookWriter::setFontSize(const CellRange& range, double size)
{
    forRange(range, [size](Cell& cell) { cell.style.fontSize = size; });
}

void WorkbookWriter::merge(const CellRange& range)
{
    if (range.firstRow < 1 || range.firstColumn < 1 || range.lastRow > kMaxRows ||
        range.lastColumn > kMaxColumns)
        return;
    // A single cell needs no merge; overlapping merges are not allowed in a sheet.
    if (range.firstRow == range.lastRow && range.firstColumn == range.lastColumn)
        return;
    for (const CellRange& merged : current().merges)
        if (!(range.lastRow < merged.firstRow || merged.lastRow < range.firstRow ||
              range.lastColumn < merged.firstColumn || merged.lastColumn < range.firstColumn))
            return;
    current().merges.push_back(range);
}

void WorkbookWriter::setHorizontalAlignment(const CellRange& range, HorizontalAlignment alignment)
{
    forRange(range, [alignment](Cell& cell) { cell.style.horizontal = alignment; });
}

void WorkbookWriter::setVerticalAlignment(const CellRange& range, VerticalAlignment alignment)
{
    forRange(range, [alignment](Cell& cell) { cell.style.vertical = alignment; });
}

void WorkbookWriter::setThinBorders(const CellRange& range)
{
    forRange(range, [](Cell& cell) { cell.style.borders = true; });
}

void WorkbookWriter::setColumnWidth(int column, double width)
{
    if (column >= 1 && column <= kMaxColumns)
        current().columnWidths[column] = width;
}

void WorkbookWriter::setRowHeight(int row, double height)
{
    if (row >= 1 && row <= kMaxRows)
        current().rowHeights[row] = height;
}

void WorkbookWriter::setCell(int row, int column, const std::string& text)
{
    if (row < 1 || column < 1 || row > kMaxRows || column > kMaxColumns)
        return;
    Cell& cell = current().cells[{row, column}];
    cell.text.reset();
    cell.number.reset();
    if (!text.empty() && text.front() == '\'')
        cell.text = text.substr(1);
    else if (const auto number = plainNumber(text))
        cell.number = *number;
    else
        cell.text = text;
}

void WorkbookWriter::setPageSetup(int captionRow)
{
    current().pageSetup = true;
    current().printTitleRow = captionRow >= 1 && captionRow <= kMaxRows ? captionRow : 0;
}

bool WorkbookWriter::write(const QString& path, QString& error) const
{
    const std::string narrow = narrowFileName(fileNameBytes(path));
    if (!narrow.empty())
        return writeNarrow(narrow, path, error);
    // No narrow name reaches that folder: write in one that has one and move it over.
    QTemporaryDir detour(narrowTemporaryFolder() + QStringLiteral("/ql-rs485-XXXXXX"));
    const QString copy = detour.filePath(QStringLiteral("workbook.xlsx"));
    const std::string copyName = detour.isValid() ? narrowFileName(fileNameBytes(copy)) : std::string();
    if (copyName.empty()) {
        error = QStringLiteral("无法创建工作簿");
        return false;
    }
    if (!writeNarrow(copyName, copy, error))
        return false;
    QFile::remove(path);
    if (!QFile::rename(copy, path)) {
        error = QStringLiteral("无法创建工作簿");
        return false;
    }
    return true;
}

bool WorkbookWriter::writeNarrow(const std::string& narrowName, const QString& path, QString& error) const
{
    lxw_workbook* workbook = workbook_new(narrowName.c_str());
    if (!workbook) {
        error = QStringLiteral("无法创建工作簿");
        return false;
    }
    std::vector<lxw_worksheet*> sheets;
    for (const Sheet& sheet : m_sheets) {
        lxw_worksheet* added = workbook_add_worksheet(workbook, sheet.name.c_str());
        if (!added) {
            workbook_close(workbook);
            QFile::remove(path);
            error = QStringLiteral("工作表名称无效：%1").arg(QString::fromStdString(sheet.name));
            return false;
        }
        if (sheet.hidden)
            worksheet_hide(added);
        sheets.push_back(added);
    }

    std::map<Style, lxw_format*> formats;
    auto formatOf = [&](const Style& style) {
        auto found = formats.find(style);
        if (found != formats.end())
            return found->second;
        lxw_format* format = workbook_add_format(workbook);
        if (!m_fontName.empty())
            format_set_font_name(format, m_fontName.c_str());
        if (style.fontSize > 0)
            format_set_font_size(format, style.fontSize);
        if (style.horizontal == HorizontalAlignment::Left)
            format_set_align(format, LXW_ALIGN_LEFT);
        else if (style.horizontal == HorizontalAlignment::Centre)
            format_set_align(format, LXW_ALIGN_CENTER);
        if (style.vertical == VerticalAlignment::Centre)
            format_set_align(format, LXW_ALIGN_VERTICAL_CENTER);
        if (style.borders)
            format_set_border(format, LXW_BORDER_THIN);
        formats.emplace(style, format);
        return format;
    };

    // The sheet font reaches empty cells through the column formats.
    lxw_format* columnFormat = m_fontName.empty() ? nullptr : formatOf(Style{});
    for (size_t index = 0; index < m_sheets.size(); ++index) {
        const Sheet& content = m_sheets[index];
        lxw_worksheet* sheet = sheets[index];
        int nextColumn = 1;
        for (const auto& [column, width] : content.columnWidths) {
            if (column > nextColumn && columnFormat)
                worksheet_set_column(sheet, static_cast<lxw_col_t>(nextColumn - 1),
                                     static_cast<lxw_col_t>(column - 2), kDefaultColumnWidth, columnFormat);
            worksheet_set_column(sheet, static_cast<lxw_col_t>(column - 1),
                                 static_cast<lxw_col_t>(column - 1), width, columnFormat);
            nextColumn = column + 1;
        }
        if (columnFormat && nextColumn <= kMaxColumns)
            worksheet_set_column(sheet, static_cast<lxw_col_t>(nextColumn - 1), kMaxColumns - 1,
                                 kDefaultColumnWidth, columnFormat);
        for (const auto& [row, height] : content.rowHeights)
            worksheet_set_row(sheet, static_cast<lxw_row_t>(row - 1), height, nullptr);
        if (content.pageSetup) {
            constexpr uint8_t kPaperA4 = 9;
            worksheet_set_landscape(sheet);
            worksheet_set_paper(sheet, kPaperA4);
            worksheet_fit_to_pages(sheet, 1, 0); // one page wide, as many pages tall as the rows need
            if (content.printTitleRow > 0) {
                const auto titleRow = static_cast<lxw_row_t>(content.printTitleRow - 1);
                worksheet_repeat_rows(sheet, titleRow, titleRow);
            }
        }

        for (const CellRange& range : content.merges) {
            const auto found = content.cells.find({range.firstRow, range.firstColumn});
            const Style style = found == content.cells.end() ? Style{} : found->second.style;
            worksheet_merge_range(sheet, static_cast<lxw_row_t>(range.firstRow - 1),
                                  static_cast<lxw_col_t>(range.firstColumn - 1),
                                  static_cast<lxw_row_t>(range.lastRow - 1),
                                  static_cast<lxw_col_t>(range.lastColumn - 1), "", formatOf(style));
        }
        for (const auto& [place, cell] : content.cells) {
            const auto row = static_cast<lxw_row_t>(place.first - 1);
            const auto column = static_cast<lxw_col_t>(place.second - 1);
            lxw_format* format = formatOf(cell.style);
            if (cell.number)
                worksheet_write_number(sheet, row, column, *cell.number, format);
            else if (cell.text && !cell.text->empty())
                worksheet_write_string(sheet, row, column, cell.text->c_str(), format);
            else
                worksheet_write_blank(sheet, row, column, format);
        }
    }
    const lxw_error status = workbook_close(workbook);
    if (status != LXW_NO_ERROR) {
        error = QString::fromUtf8(lxw_strerror(status));
        return false;
    }
    return true;
}
