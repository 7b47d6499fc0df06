// Shared by the two workbook targets: the reader takes a path, so each input is
// written to a file of this process first and read back through the real entry.
#pragma once

#include "export/workbook_reader.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <unistd.h>

#include <cstdint>

class ScratchWorkbook {
public:
    explicit ScratchWorkbook(const char* suffix)
        : m_path(QStringLiteral("/tmp/ql-fuzz-workbook-%1.%2").arg(getpid()).arg(QLatin1String(suffix)))
    {
    }
    ~ScratchWorkbook() { QFile::remove(m_path); }
    const QString& path() const { return m_path; }

private:
    QString m_path;
};

inline void readWorkbookBytes(const uint8_t* data, size_t size, const QByteArray& magic, const char* suffix)
{
    // Without its format's magic the reader only says "not a workbook": keep the
    // fuzzer inside the format it is meant to explore.
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (!bytes.startsWith(magic))
        bytes.prepend(magic);
    static const ScratchWorkbook scratch(suffix);
    {
        QFile file(scratch.path());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            return;
    }
    readFirstWorksheet(scratch.path());
}
