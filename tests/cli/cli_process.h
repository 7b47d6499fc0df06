// Running the command-line reader and the simulated meter as real processes:
// the meter serves a pseudo-terminal (or a TCP port) named by its first output line, and
// is stopped when the test is done with it.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include "support/sim_process.h"

#include <gtest/gtest.h>

#include <string>

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline CliResult runCli(const QStringList& args, int timeoutMs = 120000,
                        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(QL_BIN_DIR "/ql-rs485-cli"), args);
    CliResult result;
    if (!process.waitForStarted(10000)) {
        result.err = "ql-rs485-cli did not start";
        return result;
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.err = "ql-rs485-cli did not finish";
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput().toStdString();
    result.err = process.readAllStandardError().toStdString();
    return result;
}

// Lines of `text` that start with `prefix`.
inline std::vector<std::string> linesStartingWith(const std::string& text, const std::string& prefix)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        if (line.rfind(prefix, 0) == 0)
            lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

inline std::vector<std::string> splitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}
