#include "export/workbook_reader.h"

#include "codec/codec.h"
#include "export/file_name_bytes.h"
#include "export/xls_reading.h"
#include "export/zip_archive.h"

#include <QFile>
#include <QStringList>
#include <QXmlStreamReader>

#include <cmath>
#include <optional>
#include <vector>

namespace {

const QByteArray kOle2Magic("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
const QByteArray kZipMagic("PK\x03\x04", 4);

// Spreadsheets cap a sheet at 1048576 rows and 16384 columns; references beyond are corrupt.
constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;

WorkbookReadResult readXls(const QString& path)
{
    XlsCells read = readXlsInHelper(fileNameBytes(path));
    WorkbookReadResult result;
    result.error = QString::fromStdString(read.error);
    for (auto& [position, text] : read.cells)
        result.cells.set(position.first, position.second, std::move(text));
    return result;
}

// Letters of a cell reference such as "AB12" as a 1-based column, and its digits as the row.
bool parseCellReference(const QString& reference, int& row, int& column)
{
    int c = 0;
    int r = 0;
    qsizetype i = 0;
    for (; i < reference.size() && reference[i].isLetter(); ++i) {
        const char16_t letter = reference[i].toUpper().unicode();
        if (letter < u'A' || letter > u'Z')
            return false;
        c = c * 26 + (letter - u'A' + 1);
        if (c > kMaxColumns)
            return false;
    }
    for (; i < reference.size(); ++i) {
        const char16_t digit = reference[i].unicode();
        if (digit < u'0' || digit > u'9')
            return false;
        r = r * 10 + (digit - u'0');
        if (r > kMaxRows)
            return false;
    }
    if (c == 0 || r == 0)
        return false;
    row = r;
    column = c;
    return true;
}

// All <t> texts inside the current element (a shared string item or an inline string),
// leaving out phonetic runs; the reader ends on the element's end tag.
QString collectText(QXmlStreamReader& xml)
{
    QString text;
    int depth = 1;
    int phoneticDepth = 0;
    while (depth > 0 && !xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (xml.name() == u"rPh")
                ++phoneticDepth;
            else if (xml.name() == u"t" && phoneticDepth == 0) {
                text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
                --depth;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
            if (xml.name() == u"rPh")
                --phoneticDepth;
        }
    }
    return text;
}

bool readSharedStrings(const QByteArray& xmlBytes, std::vector<std::string>& strings, QString& error)
{
    QXmlStreamReader xml(xmlBytes);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"si")
            strings.push_back(collectText(xml).toStdString());
    }
    if (xml.hasError()) {
        error = QStringLiteral("共享字符串表损坏：%1").arg(xml.errorString());
        return false;
    }
    return true;
}

// A relationship target as a part name of the package: relative to the folder of
// the part that holds the relationship, or to the package root when it starts with
// "/". Empty when ".." climbs out of the package.
std::string resolvePartName(const QString& sourceFolder, const QString& target)
{
    const QString joined = target.startsWith(u'/') ? target : sourceFolder + target;
    QStringList segments;
    for (const QString& segment : joined.split(u'/', Qt::SkipEmptyParts)) {
        if (segment == u".")
            continue;
        if (segment != u"..")
            segments.append(segment);
        else if (segments.isEmpty())
            return {};
        else
            segments.removeLast();
    }
    return segments.join(u'/').toStdString();
}

struct Relationship {
    QString id;
    QString type;
    std::string part; // resolved target
};

