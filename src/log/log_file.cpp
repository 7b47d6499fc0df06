#include "log/log_file.h"

#include "codec/gbk_text.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QString>

namespace {

const LogMessage kOverwriteQuestion{"文件已经存在，是否覆盖原文件？", "信息提示", LogMessageKind::Question};
const LogMessage kCannotOverwrite{"该文件不能被覆盖，请重新在试一次。", "提示信息",
                                  LogMessageKind::Information};
const LogMessage kSaveFailed{"保存有误，请重新试一次。", "警告信息", LogMessageKind::Warning};
const LogMessage kSaved{"日志文件保存成功！", "信息提示", LogMessageKind::Information};

// What deleting the old file would have needed: a plain file that may be
// written, in a folder where it may be replaced.
bool canReplace(const QFileInfo& existing)
{
    if (!existing.isFile() || !existing.isWritable())
        return false;
    return QFileInfo(existing.absolutePath()).isWritable();
}

} // namespace

std::string proposedLogFileName(const std::string& programFolder)
{
    std::string name = programFolder;
    if (!name.empty() && name.back() != '/' && name.back() != '\\')
        name += '/';
    return name + kSaveLogFilter;
}

std::string encodeLogText(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += utf8ToGbk(line);
        text += "\r\n";
    }
    return text;
}

LogSaveResult saveLogFile(const LogModel& log, const std::string& fileName, const LogQuestion& ask)
{
    LogSaveResult result;
    if (fileName.empty())
        return result;

    // The name chosen is the one tested and replaced, whatever its extension; a
    // name typed without one gets the dialog's ".txt".
    QString path = QString::fromUtf8(fileName.data(), qsizetype(fileName.size()));
    if (QFileInfo(path).suffix().isEmpty())
        path += path.endsWith(QLatin1Char('.')) ? QStringLiteral("txt") : QStringLiteral(".txt");
    const QFileInfo existing(path);
    if (existing.exists() || existing.isSymLink()) {
        if (!ask || !ask(kOverwriteQuestion))
            return result;
        if (!canReplace(existing)) {
            result.messages.push_back(kCannotOverwrite);
            return result;
        }
    }

    const std::string text = encodeLogText(log.lines());
    // QSaveFile writes beside the target and renames only after a complete
    // write, so the old file survives any failure up to that point.
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly);
    if (written)
        written = file.write(text.data(), qint64(text.size())) == qint64(text.size());
    if (written)
        written = file.commit();
    else
        file.cancelWriting();
    if (!written) {
        result.messages.push_back(kSaveFailed);
        return result;
    }
    result.saved = true;
    result.messages.push_back(kSaved);
    return result;
}
