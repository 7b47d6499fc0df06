#include "app/help_files.h"

#include "app/prompter.h"
#include "settings/install_layout.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

void openHelpFile(QWidget* parent, Prompter& prompter, const QString& programDir, const QString& fileName)
{
    const QString path = programDataFile(programDir, fileName);
    if (!QFileInfo::exists(path)) {
        prompter.warn(parent, QStringLiteral("找不到帮助文件：%1").arg(QDir::toNativeSeparators(path)),
                      QStringLiteral("警告信息"));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        prompter.warn(parent, QStringLiteral("无法打开帮助文件：%1").arg(QDir::toNativeSeparators(path)),
                      QStringLiteral("警告信息"));
}
