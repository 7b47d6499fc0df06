// The program's Prompter: real message boxes and the save dialog.
#pragma once

#include "app/prompter.h"

class DialogPrompter : public Prompter {
public:
    void Inform(QWidget* parent, const QString& text, const QString& caption) override;
    void Warn(QWidget* parent, const QString& text, const QString& caption) override;
    bool Ask(QWidget* parent, const QString& text, const QString& caption) override;
    QString SaveFileName(QWidget* parent, const QString& caption, const QString& directory,
                         const QString& filter) override;
};
