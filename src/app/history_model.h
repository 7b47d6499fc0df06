// A meter's stored records of one kind as a table, straight over the store's
// history query (rows are fetched as the view scrolls, never copied). The first
// column says where the time series has a hole: on the first record after a
// spacing longer than the kind's interval, "间隔N小时无记录" (or 天), and that
// row is tinted.
#pragma once

#include <QDateTime>
#include <QSqlQueryModel>

#include <vector>

class DeviceRegistry;
class RecordStore;

class HistoryModel : public QSqlQueryModel {
    Q_OBJECT
public:
    explicit HistoryModel(const DeviceRegistry& registry, QObject* parent = nullptr);

    // Runs the query; false with the store's error() when it fails. `from`/`to`:
    // [from, to) of the records' own time, invalid for open.
    bool setHistory(RecordStore& store, qint64 meterId, int kindCode, const QDateTime& from,
                    const QDateTime& to);
    // Empty while nothing is shown.
    void clearHistory();
    int kindCode() const { return m_kindCode; }
    // The gap text of a row, empty when the row follows its predecessor in time.
    QString gapText(int row) const;

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const DeviceRegistry& m_registry;
    QDateTime timeAt(int row) const;
    QVariant sourceValue(int row, int sourceColumn) const;

    int m_kindCode = 0;
    int m_intervalMinutes = 0;
    int m_timeColumn = -1; // the source column of the first parsed time stamp
    int m_seqColumn = -1;
    int m_cellsColumn = -1;
    QStringList m_captions; // per shown column after the gap column
};
