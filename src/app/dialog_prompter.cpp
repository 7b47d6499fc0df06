#include "app/dialog_prompter.h"

#include <QFileDialog>
#include <QMessageBox>

void DialogPrompter::inform(QWidget* parent, const QString& text, const QString& caption)
{
    QMessageBox::information(parent, caption, text, QMessageBox::Ok);
}

void DialogPrompter::warn(QWidget* parent, const QString& text, const QString& caption)
{
    QMessageBox::warning(parent, caption, text, QMessageBox::Ok);
}

bool DialogPrompter::ask(QWidget* parent, const QString& text, const QString& caption)
{
    return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

QString DialogPrompter::saveFileName(QWidget* parent, const QString& caption, const QString& directory,
                                     const QString& filter)
{
    // Qt's own dialog, not the desktop's: it shows the same on every platform
    // and asks nothing about overwriting, which the caller asks itself.
    return QFileDialog::getSaveFileName(parent, caption, directory, filter, nullptr,
                                        QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
}
