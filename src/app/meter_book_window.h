// The window "抄表簿": the meters of the store with their last download and the
// records kept of each kind. Name, site and notes are edited in the table. A
// meter taken out of service is retired and keeps its history; only a second,
// confirmed choice deletes it with its history.
#pragma once

#include <QWidget>

class DeviceRegistry;
class MeterBookModel;
class Prompter;
class QPushButton;
class QTableView;
class RecordStore;

class MeterBookWindow : public QWidget {
    Q_OBJECT
public:
    // `store` (open) and `prompter` must outlive the window.
    MeterBookWindow(const DeviceRegistry& registry, RecordStore& store, Prompter& prompter,
                    QWidget* parent = nullptr);

    MeterBookModel& model() { return *m_model; }
    // The meter of the selected row, 0 for none.
    qint64 selectedMeter() const;

public slots:
    // The meter on `port` at `address` into the book (the one already there is
    // kept), selected. Its id, or 0 when the store failed (said once).
    qint64 addMeter(const QString& port, int address, int deviceType);
    // Reads the book from the store again.
    void refresh();
    void onHistoryClicked();
    void onRetireClicked();
    void onDeleteClicked();

signals:
    // The operator asked for the history of a meter ("历史记录" or a double click).
    void historyRequested(qint64 meterId);

private:
    void warnStore(const QString& message);
    void selectMeter(qint64 meterId);
    void updateButtons();

    const DeviceRegistry& m_registry;
    RecordStore& m_store;
    Prompter& m_prompter;
    MeterBookModel* m_model = nullptr;
    QTableView* m_table = nullptr;
    QPushButton* m_historyButton = nullptr;
    QPushButton* m_retireButton = nullptr;
    QPushButton* m_deleteButton = nullptr;
};
