#include "export/compound_file_check.h"

#include <vector>

namespace {

// Header layout, all numbers little-endian.
constexpr size_t kHeaderSize = 512;
constexpr size_t kSectorShiftAt = 30;
constexpr size_t kFatSectorCountAt = 44;
constexpr size_t kFirstDirectorySectorAt = 48;
constexpr size_t kFirstDifatSectorAt = 68;
constexpr size_t kDifatSectorCountAt = 72;
constexpr size_t kHeaderDifatAt = 76;
constexpr size_t kHeaderDifatCount = 109;

constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFreeSector = 0xFFFFFFFF;

constexpr size_t kEntrySize = 128;
constexpr size_t kNameLengthAt = 64;
// 32 UTF-16 units including the terminating zero.
constexpr uint32_t kMaxNameBytes = 64;

uint32_t U16(std::span<const uint8_t> bytes, size_t at)
{
    return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8;
}

uint32_t U32(std::span<const uint8_t> bytes, size_t at)
{
    return U16(bytes, at) | U16(bytes, at + 2) << 16;
}

class CompoundFile {
public:
    CompoundFile(std::span<const uint8_t> file, uint32_t shift)
        : m_file(file), m_sectorSize(size_t{1} << shift)
    {
    }

    size_t sectorSize() const { return m_sectorSize; }
    size_t sectorCount() const
    {
        return m_file.size() <= kHeaderSize ? 0 : (m_file.size() - m_sectorSize) / m_sectorSize;
    }
    // The bytes of sector n; empty when it lies (partly) outside the file.
    std::span<const uint8_t> sector(uint32_t n) const
    {
        const uint64_t offset = (uint64_t{n} + 1) * m_sectorSize;
        if (offset + m_sectorSize > m_file.size())
            return {};
        return m_file.subspan(static_cast<size_t>(offset), m_sectorSize);
    }

private:
    std::span<const uint8_t> m_file;
    size_t m_sectorSize;
};

// The sector numbers of the FAT, from the header and the DIFAT chain.
bool readFatSectors(std::span<const uint8_t> file, const CompoundFile& cf, std::vector<uint32_t>& fat,
                    std::string& error)
{
    const uint32_t fatCount = U32(file, kFatSectorCountAt);
    if (fatCount > cf.sectorCount()) {
        error = "more FAT sectors than the file holds";
        return false;
    }
    for (size_t i = 0; i < kHeaderDifatCount && fat.size() < fatCount; ++i)
        fat.push_back(U32(file, kHeaderDifatAt + 4 * i));
    uint32_t difat = U32(file, kFirstDifatSectorAt);
    uint32_t difatCount = U32(file, kDifatSectorCountAt);
    const size_t perSector = cf.sectorSize() / 4 - 1; // the last entry links to the next DIFAT sector
    while (fat.size() < fatCount) {
        if (difatCount-- == 0) {
            error = "the DIFAT ends before every FAT sector is listed";
            return false;
        }
        const std::span<const uint8_t> sector = cf.sector(difat);
        if (sector.empty()) {
            error = "a DIFAT sector lies outside the file";
            return false;
        }
        for (size_t i = 0; i < perSector && fat.size() < fatCount; ++i)
            fat.push_back(U32(sector, 4 * i));
        difat = U32(sector, 4 * perSector);
    }
    return true;
}

} // namespace

std::string checkCompoundFileDirectory(std::span<const uint8_t> file)
{
    if (file.size() < kHeaderSize)
        return "shorter than a compound file header";
    const uint32_t shift = U16(file, kSectorShiftAt);
    if (shift != 9 && shift != 12)
        return "sector size is neither 512 nor 4096 bytes";
    const CompoundFile cf(file, shift);
    std::vector<uint32_t> fatSectors;
    std::string error;
    if (!readFatSectors(file, cf, fatSectors, error))
        return error;
    const size_t entriesPerFatSector = cf.sectorSize() / 4;

    // Every sector of the file can be in the chain at most once: more steps is a loop.
    size_t steps = 0;
    for (uint32_t sector = U32(file, kFirstDirectorySectorAt); sector != kEndOfChain;) {
        if (sector == kFreeSector || ++steps > cf.sectorCount())
            return "the directory chain loops or is broken";
        const std::span<const uint8_t> entries = cf.sector(sector);
        if (entries.empty())
            return "a directory sector lies outside the file";
        for (size_t at = 0; at + kEntrySize <= entries.size(); at += kEntrySize) {
            const uint32_t nameBytes = U16(entries, at + kNameLengthAt);
            if (nameBytes > kMaxNameBytes || nameBytes % 2 != 0)
                return "a directory entry states an impossible name length";
        }
        const size_t fatIndex = sector / entriesPerFatSector;
        if (fatIndex >= fatSectors.size())
            return "the directory chain leaves the FAT";
        const std::span<const uint8_t> fat = cf.sector(fatSectors[fatIndex]);
        if (fat.empty())
            return "a FAT sector lies outside the file";
        sector = U32(fat, 4 * (sector % entriesPerFatSector));
    }
    return {};
}
