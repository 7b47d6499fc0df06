// Builds block replies of device types 6 and 7 for the decoder tests: address,
// function, byte count, a 14-byte block header, the record slots and the CRC.
#pragma once

#include <bit>
#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codec/codec.h"
#include "decoding/record_table.h"
#include "kind_decoder.h"
#include "support/hex.h"

namespace replies {

inline Bytes bigEndian(uint64_t value, int size)
{
    Bytes out;
    for (int i = size - 1; i >= 0; --i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return out;
}

inline Bytes dbl(double value)
{
    return bigEndian(std::bit_cast<uint64_t>(value), 8);
}
inline Bytes sgl(float value)
{
    return bigEndian(std::bit_cast<uint32_t>(value), 4);
}
inline Bytes U32(uint32_t value)
{
    return bigEndian(value, 4);
}
inline Bytes I64(int64_t value)
{
    return bigEndian(static_cast<uint64_t>(value), 8);
}

inline Bytes cat(std::initializer_list<Bytes> pieces)
{
    Bytes out;
    for (const Bytes& piece : pieces)
        out.insert(out.end(), piece.begin(), piece.end());
    return out;
}

// A time stamp that is easy to recognise in the rows: 2023-05-17 08:30:00.
inline const Bytes kTime = hexBytes("23 05 17 08 30 00");
inline const char* const kTimeText = "2023-05-17 08:30:00";

// Record number, time stamp, then the values; padded with 0x00 (or cut) to size.
inline Bytes slot(uint16_t number, const Bytes& time, const Bytes& values, int size)
{
    Bytes out = cat({bigEndian(number, 2), time, values});
    out.resize(static_cast<size_t>(size), 0x00);
    return out;
}

// A slot whose data bytes are all 0xFF; the number bytes are not part of the test.
inline Bytes blankSlot(int size)
{
    Bytes out(static_cast<size_t>(size), 0xFF);
    out[0] = 0x00;
    out[1] = 0x07;
    return out;
}

inline Bytes blockReply(const std::vector<Bytes>& slots)
{
    Bytes data(14, 0x00); // block header: not shown by the decoders
    data[0] = 0x01;
    for (const Bytes& slot : slots)
        data.insert(data.end(), slot.begin(), slot.end());
    Bytes frame{0x17, 0x03, static_cast<uint8_t>(data.size())};
    frame.insert(frame.end(), data.begin(), data.end());
    return appendCrc(frame);
}

// The same slot values in every slot, record numbers counting up from `first`.
inline Bytes fullBlock(int slotCount, int slotSize, const Bytes& values, uint16_t first = 0)
{
    std::vector<Bytes> slots;
    for (int k = 0; k < slotCount; ++k)
        slots.push_back(slot(static_cast<uint16_t>(first + k), kTime, values, slotSize));
    return blockReply(slots);
}

} // namespace replies
