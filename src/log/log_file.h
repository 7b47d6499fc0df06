// Saving the log pane as a text file: GBK, one log line per line, CR LF ends.
// The saving logic answers with the messages a window should show instead of
// showing them, so it runs the same in the program and in tests.
#pragma once

#include "log/log_model.h"

#include <functional>
#include <string>
#include <vector>

enum class LogMessageKind { Information, Warning, Question };

struct LogMessage {
    std::string text;    // UTF-8
    std::string caption; // UTF-8
    LogMessageKind kind;
    bool operator==(const LogMessage&) const = default;
};

// The save dialog's filter and proposed name: the program folder (with its
// trailing separator) followed by "*.txt".
inline constexpr const char* kSaveLogFilter = "*.txt";
std::string proposedLogFileName(const std::string& programFolder);

// Answers a Yes/No question; true for Yes.
using LogQuestion = std::function<bool(const LogMessage& question)>;

struct LogSaveResult {
    bool saved = false;
    // Messages to show in order, after any question was asked.
    std::vector<LogMessage> messages;
};

// `m_saveLogAction` after the save dialog: `fileName` is the chosen name (UTF-8 path;
// empty when the operator cancelled), ".txt" added when it has no extension.
// When a file of that name exists, `ask` gets "文件已经存在，是否覆盖原文件？";
// on No nothing happens. The log is written completely to a temporary file in
// the same folder first and only then replaces the chosen file, so a failed save
// leaves an existing file as it was. Characters GBK cannot hold are written as '?'.
LogSaveResult saveLogFile(const LogModel& log, const std::string& fileName, const LogQuestion& ask);

// The lines as the file holds them: GBK, each ended by CR LF.
std::string encodeLogText(const std::vector<std::string>& lines);
