// Modbus protocol data units (function code and data, no address or check
// bytes) of the functions a general master needs: reads 01 to 04, writes 05,
// 06, 15 and 16. Values are 16-bit registers, or 0/1 per bit for the bit
// functions (01, 02, 05, 15).
#pragma once

#include "codec/codec.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ModbusFunction {
constexpr uint8_t kReadCoils = 0x01;
constexpr uint8_t kReadDiscreteInputs = 0x02;
constexpr uint8_t kReadHoldingRegisters = 0x03;
constexpr uint8_t kReadInputRegisters = 0x04;
constexpr uint8_t kWriteSingleCoil = 0x05;
constexpr uint8_t kWriteSingleRegister = 0x06;
constexpr uint8_t kWriteMultipleCoils = 0x0F;
constexpr uint8_t kWriteMultipleRegisters = 0x10;
} // namespace ModbusFunction

// The protocol's quantity limits: what fits one reply (reads) or one request
// (writes) of at most 253 PDU bytes.
constexpr int kModbusMaxReadBits = 2000;
constexpr int kModbusMaxReadRegisters = 125;
constexpr int kModbusMaxWriteBits = 1968;
constexpr int kModbusMaxWriteRegisters = 123;
// Address 0 is heard by every slave and answered by none (writes only).
constexpr uint8_t kModbusBroadcast = 0;

bool isModbusReadFunction(int function);
bool isModbusWriteFunction(int function);
// The function moves bits (coils or discrete inputs) rather than registers.
bool isModbusBitFunction(int function);

// "illegal function" for 01 … "gateway target failed to respond" for 0B;
// "unknown exception" for any other code.
const char* modbusExceptionName(int code);

struct ModbusRequest {
    uint8_t address = 1;
    uint8_t function = ModbusFunction::kReadHoldingRegisters;
    uint16_t start = 0; // 0-based
    // Reads: how many bits or registers; writes: taken from values.
    int count = 1;
    // Writes: the registers, or 0/1 per coil.
    std::vector<uint16_t> values;
};

// Empty when the request is within the protocol: a known function, 1..limit
// bits or registers, start + count within 65536, single writes with one value,
// broadcast only for writes. Otherwise a message that names what is wrong.
std::string modbusRequestProblem(const ModbusRequest& request);
// The request's PDU; empty when ModbusRequestProblem finds fault with it.
Bytes modbusRequestPdu(const ModbusRequest& request);

struct ModbusReply {
    enum class Kind { Ok, Exception, Malformed };
    Kind kind = Kind::Malformed;
    int exceptionCode = 0;        // Kind::Exception
    std::vector<uint16_t> values; // Kind::Ok, reads: request.count bits or registers
};
// What a reply PDU says to `request`: the values of a read, the echo of a
// write, an exception (function | 0x80 and its code). Anything else, such as a
// byte count that does not match the request or another function, is
// Malformed.
ModbusReply parseModbusReplyPdu(const ModbusRequest& request, ByteView pdu);

// Registers of a read reply or a write request from big-endian bytes, and back.
std::vector<uint16_t> registersFromBytes(ByteView bytes);
// Bits packed least significant first, as the coil functions carry them.
Bytes packModbusBits(const std::vector<uint16_t>& bits);
std::vector<uint16_t> unpackModbusBits(ByteView packed, size_t count);
