#include "app/store_settings_dialog.h"

#include "app/prompter.h"
#include "app/read_storing.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const QString kWarningCaption = QStringLiteral("警告信息");

} // namespace

StoreSettingsDialog::StoreSettingsDialog(SettingsFile& settings, QString defaultFile, Prompter& prompter,
                                         QWidget* parent)
    : QDialog(parent), m_settings(settings), m_defaultFile(std::move(defaultFile)), m_prompter(prompter)
{
    setObjectName(QStringLiteral("storeSettingsDialog"));
    setWindowTitle(QStringLiteral("记录存储"));

    m_offButton = new QRadioButton(QStringLiteral("不保存读取的记录"), this);
    m_offButton->setObjectName(QStringLiteral("storeOffButton"));
    m_defaultButton = new QRadioButton(QStringLiteral("本机默认数据库文件"), this);
    m_defaultButton->setObjectName(QStringLiteral("defaultFileButton"));
    auto* defaultPath = new QLabel(QDir::toNativeSeparators(m_defaultFile), this);
    defaultPath->setObjectName(QStringLiteral("defaultFileLabel"));
    defaultPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_fileButton = new QRadioButton(QStringLiteral("其他数据库文件"), this);
    m_fileButton->setObjectName(QStringLiteral("otherFileButton"));
    m_fileEdit = new QLineEdit(this);
    m_fileEdit->setObjectName(QStringLiteral("fileEdit"));
    m_browseButton = new QPushButton(QStringLiteral("浏览…"), this);
    m_browseButton->setObjectName(QStringLiteral("browseButton"));
    m_serverButton = new QRadioButton(QStringLiteral("数据库服务器（PostgreSQL）"), this);
    m_serverButton->setObjectName(QStringLiteral("serverButton"));
    m_serverEdit = new QLineEdit(this);
    m_serverEdit->setObjectName(QStringLiteral("serverEdit"));
    m_serverEdit->setPlaceholderText(QStringLiteral("postgresql://USER@HOST[:PORT]/DB"));
    auto* passwordNote = new QLabel(
        QStringLiteral("密码不在此处填写，也不写入设置文件：由 ~/.pgpass 文件或 PGPASSWORD 环境变量提供。"),
        this);
    passwordNote->setObjectName(QStringLiteral("passwordNote"));
    passwordNote->setWordWrap(true);

    auto* group = new QButtonGroup(this);
    for (QRadioButton* button : {m_offButton, m_defaultButton, m_fileButton, m_serverButton})
        group->addButton(button);

    auto* grid = new QGridLayout;
    grid->setColumnMinimumWidth(0, 20);
    grid->addWidget(m_offButton, 0, 0, 1, 3);
    grid->addWidget(m_defaultButton, 1, 0, 1, 3);
    grid->addWidget(defaultPath, 2, 1, 1, 2);
    grid->addWidget(m_fileButton, 3, 0, 1, 3);
    grid->addWidget(m_fileEdit, 4, 1);
    grid->addWidget(m_browseButton, 4, 2);
    grid->addWidget(m_serverButton, 5, 0, 1, 3);
    grid->addWidget(m_serverEdit, 6, 1, 1, 2);
    grid->addWidget(passwordNote, 7, 1, 1, 2);
    grid->setColumnStretch(1, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &StoreSettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &StoreSettingsDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
    setMinimumWidth(520);

    const StoreChoice stored = m_settings.readStoreChoice();
    switch (stored.mode) {
    case StoreChoice::Mode::Off:
        m_offButton->setChecked(true);
        break;
    case StoreChoice::Mode::DefaultFile:
        m_defaultButton->setChecked(true);
        break;
    case StoreChoice::Mode::File:
        m_fileButton->setChecked(true);
        m_fileEdit->setText(QDir::toNativeSeparators(stored.location));
        break;
    case StoreChoice::Mode::Server:
        m_serverButton->setChecked(true);
        m_serverEdit->setText(stored.location);
        break;
    }
    connect(group, &QButtonGroup::buttonToggled, this, &StoreSettingsDialog::updateFields);
    connect(m_browseButton, &QPushButton::clicked, this, &StoreSettingsDialog::onBrowseClicked);
    updateFields();
}

StoreChoice StoreSettingsDialog::choice() const
{
    StoreChoice choice;
    if (m_offButton->isChecked()) {
        choice.mode = StoreChoice::Mode::Off;
    } else if (m_fileButton->isChecked()) {
        choice.mode = StoreChoice::Mode::File;
        choice.location = QDir::fromNativeSeparators(m_fileEdit->text().trimmed());
    } else if (m_serverButton->isChecked()) {
        choice.mode = StoreChoice::Mode::Server;
        choice.location = m_serverEdit->text().trimmed();
    }
    return choice;
}

void StoreSettingsDialog::updateFields()
{
    m_fileEdit->setEnabled(m_fileButton->isChecked());
    m_browseButton->setEnabled(m_fileButton->isChecked());
    m_serverEdit->setEnabled(m_serverButton->isChecked());
}

void StoreSettingsDialog::onBrowseClicked()
{
    // A save dialog: the operator may name a file that does not exist yet.
    const QString current = m_fileEdit->text().trimmed();
    const QString name =
        m_prompter.saveFileName(this, QStringLiteral("选择数据库文件"),
                                current.isEmpty() ? QFileInfo(m_defaultFile).absolutePath() : current,
                                QStringLiteral("SQLite (*.sqlite *.db);;所有文件 (*)"));
    if (!name.isEmpty())
        m_fileEdit->setText(QDir::toNativeSeparators(name));
}

void StoreSettingsDialog::accept()
{
    const StoreChoice chosen = choice();
    if (chosen.mode == StoreChoice::Mode::File && chosen.location.isEmpty()) {
        m_prompter.warn(this, QStringLiteral("请填写数据库文件的位置。"), kWarningCaption);
        return;
    }
    QString error;
    if (chosen.mode == StoreChoice::Mode::Server && !storeLocationOf(chosen, m_defaultFile, &error)) {
        m_prompter.warn(
            this,
            QStringLiteral("服务器地址应为 postgresql://USER@HOST[:PORT]/DB（不含密码）。\n%1").arg(error),
            kWarningCaption);
        return;
    }
    if (m_settings.writeStoreChoice(chosen) == SettingsFile::WriteResult::Failed) {
        m_prompter.warn(this, QStringLiteral("设置文件 %1 无法写入。").arg(m_settings.effectiveFilePath()),
                        kWarningCaption);
        return;
    }
    QDialog::accept();
}
