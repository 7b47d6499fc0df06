#include "decoding/typed_fields.h"

#include "decoding/decode_result.h"

#include <algorithm>
#include <optional>

namespace {

const FieldTypeList kNoTypes;
const FieldDigitsArray kNoDigits{};

// Bytes taken by a known type name; nullopt for a name the decoder does not know.
std::optional<size_t> FieldSize(const std::string& typeName, bool withS8)
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

std::string FieldText(const std::string& typeName, ByteView bytes, int digits)
{
    if (typeName == "DT2")
        return BcdToDateTime(bytes);
    if (typeName == "DBL")
        return TrimBlanks(Format("%6.2f", ReadDouble(bytes)));
    if (typeName == "FLT")
        return TrimBlanks(Format("%6.*f", ClampDecimals(digits), ReadSingle(bytes)));
    if (typeName == "LNG")
        return PadLeftZeros(std::to_string(static_cast<int32_t>(ReadUInt32(bytes))), ClampPadWidth(digits));
    if (typeName == "BYTE" || typeName == "BIT")
        // A byte held in a 16-bit register with a zero high byte: the sum is its value.
        return std::to_string(bytes[0] + bytes[1]);
    // "S8"
    return Format("%0*X", ClampPadWidth(digits), static_cast<unsigned>(ReadUInt32(bytes)));
}

DecodeResult DecodeTyped(int blockNumber, ByteView reply, RecordTable& table,
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
    if (AllBytesEqual(data, 0x00))
        return DecodeResult::Stop;
    // Byte counts up to 255 make replies longer than the 8-bit CRC count covers.
    if (!CheckCrcFull(reply))
        return DecodeResult::BadCheck;

    std::vector<std::string> cells;
    cells.reserve(fieldTypes.size() + 1);
    cells.push_back(std::to_string(blockNumber));
    size_t position = 0;
    for (size_t i = 0; i < fieldTypes.size(); ++i) {
        const std::optional<size_t> size = FieldSize(fieldTypes[i], withS8);
        if (!size)
            continue;
        const int digits = i < fieldDigits.size() ? fieldDigits[i] : 0;
        if (position + *size <= data.size())
            cells.push_back(FieldText(fieldTypes[i], data.subspan(position, *size), digits));
        else
            cells.emplace_back();
        position += *size;
    }
    table.AppendRow(std::move(cells));
    return DecodeResult::Decoded;
}

} // namespace

ColumnType FieldColumnType(const std::string& typeName, int digits)
{
    if (typeName == "DT2")
        return ColumnType::Time;
    if (typeName == "DBL" || typeName == "FLT" || (typeName == "LNG" && ClampPadWidth(digits) == 0))
        return ColumnType::Number;
    return ColumnType::Text;
}

int ClampDecimals(int digits)
{
    return std::clamp(digits, 0, 15);
}

int ClampPadWidth(int digits)
{
    return std::clamp(digits, 0, 32);
}

DecodeResult DecodeTypedFields(const DecodeContext& context, ByteView reply, RecordTable& table)
{
    return DecodeTyped(context.blockNumber, reply, table, context.fieldTypes ? *context.fieldTypes : kNoTypes,
                       context.fieldDigits ? *context.fieldDigits : kNoDigits, true);
}

DecodeResult DecodeTypedAlarmFields(const DecodeContext& context, ByteView reply, RecordTable& table)
{
    return DecodeTyped(context.blockNumber, reply, table, context.fieldTypes ? *context.fieldTypes : kNoTypes,
                       context.fieldDigits ? *context.fieldDigits : kNoDigits, false);
}
