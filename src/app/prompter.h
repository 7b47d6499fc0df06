// Every message box, question and file dialog of the windows goes through this
// interface so tests can answer them by script and check the exact text shown.
#pragma once

#include <QString>

class QWidget;

class Prompter {
public:
    virtual ~Prompter() = default;
    // Information box: caption "信息提示", information icon.
    virtual void inform(QWidget* parent, const QString& text, const QString& caption) = 0;
    // Warning box: caption "警告信息" (or "提示信息"), warning icon.
    virtual void warn(QWidget* parent, const QString& text, const QString& caption) = 0;
    // Yes/No question with a question icon; true for Yes.
    virtual bool ask(QWidget* parent, const QString& text, const QString& caption) = 0;
    // Save dialog; empty text when the operator cancelled.
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& directory,
                                 const QString& filter) = 0;
};
