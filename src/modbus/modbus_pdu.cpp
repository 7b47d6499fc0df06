#include "modbus/modbus_pdu.h"

#include <algorithm>
#include <array>

namespace {

void pushWord(Bytes& bytes, int value)
{
    bytes.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
    bytes.push_back(static_cast<uint8_t>(value & 0xFF));
}

uint16_t wordAt(ByteView bytes, size_t offset)
{
    return static_cast<uint16_t>(bytes[offset] << 8 | bytes[offset + 1]);
}

int quantityLimit(int function)
{
    switch (function) {
    case ModbusFunction::kReadCoils:
    case ModbusFunction::kReadDiscreteInputs:
        return kModbusMaxReadBits;
    case ModbusFunction::kReadHoldingRegisters:
    case ModbusFunction::kReadInputRegisters:
        return kModbusMaxReadRegisters;
    case ModbusFunction::kWriteMultipleCoils:
        return kModbusMaxWriteBits;
    case ModbusFunction::kWriteMultipleRegisters:
        return kModbusMaxWriteRegisters;
    default:
        return 1;
    }
}

} // namespace

bool isModbusReadFunction(int function)
{
    return function >= ModbusFunction::kReadCoils && function <= ModbusFunction::kReadInputRegisters;
}

bool isModbusWriteFunction(int function)
{
    return function == ModbusFunction::kWriteSingleCoil || function == ModbusFunction::kWriteSingleRegister ||
           function == ModbusFunction::kWriteMultipleCoils ||
           function == ModbusFunction::kWriteMultipleRegisters;
}

bool isModbusBitFunction(int function)
{
    return function == ModbusFunction::kReadCoils || function == ModbusFunction::kReadDiscreteInputs ||
           function == ModbusFunction::kWriteSingleCoil || function == ModbusFunction::kWriteMultipleCoils;
}

const char* modbusExceptionName(int code)
{
    static const std::array<const char*, 11> kNames = {
        "illegal function",
        "illegal data address",
        "illegal data value",
        "server device failure",
        "acknowledge",
        "server device busy",
        "negative acknowledge",
        "memory parity error",
        "not defined",
        "gateway path unavailable",
        "gateway target failed to respond",
    };
    if (code < 1 || code > static_cast<int>(kNames.size()))
        return "unknown exception";
    return kNames[static_cast<size_t>(code - 1)];
}

std::string modbusRequestProblem(const ModbusRequest& request)
{
    const int function = request.function;
    const bool write = isModbusWriteFunction(function);
    if (!isModbusReadFunction(function) && !write)
        return "function must be 1, 2, 3, 4, 5, 6, 15 or 16";
    if (request.address > 247)
        return "address must be 0 to 247";
    if (request.address == kModbusBroadcast && !write)
        return "address 0 (broadcast) is for writes only";
    const int count = write ? static_cast<int>(request.values.size()) : request.count;
    const int limit = quantityLimit(function);
    if (count < 1 || count > limit)
        return (write ? "number of values must be 1 to " : "count must be 1 to ") + std::to_string(limit);
    if (int{request.start} + count > 65536)
        return "start + count must not pass address 65535";
    if (isModbusBitFunction(function) && write) {
        for (uint16_t bit : request.values)
            if (bit > 1)
                return "coil values must be 0 or 1";
    }
    return {};
}

Bytes modbusRequestPdu(const ModbusRequest& request)
{
    if (!modbusRequestProblem(request).empty())
        return {};
    Bytes pdu{request.function};
    pushWord(pdu, request.start);
    switch (request.function) {
    case ModbusFunction::kWriteSingleCoil:
        // ON is FF 00 on the wire, OFF 00 00; nothing else is allowed.
        pushWord(pdu, request.values[0] ? 0xFF00 : 0x0000);
        break;
    case ModbusFunction::kWriteSingleRegister:
        pushWord(pdu, request.values[0]);
        break;
    case ModbusFunction::kWriteMultipleCoils: {
        const Bytes packed = packModbusBits(request.values);
        pushWord(pdu, static_cast<int>(request.values.size()));
        pdu.push_back(static_cast<uint8_t>(packed.size()));
        pdu.insert(pdu.end(), packed.begin(), packed.end());
        break;
    }
    case ModbusFunction::kWriteMultipleRegisters:
        pushWord(pdu, static_cast<int>(request.values.size()));
        pdu.push_back(static_cast<uint8_t>(request.values.size() * 2));
        for (uint16_t value : request.values)
            pushWord(pdu, value);
        break;
    default:
        pushWord(pdu, request.count);
        break;
    }
    return pdu;
}

ModbusReply parseModbusReplyPdu(const ModbusRequest& request, ByteView pdu)
{
    ModbusReply reply;
    if (pdu.empty())
        return reply;
    if (pdu[0] == (request.function | 0x80)) {
        if (pdu.size() == 2) {
            reply.kind = ModbusReply::Kind::Exception;
            reply.exceptionCode = pdu[1];
        }
        return reply;
    }
    if (pdu[0] != request.function)
        return reply;
    if (isModbusReadFunction(request.function)) {
        const size_t dataBytes = isModbusBitFunction(request.function) ? (size_t(request.count) + 7) / 8
                                                                       : size_t(request.count) * 2;
        if (pdu.size() != 2 + dataBytes || pdu[1] != dataBytes)
            return reply;
        const ByteView data = pdu.subspan(2);
        reply.values = isModbusBitFunction(request.function) ? unpackModbusBits(data, size_t(request.count))
                                                             : registersFromBytes(data);
        reply.kind = ModbusReply::Kind::Ok;
        return reply;
    }
    // A write is answered with its start and, for the single writes, the
    // value as sent, or for the multiple ones the quantity.
    const Bytes sent = modbusRequestPdu(request);
    if (pdu.size() != 5 || sent.size() < 5 || !std::equal(pdu.begin(), pdu.end(), sent.begin()))
        return reply;
    reply.kind = ModbusReply::Kind::Ok;
    return reply;
}

std::vector<uint16_t> registersFromBytes(ByteView bytes)
{
    std::vector<uint16_t> registers;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        registers.push_back(wordAt(bytes, i));
    return registers;
}

Bytes packModbusBits(const std::vector<uint16_t>& bits)
{
    Bytes packed((bits.size() + 7) / 8, 0);
    for (size_t i = 0; i < bits.size(); ++i)
        if (bits[i])
            packed[i / 8] = static_cast<uint8_t>(packed[i / 8] | (1 << (i % 8)));
    return packed;
}

std::vector<uint16_t> unpackModbusBits(ByteView packed, size_t count)
{
    std::vector<uint16_t> bits;
    for (size_t i = 0; i < count && i / 8 < packed.size(); ++i)
        bits.push_back((packed[i / 8] >> (i % 8)) & 1);
    return bits;
}
