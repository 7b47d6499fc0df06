#include "app/manual_frm.h"

#include "app/prompter.h"
#include "settings/install_layout.h"

#include <QAbstractTextDocumentLayout>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSplitter>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr int kBlockPositionRole = Qt::UserRole;
// Headings of level 2 are chapters, level 3 their sections; the level-1 heading
// is the manual's title and is not listed.
constexpr int kChapterLevel = 2;
constexpr int kSectionLevel = 3;

// The manual's pictures are screenshots wider than the pane: each is shown at
// most as wide as the page, scaled smoothly (Qt's own drawing scales them
// coarsely enough to turn a "0" into a "C"), and again when the pane is resized.
class ManualBrowser : public QTextBrowser {
public:
    using QTextBrowser::QTextBrowser;

    QVariant loadResource(int type, const QUrl& name) override
    {
        const QVariant loaded = QTextBrowser::loadResource(type, name);
        if (type != QTextDocument::ImageResource)
            return loaded;
        QImage image = loaded.value<QImage>();
        if (image.isNull())
            image = QImage::fromData(loaded.toByteArray());
        if (image.isNull())
            return loaded;
        FOriginals.insert(name, image);
        return Fitted(image);
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QTextBrowser::resizeEvent(event);
        if (FOriginals.isEmpty() || event->size().width() == event->oldSize().width())
            return;
        for (auto it = FOriginals.cbegin(); it != FOriginals.cend(); ++it)
            document()->addResource(QTextDocument::ImageResource, it.key(), Fitted(it.value()));
        document()->markContentsDirty(0, document()->characterCount());
    }

private:
    QImage Fitted(const QImage& image) const
    {
        // The page's text width: the view less the document's margins on both sides.
        const int width = viewport()->width() - 2 * static_cast<int>(document()->documentMargin()) - 4;
        if (width < 64 || image.width() <= width)
            return image;
        return image.scaledToWidth(width, Qt::SmoothTransformation);
    }

    QHash<QUrl, QImage> FOriginals;
};

} // namespace

TManualFrm::TManualFrm(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("TManualFrm"));
    setWindowTitle(QStringLiteral("使用手册"));
    resize(960, 680);

    edSearch = new QLineEdit(this);
    edSearch->setObjectName(QStringLiteral("edSearch"));
    edSearch->setPlaceholderText(QStringLiteral("输入要查找的文字，按回车查找下一处"));
    edSearch->setClearButtonEnabled(true);
    auto* find = new QPushButton(QStringLiteral("查找"), this);
    find->setObjectName(QStringLiteral("btnFind"));
    lblSearch = new QLabel(this);
    lblSearch->setObjectName(QStringLiteral("lblSearch"));
    auto* external = new QPushButton(QStringLiteral("在浏览器中打开"), this);
    external->setObjectName(QStringLiteral("btnBrowser"));
    connect(edSearch, &QLineEdit::returnPressed, this, [this] { Find(edSearch->text()); });
    connect(find, &QPushButton::clicked, this, [this] { Find(edSearch->text()); });
    connect(external, &QPushButton::clicked, this, &TManualFrm::OpenInBrowser);

    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(new QLabel(QStringLiteral("查找："), this));
    searchRow->addWidget(edSearch, 1);
    searchRow->addWidget(find);
    searchRow->addWidget(lblSearch);
    searchRow->addStretch();
    searchRow->addWidget(external);

    auto* splitter = new QSplitter(this);
    tvContents = new QTreeWidget(splitter);
    tvContents->setObjectName(QStringLiteral("tvContents"));
    tvContents->setHeaderLabel(QStringLiteral("目录"));
    Browser = new ManualBrowser(splitter);
    Browser->setObjectName(QStringLiteral("Browser"));
    // Links to other sites go to the system's browser; links inside the manual stay here.
    Browser->setOpenExternalLinks(true);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({240, 720});
    connect(tvContents, &QTreeWidget::itemClicked, this, &TManualFrm::ShowSection);
    connect(tvContents, &QTreeWidget::itemActivated, this, &TManualFrm::ShowSection);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(searchRow);
    layout->addWidget(splitter, 1);
}

bool TManualFrm::Load(const QString& indexPath)
{
    QFile file(indexPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    FIndexPath = indexPath;
    // Images and links are found relative to the page.
    Browser->setSearchPaths({QFileInfo(indexPath).absolutePath()});
    Browser->setHtml(QString::fromUtf8(file.readAll()));

    tvContents->clear();
    QTreeWidgetItem* chapter = nullptr;
    for (QTextBlock block = Browser->document()->begin(); block.isValid(); block = block.next()) {
        const int level = block.blockFormat().headingLevel();
        if (level != kChapterLevel && level != kSectionLevel)
            continue;
        const QString title = block.text().trimmed();
        QTreeWidgetItem* item = nullptr;
        if (level == kChapterLevel || !chapter)
            item = chapter = new QTreeWidgetItem(tvContents, {title});
        else
            item = new QTreeWidgetItem(chapter, {title});
        item->setData(0, kBlockPositionRole, block.position());
    }
    tvContents->expandAll();
    return true;
}

void TManualFrm::ShowSection(QTreeWidgetItem* item)
{
    if (!item)
        return;
    const QTextBlock block = Browser->document()->findBlock(item->data(0, kBlockPositionRole).toInt());
    QTextCursor cursor(block);
    Browser->setTextCursor(cursor);
    // The heading goes to the top of the view, not merely somewhere into it.
    const QRectF place = Browser->document()->documentLayout()->blockBoundingRect(block);
    Browser->verticalScrollBar()->setValue(static_cast<int>(place.top()));
}

bool TManualFrm::Find(const QString& text)
{
    lblSearch->clear();
    if (text.isEmpty())
        return false;
    if (Browser->find(text))
        return true;
    const QTextCursor before = Browser->textCursor();
    Browser->moveCursor(QTextCursor::Start);
    if (Browser->find(text))
        return true;
    Browser->setTextCursor(before);
    lblSearch->setText(QStringLiteral("未找到“%1”").arg(text));
    return false;
}

void TManualFrm::OpenInBrowser()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(FIndexPath));
}

QString ManualPath(const QString& programDir)
{
    return ProgramDataFile(programDir, QStringLiteral("manual/index.html"));
}

void ShowManual(QWidget* owner, Prompter& prompter, const QString& programDir)
{
    const QString path = ManualPath(programDir);
    auto* manual = owner->findChild<TManualFrm*>(QString(), Qt::FindDirectChildrenOnly);
    if (!manual) {
        manual = new TManualFrm(owner);
        if (!manual->Load(path)) {
            delete manual;
            prompter.Warn(owner, QStringLiteral("找不到帮助文件：%1").arg(QDir::toNativeSeparators(path)),
                          QStringLiteral("警告信息"));
            return;
        }
    }
    manual->show();
    manual->raise();
    manual->activateWindow();
}
