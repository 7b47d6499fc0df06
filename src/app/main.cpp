// ql-rs485: the RS485 test and read-out program.
//
// Usage: ql-rs485 [--settings-dir DIR] [--version] [--help]
// The settings file and the Excel/ folder lie beside the program; --settings-dir
// points the program at another folder (a demo or a second installation).
#include "app/app_font.h"
#include "app/com_port_control.h"
#include "app/dialog_prompter.h"
#include "app/main_window.h"
#include "app/qt_translation.h"
#include "catalogue/device_registry.h"
#include "protocol/event_loop_waiter.h"
#include "ql_version.h"
#include "serial/port_list.h"
#include "settings/install_layout.h"
#include "settings/settings_file.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QLocale>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace {

const QString kSettingsDirName = QStringLiteral("settings-dir");

void addOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(QStringLiteral("QL_RS485通信测试软件"));
    parser.addHelpOption();
    parser.addOption(QCommandLineOption(
        kSettingsDirName, QStringLiteral("Folder of QL_EVC.ini and Excel/ (default: the program folder)."),
        QStringLiteral("DIR")));
    parser.addOption(
        QCommandLineOption(QStringLiteral("version"), QStringLiteral("Print name and version.")));
}

// An installed program (in /usr/bin) keeps its settings in the per-user folder.
QString settingsFolder(const QCommandLineParser& parser, const QString& programDir)
{
    if (parser.isSet(kSettingsDirName))
        return QDir(parser.value(kSettingsDirName)).absolutePath();
    return isInstalledProgram(programDir) ? SettingsFile::defaultUserFolder() : programDir;
}

bool hasArgument(int argc, char* argv[], std::initializer_list<const char*> names)
{
    for (int i = 1; i < argc; ++i)
        for (const char* name : names)
            if (std::strcmp(argv[i], name) == 0)
                return true;
    return false;
}

// Help on a machine without a display (a terminal, a package check): no GUI
// application object, which would abort without one.
int printHelp(int argc, char* argv[])
{
    QCoreApplication core(argc, argv);
    QCommandLineParser parser;
    addOptions(parser);
    parser.parse(QCoreApplication::arguments());
    const QString programDir = QCoreApplication::applicationDirPath();
    SettingsFile settings(settingsFolder(parser, programDir));
    std::printf("%s\nSettings file: %s\n", qUtf8Printable(parser.helpText()),
                qUtf8Printable(QDir::toNativeSeparators(settings.effectiveFilePath())));
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    // Answered before the application object exists, so they work without a display.
    if (hasArgument(argc, argv, {"--version"})) {
        std::printf("ql-rs485 %s\n", kQlVersion);
        return 0;
    }
    if (hasArgument(argc, argv, {"--help", "-h", "-?", "--help-all"}))
        return printHelp(argc, argv);
    QApplication application(argc, argv);
    // The application object has just adopted the environment's locale for the C
    // library; numbers are read and written with a point in every locale.
    std::setlocale(LC_NUMERIC, "C");
    // The window's class (WM_CLASS) and the desktop entry's StartupWMClass, so
    // taskbars put the window under its launcher.
    QApplication::setApplicationName(QStringLiteral("ql-rs485"));
    QApplication::setDesktopFileName(QStringLiteral("com.quellon.QlRs485"));
    QApplication::setFont(chineseInterfaceFont());
    const QString programDir = QCoreApplication::applicationDirPath();
    // Qt's own widgets (the file dialog's dates) speak Chinese; the program's
    // numbers never pass through a locale, so they keep their one format.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QtBaseTranslator qtTranslator;
    installQtTranslation(qtTranslator, programDir);

    QCommandLineParser parser;
    addOptions(parser);
    parser.process(application);
    const QString settingsDir = settingsFolder(parser, programDir);
    SettingsFile(settingsDir).takeOverUserFile(SettingsFile::legacyUserFolder());

    ComPortControl port;
    EventLoopWaiter waiter;
    DialogPrompter prompter;
#ifdef Q_OS_WIN
    const bool choosePortFirst = true;
#else
    const bool choosePortFirst = false;
#endif
    const DeviceRegistry registry = builtInRegistry();
    MainWindow mainWindow({registry, port, waiter, prompter, settingsDir, QString(), programDir,
                           &availablePorts, choosePortFirst});
    if (mainWindow.protocolWorkbookFailed())
        return 1;
    if (!mainWindow.showAtStoredPlace())
        mainWindow.showMaximized();
    // Without a window manager nothing activates the window by itself.
    mainWindow.activateWindow();
    return application.exec();
}
