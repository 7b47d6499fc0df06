// How the master judges what comes back: whole replies however they arrive,
// and every way a reply can be wrong counted as what it is.
#include "../protocol/scripted_link.h"
#include "codec/codec.h"
#include "log/log_model.h"
#include "modbus/modbus_master.h"
#include "protocol/exchange.h"
#include "serial/echo_removing_link.h"

#include <gtest/gtest.h>

namespace {

Bytes rtu(std::initializer_list<uint8_t> bytes)
{
    return appendCrc(Bytes(bytes));
}

Bytes mbap(uint16_t transaction, std::initializer_list<uint8_t> unitAndPdu)
{
    Bytes frame{uint8_t(transaction >> 8), uint8_t(transaction & 0xFF), 0, 0, 0, uint8_t(unitAndPdu.size())};
    frame.insert(frame.end(), unitAndPdu);
    return frame;
}

enum class Line { Rtu, Tcp, RtuEchoRemoved };

struct Row {
    const char* name;
    Line line;
    std::vector<ScriptedPiece> reply; // to a read of holding registers 0 and 1 at address 1
    ModbusOutcome::Kind kind;
    std::string error;
    int exceptionCode;
};

TEST(ModbusMaster, JudgesEveryKindOfReply)
{
    const Bytes good = rtu({1, 3, 4, 0, 10, 0, 11});
    const Row rows[] = {
        {"whole at once", Line::Rtu, {{5, good}}, ModbusOutcome::Kind::Ok, "", 0},
        // The byte count comes after a pause longer than 3.5 characters: not a
        // reply cut short.
        {"held back after the function",
         Line::Rtu,
         {{5, {good.begin(), good.begin() + 2}}, {60, {good.begin() + 2, good.end()}}},
         ModbusOutcome::Kind::Ok,
         "",
         0},
        {"bad CRC",
         Line::Rtu,
         {{5, {1, 3, 4, 0, 10, 0, 11, 0, 0}}},
         ModbusOutcome::Kind::Error,
         "bad CRC",
         0},
        {"another slave",
         Line::Rtu,
         {{5, rtu({2, 3, 4, 0, 10, 0, 11})}},
         ModbusOutcome::Kind::Error,
         "reply from address 2",
         0},
        {"byte count off",
         Line::Rtu,
         {{5, rtu({1, 3, 2, 0, 10})}},
         ModbusOutcome::Kind::Error,
         "reply does not answer the request",
         0},
        {"exception", Line::Rtu, {{5, rtu({1, 0x83, 2})}}, ModbusOutcome::Kind::Exception, "", 2},
        {"silence", Line::Rtu, {}, ModbusOutcome::Kind::Timeout, "", 0},
        // No echo came, so the reply was taken for it: no timeout.
        {"echo missing",
         Line::RtuEchoRemoved,
         {{0, good}},
         ModbusOutcome::Kind::Error,
         "echo differs from the request",
         0},
        {"tcp", Line::Tcp, {{5, mbap(1, {1, 3, 4, 0, 10, 0, 11})}}, ModbusOutcome::Kind::Ok, "", 0},
        {"tcp other transaction",
         Line::Tcp,
         {{5, mbap(7, {1, 3, 4, 0, 10, 0, 11})}},
         ModbusOutcome::Kind::Error,
         "reply to transaction 7",
         0},
    };
    for (const Row& row : rows) {
        VirtualClock clock;
        ScriptedLink link(clock, [&row](int, ByteView) { return row.reply; });
        EchoRemovingLink echoRemoval(link);
        echoRemoval.setEnabled(row.line == Line::RtuEchoRemoved);
        LogModel log;
        Exchange exchange(echoRemoval, log, clock);
        ModbusMaster master(exchange, row.line == Line::Tcp ? ModbusFraming::tcp() : ModbusFraming::rtu());
        ModbusRequest request;
        request.count = 2;
        const Bytes preview =
            master.framing().frame(request.address, modbusRequestPdu(request), master.nextTransaction());
        const ModbusOutcome outcome = master.transact(request, 200);
        EXPECT_EQ(outcome.request, preview) << row.name;
        EXPECT_EQ(outcome.kind, row.kind) << row.name;
        EXPECT_EQ(outcome.error, row.error) << row.name;
        EXPECT_EQ(outcome.exceptionCode, row.exceptionCode) << row.name;
        if (row.kind == ModbusOutcome::Kind::Ok) {
            EXPECT_EQ(outcome.values, (std::vector<uint16_t>{10, 11})) << row.name;
        }
        const ModbusCounters& counters = master.counters();
        EXPECT_EQ(counters.goodReplies + counters.checkErrors + counters.exceptions + counters.timeouts, 1)
            << row.name;
        EXPECT_EQ(counters.checkErrors, row.kind == ModbusOutcome::Kind::Error ? 1 : 0) << row.name;
    }
}

} // namespace
