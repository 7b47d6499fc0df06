#include "app/modbus_value_model.h"

#include <algorithm>
#include <span>

const std::vector<ModbusValueModel::FormatChoice>& ModbusValueModel::formatChoices()
{
    static const std::vector<FormatChoice> choices = [] {
        std::vector<FormatChoice> list;
        for (ModbusFormat format :
             {ModbusFormat::U16, ModbusFormat::I16, ModbusFormat::Hex, ModbusFormat::Bin, ModbusFormat::Bcd})
            list.push_back({format, WordOrder::Abcd});
        for (ModbusFormat format :
             {ModbusFormat::U32, ModbusFormat::I32, ModbusFormat::F32, ModbusFormat::F64})
            for (WordOrder order : {WordOrder::Abcd, WordOrder::Cdab, WordOrder::Badc, WordOrder::Dcba})
                list.push_back({format, order});
        return list;
    }();
    return choices;
}

QString ModbusValueModel::choiceText(const FormatChoice& choice)
{
    QString text = QString::fromLatin1(modbusFormatName(choice.format));
    if (registersPerValue(choice.format) > 1)
        text += QLatin1Char(' ') + QString::fromLatin1(wordOrderName(choice.order)).toUpper();
    return text;
}

ModbusValueModel::ModbusValueModel(QObject* parent) : QAbstractTableModel(parent) {}

int ModbusValueModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_formats.size());
}

int ModbusValueModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ModbusValueModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    switch (index.column()) {
    case ColAddress:
        return addressText(index.row());
    case ColName:
        return name(index.row());
    case ColFormat:
        return formatText(index.row());
    case ColValue:
        return valueText(index.row());
    default:
        return {};
    }
}

bool ModbusValueModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    switch (index.column()) {
    case ColName:
        setName(index.row(), value.toString());
        return true;
    case ColFormat:
        setFormatText(index.row(), value.toString());
        return true;
    case ColValue:
        emit writeRequested(index.row(), value.toString().trimmed());
        return true;
    default:
        return false;
    }
}

Qt::ItemFlags ModbusValueModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.column() == ColName || index.column() == ColValue ||
        (index.column() == ColFormat && !m_bitTable))
        flags |= Qt::ItemIsEditable;
    return flags;
}

QVariant ModbusValueModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const captions[ColumnCount] = {"地址", "名称", "格式", "值"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromUtf8(captions[section]);
}

void ModbusValueModel::setRowCount(int rows)
{
    const int before = rowCount();
    if (rows > before) {
        beginInsertRows({}, before, rows - 1);
        m_formats.resize(size_t(rows), 0);
        endInsertRows();
    } else if (rows < before) {
        beginRemoveRows({}, rows, before - 1);
        m_formats.resize(size_t(rows));
        endRemoveRows();
    }
    while (m_names.size() < rows)
        m_names << QString();
    m_names = m_names.mid(0, rows);
}

void ModbusValueModel::setAddressing(int start, bool oneBased, int reference)
{
    m_start = start;
    m_oneBased = oneBased;
    m_reference = reference;
    if (rowCount() > 0)
        emit dataChanged(index(0, ColAddress), index(rowCount() - 1, ColAddress));
}

void ModbusValueModel::setBitTable(bool bits)
{
    m_bitTable = bits;
    if (rowCount() > 0)
        emit dataChanged(index(0, ColFormat), index(rowCount() - 1, ColValue));
}

void ModbusValueModel::setValues(std::vector<uint16_t> values)
{
    m_values = std::move(values);
    valuesChanged();
}

void ModbusValueModel::valuesChanged()
{
    if (rowCount() > 0)
        emit dataChanged(index(0, ColValue), index(rowCount() - 1, ColValue));
}

QString ModbusValueModel::addressText(int row) const
{
    const int address = m_start + row;
    if (!m_oneBased)
        return QString::number(address);
    return QStringLiteral("%1%2").arg(m_reference).arg(address + 1, 4, 10, QLatin1Char('0'));
}

void ModbusValueModel::setName(int row, const QString& name)
{
    if (row < 0 || row >= m_names.size())
        return;
    m_names[row] = name;
    emit dataChanged(index(row, ColName), index(row, ColName));
}

const ModbusValueModel::FormatChoice& ModbusValueModel::format(int row) const
{
    const size_t choice = row >= 0 && size_t(row) < m_formats.size() ? size_t(m_formats[size_t(row)]) : 0;
    return formatChoices()[choice];
}

QString ModbusValueModel::formatText(int row) const
{
    return choiceText(format(row));
}

void ModbusValueModel::setFormatText(int row, const QString& text)
{
    if (row < 0 || size_t(row) >= m_formats.size())
        return;
    const std::vector<FormatChoice>& choices = formatChoices();
    const auto found = std::find_if(choices.begin(), choices.end(),
                                    [&](const FormatChoice& choice) { return choiceText(choice) == text; });
    m_formats[size_t(row)] = found == choices.end() ? 0 : int(found - choices.begin());
    emit dataChanged(index(row, ColFormat), index(row, ColValue));
}

QString ModbusValueModel::valueText(int row) const
{
    if (row < 0 || size_t(row) >= m_values.size())
        return {};
    if (m_bitTable)
        return QString::number(m_values[size_t(row)]);
    const FormatChoice& choice = format(row);
    return QString::fromStdString(formatModbusValue(
        choice.format, choice.order, std::span<const uint16_t>(m_values).subspan(size_t(row))));
}
