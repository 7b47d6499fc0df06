// The meter book as a table over the store: one row per meter in service with
// what the store knows of it. Name, site and notes are edited in place and
// written straight to the store; everything else is the store's own.
#pragma once

#include "store/record_store.h"

#include <QAbstractTableModel>

#include <map>
#include <vector>

class DeviceRegistry;

class MeterBookModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        Name,
        Type,
        Address,
        Port,
        Serial,
        Site,
        Notes,
        LastDownload,
        LastOutcome,
        Records,
        ColumnCount
    };

    // `store` must be open and outlive the model.
    MeterBookModel(const DeviceRegistry& registry, RecordStore& store, QObject* parent = nullptr);

    // Reads the book again; false (and the rows kept) when the store fails.
    bool reload();
    // 0 for a row outside the book.
    qint64 meterIdAt(int row) const;
    // -1 when the meter is not listed.
    int rowOfMeter(qint64 meterId) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    // The store refused a read or a write; `message` names it and says why.
    void storeFailed(const QString& message);

private:
    const DeviceRegistry& m_registry;
    RecordStore& m_store;
    std::vector<MeterEntry> m_meters;
    std::map<qint64, MeterActivity> m_activity;
};
