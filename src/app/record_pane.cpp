#include "app/record_pane.h"
#include "app/export_messages.h"

#include "app/app_texts.h"
#include "app/prompter.h"
#include "app/record_table_model.h"
#include "export/record_export.h"

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QDir>
#include <QHeaderView>
#include <QMenu>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// The record table's header, 5 pixels taller than Qt makes it, with the rows
// starting 2 pixels below it: the sections are painted in all but the last 2
// pixels of the header.
class TallHeader : public QHeaderView {
public:
    explicit TallHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

    QSize sizeHint() const override
    {
        QSize size = QHeaderView::sizeHint();
        size.setHeight(size.height() + 7);
        return size;
    }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override
    {
        QHeaderView::paintSection(painter, rect.adjusted(0, 0, 0, -2), logicalIndex);
    }
};

} // namespace

RecordPane::RecordPane(RecordTable& records, Prompter& prompter, const QString& folder,
                       std::function<QString()> kindCaption, QWidget* parent)
    : QWidget(parent), m_records(records), m_prompter(prompter), m_folder(folder),
      m_kindCaption(std::move(kindCaption))
{
    setObjectName(QStringLiteral("pnlClient"));
    m_model = new RecordTableModel(m_records, this);
    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("ListView1"));
    m_view->setHorizontalHeader(new TallHeader(m_view));
    m_view->setModel(m_model);
    m_view->setShowGrid(true);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setWordWrap(false);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(22);
    m_view->horizontalHeader()->setHighlightSections(false);
    m_view->horizontalHeader()->setStretchLastSection(false);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_model, &RecordTableModel::columnsReplaced, this, [this] {
        for (int c = 0; c < m_records.columnCount(); ++c)
            m_view->setColumnWidth(c, m_records.columns()[static_cast<size_t>(c)].width);
    });
    connect(m_model, &RecordTableModel::rowAppended, m_view, &QTableView::scrollToBottom);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);

    m_saveAction = new QAction(QStringLiteral("保存记录"), this);
    m_saveAction->setObjectName(QStringLiteral("acSaveRec"));
    connect(m_saveAction, &QAction::triggered, this, &RecordPane::save);
    m_clearAction = new QAction(QStringLiteral("清除记录"), this);
    m_clearAction->setObjectName(QStringLiteral("acDelRec"));
    connect(m_clearAction, &QAction::triggered, this, &RecordPane::clear);
    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("PopListView"));
    m_menu->addActions({m_saveAction, m_clearAction});
    connect(m_view, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_menu->popup(m_view->viewport()->mapToGlobal(at)); });
}

RecordPane::~RecordPane()
{
    // The model listens to the table, which may go first.
    m_view->setModel(nullptr);
    delete m_model;
}

void RecordPane::clear()
{
    if (m_records.rowCount() > 0 &&
        !m_prompter.ask(window(), QStringLiteral("是否要删除记录信息？"), kInfoCaption))
        return;
    m_records.clearRows();
}

void RecordPane::save()
{
    if (m_records.rowCount() == 0)
        return;
    const QString name =
        m_prompter.saveFileName(window(), QStringLiteral("保存记录"),
                                QDir(m_folder).filePath(QStringLiteral("*.xlsx")), QStringLiteral("*.xlsx"));
    if (name.isEmpty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const ExportOutcome outcome = exportRecordTable(
        m_records, m_kindCaption().toStdString(), name, QDate::currentDate(),
        [this](const QString& text, const QString& title) { return m_prompter.ask(window(), text, title); });
    QApplication::restoreOverrideCursor();
    showExportMessages(m_prompter, window(), outcome);
    // Confirmed as a saved log or picture is.
    if (outcome.saved)
        m_prompter.inform(window(), QStringLiteral("记录文件保存成功！"), kInfoCaption);
}