// The relationships of `part` (from its "_rels/NAME.rels" beside it), or nullopt
// with the damaged-package message when that part is missing or broken.
std::optional<std::vector<Relationship>> readRelationships(const ZipArchive& zip, const std::string& part,
                                                           QString& error)
{
    const qsizetype slash = QString::fromStdString(part).lastIndexOf(u'/');
    const QString name = QString::fromStdString(part);
    const QString folder = name.left(slash + 1);
    const std::string relsName =
        (folder + QStringLiteral("_rels/") + name.mid(slash + 1) + QStringLiteral(".rels")).toStdString();
    QString readError;
    const auto bytes = zip.contains(relsName) ? zip.read(relsName, readError) : std::nullopt;
    if (!bytes) {
        error = QStringLiteral("工作簿目录损坏");
        return std::nullopt;
    }
    std::vector<Relationship> relationships;
    QXmlStreamReader xml(*bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"Relationship")
            continue;
        const auto attributes = xml.attributes();
        // Links to outside the package (hyperlinks) are no parts of it.
        if (attributes.value(QLatin1String("TargetMode")) == u"External")
            continue;
        relationships.push_back(
            {attributes.value(QLatin1String("Id")).toString(),
             attributes.value(QLatin1String("Type")).toString(),
             resolvePartName(folder, attributes.value(QLatin1String("Target")).toString())});
    }
    if (xml.hasError()) {
        error = QStringLiteral("工作簿目录损坏");
        return std::nullopt;
    }
    return relationships;
}

// Relationship types end in the same words in the transitional and strict namespaces.
const Relationship* findRelationship(const std::vector<Relationship>& relationships, QStringView typeEnd)
{
    for (const Relationship& relationship : relationships)
        if (relationship.type.endsWith(typeEnd) && !relationship.part.empty())
            return &relationship;
    return nullptr;
}

struct PackageParts {
    std::string sheet;         // the first worksheet
    std::string sharedStrings; // empty when the workbook has none
};

// As the package format defines it: the office document through the package's
// relationships (_rels/.rels), then the first <sheet> of that workbook part whose
// relationship points at a worksheet, and the shared strings it relates to.
bool findPackageParts(const ZipArchive& zip, PackageParts& parts, QString& error)
{
    const auto packageRelationships = readRelationships(zip, "", error);
    if (!packageRelationships)
        return false;
    const Relationship* office = findRelationship(*packageRelationships, u"/officeDocument");
    if (!office) {
        error = QStringLiteral("工作簿目录损坏");
        return false;
    }
    const auto workbook = zip.read(office->part, error);
    if (!workbook)
        return false;
    const auto relationships = readRelationships(zip, office->part, error);
    if (!relationships)
        return false;
    if (const Relationship* shared = findRelationship(*relationships, u"/sharedStrings"))
        parts.sharedStrings = shared->part;
    QXmlStreamReader xml(*workbook);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"sheet")
            continue;
        QString id;
        for (const auto& attribute : xml.attributes())
            if (attribute.name() == u"id")
                id = attribute.value().toString();
        for (const Relationship& relationship : *relationships) {
            if (relationship.id == id && relationship.type.endsWith(u"/worksheet") &&
                !relationship.part.empty()) {
                parts.sheet = relationship.part;
                return true;
            }
        }
    }
    error = xml.hasError() ? QStringLiteral("工作簿目录损坏") : QStringLiteral("工作簿中没有工作表");
    return false;
}

