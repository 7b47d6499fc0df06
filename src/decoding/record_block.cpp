#include "decoding/record_block.h"

#include <algorithm>

namespace {

constexpr int kHeadSize = 3 + 14; // address, function, count, block header
constexpr int kCrcSize = 2;
constexpr int kTimeStampOffset = 2;
constexpr int kTimeStampSize = 6;
constexpr uint8_t kBlankByte = 0xFF;

} // namespace

ByteView SlotReader::bytesAt(int offset, int size) const
{
    const auto slotSize = static_cast<int>(m_slot.size());
    if (offset < 0 || size <= 0 || offset >= slotSize)
        return {};
    return m_slot.subspan(static_cast<size_t>(offset),
                          static_cast<size_t>(std::min(size, slotSize - offset)));
}

uint8_t SlotReader::byte(int offset) const
{
    const ByteView piece = bytesAt(offset, 1);
    return piece.empty() ? 0 : piece[0];
}

std::string SlotReader::doubleText(int offset) const
{
    return formatText("%.4f", readDouble(bytesAt(offset, 8)));
}

std::string SlotReader::single(int offset, int decimals) const
{
    return formatText("%.*f", decimals, readSingle(bytesAt(offset, 4)));
}

std::string SlotReader::uint32(int offset) const
{
    return formatText("%u", static_cast<unsigned>(readUInt32(bytesAt(offset, 4))));
}

std::string SlotReader::int64(int offset) const
{
    return formatText("%lld", static_cast<long long>(readInt64(bytesAt(offset, 8))));
}

std::string SlotReader::hex(int offset, int size) const
{
    // Pad a short piece with zero bytes as the Read… functions do.
    Bytes piece(static_cast<size_t>(std::max(size, 0)), 0);
    const ByteView present = bytesAt(offset, size);
    std::copy(present.begin(), present.end(), piece.begin());
    return bytesToHex(piece);
}

int recordBlockLength(const RecordBlockLayout& layout)
{
    return kHeadSize + layout.slotCount * layout.slotSize + kCrcSize;
}

DecodeResult decodeRecordBlock(const RecordBlockLayout& layout, ByteView reply, RecordTable& table)
{
    if (static_cast<int>(reply.size()) != recordBlockLength(layout))
        return DecodeResult::BadLength;
    if (!checkCrc(reply))
        return DecodeResult::BadCheck;
    for (int k = 0; k < layout.slotCount; ++k) {
        const ByteView slotBytes = reply.subspan(static_cast<size_t>(kHeadSize + k * layout.slotSize),
                                                 static_cast<size_t>(layout.slotSize));
        // The record number is not part of the blank test: an unwritten slot may
        // still carry its number.
        if (allBytesEqual(slotBytes.subspan(kTimeStampOffset), kBlankByte))
            return DecodeResult::NoRecord;
        const SlotReader slot(slotBytes);
        const unsigned recordNumber = (unsigned{slotBytes[0]} << 8) | slotBytes[1];
        RecordCells cells;
        cells.push_back(formatText("%u", recordNumber + static_cast<unsigned>(layout.rowNumberOffset)));
        cells.push_back(bcdToDateTime(slot.bytesAt(kTimeStampOffset, kTimeStampSize)));
        layout.appendValues(slot, cells);
        table.appendRow(std::move(cells));
    }
    return DecodeResult::Decoded;
}
