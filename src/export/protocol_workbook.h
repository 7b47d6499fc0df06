// The protocol workbook of device type 5, opened once at start-up from the Excel/
// subfolder of the program folder; its first sheet is kept for the whole run.
#pragma once

#include "export/workbook_reader.h"

#include <QString>

#include <optional>
#include <string>

inline constexpr const char* kProtocolWorkbookFolder = "Excel";

struct ProtocolWorkbook {
    SheetCells cells;
    QString path;
    // Empty on success; otherwise the operator's message ("Excel打开失败！…", caption
    // "警告信息"), after which the program ends.
    QString message;
    QString detail; // what the reader found wrong, for the log or stderr
    bool ok() const { return message.isEmpty(); }
};

// Path of the workbook named `fileName` (the settings' template name) in the Excel/
// subfolder of `programFolder`, or of the installed data folder when only that has it;
// failing both, the one beside (or installed with) the running executable.
QString protocolWorkbookPath(const QString& programFolder, const QString& fileName);

ProtocolWorkbook openProtocolWorkbook(const QString& programFolder, const QString& fileName);

// The cells of the protocol workbook a tool was given, or without one of the shipped
// workbook in the Excel/ subfolder of `programFolder`.
struct ProtocolCells {
    SheetCells cells;
    // Empty on success, else "cannot read the protocol workbook PATH: WHY".
    std::string error;
    bool ok() const { return error.empty(); }
};
ProtocolCells readProtocolCells(const std::optional<std::string>& path, const QString& programFolder);
