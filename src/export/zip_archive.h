// Minimal reader of a zip package (the container of an .xlsx workbook): the central
// directory is parsed from the end record, entries are stored or deflated. ZIP64,
// encryption and multi-disk archives are refused. Every offset and size is checked
// against the archive's bytes, so a corrupt package gives an error, never a read
// outside the buffer.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <string>
#include <vector>

class ZipArchive {
public:
    // Parses the central directory of `bytes`; false with `error` set when it is not a
    // readable zip package. The archive keeps its own copy of the bytes.
    bool open(QByteArray bytes, QString& error);

    bool contains(const std::string& name) const;
    // The entry's uncompressed bytes; nullopt with `error` set for a missing entry, a
    // corrupt one, or one larger than kMaxEntrySize.
    std::optional<QByteArray> read(const std::string& name, QString& error) const;

    static constexpr qsizetype kMaxEntrySize = 64 * 1024 * 1024;

private:
    struct Entry {
        std::string name;
        uint16_t method = 0;
        uint16_t flags = 0;
        uint32_t crc = 0;
        uint32_t compressedSize = 0;
        uint32_t size = 0;
        uint32_t localOffset = 0;
    };
    const Entry* search(const std::string& name) const;

    QByteArray m_bytes;
    std::vector<Entry> m_entries;
};
