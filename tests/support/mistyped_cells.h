// Decoded rows against their columns' types: a column typed wrongly in the
// registry or by a workbook field type shows up as cells that contradict it.
#pragma once

#include "decoding/record_series.h"
#include "decoding/record_table.h"

#include <string>

// "caption: text" per Number cell that is no chart number and per Time cell that
// is no record time, one a line; empty when every cell fits.
inline std::string mistypedCells(const RecordTable& table)
{
    std::string found;
    for (const std::vector<std::string>& row : table.rows()) {
        for (size_t c = 0; c < row.size() && c < table.columns().size(); ++c) {
            const TableColumn& column = table.columns()[c];
            const bool fits = column.type == ColumnType::Number ? parseChartNumber(row[c]).has_value()
                              : column.type == ColumnType::Time ? parseRecordTime(row[c]).has_value()
                                                                : true;
            if (!fits)
                found += column.caption + ": " + row[c] + "\n";
        }
    }
    return found;
}
