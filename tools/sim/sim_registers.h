// A general Modbus slave for the simulator: a register map of coils, discrete
// inputs, holding and input registers, read and written by functions 01 to 06,
// 15 and 16. Addresses outside the map answer exception 02, other functions
// exception 01; writes change the map.
#pragma once

#include "codec/codec.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

class ModbusFraming;

struct SimRegisterMap {
    // 0-based address → value (0/1 for the bit tables).
    std::map<uint16_t, uint16_t> coils;
    std::map<uint16_t, uint16_t> inputs;
    std::map<uint16_t, uint16_t> holding;
    std::map<uint16_t, uint16_t> ireg;
};

// Addresses 0 to 99 of every table: coils on at even addresses, discrete
// inputs on at odd ones, holding register N holds N, input register N holds
// 1000 + N.
SimRegisterMap defaultSimRegisterMap();

// CSV lines `kind,address,value` (kind coil|input|holding|ireg, address
// 0..65535, value decimal or 0x hex, 0/1 for bits); blank lines, lines from
// "#" and a first line "kind,address,value" are skipped. Empty on success,
// else a message naming the file and line.
std::string loadSimRegisterMap(const std::string& path, SimRegisterMap& map);

class SimModbusSlave {
public:
    SimModbusSlave(SimRegisterMap map, int address, const ModbusFraming& framing);

    // The reply frame to one whole request frame; nullopt when the slave keeps
    // silent: a broadcast (which it still carries out), a bad check, or another
    // address on RTU. Over Modbus TCP another unit is answered with exception
    // 0B, as a gateway whose target is absent does.
    std::optional<Bytes> respond(ByteView request);
    // The reply PDU to a request PDU.
    Bytes answerPdu(ByteView pdu);

    const SimRegisterMap& map() const { return m_map; }

private:
    SimRegisterMap m_map;
    int m_address;
    const ModbusFraming& m_framing;
};
