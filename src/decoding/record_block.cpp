#include "decoding/record_block.h"

#include <algorithm>

namespace {

constexpr int kHeadSize = 3 + 14; // address, function, count, block header
constexpr int kCrcSize = 2;
constexpr int kTimeStampOffset = 2;
constexpr int kTimeStampSize = 6;
constexpr uint8_t kBlankByte = 0xFF;

} // namespace

ByteView SlotReader::Piece(int offset, int size) const
{
    const auto slotSize = static_cast<int>(m_slot.size());
    if (offset < 0 || size <= 0 || offset >= slotSize)
        return {};
    return m_slot.subspan(static_cast<size_t>(offset),
                          static_cast<size_t>(std::min(size, slotSize - offset)));
}

uint8_t SlotReader::Byte(int offset) const
{
    const ByteView piece = Piece(offset, 1);
    return piece.empty() ? 0 : piece[0];
}

std::string SlotReader::Double(int offset) const
{
    return Format("%.4f", ReadDouble(Piece(offset, 8)));
}

std::string SlotReader::Single(int offset, int decimals) const
{
    return Format("%.*f", decimals, ReadSingle(Piece(offset, 4)));
}

std::string SlotReader::Uint32(int offset) const
{
    return Format("%u", static_cast<unsigned>(ReadUInt32(Piece(offset, 4))));
}

std::string SlotReader::Int64(int offset) const
{
    return Format("%lld", static_cast<long long>(ReadInt64(Piece(offset, 8))));
}

std::string SlotReader::Hex(int offset, int size) const
{
    // Pad a short piece with zero bytes as the Read… functions do.
    Bytes piece(static_cast<size_t>(std::max(size, 0)), 0);
    const ByteView present = Piece(offset, size);
    std::copy(present.begin(), present.end(), piece.begin());
    return BytesToHex(piece);
}

int RecordBlockLength(const RecordBlockLayout& layout)
{
    return kHeadSize + layout.slotCount * layout.slotSize + kCrcSize;
}

DecodeResult DecodeRecordBlock(const RecordBlockLayout& layout, ByteView reply, RecordTable& table)
{
    if (static_cast<int>(reply.size()) != RecordBlockLength(layout))
        return DecodeResult::BadLength;
    if (!CheckCrc(reply))
        return DecodeResult::BadCheck;
    for (int k = 0; k < layout.slotCount; ++k) {
        const ByteView slotBytes = reply.subspan(static_cast<size_t>(kHeadSize + k * layout.slotSize),
                                                 static_cast<size_t>(layout.slotSize));
        // The record number is not part of the blank test: an unwritten slot may
        // still carry its number.
        if (AllBytesEqual(slotBytes.subspan(kTimeStampOffset), kBlankByte))
            return DecodeResult::NoRecord;
        const SlotReader slot(slotBytes);
        const unsigned recordNumber = (unsigned{slotBytes[0]} << 8) | slotBytes[1];
        RecordCells cells;
        cells.push_back(Format("%u", recordNumber + static_cast<unsigned>(layout.rowNumberOffset)));
        cells.push_back(BcdToDateTime(slot.Piece(kTimeStampOffset, kTimeStampSize)));
        layout.appendValues(slot, cells);
        table.AppendRow(std::move(cells));
    }
    return DecodeResult::Decoded;
}
