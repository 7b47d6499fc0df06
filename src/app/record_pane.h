// The record pane ("pnlClient"): the record table in "ListView1", with the
// actions that save it to a workbook and clear it ("PopListView" offers them).
#pragma once

#include <QWidget>

#include <functional>

class Prompter;
class QAction;
class QMenu;
class QTableView;
class RecordTable;
class RecordTableModel;

class RecordPane : public QWidget {
    Q_OBJECT
public:
    // `records` and `prompter` must outlive the pane. The save dialog proposes
    // `folder`; `kindCaption` names the kind read, for the workbook.
    RecordPane(RecordTable& records, Prompter& prompter, const QString& folder,
               std::function<QString()> kindCaption, QWidget* parent = nullptr);
    ~RecordPane() override;

    RecordTableModel& model() { return *m_model; }
    QTableView* view() const { return m_view; }
    QAction* saveAction() const { return m_saveAction; }
    QAction* clearAction() const { return m_clearAction; }
    // The context menu of the table.
    QMenu* menu() const { return m_menu; }
    // Empties the table once the operator agreed.
    void clear();

private:
    void save();

    RecordTable& m_records;
    Prompter& m_prompter;
    QString m_folder;
    std::function<QString()> m_kindCaption;
    RecordTableModel* m_model = nullptr;
    QTableView* m_view = nullptr;
    QAction* m_saveAction = nullptr;
    QAction* m_clearAction = nullptr;
    QMenu* m_menu = nullptr;
};
