// Helpers of the export tests: fixture workbooks written by the Python generators and
// what openpyxl reads back from an exported file.
#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

inline const QString kPython = QStringLiteral("/usr/bin/python3");

inline QString TestScript(const char* name)
{
    return QStringLiteral(QL_SOURCE_DIR "/tests/export/") + QString::fromLatin1(name);
}

// Under Wine the Linux Python is started for the Windows tests: it takes the
// Unix form of a name on drive Z:, which Wine maps to the root folder.
inline QString PythonFileName(QString name)
{
#ifdef _WIN32
    if (name.startsWith(QStringLiteral("Z:"), Qt::CaseInsensitive))
        name = name.mid(2).replace(u'\\', u'/');
#endif
    return name;
}

// Runs a Python script; its standard output, or an empty array with a test failure.
inline QByteArray RunPython(const QString& script, const QStringList& arguments)
{
    QStringList names;
    for (const QString& argument : arguments)
        names << PythonFileName(argument);
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

inline void MakeFixtureWorkbooks(const QString& folder)
{
    RunPython(TestScript("make_fixture_workbooks.py"), {folder});
}

// {"sheets": [{name, state, merged, widths, heights, cells: {A1: {...}}}]}
inline QJsonObject InspectXlsx(const QString& path)
{
    return QJsonDocument::fromJson(RunPython(TestScript("inspect_xlsx.py"), {path})).object();
}
