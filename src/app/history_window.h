// The window "历史记录": a meter, a kind and a date range give the records the
// store holds, with the holes in the kind's time series marked; the meter's
// downloads with their outcome and clock offset beneath. The chart window and
// the export work on the records shown.
#pragma once

#include "decoding/record_table.h"

#include <QWidget>

#include <memory>

class DeviceRegistry;
class ChartWindow;
class HistoryModel;
class Prompter;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QStandardItemModel;
class QTableView;
class RecordStore;
class RecordTableModel;

class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    // `store` (open) and `prompter` must outlive the window; files and pictures
    // are proposed in `saveDirectory`.
    HistoryWindow(const DeviceRegistry& registry, RecordStore& store, Prompter& prompter,
                  QString saveDirectory, QWidget* parent = nullptr);
    ~HistoryWindow() override;

    HistoryModel& model() { return *m_model; }
    ChartWindow* chartWindow() const { return m_chart; }

public slots:
    // Lists the book's meters again and shows this one's records and downloads.
    void showMeter(qint64 meterId);
    // Runs the query of the meter, kind and dates chosen.
    void onQueryClicked();
    void onChartClicked();
    void onExportClicked();

private:
    void reloadMeters();
    void onMeterChanged();
    void fillDownloads(qint64 meterId);
    // The records shown, as a record table for the chart and the export.
    bool loadShownRecords();
    void warnStore();
    qint64 currentMeter() const;
    int currentKind() const;

    const DeviceRegistry& m_registry;
    RecordStore& m_store;
    Prompter& m_prompter;
    QString m_saveDirectory;
    HistoryModel* m_model = nullptr;
    QStandardItemModel* m_downloads = nullptr;
    QComboBox* m_meterCombo = nullptr;
    QComboBox* m_kindCombo = nullptr;
    QDateEdit* m_fromDate = nullptr;
    QDateEdit* m_toDate = nullptr;
    QTableView* m_recordTable = nullptr;
    QTableView* m_downloadTable = nullptr;
    QLabel* m_summaryLabel = nullptr;
    QPushButton* m_chartButton = nullptr;
    QPushButton* m_exportButton = nullptr;
    RecordTable m_shown;
    std::unique_ptr<RecordTableModel> m_shownModel;
    ChartWindow* m_chart = nullptr;
};
