// Where the files that lie beside the program in a development build are found
// once the program is installed: the executables in PREFIX/bin, the protocol
// workbook and the manual in PREFIX/share/ql-rs485 (Excel/, manual/).
#pragma once

#include <QString>

// PREFIX/share/ql-rs485 for a program in PREFIX/bin.
QString installedDataFolder(const QString& programFolder);

// `relativePath` beside the program when it is there, else in the installed data
// folder when it is there; else the path beside the program, so a message can
// name where the file belongs.
QString programDataFile(const QString& programFolder, const QString& relativePath);

// True for an installed program: nothing of the development layout (no Excel/)
// beside it, and the installed data folder exists. Its settings then live in the
// per-user folder, as the program folder is the system's.
bool isInstalledProgram(const QString& programFolder);
