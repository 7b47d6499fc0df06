// Shows the plain RecordTable in the window's report list. Rows arrive one at a
// time from the decoders; each append is announced as an insert of just that
// row, so a read of thousands of rows never resets the view.
#pragma once

#include "decoding/record_table.h"

#include <QAbstractTableModel>

class RecordTableModel : public QAbstractTableModel, private RecordTable::Listener {
    Q_OBJECT
public:
    // The model listens to `table`, which must outlive it.
    explicit RecordTableModel(RecordTable& table, QObject* parent = nullptr);
    ~RecordTableModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    RecordTable& table() { return m_table; }

signals:
    void columnsReplaced();
    void rowAppended(int row);

private:
    void columnsChanged() override;
    void rowsAppended(int first, int count) override;
    void rowsCleared() override;

    RecordTable& m_table;
    int m_shownRows = 0;
    int m_shownColumns = 0;
};
