#include "sim/sim_registers.h"

#include "modbus/modbus_framing.h"
#include "modbus/modbus_pdu.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

constexpr uint8_t kIllegalFunction = 0x01;
constexpr uint8_t kIllegalDataAddress = 0x02;
constexpr uint8_t kIllegalDataValue = 0x03;
constexpr uint8_t kGatewayTargetFailed = 0x0B;
// Modbus TCP devices that are no gateway answer this unit as their own.
constexpr uint8_t kAnyUnit = 0xFF;

Bytes exception(uint8_t function, uint8_t code)
{
    return {static_cast<uint8_t>(function | 0x80), code};
}

uint16_t wordAt(ByteView bytes, size_t offset)
{
    return static_cast<uint16_t>(bytes[offset] << 8 | bytes[offset + 1]);
}

void pushWord(Bytes& bytes, uint16_t value)
{
    bytes.push_back(static_cast<uint8_t>(value >> 8));
    bytes.push_back(static_cast<uint8_t>(value & 0xFF));
}

bool allMapped(const std::map<uint16_t, uint16_t>& table, int start, int count)
{
    for (int address = start; address < start + count; ++address)
        if (address > 0xFFFF || !table.count(static_cast<uint16_t>(address)))
            return false;
    return true;
}

std::map<uint16_t, uint16_t>* tableOf(SimRegisterMap& map, const std::string& kind)
{
    if (kind == "coil")
        return &map.coils;
    if (kind == "input")
        return &map.inputs;
    if (kind == "holding")
        return &map.holding;
    if (kind == "ireg")
        return &map.ireg;
    return nullptr;
}

std::string trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool parseNumber(const std::string& text, long max, long& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 0);
    return *end == '\0' && value >= 0 && value <= max;
}

} // namespace

SimRegisterMap defaultSimRegisterMap()
{
    SimRegisterMap map;
    for (uint16_t address = 0; address < 100; ++address) {
        map.coils[address] = address % 2 == 0;
        map.inputs[address] = address % 2 == 1;
        map.holding[address] = address;
        map.ireg[address] = static_cast<uint16_t>(1000 + address);
    }
    return map;
}

std::string loadSimRegisterMap(const std::string& path, SimRegisterMap& map)
{
    std::ifstream in(path);
    if (!in)
        return "cannot read register map " + path;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        line = trimmed(line);
        if (line.empty() || line[0] == '#' || (number == 1 && line.rfind("kind", 0) == 0))
            continue;
        std::vector<std::string> fields;
        std::stringstream stream(line);
        for (std::string field; std::getline(stream, field, ',');)
            fields.push_back(trimmed(field));
        const std::string where = path + " line " + std::to_string(number) + ": ";
        if (fields.size() != 3)
            return where + "expected kind,address,value";
        std::map<uint16_t, uint16_t>* table = tableOf(map, fields[0]);
        if (!table)
            return where + "kind must be coil, input, holding or ireg";
        const bool bits = table == &map.coils || table == &map.inputs;
        long address = 0;
        long value = 0;
        if (!parseNumber(fields[1], 0xFFFF, address))
            return where + "address must be 0 to 65535";
        if (!parseNumber(fields[2], bits ? 1 : 0xFFFF, value))
            return where + (bits ? "value must be 0 or 1" : "value must be 0 to 65535");
        (*table)[static_cast<uint16_t>(address)] = static_cast<uint16_t>(value);
    }
    return {};
}

SimModbusSlave::SimModbusSlave(SimRegisterMap map, int address, const ModbusFraming& framing)
    : m_map(std::move(map)), m_address(address), m_framing(framing)
{
}

std::optional<Bytes> SimModbusSlave::respond(ByteView request)
{
    const ModbusFraming::Unwrapped frame = m_framing.unwrap(request);
    if (!frame.ok || frame.pdu.empty())
        return std::nullopt;
    const bool ours = frame.address == m_address || (m_framing.isTcp() && frame.address == kAnyUnit);
    if (frame.address == kModbusBroadcast) {
        answerPdu(frame.pdu);
        return std::nullopt;
    }
    if (!ours) {
        if (!m_framing.isTcp())
            return std::nullopt;
        return m_framing.frame(frame.address, exception(frame.pdu[0], kGatewayTargetFailed),
                               frame.transaction);
    }
    return m_framing.frame(frame.address, answerPdu(frame.pdu), frame.transaction);
}

Bytes SimModbusSlave::answerPdu(ByteView pdu)
{
    const uint8_t function = pdu[0];
    if (!isModbusReadFunction(function) && !isModbusWriteFunction(function))
        return exception(function, kIllegalFunction);
    // A PDU cut short or with trailing bytes has no value to act on.
    const std::optional<size_t> length = ModbusFraming::requestPduLength(pdu);
    if (!length || *length != pdu.size())
        return exception(function, kIllegalDataValue);
    const uint16_t start = wordAt(pdu, 1);
    std::map<uint16_t, uint16_t>& table = function == ModbusFunction::kReadDiscreteInputs   ? m_map.inputs
                                          : function == ModbusFunction::kReadInputRegisters ? m_map.ireg
                                          : isModbusBitFunction(function)                   ? m_map.coils
                                                                                            : m_map.holding;
    Bytes reply{function};
    if (isModbusReadFunction(function)) {
        const int count = wordAt(pdu, 3);
        const int limit = isModbusBitFunction(function) ? kModbusMaxReadBits : kModbusMaxReadRegisters;
        if (count < 1 || count > limit)
            return exception(function, kIllegalDataValue);
        if (!allMapped(table, start, count))
            return exception(function, kIllegalDataAddress);
        std::vector<uint16_t> values;
        for (int i = 0; i < count; ++i)
            values.push_back(table[static_cast<uint16_t>(start + i)]);
        if (isModbusBitFunction(function)) {
            const Bytes packed = packModbusBits(values);
            reply.push_back(static_cast<uint8_t>(packed.size()));
            reply.insert(reply.end(), packed.begin(), packed.end());
        } else {
            reply.push_back(static_cast<uint8_t>(count * 2));
            for (uint16_t value : values)
                pushWord(reply, value);
        }
        return reply;
    }
    if (function == ModbusFunction::kWriteSingleCoil || function == ModbusFunction::kWriteSingleRegister) {
        const uint16_t value = wordAt(pdu, 3);
        if (function == ModbusFunction::kWriteSingleCoil && value != 0xFF00 && value != 0x0000)
            return exception(function, kIllegalDataValue);
        if (!allMapped(table, start, 1))
            return exception(function, kIllegalDataAddress);
        table[start] = function == ModbusFunction::kWriteSingleCoil ? uint16_t(value ? 1 : 0) : value;
        return Bytes(pdu.begin(), pdu.begin() + 5);
    }
    const int count = wordAt(pdu, 3);
    const bool bits = function == ModbusFunction::kWriteMultipleCoils;
    const int limit = bits ? kModbusMaxWriteBits : kModbusMaxWriteRegisters;
    const size_t dataBytes = bits ? (size_t(count) + 7) / 8 : size_t(count) * 2;
    if (count < 1 || count > limit || pdu[5] != dataBytes)
        return exception(function, kIllegalDataValue);
    if (!allMapped(table, start, count))
        return exception(function, kIllegalDataAddress);
    const ByteView data = pdu.subspan(6);
    const std::vector<uint16_t> values =
        bits ? unpackModbusBits(data, size_t(count)) : registersFromBytes(data);
    for (int i = 0; i < count; ++i)
        table[static_cast<uint16_t>(start + i)] = values[static_cast<size_t>(i)];
    return Bytes(pdu.begin(), pdu.begin() + 5);
}
