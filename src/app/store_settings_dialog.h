// Where reads are kept, chosen under "设置": nowhere, the default SQLite file,
// another file, or a PostgreSQL server. The choice is written to the settings
// file when the operator confirms it; a server's password is never asked for.
#pragma once

#include "settings/settings_file.h"

#include <QDialog>

class Prompter;
class QLineEdit;
class QPushButton;
class QRadioButton;

class StoreSettingsDialog : public QDialog {
    Q_OBJECT
public:
    // Shows the choice in `settings`; `defaultFile` is the default store's path.
    // `settings` and `prompter` must outlive the dialog.
    StoreSettingsDialog(SettingsFile& settings, QString defaultFile, Prompter& prompter,
                        QWidget* parent = nullptr);

    // The choice as the fields hold it.
    StoreChoice choice() const;

public slots:
    // Checks the fields and writes them; stays open with a message otherwise.
    void accept() override;
    void onBrowseClicked();

private:
    void updateFields();

    SettingsFile& m_settings;
    QString m_defaultFile;
    Prompter& m_prompter;
    QRadioButton* m_offButton = nullptr;
    QRadioButton* m_defaultButton = nullptr;
    QRadioButton* m_fileButton = nullptr;
    QRadioButton* m_serverButton = nullptr;
    QLineEdit* m_fileEdit = nullptr;
    QPushButton* m_browseButton = nullptr;
    QLineEdit* m_serverEdit = nullptr;
};
