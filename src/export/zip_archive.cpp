#include "export/zip_archive.h"

#include <zlib.h>

namespace {

constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr qsizetype kEndRecordSize = 22;
constexpr qsizetype kCentralHeaderSize = 46;
constexpr qsizetype kLocalHeaderSize = 30;
constexpr qsizetype kMaxCommentSize = 0xFFFF;

// Zip numbers are little-endian.
uint16_t le16(const QByteArray& bytes, qsizetype at)
{
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.constData()) + at;
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t le32(const QByteArray& bytes, qsizetype at)
{
    return static_cast<uint32_t>(le16(bytes, at)) | (static_cast<uint32_t>(le16(bytes, at + 2)) << 16);
}

bool fits(const QByteArray& bytes, qsizetype at, qsizetype count)
{
    return at >= 0 && count >= 0 && at <= bytes.size() && count <= bytes.size() - at;
}

} // namespace

bool ZipArchive::open(QByteArray bytes, QString& error)
{
    m_bytes = std::move(bytes);
    m_entries.clear();
    if (m_bytes.size() < kEndRecordSize) {
        error = QStringLiteral("压缩包太短，不是完整的工作簿");
        return false;
    }
    qsizetype endAt = -1;
    const qsizetype lowest = std::max<qsizetype>(0, m_bytes.size() - kEndRecordSize - kMaxCommentSize);
    for (qsizetype at = m_bytes.size() - kEndRecordSize; at >= lowest; --at) {
        if (le32(m_bytes, at) == kEndSignature) {
            endAt = at;
            break;
        }
    }
    if (endAt < 0) {
        error = QStringLiteral("压缩包缺少目录结尾记录");
        return false;
    }
    const uint16_t disk = le16(m_bytes, endAt + 4);
    const uint16_t count = le16(m_bytes, endAt + 10);
    const uint32_t directorySize = le32(m_bytes, endAt + 12);
    const uint32_t directoryAt = le32(m_bytes, endAt + 16);
    if (disk != 0 || directoryAt == 0xFFFFFFFF || count == 0xFFFF) {
        error = QStringLiteral("不支持分卷或ZIP64压缩包");
        return false;
    }
    if (!fits(m_bytes, directoryAt, directorySize)) {
        error = QStringLiteral("压缩包目录超出文件范围");
        return false;
    }
    qsizetype at = directoryAt;
    for (int i = 0; i < count; ++i) {
        if (!fits(m_bytes, at, kCentralHeaderSize) || le32(m_bytes, at) != kCentralSignature) {
            error = QStringLiteral("压缩包目录项损坏");
            return false;
        }
        Entry entry;
        entry.flags = le16(m_bytes, at + 8);
        entry.method = le16(m_bytes, at + 10);
        entry.crc = le32(m_bytes, at + 16);
        entry.compressedSize = le32(m_bytes, at + 20);
        entry.size = le32(m_bytes, at + 24);
        const uint16_t nameLength = le16(m_bytes, at + 28);
        const uint16_t extraLength = le16(m_bytes, at + 30);
        const uint16_t commentLength = le16(m_bytes, at + 32);
        entry.localOffset = le32(m_bytes, at + 42);
        const qsizetype total = kCentralHeaderSize + nameLength + extraLength + commentLength;
        if (!fits(m_bytes, at, total)) {
            error = QStringLiteral("压缩包目录项损坏");
            return false;
        }
        entry.name.assign(m_bytes.constData() + at + kCentralHeaderSize, nameLength);
        m_entries.push_back(std::move(entry));
        at += total;
    }
    return true;
}

const ZipArchive::Entry* ZipArchive::search(const std::string& name) const
{
    for (const Entry& entry : m_entries)
        if (entry.name == name)
            return &entry;
    return nullptr;
}

bool ZipArchive::contains(const std::string& name) const
{
    return search(name) != nullptr;
}

std::optional<QByteArray> ZipArchive::read(const std::string& name, QString& error) const
{
    const Entry* entry = search(name);
    const QString shownName = QString::fromStdString(name);
    if (!entry) {
        error = QStringLiteral("工作簿缺少部件 %1").arg(shownName);
        return std::nullopt;
    }
    if (entry->flags & 0x0001) {
        error = QStringLiteral("部件 %1 已加密").arg(shownName);
        return std::nullopt;
    }
    if (entry->size > kMaxEntrySize) {
        error = QStringLiteral("部件 %1 太大").arg(shownName);
        return std::nullopt;
    }
    const qsizetype local = entry->localOffset;
    if (!fits(m_bytes, local, kLocalHeaderSize) || le32(m_bytes, local) != kLocalSignature) {
        error = QStringLiteral("部件 %1 的本地文件头损坏").arg(shownName);
        return std::nullopt;
    }
    const qsizetype dataAt = local + kLocalHeaderSize + le16(m_bytes, local + 26) + le16(m_bytes, local + 28);
    if (!fits(m_bytes, dataAt, entry->compressedSize)) {
        error = QStringLiteral("部件 %1 超出文件范围").arg(shownName);
        return std::nullopt;
    }
    const auto* source = reinterpret_cast<const Bytef*>(m_bytes.constData() + dataAt);
    QByteArray out;
    if (entry->method == 0) {
        if (entry->compressedSize != entry->size) {
            error = QStringLiteral("部件 %1 长度不一致").arg(shownName);
            return std::nullopt;
        }
        out = QByteArray(reinterpret_cast<const char*>(source), entry->size);
    } else if (entry->method == 8 && entry->size == 0) {
        out.clear();
    } else if (entry->method == 8) {
        out.resize(entry->size);
        z_stream stream{};
        // Negative window bits: raw deflate data without a zlib header, as zip stores it.
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) {
            error = QStringLiteral("无法解压部件 %1").arg(shownName);
            return std::nullopt;
        }
        stream.next_in = const_cast<Bytef*>(source);
        stream.avail_in = entry->compressedSize;
        stream.next_out = reinterpret_cast<Bytef*>(out.data());
        stream.avail_out = entry->size;
        const int status = inflate(&stream, Z_FINISH);
        const uLong produced = stream.total_out;
        inflateEnd(&stream);
        if (status != Z_STREAM_END || produced != entry->size) {
            error = QStringLiteral("部件 %1 解压失败（数据损坏）").arg(shownName);
            return std::nullopt;
        }
    } else {
        error = QStringLiteral("部件 %1 的压缩方式%2不受支持").arg(shownName).arg(entry->method);
        return std::nullopt;
    }
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(out.constData()),
                            static_cast<uInt>(out.size()));
    if (crc != entry->crc) {
        error = QStringLiteral("部件 %1 校验错误").arg(shownName);
        return std::nullopt;
    }
    return out;
}
