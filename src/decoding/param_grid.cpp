#include "decoding/param_grid.h"

#include "decoding/workbook_fields.h"

#include "codec/gbk_text.h"

#include <algorithm>
#include <optional>

namespace {

// Bytes a parameter of this type takes in the block; nullopt for a type name the
// decoder does not know (it takes none).
std::optional<size_t> paramSize(const std::string& typeName)
{
    if (typeName == "DT2")
        return 6;
    if (typeName == "DBL")
        return 8;
    if (typeName == "FLT" || typeName == "LNG" || typeName == "S8")
        return 4;
    if (typeName == "BYTE" || typeName == "BIT")
        return 2;
    if (typeName == "S16")
        return 16;
    return std::nullopt;
}

// The meter's text field: characters up to the first NUL, in the GBK code page of
// its Chinese firmware (plain ASCII for serial numbers).
std::string meterText(ByteView bytes)
{
    const auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
    return gbkToUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()),
                                      static_cast<size_t>(end - bytes.begin())));
}

std::string paramText(const std::string& typeName, ByteView bytes, int digits)
{
    if (typeName == "DT2")
        return bcdToDateTime(bytes);
    if (typeName == "DBL")
        return trimBlanks(formatText("%6.2f", readDouble(bytes)));
    if (typeName == "FLT")
        return trimBlanks(formatText("%6.*f", clampDecimals(digits), readSingle(bytes)));
    if (typeName == "LNG")
        return padLeftZeros(std::to_string(static_cast<int32_t>(readUInt32(bytes))), clampPadWidth(digits));
    if (typeName == "BYTE" || typeName == "BIT")
        // A byte held in a 16-bit register with a zero high byte: the sum is its value.
        return std::to_string(bytes[0] + bytes[1]);
    if (typeName == "S16")
        return meterText(bytes);
    // "S8": always all eight hexadecimal digits of the 32-bit word.
    return formatText("%08X", static_cast<unsigned>(readUInt32(bytes)));
}

} // namespace

ParamGrid fillParamGrid(const std::vector<std::string>& paramFields)
{
    const size_t n = paramFields.size() / 2;
    ParamGrid grid(std::max<size_t>(n / 2 + n % 2, 1));
    for (size_t i = 0; i < n; ++i) {
        ParamGridRow& row = grid[i / 2];
        const size_t column = i % 2 == 0 ? 0 : 2;
        row[column] = paramFields[2 * i];
        // Assigned as a character: GCC 12 wrongly warns (-Wrestrict) of a
        // literal assigned here at -O3.
        row[column + 1].assign(1, '0');
    }
    return grid;
}

int paramGridRowHeight(const ParamGrid& grid)
{
    return kParamGridHeight / static_cast<int>(std::max<size_t>(grid.size(), 1));
}

void resetParamGrid(ParamGrid& grid)
{
    for (ParamGridRow& row : grid) {
        row[1].assign(1, '0');
        row[3].assign(row[2].empty() ? 0 : 1, '0');
    }
}

void blankParamGrid(ParamGrid& grid)
{
    for (ParamGridRow& row : grid) {
        row[1].clear();
        row[3].clear();
    }
}

Bytes typedParamsRequest(uint8_t address, const ParamLayoutArray& paramLayout)
{
    return appendCrc(readRegistersRequest(address, static_cast<uint16_t>(paramLayout[1]),
                                          static_cast<uint16_t>(paramLayout[0])));
}

int typedParamsReplyLength(const ParamLayoutArray& paramLayout)
{
    return paramLayout[0] < 0 ? 0 : 2 * std::min(paramLayout[0], 0xFFFF) + 5;
}

int decodeParamsGrid(ByteView reply, const std::vector<std::string>& paramFields,
                     const ParamLayoutArray& paramLayout, ParamGrid& grid)
{
    if (reply.size() < 4 || reply.size() != size_t{reply[2]} + 5)
        return 2;
    // Byte counts above 252 make replies longer than the 8-bit CRC count covers.
    if (!checkCrcFull(reply))
        return 3;
    const ByteView data = reply.subspan(3, reply[2]);
    const size_t n = paramFields.size() / 2;
    size_t position = 0;
    for (size_t i = 0; i < n; ++i) {
        const std::string& typeName = paramFields[2 * i + 1];
        const std::optional<size_t> size = paramSize(typeName);
        if (!size)
            continue;
        const int digits = i + 2 < paramLayout.size() ? paramLayout[i + 2] : 0;
        if (position + *size <= data.size() && i / 2 < grid.size())
            grid[i / 2][i % 2 == 0 ? 1 : 3] = paramText(typeName, data.subspan(position, *size), digits);
        position += *size;
    }
    return 1;
}
