#include "export/record_csv.h"

#include <QSaveFile>
#include <QString>

namespace {

// A CSV field, quoted when it holds a separator, a quote or a line break.
std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string CsvLine(const std::vector<std::string>& fields)
{
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i)
            line += ',';
        line += CsvField(fields[i]);
    }
    return line + "\r\n";
}

} // namespace

std::string WriteRecordCsv(const RecordTable& table, const std::string& path)
{
    std::string text = "\xEF\xBB\xBF";
    std::vector<std::string> header;
    for (const TableColumn& column : table.Columns())
        header.push_back(column.caption);
    text += CsvLine(header);
    for (const std::vector<std::string>& row : table.Rows())
        text += CsvLine(row);

    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly))
        return "cannot write " + path + ": " + file.errorString().toStdString();
    file.write(text.data(), static_cast<qint64>(text.size()));
    if (!file.commit())
        return "cannot write " + path + ": " + file.errorString().toStdString();
    return {};
}
