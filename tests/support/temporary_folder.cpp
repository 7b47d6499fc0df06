#include "support/temporary_folder.h"

#ifdef _WIN32
#include <QDir>
#include <QTemporaryDir>
#else
#include <cstdlib>
#endif

std::filesystem::path makeTemporaryFolder(const std::string& prefix)
{
#ifdef _WIN32
    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/") + QString::fromStdString(prefix) +
                         QStringLiteral("-XXXXXX"));
    if (!folder.isValid())
        return {};
    folder.setAutoRemove(false);
    return std::filesystem::path(folder.path().toStdWString());
#else
    std::string pattern = "/tmp/" + prefix + "-XXXXXX";
    return mkdtemp(pattern.data()) ? std::filesystem::path(pattern) : std::filesystem::path();
#endif
}
