#include "export/record_csv.h"

#include <QSaveFile>
#include <QString>

namespace {

// A CSV field, quoted when it holds a separator, a quote or a line break.
std::string csvField(const std::string& text)
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

std::string csvLine(const std::vector<std::string>& fields)
{
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i)
            line += ',';
        line += csvField(fields[i]);
    }
    return line + "\r\n";
}

} // namespace

std::string writeRecordCsv(const RecordTable& table, const std::string& path)
{
    std::string text = "\xEF\xBB\xBF";
    std::vector<std::string> header;
    for (const TableColumn& column : table.columns())
        header.push_back(column.caption);
    text += csvLine(header);
    for (const std::vector<std::string>& row : table.rows())
        text += csvLine(row);

    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly))
        return "cannot write " + path + ": " + file.errorString().toStdString();
    file.write(text.data(), static_cast<qint64>(text.size()));
    if (!file.commit())
        return "cannot write " + path + ": " + file.errorString().toStdString();
    return {};
}
