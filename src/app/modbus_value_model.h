// The rows of the Modbus window: one per register (or bit) from the start
// address, each with the name the operator typed, its display format and the
// value last read. The view, the save and the write confirmation all read
// this model; an edited value is not stored but handed on as writeRequested,
// since only the meter's next reply says what the register holds.
#pragma once

#include "modbus/modbus_values.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <vector>

class ModbusValueModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColAddress, ColName, ColFormat, ColValue, ColumnCount };

    // One display choice of a register row.
    struct FormatChoice {
        ModbusFormat format;
        WordOrder order;
    };
    // The 16-bit formats, then each wider format in the four word orders;
    // the order of the format column's list.
    static const std::vector<FormatChoice>& formatChoices();
    static QString choiceText(const FormatChoice& choice);

    explicit ModbusValueModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Rows kept keep their names and formats; new rows start blank in the first format.
    void setRowCount(int rows);
    // First address and its notation: plain, or 1-based behind `reference`
    // ("40001" for holding registers).
    void setAddressing(int start, bool oneBased, int reference);
    // Bit tables show each value as 0/1 and have no format.
    void setBitTable(bool bits);
    bool isBitTable() const { return m_bitTable; }
    // The values of the last read, from the first row on; empty clears the value column.
    void setValues(std::vector<uint16_t> values);

    QString addressText(int row) const;
    QString name(int row) const { return m_names.value(row); }
    void setName(int row, const QString& name);
    const FormatChoice& format(int row) const;
    QString formatText(int row) const;
    // Unknown text keeps the first choice.
    void setFormatText(int row, const QString& text);
    QString valueText(int row) const;

signals:
    // The operator typed `text` into a value cell.
    void writeRequested(int row, const QString& text);

private:
    void valuesChanged();

    QStringList m_names;
    std::vector<int> m_formats; // index into formatChoices()
    std::vector<uint16_t> m_values;
    int m_start = 0;
    bool m_oneBased = false;
    int m_reference = 4;
    bool m_bitTable = false;
};
