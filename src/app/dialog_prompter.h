// The program's Prompter: real message boxes and the save dialog.
#pragma once

#include "app/prompter.h"

class DialogPrompter : public Prompter {
public:
    void inform(QWidget* parent, const QString& text, const QString& caption) override;
    void warn(QWidget* parent, const QString& text, const QString& caption) override;
    bool ask(QWidget* parent, const QString& text, const QString& caption) override;
    QString saveFileName(QWidget* parent, const QString& caption, const QString& directory,
                         const QString& filter) override;
};
