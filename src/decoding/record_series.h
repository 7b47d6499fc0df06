// The record table as lines for a chart: the record-time column, and the
// (x, y) points of every quantity column.
// Plain data and no Qt, like the table itself; numbers and times are parsed
// the same way whatever the operator's locale is.
#pragma once

#include "decoding/record_table.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct SeriesPoint {
    double x = 0;
    double y = 0;
};

// One quantity column: its points in ascending x, one per row whose x and
// value both parse; other rows are left out.
struct RecordSeries {
    int column = 0;
    std::string caption;
    std::vector<SeriesPoint> points;
};

struct RecordChartData {
    // The record-time column, or -1: x is then the record number ("序号").
    int timeColumn = -1;
    std::string xCaption;
    // One per quantity column, in column order.
    std::vector<RecordSeries> series;
};

// A decimal number as the decoders write it ("101.25", "-3", "1e3"). Codes
// with a redundant leading zero ("0012", status and alarm words) and anything
// with extra characters are not numbers.
std::optional<double> parseChartNumber(std::string_view text);

// A record time "YYYY-MM-DD hh:mm:ss" (also without seconds, without minutes,
// a bare date, or a bare month "YYYY-MM", taken as its first day) as seconds since 1970-01-01 00:00:00 of the
// meter's own clock; meters carry no time zone. nullopt for anything else or an impossible date.
std::optional<int64_t> parseRecordTime(std::string_view text);

// The columns' types decide: the first Time column after "序号" becomes x, and
// every Number column after "序号" gives a series. Cells that do not parse give
// no point; the texts are never looked at to find a column's meaning.
RecordChartData extractRecordSeries(const RecordTable& table);
