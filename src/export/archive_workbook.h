// The workbook of an archive download: a summary sheet first (meter address,
// device type, time of reading, rows and outcome per kind), then one sheet per
// record kind laid out as the single-kind export.
#pragma once

#include "decoding/record_table.h"
#include "export/record_export.h"

#include <QDateTime>

#include <string>
#include <vector>

inline constexpr const char* kArchiveSummarySheetName = "汇总";

struct ArchiveSheet {
    int kindCode = 0;
    std::string caption;                // the kind's caption
    const RecordTable* table = nullptr; // must outlive the call
    std::string outcome;                // "完成", or why the kind is incomplete
};

struct ArchiveSummary {
    int address = 0;
    int deviceType = 0;
    std::string deviceTypeCaption;
    QDateTime readAt;
};

// Sheet names: the kind's caption, made unique within the workbook.
void writeArchiveWorkbook(WorkbookWriter& writer, const ArchiveSummary& summary,
                          const std::vector<ArchiveSheet>& sheets);

// Builds and saves it; an existing file is replaced only by a complete new one.
ExportOutcome exportArchiveWorkbook(const ArchiveSummary& summary, const std::vector<ArchiveSheet>& sheets,
                                    const QString& typedName, const OverwriteQuestion& askOverwrite);
