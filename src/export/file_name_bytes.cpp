#include "export/file_name_bytes.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#ifdef _WIN32
#include <windows.h>

#include <vector>
#endif

#ifndef _WIN32
std::string fileNameBytes(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

std::string fileNameBytes(const std::filesystem::path& path)
{
    return path.string();
}

std::filesystem::path fileSystemPath(const std::string& bytes)
{
    return std::filesystem::path(bytes);
}

std::string narrowFileName(const std::string& bytes)
{
    return bytes;
}

QString narrowTemporaryFolder()
{
    return QDir::tempPath();
}
#else
namespace {

// The ANSI form of `wide`, or empty when a character has no code there.
std::string ansiName(const std::wstring& wide)
{
    if (wide.empty())
        return {};
    BOOL usedDefault = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), nullptr,
                                         0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault)
        return {};
    std::string out(size_t(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), out.data(), size,
                        nullptr, &usedDefault);
    return usedDefault ? std::string() : out;
}

std::wstring shortName(const std::wstring& wide)
{
    const DWORD size = GetShortPathNameW(wide.c_str(), nullptr, 0);
    if (size == 0)
        return {};
    std::vector<wchar_t> buffer(size);
    const DWORD written = GetShortPathNameW(wide.c_str(), buffer.data(), size);
    return written == 0 || written >= size ? std::wstring() : std::wstring(buffer.data(), written);
}

} // namespace

std::string fileNameBytes(const QString& path)
{
    return path.toStdString();
}

std::string fileNameBytes(const std::filesystem::path& path)
{
    return QString::fromStdWString(path.wstring()).toStdString();
}

std::filesystem::path fileSystemPath(const std::string& bytes)
{
    return std::filesystem::path(QString::fromStdString(bytes).toStdWString());
}

std::string narrowFileName(const std::string& bytes)
{
    const QString path = QDir::toNativeSeparators(QString::fromStdString(bytes));
    const std::wstring wide = path.toStdWString();
    if (std::string ansi = ansiName(wide); !ansi.empty())
        return ansi;
    if (std::string ansi = ansiName(shortName(wide)); !ansi.empty())
        return ansi;
    const qsizetype slash = path.lastIndexOf(u'\\');
    if (slash <= 0)
        return {};
    const std::string name = ansiName(path.mid(slash).toStdWString());
    const std::string folder = ansiName(shortName(path.left(slash).toStdWString()));
    return name.empty() || folder.empty() ? std::string() : folder + name;
}

QString narrowTemporaryFolder()
{
    const QString temporary = QDir::tempPath();
    return narrowFileName(fileNameBytes(temporary)).empty() ? QString() : temporary;
}
#endif
