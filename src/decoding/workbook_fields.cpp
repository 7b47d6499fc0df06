#include "decoding/workbook_fields.h"

#include "decoding/decode_result.h"

#include <algorithm>
#include <optional>

namespace {

const FieldTypeList kNoTypes;
const FieldDigitsArray kNoDigits{};

// Bytes taken by a known type name; nullopt for a name the decoder does not know.
std::optional<size_t> fieldSize(const std::string& typeName, bool withS8)
{
    if (typeName == "DT2")
        return 6;
    if (typeName == "DBL")
        return 8;
    if (typeName == "FLT" || typeName == "LNG")
        return 4;
    if (typeName == "BYTE" || typeName == "BIT")
        return 2;
    if (withS8 && typeName == "S8")
        return 4;
    return std::nullopt;
}

std::string fieldText(const std::string& typeName, ByteView bytes, int digits)
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
    // "S8"
    return formatText("%0*X", clampPadWidth(digits), static_cast<unsigned>(readUInt32(bytes)));
}

DecodeResult decodeTyped(int blockNumber, ByteView reply, RecordTable& table,
                         const std::vector<std::string>& fieldTypes, const FieldDigitsArray& fieldDigits,
                         bool withS8)
{
    if (reply.size() < 4)
        return DecodeResult::BadLength;
    const size_t dataCount = reply[2];
    if (reply.size() != dataCount + 5)
        return DecodeResult::BadLength;
    const ByteView data = reply.subspan(3, dataCount);
    // The meter fills unused record slots with zeros; this ends the run even when the
    // check bytes of such an answer are wrong.
    if (allBytesEqual(data, 0x00))
        return DecodeResult::Stop;
    // Byte counts up to 255 make replies longer than the 8-bit CRC count covers.
    if (!checkCrcFull(reply))
        return DecodeResult::BadCheck;

    std::vector<std::string> cells;
    cells.reserve(fieldTypes.size() + 1);
    cells.push_back(std::to_string(blockNumber));
    size_t position = 0;
    for (size_t i = 0; i < fieldTypes.size(); ++i) {
        const std::optional<size_t> size = fieldSize(fieldTypes[i], withS8);
        if (!size)
            continue;
        const int digits = i < fieldDigits.size() ? fieldDigits[i] : 0;
        if (position + *size <= data.size())
            cells.push_back(fieldText(fieldTypes[i], data.subspan(position, *size), digits));
        else
            cells.emplace_back();
        position += *size;
    }
    table.appendRow(std::move(cells));
    return DecodeResult::Decoded;
}

} // namespace

ColumnType fieldColumnType(const std::string& typeName, int digits)
{
    if (typeName == "DT2")
        return ColumnType::Time;
    if (typeName == "DBL" || typeName == "FLT" || (typeName == "LNG" && clampPadWidth(digits) == 0))
        return ColumnType::Number;
    return ColumnType::Text;
}

int clampDecimals(int digits)
{
    return std::clamp(digits, 0, 15);
}

int clampPadWidth(int digits)
{
    return std::clamp(digits, 0, 32);
}

DecodeResult decodeWorkbookFields(const DecodeContext& context, ByteView reply, RecordTable& table)
{
    return decodeTyped(context.blockNumber, reply, table, context.fieldTypes ? *context.fieldTypes : kNoTypes,
                       context.fieldDigits ? *context.fieldDigits : kNoDigits, true);
}

DecodeResult decodeWorkbookAlarmFields(const DecodeContext& context, ByteView reply, RecordTable& table)
{
    return decodeTyped(context.blockNumber, reply, table, context.fieldTypes ? *context.fieldTypes : kNoTypes,
                       context.fieldDigits ? *context.fieldDigits : kNoDigits, false);
}
