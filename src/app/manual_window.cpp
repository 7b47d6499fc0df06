#include "app/manual_window.h"

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
        m_originals.insert(name, image);
        return fitted(image);
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QTextBrowser::resizeEvent(event);
        if (m_originals.isEmpty() || event->size().width() == event->oldSize().width())
            return;
        for (auto it = m_originals.cbegin(); it != m_originals.cend(); ++it)
            document()->addResource(QTextDocument::ImageResource, it.key(), fitted(it.value()));
        document()->markContentsDirty(0, document()->characterCount());
    }

private:
    QImage fitted(const QImage& image) const
    {
        // The page's text width: the view less the document's margins on both sides.
        const int width = viewport()->width() - 2 * static_cast<int>(document()->documentMargin()) - 4;
        if (width < 64 || image.width() <= width)
            return image;
        return image.scaledToWidth(width, Qt::SmoothTransformation);
    }

    QHash<QUrl, QImage> m_originals;
};

} // namespace

ManualWindow::ManualWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("TManualFrm"));
    setWindowTitle(QStringLiteral("使用手册"));
    resize(960, 680);

    m_searchEdit = new QLineEdit(this);
    m_searchEdit->setObjectName(QStringLiteral("edSearch"));
    m_searchEdit->setPlaceholderText(QStringLiteral("输入要查找的文字，按回车查找下一处"));
    m_searchEdit->setClearButtonEnabled(true);
    auto* find = new QPushButton(QStringLiteral("查找"), this);
    find->setObjectName(QStringLiteral("btnFind"));
    m_searchLabel = new QLabel(this);
    m_searchLabel->setObjectName(QStringLiteral("lblSearch"));
    auto* external = new QPushButton(QStringLiteral("在浏览器中打开"), this);
    external->setObjectName(QStringLiteral("btnBrowser"));
    connect(m_searchEdit, &QLineEdit::returnPressed, this, [this] { search(m_searchEdit->text()); });
    connect(find, &QPushButton::clicked, this, [this] { search(m_searchEdit->text()); });
    connect(external, &QPushButton::clicked, this, &ManualWindow::openInBrowser);

    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(new QLabel(QStringLiteral("查找："), this));
    searchRow->addWidget(m_searchEdit, 1);
    searchRow->addWidget(find);
    searchRow->addWidget(m_searchLabel);
    searchRow->addStretch();
    searchRow->addWidget(external);

    auto* splitter = new QSplitter(this);
    m_contentsTree = new QTreeWidget(splitter);
    m_contentsTree->setObjectName(QStringLiteral("tvContents"));
    m_contentsTree->setHeaderLabel(QStringLiteral("目录"));
    m_browser = new ManualBrowser(splitter);
    m_browser->setObjectName(QStringLiteral("Browser"));
    // Links to other sites go to the system's browser; links inside the manual stay here.
    m_browser->setOpenExternalLinks(true);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({240, 720});
    connect(m_contentsTree, &QTreeWidget::itemClicked, this, &ManualWindow::showSection);
    connect(m_contentsTree, &QTreeWidget::itemActivated, this, &ManualWindow::showSection);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(searchRow);
    layout->addWidget(splitter, 1);
}

bool ManualWindow::load(const QString& indexPath)
{
    QFile file(indexPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    m_indexPath = indexPath;
    // Images and links are found relative to the page.
    m_browser->setSearchPaths({QFileInfo(indexPath).absolutePath()});
    m_browser->setHtml(QString::fromUtf8(file.readAll()));

    m_contentsTree->clear();
    QTreeWidgetItem* chapter = nullptr;
    for (QTextBlock block = m_browser->document()->begin(); block.isValid(); block = block.next()) {
        const int level = block.blockFormat().headingLevel();
        if (level != kChapterLevel && level != kSectionLevel)
            continue;
        const QString title = block.text().trimmed();
        QTreeWidgetItem* item = nullptr;
        if (level == kChapterLevel || !chapter)
            item = chapter = new QTreeWidgetItem(m_contentsTree, {title});
        else
            item = new QTreeWidgetItem(chapter, {title});
        item->setData(0, kBlockPositionRole, block.position());
    }
    m_contentsTree->expandAll();
    return true;
}

void ManualWindow::showSection(QTreeWidgetItem* item)
{
    if (!item)
        return;
    const QTextBlock block = m_browser->document()->findBlock(item->data(0, kBlockPositionRole).toInt());
    QTextCursor cursor(block);
    m_browser->setTextCursor(cursor);
    // The heading goes to the top of the view, not merely somewhere into it.
    const QRectF place = m_browser->document()->documentLayout()->blockBoundingRect(block);
    m_browser->verticalScrollBar()->setValue(static_cast<int>(place.top()));
}

bool ManualWindow::search(const QString& text)
{
    m_searchLabel->clear();
    if (text.isEmpty())
        return false;
    if (m_browser->find(text))
        return true;
    const QTextCursor before = m_browser->textCursor();
    m_browser->moveCursor(QTextCursor::Start);
    if (m_browser->find(text))
        return true;
    m_browser->setTextCursor(before);
    m_searchLabel->setText(QStringLiteral("未找到“%1”").arg(text));
    return false;
}

void ManualWindow::openInBrowser()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(m_indexPath));
}

QString manualPath(const QString& programDir)
{
    return programDataFile(programDir, QStringLiteral("manual/index.html"));
}

void showManual(QWidget* owner, Prompter& prompter, const QString& programDir)
{
    const QString path = manualPath(programDir);
    auto* manual = owner->findChild<ManualWindow*>(QString(), Qt::FindDirectChildrenOnly);
    if (!manual) {
        manual = new ManualWindow(owner);
        if (!manual->load(path)) {
            delete manual;
            prompter.warn(owner, QStringLiteral("找不到帮助文件：%1").arg(QDir::toNativeSeparators(path)),
                          QStringLiteral("警告信息"));
            return;
        }
    }
    manual->show();
    manual->raise();
    manual->activateWindow();
}
