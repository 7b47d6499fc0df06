// ql-rs485: the RS485 test and read-out program.
//
// Usage: ql-rs485 [--settings-dir DIR] [--version]
// The settings file and the Excel/ folder lie beside the program; --settings-dir
// points the program at another folder (a demo or a second installation).
#include "app/app_font.h"
#include "app/com_port_control.h"
#include "app/dialog_prompter.h"
#include "app/main_frm.h"
#include "protocol/event_loop_waiter.h"
#include "ql_version.h"
#include "serial/com_port.h"
#include "settings/install_layout.h"
#include "settings/settings_file.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

#include <clocale>
#include <cstdio>
#include <cstring>

int main(int argc, char* argv[])
{
    // Answered before the application object exists, so it works without a display.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("ql-rs485 %s\n", kQlVersion);
            return 0;
        }
    QApplication application(argc, argv);
    // The application object has just adopted the environment's locale for the C
    // library; numbers are read and written with a point in every locale.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("QL_RS485通信测试软件"));
    QApplication::setFont(ChineseInterfaceFont());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("QL_RS485通信测试软件"));
    parser.addHelpOption();
    const QCommandLineOption settingsDirOption(
        QStringLiteral("settings-dir"),
        QStringLiteral("Folder of QL_EVC.ini and Excel/ (default: the program folder)."),
        QStringLiteral("DIR"));
    parser.addOption(settingsDirOption);
    parser.addOption(
        QCommandLineOption(QStringLiteral("version"), QStringLiteral("Print name and version.")));
    parser.process(application);
    const QString programDir = QCoreApplication::applicationDirPath();
    // An installed program (in /usr/bin) keeps its settings in the per-user folder.
    const QString settingsDir =
        parser.isSet(settingsDirOption)
            ? QDir(parser.value(settingsDirOption)).absolutePath()
            : (IsInstalledProgram(programDir) ? SettingsFile::DefaultUserFolder() : programDir);

    TComPort comPort1;
    ComPortControl port(comPort1);
    EventLoopWaiter waiter;
    DialogPrompter prompter;
    // The port object of the main window: odd parity until the settings file says otherwise.
    comPort1.SetParityBits(prOdd);
    TMainFrm mainFrm({port, waiter, prompter, settingsDir, QString(), programDir});
    if (mainFrm.ProtocolWorkbookFailed())
        return 1;
    mainFrm.showMaximized();
    // Without a window manager nothing activates the window by itself.
    mainFrm.activateWindow();
    return application.exec();
}
