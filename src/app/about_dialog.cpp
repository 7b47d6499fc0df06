#include "app/about_dialog.h"

#include "app/help_files.h"
#include "ql_version.h"
#include "settings/install_layout.h"

#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

AboutDialog::AboutDialog(Prompter& prompter, const QString& programDir, QWidget* parent)
    : QDialog(parent), m_prompter(prompter), m_programDir(programDir)
{
    setObjectName(QStringLiteral("TAboutFrm"));
    setWindowTitle(QStringLiteral("关于"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* productGroup = new QGroupBox(this);
    auto* product = new QVBoxLayout(productGroup);
    auto* name = new QLabel(QStringLiteral("软件：QuellonRS485通信软件"), productGroup);
    name->setObjectName(QStringLiteral("lblSoftware"));
    auto* version =
        new QLabel(QStringLiteral("版本号：%1").arg(QString::fromLatin1(kQlVersion)), productGroup);
    version->setObjectName(QStringLiteral("lblVersion"));
    product->addWidget(name);
    product->addWidget(version);

    // Only what is true of every copy: no support contacts are made up here.
    auto* factsGroup = new QGroupBox(this);
    auto* facts = new QVBoxLayout(factsGroup);
    m_licenceLabel = new QLabel(
        QStringLiteral("许可证：GPL-3.0-or-later（GNU通用公共许可证第3版或更高版本）"), factsGroup);
    m_licenceLabel->setObjectName(QStringLiteral("lblLicence"));
    const QString manual = programDataFile(programDir, QStringLiteral("manual/index.html"));
    m_manualLabel =
        new QLabel(QStringLiteral("说明书：%1").arg(QDir::toNativeSeparators(manual)), factsGroup);
    m_manualLabel->setObjectName(QStringLiteral("lblManual"));
    m_manualLabel->setWordWrap(true);
    m_manualLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    facts->addWidget(m_licenceLabel);
    facts->addWidget(m_manualLabel);

    auto* help = new QPushButton(QStringLiteral("说明"), this);
    help->setObjectName(QStringLiteral("BtnHelp"));
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    connect(help, &QPushButton::clicked, this, &AboutDialog::showHelp);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(help);
    buttons->addWidget(ok);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(productGroup);
    layout->addWidget(factsGroup);
    layout->addLayout(buttons);
}

void AboutDialog::showHelp()
{
    // The about box is modal, so the manual goes to the system's browser here.
    openHelpFile(this, m_prompter, m_programDir, QStringLiteral("manual/index.html"));
}
