#include "decoding/record_series.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Exactly `count` digits at `at`, or -1.
int digits(std::string_view text, size_t at, size_t count)
{
    if (at + count > text.size())
        return -1;
    int value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (!isDigit(text[i]))
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t daysFromCivil(int year, int month, int day)
{
    const int y = month <= 2 ? year - 1 : year;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return static_cast<int64_t>(era) * 146097 + dayOfEra - 719468;
}

std::string_view cell(const std::vector<std::string>& row, int column)
{
    return column < static_cast<int>(row.size()) ? std::string_view(row[static_cast<size_t>(column)])
                                                 : std::string_view();
}

} // namespace

std::optional<double> parseChartNumber(std::string_view text)
{
    text = trimmed(text);
    const size_t digitsAt = !text.empty() && text.front() == '-' ? 1 : 0;
    if (digitsAt >= text.size() || !isDigit(text[digitsAt]))
        return std::nullopt;
    if (text[digitsAt] == '0' && digitsAt + 1 < text.size() && isDigit(text[digitsAt + 1]))
        return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int64_t> parseRecordTime(std::string_view text)
{
    text = trimmed(text);
    // "YYYY-MM", then optionally "-DD", " hh", ":mm", ":ss".
    if (text.size() != 7 && text.size() != 10 && text.size() != 13 && text.size() != 16 && text.size() != 19)
        return std::nullopt;
    if (text[4] != '-' || (text.size() > 7 && text[7] != '-'))
        return std::nullopt;
    const int year = digits(text, 0, 4);
    const int month = digits(text, 5, 2);
    // Month records carry no day: they stand at the first of their month.
    const int day = text.size() > 7 ? digits(text, 8, 2) : 1;
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
        return std::nullopt;
    int fields[3] = {0, 0, 0};
    static constexpr int kLimits[3] = {23, 59, 59};
    static constexpr char kSeparators[3] = {' ', ':', ':'};
    for (size_t i = 0, at = 10; at < text.size(); ++i, at += 3) {
        fields[i] = digits(text, at + 1, 2);
        if (text[at] != kSeparators[i] || fields[i] < 0 || fields[i] > kLimits[i])
            return std::nullopt;
    }
    return daysFromCivil(year, month, day) * 86400 + fields[0] * 3600 + fields[1] * 60 + fields[2];
}

RecordChartData extractRecordSeries(const RecordTable& table)
{
    RecordChartData data;
    const std::vector<TableColumn>& columns = table.columns();
    const int columnCount = table.columnCount();
    for (int c = 1; c < columnCount && data.timeColumn < 0; ++c) {
        if (columns[static_cast<size_t>(c)].type == ColumnType::Time)
            data.timeColumn = c;
    }
    if (data.timeColumn >= 0)
        data.xCaption = columns[static_cast<size_t>(data.timeColumn)].caption;
    else if (columnCount > 0)
        data.xCaption = columns[0].caption;

    // x of every row, once for all series; nullopt where the row has none.
    std::vector<std::optional<double>> xs;
    xs.reserve(table.rows().size());
    for (size_t r = 0; r < table.rows().size(); ++r) {
        const auto& row = table.rows()[r];
        if (data.timeColumn >= 0) {
            const std::optional<int64_t> seconds = parseRecordTime(cell(row, data.timeColumn));
            xs.push_back(seconds ? std::optional<double>(static_cast<double>(*seconds)) : std::nullopt);
        } else {
            // The record number the decoder wrote, else the row's place.
            const std::optional<double> number = parseChartNumber(cell(row, 0));
            xs.push_back(number ? number : std::optional<double>(static_cast<double>(r + 1)));
        }
    }

    for (int c = 1; c < columnCount; ++c) {
        if (columns[static_cast<size_t>(c)].type != ColumnType::Number)
            continue;
        RecordSeries series;
        series.column = c;
        series.caption = columns[static_cast<size_t>(c)].caption;
        for (size_t r = 0; r < table.rows().size(); ++r) {
            const std::optional<double> y = parseChartNumber(cell(table.rows()[r], c));
            if (xs[r] && y)
                series.points.push_back({*xs[r], *y});
        }
        // Alarm and event records need not come in time order; a line is drawn in x order.
        std::stable_sort(series.points.begin(), series.points.end(),
                         [](const SeriesPoint& a, const SeriesPoint& b) { return a.x < b.x; });
        data.series.push_back(std::move(series));
    }
    return data;
}
