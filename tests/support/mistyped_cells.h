// Decoded rows against their columns' types: a column typed wrongly in the
// registry or by a workbook field type shows up as cells that contradict it.
#pragma once

#include "decoding/record_series.h"
#include "decoding/record_table.h"

#include <string>

// "caption: text" per Number cell that is no chart number and per Time cell that
// is no record time, one a line; empty when every cell fits.
inline std::string MistypedCells(const RecordTable& table)
{
    std::string found;
    for (const std::vector<std::string>& row : table.Rows()) {
        for (size_t c = 0; c < row.size() && c < table.Columns().size(); ++c) {
            const TableColumn& column = table.Columns()[c];
            const bool fits = column.type == ColumnType::Number ? ParseChartNumber(row[c]).has_value()
                              : column.type == ColumnType::Time ? ParseRecordTime(row[c]).has_value()
                                                                : true;
            if (!fits)
                found += column.caption + ": " + row[c] + "\n";
        }
    }
    return found;
}
