#include "app/about_frm.h"

#include "app/help_files.h"
#include "ql_version.h"

#include <QDesktopServices>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

// Neutral placeholder contact data of our own; a deployment puts its real
// support details here.
const char* const TAboutFrm::kWebAddress = "https://quellon.example.com";

TAboutFrm::TAboutFrm(Prompter& prompter, const QString& programDir, QWidget* parent)
    : QDialog(parent), FPrompter(prompter), FProgramDir(programDir)
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

    FContactGroup = new QGroupBox(QStringLiteral("Quellon"), this);
    FContactGroup->setObjectName(QStringLiteral("gbContact"));
    FContactGroup->setMouseTracking(true);
    FContactGroup->installEventFilter(this);
    auto* contact = new QVBoxLayout(FContactGroup);
    for (const QString& line :
         {QStringLiteral("部门：Quellon 技术支持部"), QStringLiteral("地址：（请填写贵公司的地址）"),
          QStringLiteral("邮编：000000"), QStringLiteral("电话：000-00000000"),
          QStringLiteral("邮箱：support@quellon.example.com")})
        contact->addWidget(new QLabel(line, FContactGroup));
    lblWeb = new QLabel(QStringLiteral("网址：%1").arg(QString::fromLatin1(kWebAddress)), FContactGroup);
    lblWeb->setObjectName(QStringLiteral("lblWeb"));
    lblWeb->setMouseTracking(true);
    lblWeb->installEventFilter(this);
    contact->addWidget(lblWeb);
    SetLinkHot(false);

    auto* help = new QPushButton(QStringLiteral("说明"), this);
    help->setObjectName(QStringLiteral("BtnHelp"));
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("BtnOK"));
    ok->setDefault(true);
    connect(help, &QPushButton::clicked, this, &TAboutFrm::ShowHelp);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(help);
    buttons->addWidget(ok);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(productGroup);
    layout->addWidget(FContactGroup);
    layout->addLayout(buttons);
}

void TAboutFrm::ShowHelp()
{
    // The about box is modal, so the manual goes to the system's browser here.
    OpenHelpFile(this, FPrompter, FProgramDir, QStringLiteral("manual/index.html"));
}

void TAboutFrm::SetLinkHot(bool hot)
{
    lblWeb->setStyleSheet(hot ? QStringLiteral("color: red;") : QStringLiteral("color: blue;"));
    lblWeb->setCursor(hot ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

bool TAboutFrm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lblWeb) {
        if (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove)
            SetLinkHot(true);
        else if (event->type() == QEvent::MouseButtonRelease)
            QDesktopServices::openUrl(QUrl(QString::fromLatin1(kWebAddress)));
    } else if (watched == FContactGroup && event->type() == QEvent::MouseMove) {
        SetLinkHot(false);
    }
    return QDialog::eventFilter(watched, event);
}
