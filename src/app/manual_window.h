// The operator's manual (HTML shipped with the program) in a window of its own:
// the contents on the left, the text on the right, a search field above, and a
// button that hands the same page to the system's browser.
#pragma once

#include <QWidget>

class Prompter;
class QLabel;
class QLineEdit;
class QTextBrowser;
class QTreeWidget;
class QTreeWidgetItem;

class ManualWindow : public QWidget {
    Q_OBJECT
public:
    explicit ManualWindow(QWidget* parent = nullptr);

    // Shows the manual at `indexPath` and lists its headings; false when the
    // file cannot be read.
    bool load(const QString& indexPath);
    // Selects the next place of `text` after the current one, going round from
    // the start at the end; false (and says so) when the manual does not hold it.
    bool search(const QString& text);
    // Scrolls to the heading of a contents entry.
    void showSection(QTreeWidgetItem* item);

    QTreeWidget* m_contentsTree = nullptr;
    QTextBrowser* m_browser = nullptr;
    QLineEdit* m_searchEdit = nullptr;
    QLabel* m_searchLabel = nullptr;

private:
    void openInBrowser();
    QString m_indexPath;
};

// manual/index.html beside the program, or in the installed data folder.
QString manualPath(const QString& programDir);

// "使用手册": shows the manual window of `owner` (made on first use), or says
// which file is missing.
void showManual(QWidget* owner, Prompter& prompter, const QString& programDir);
