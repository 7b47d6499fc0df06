#include "app/dialog_prompter.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QMessageBox>

namespace {

// Qt's file list writes its dates in the desktop's locale, English on a machine
// without one; the dialog shows them in the interface's.
class InterfaceDates : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        constexpr int kDateColumn = 3;
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || index.column() != kDateColumn || !files)
            return QIdentityProxyModel::data(index, role);
        return QLocale().toString(files->lastModified(mapToSource(index)), QLocale::ShortFormat);
    }
};

} // namespace

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
    QFileDialog dialog(parent, caption, directory, filter);
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setProxyModel(new InterfaceDates(&dialog));
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.selectedFiles().value(0);
}
