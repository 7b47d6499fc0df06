// Help files lie beside the program (or in the installed data folder) and are
// handed to the desktop to open.
#pragma once

#include <QString>

class Prompter;
class QWidget;

// Opens `fileName` from `programDir` with the desktop's viewer. A missing
// file, or a desktop that cannot open it, is told through the prompter with
// the full path, so the operator knows what to put there.
void openHelpFile(QWidget* parent, Prompter& prompter, const QString& programDir, const QString& fileName);
