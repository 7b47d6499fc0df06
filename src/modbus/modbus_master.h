// One Modbus request and its reply over the exchange, so the frames land in
// the same hex log as every other request. The outcome is a value; the
// window and the command-line reader say it in their own words.
#pragma once

#include "modbus/modbus_framing.h"
#include "modbus/modbus_pdu.h"

#include <array>
#include <string>
#include <vector>

class Exchange;
class QString;

// Modbus TCP for an mbtcp:// port name, RTU for every other.
const ModbusFraming& modbusFramingForPort(const QString& portName);

struct ModbusOutcome {
    enum class Kind {
        Ok,        // values hold what a read gave
        Broadcast, // a write to address 0 went out; nobody answers it
        Timeout,   // nothing came within the response timeout
        Exception, // the slave refused with exceptionCode
        Error,     // a reply came but is wrong (or its echo was): error says how
    };
    Kind kind = Kind::Timeout;
    int exceptionCode = 0;
    std::string error;
    std::vector<uint16_t> values;
    Bytes request;
    Bytes reply;
};

struct ModbusCounters {
    int requests = 0;
    int goodReplies = 0;
    int timeouts = 0;
    int checkErrors = 0; // bad CRC or MBAP header, wrong length, address or transaction, bad echo
    int exceptions = 0;
    std::array<int, 256> exceptionsByCode{};
};

class ModbusMaster {
public:
    ModbusMaster(Exchange& exchange, const ModbusFraming& framing);

    // Sends `request` (which ModbusRequestProblem must accept; otherwise an
    // Error outcome and nothing is sent) and collects the reply: it ends once
    // the frame is whole by its own length, after `responseTimeoutMs` with
    // nothing, or after that long without a further byte of a frame still
    // short. Port failures (ComPortError) pass through to the caller.
    ModbusOutcome transact(const ModbusRequest& request, int responseTimeoutMs);

    const ModbusCounters& counters() const { return m_counters; }
    void resetCounters() { m_counters = {}; }
    const ModbusFraming& framing() const { return *m_framing; }
    // The transaction id the next request carries (Modbus TCP), so a frame
    // shown before sending is the frame sent.
    uint16_t nextTransaction() const { return static_cast<uint16_t>(m_transaction + 1); }
    // The port changed to another transport.
    void setFraming(const ModbusFraming& framing) { m_framing = &framing; }

private:
    Bytes collectReply(int responseTimeoutMs);
    ModbusOutcome judge(const ModbusRequest& request, ModbusOutcome outcome);

    Exchange& m_exchange;
    const ModbusFraming* m_framing;
    uint16_t m_transaction = 0;
    ModbusCounters m_counters;
};