bool readSheetCells(const QByteArray& xmlBytes, const std::vector<std::string>& shared, SheetCells& cells,
                    QString& error)
{
    QXmlStreamReader xml(xmlBytes);
    int row = 0;
    int column = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"row") {
            const auto r = xml.attributes().value(QLatin1String("r"));
            bool ok = false;
            const int number = r.isEmpty() ? row + 1 : r.toInt(&ok);
            if ((!r.isEmpty() && !ok) || number < 1 || number > kMaxRows) {
                error = QStringLiteral("工作表的行号无效");
                return false;
            }
            row = number;
            column = 0;
            continue;
        }
        if (xml.name() != u"c")
            continue;
        const auto attributes = xml.attributes();
        const QString reference = attributes.value(QLatin1String("r")).toString();
        const QString type = attributes.value(QLatin1String("t")).toString();
        if (reference.isEmpty()) {
            ++column;
        } else if (!parseCellReference(reference, row, column)) {
            error = QStringLiteral("工作表的单元格地址无效：%1").arg(reference);
            return false;
        }
        if (row < 1 || column < 1 || column > kMaxColumns) {
            error = QStringLiteral("工作表的单元格位置无效");
            return false;
        }
        QString value;
        bool haveValue = false;
        QString inlineText;
        int depth = 1;
        while (depth > 0 && !xml.atEnd()) {
            const auto token = xml.readNext();
            if (token == QXmlStreamReader::StartElement) {
                if (xml.name() == u"v") {
                    value = xml.readElementText();
                    haveValue = true;
                } else if (xml.name() == u"is") {
                    inlineText = collectText(xml);
                } else {
                    ++depth;
                }
            } else if (token == QXmlStreamReader::EndElement) {
                --depth;
            }
        }
        std::string text;
        if (type == u"inlineStr") {
            text = inlineText.toStdString();
        } else if (!haveValue) {
            continue;
        } else if (type == u"s") {
            bool ok = false;
            const qlonglong index = value.trimmed().toLongLong(&ok);
            if (!ok || index < 0 || index >= static_cast<qlonglong>(shared.size())) {
                error = QStringLiteral("单元格%1引用了不存在的共享字符串").arg(reference);
                return false;
            }
            text = shared[static_cast<size_t>(index)];
        } else if (type == u"b") {
            text = value.trimmed() == u"1" ? "TRUE" : "FALSE";
        } else if (type == u"str" || type == u"e") {
            text = value.toStdString();
        } else {
            bool ok = false;
            const double number = value.trimmed().toDouble(&ok);
            text = ok ? numberText(number) : value.toStdString();
        }
        if (!text.empty())
            cells.set(row, column, std::move(text));
    }
    if (xml.hasError()) {
        error = QStringLiteral("工作表内容损坏：%1").arg(xml.errorString());
        return false;
    }
    return true;
}

WorkbookReadResult readXlsx(QByteArray bytes)
{
    WorkbookReadResult result;
    ZipArchive zip;
    if (!zip.open(std::move(bytes), result.error))
        return result;
    PackageParts parts;
    if (!findPackageParts(zip, parts, result.error))
        return result;
    std::vector<std::string> shared;
    if (!parts.sharedStrings.empty()) {
        const auto sharedXml = zip.read(parts.sharedStrings, result.error);
        if (!sharedXml || !readSharedStrings(*sharedXml, shared, result.error))
            return result;
    }
    const auto sheetXml = zip.read(parts.sheet, result.error);
    if (!sheetXml)
        return result;
    SheetCells cells;
    if (readSheetCells(*sheetXml, shared, cells, result.error))
        result.cells = std::move(cells);
    return result;
}

} // namespace

std::string SheetCells::text(int row, int column) const
{
    const auto found = m_cells.find({row, column});
    return found == m_cells.end() ? std::string() : found->second;
}

void SheetCells::set(int row, int column, std::string text)
{
    m_cells[{row, column}] = std::move(text);
}

CellReader SheetCells::reader() const
{
    return [this](int row, int column) { return text(row, column); };
}

std::string numberText(double value)
{
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15)
        return std::to_string(static_cast<long long>(value));
    return formatText("%.15g", value);
}

WorkbookReadResult readFirstWorksheet(const QString& path)
{
    WorkbookReadResult result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("无法打开工作簿 %1：%2").arg(path, file.errorString());
        return result;
    }
    const QByteArray head = file.peek(8);
    if (head == kOle2Magic) {
        file.close();
        return readXls(path);
    }
    if (head.startsWith(kZipMagic)) {
        if (file.size() > 4 * ZipArchive::kMaxEntrySize) {
            result.error = QStringLiteral("工作簿文件太大");
            return result;
        }
        return readXlsx(file.readAll());
    }
    result.error = QStringLiteral("%1 不是可识别的工作簿（既非.xls也非.xlsx）").arg(path);
    return result;
}
