// Helpers of the export tests: fixture workbooks written by the Python generators and
// what openpyxl reads back from an exported file.
#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

inline const QString kPython = QStringLiteral("/usr/bin/python3");

inline QString testScript(const char* name)
{
    return QStringLiteral(QL_SOURCE_DIR "/tests/export/") + QString::fromLatin1(name);
}

// Under Wine the Linux Python is started for the Windows tests: it takes the
// Unix form of a name on drive Z:, which Wine maps to the root folder.
inline QString pythonFileName(QString name)
{
#ifdef _WIN32
    if (name.startsWith(QStringLiteral("Z:"), Qt::CaseInsensitive))
        name = name.mid(2).replace(u'\\', u'/');
#endif
    return name;
}

#ifdef _WIN32
// Wine starts a Unix program detached: no handle to wait on and no pipes to read, its
// output going to Wine's own terminal. So a shell script runs Python with its output
// and exit code left in files, written as UTF-8 here because Wine would pass Chinese
// arguments in whatever code page the host's locale names.
inline QByteArray runPython(const QString& script, const QStringList& arguments)
{
    auto quoted = [](QString text) { return u'\'' + text.replace(u'\'', QStringLiteral("'\\''")) + u'\''; };
    QTemporaryDir folder;
    const QString shellFolder = pythonFileName(folder.path()) + u'/';
    QString command = quoted(kPython) + u' ' + quoted(script);
    for (const QString& argument : arguments)
        command += u' ' + quoted(pythonFileName(argument));
    command +=
        QStringLiteral(" >%1out 2>%1err; echo $? >%1code.part && mv %1code.part %1code\n").arg(shellFolder);
    QFile run(folder.filePath(QStringLiteral("run.sh")));
    if (!run.open(QIODevice::WriteOnly) || run.write(command.toUtf8()) < 0 || !run.flush()) {
        ADD_FAILURE() << "cannot write " << run.fileName().toStdString();
        return {};
    }
    run.close();
    QProcess::startDetached(QStringLiteral("/bin/sh"), {shellFolder + QStringLiteral("run.sh")});
    QFile code(folder.filePath(QStringLiteral("code")));
    QDeadlineTimer deadline(120000);
    while (!code.exists() && !deadline.hasExpired())
        QThread::msleep(20);
    auto contents = [&](const char* name) {
        QFile file(folder.filePath(QString::fromLatin1(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    if (contents("code").trimmed() != "0") {
        ADD_FAILURE() << "python failed: " << script.toStdString() << "\n" << contents("err").toStdString();
        return {};
    }
    return contents("out");
}
#else
// Runs a Python script; its standard output, or an empty array with a test failure.
inline QByteArray runPython(const QString& script, const QStringList& arguments)
{
    QStringList names;
    for (const QString& argument : arguments)
        names << pythonFileName(argument);
    QProcess process;
    process.start(kPython, QStringList{script} + names);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        ADD_FAILURE() << "python failed: " << script.toStdString() << "\n"
                      << process.readAllStandardError().toStdString();
        return {};
    }
    return process.readAllStandardOutput();
}
#endif

inline void makeFixtureWorkbooks(const QString& folder)
{
    runPython(testScript("make_fixture_workbooks.py"), {folder});
}

// {"sheets": [{name, state, merged, widths, heights, cells: {A1: {...}}}]}
inline QJsonObject inspectXlsx(const QString& path)
{
    return QJsonDocument::fromJson(runPython(testScript("inspect_xlsx.py"), {path})).object();
}
