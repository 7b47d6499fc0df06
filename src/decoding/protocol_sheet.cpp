#include "decoding/protocol_sheet.h"

#include "codec/codec.h"
#include "decoding/workbook_fields.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

namespace {

constexpr int kNameColumn = 1;
constexpr int kCaptionColumn = 4;
constexpr int kDigitsColumn = 8;
constexpr int kTypeColumn = 9;
constexpr int kLengthColumn = 10;
constexpr int kStartColumn = 11;

constexpr int kIndexColumnWidth = 45;
constexpr int kFieldColumnWidth = 100;
constexpr int kFirstFieldColumnWidth = 135;
constexpr int kLastAlarmColumnWidth = 120;

std::string digitsError(int row, const std::string& text)
{
    return formatText("协议表第%d行第8列的小数位数\"%s\"不是整数！", row, text.c_str());
}

} // namespace

bool parseCellInteger(const std::string& text, int& value)
{
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return false;
    const size_t end = text.find_last_not_of(" \t") + 1;
    const std::string core = text.substr(begin, end - begin);
    size_t digitsAt = (core[0] == '-' || core[0] == '+') ? 1 : 0;
    if (digitsAt == core.size())
        return false;
    for (size_t i = digitsAt; i < core.size(); ++i)
        if (core[i] < '0' || core[i] > '9')
            return false;
    errno = 0;
    const long long parsed = std::strtoll(core.c_str(), nullptr, 10);
    if (errno == ERANGE || parsed < std::numeric_limits<int>::min() ||
        parsed > std::numeric_limits<int>::max())
        return false;
    value = static_cast<int>(parsed);
    return true;
}

int cellIntegerOrZero(const std::string& text)
{
    int value = 0;
    return parseCellInteger(text, value) ? value : 0;
}

ProtocolLoadResult loadProtocolSection(int section, const CellReader& cell)
{
    ProtocolLoadResult result;
    ProtocolSheet& sheet = result.sheet;
    sheet.columns.push_back({"序号", kIndexColumnWidth, ColumnType::Number});

    // Start register (1-based in the sheet) minus one; subtracting in 64 bits keeps a
    // cell holding INT_MIN defined.
    auto zeroBased = [](const std::string& text) {
        const long long value = static_cast<long long>(cellIntegerOrZero(text)) - 1;
        return static_cast<int>(value < std::numeric_limits<int>::min() ? 0 : value);
    };

    sheet.paramLayout[1] = zeroBased(cell(2, kStartColumn));
    long long paramLength = 0;
    int row = 1;
    std::string name = cell(row, kNameColumn);
    while (name != kProtocolMarker) {
        ++row;
        if (row > kLastMarkerRow) {
            result.error = formatText("协议表第1至%d行中没有标记行\"%s\"！", kLastMarkerRow, kProtocolMarker);
            return result;
        }
        name = cell(row, kNameColumn);
        const std::string caption = cell(row, kCaptionColumn);
        const std::string typeName = cell(row, kTypeColumn);
        if (!caption.empty() && !typeName.empty()) {
            const std::string digitsText = cell(row, kDigitsColumn);
            int digits = 0;
            if (!parseCellInteger(digitsText, digits)) {
                result.error = digitsError(row, digitsText);
                return result;
            }
            sheet.paramFields.push_back(caption);
            sheet.paramFields.push_back(typeName);
            sheet.paramLayout[row] = digits;
        }
        paramLength += cellIntegerOrZero(cell(row, kLengthColumn));
        sheet.paramLayout[0] = static_cast<int>(paramLength);
    }
    const int markerRow = row;

    int first = markerRow + 1;
    for (int s = 0; s < kTypedKindCount; ++s) {
        const bool loaded = s == section;
        sheet.recordStart[s] = zeroBased(cell(first, kStartColumn));
        sheet.recordLength[s] = 0;
        long long length = 0;
        int i = 0;
        int r = first;
        for (; !cell(r, kNameColumn).empty(); ++r, ++i) {
            if (i == kMaxSectionRows) {
                result.error = formatText("协议表第%d行起的第%d个记录段超过%d个字段，第%d行无法读取！", first,
                                          s + 1, kMaxSectionRows, r);
                return result;
            }
            if (!loaded)
                continue;
            const std::string digitsText = cell(r, kDigitsColumn);
            int digits = 0;
            if (!parseCellInteger(digitsText, digits)) {
                result.error = digitsError(r, digitsText);
                return result;
            }
            const std::string typeName = cell(r, kTypeColumn);
            sheet.fieldTypes.push_back(typeName);
            length += cellIntegerOrZero(cell(r, kLengthColumn));
            sheet.recordLength[s] = static_cast<int>(length);
            sheet.fieldDigits[i] = digits;
            sheet.columns.push_back(
                {cell(r, kCaptionColumn), kFieldColumnWidth, fieldColumnType(typeName, digits)});
        }
        // r is the empty row that ends the section; one further row separates sections.
        first = r + 2;
    }

    if (sheet.columns.size() > 1) {
        if (section == kTypedKindCount - 1)
            sheet.columns.back().width = kLastAlarmColumnWidth;
        sheet.columns[1].width = kFirstFieldColumnWidth;
    }
    return result;
}
