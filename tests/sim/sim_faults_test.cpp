// Fault modes of the simulated meter, in process: each changes the reply (or its
// delivery over the link) the way its name says, and the decoders notice.
#include "catalogue/catalogue.h"
#include "log/log_model.h"
#include "protocol/exchange.h"
#include "protocol/request_frames.h"
#include "protocol/waiter.h"
#include "sim/sim_link.h"
#include "support/built_in_registry.h"
#include "support/hex.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

constexpr uint8_t kAddress = 23;

SimConfig configWith(int deviceType, std::vector<std::string> faults)
{
    SimConfig config;
    config.deviceType = deviceType;
    config.faults = std::move(faults);
    return config;
}

Bytes blockFrame(int kindCode, int block)
{
    return blockRequestFrame(kindOf(kindCode), baseRequestOfKind(kindOf(kindCode), kAddress), block);
}

struct ReplyFaultCase {
    const char* name;
    int kind;
    const char* fault;
    int lengthChange; // against the fault-free reply; INT_MIN: no reply
    DecodeResult decodeResult;
};

class ReplyFaults : public testing::TestWithParam<ReplyFaultCase> {};

TEST_P(ReplyFaults, ChangeTheReplyAsNamed)
{
    const ReplyFaultCase& c = GetParam();
    const Bytes request = blockFrame(c.kind, 1);
    SimMeter meter(configWith(deviceTypeOfKind(c.kind), {c.fault}));
    const std::optional<Bytes> clean = meter.answer(request);
    ASSERT_TRUE(clean);
    const std::optional<Bytes> faulty = meter.respond(request);
    if (c.lengthChange == INT_MIN) {
        EXPECT_FALSE(faulty);
        return;
    }
    ASSERT_TRUE(faulty);
    EXPECT_EQ(static_cast<int>(faulty->size()) - static_cast<int>(clean->size()), c.lengthChange);
    RecordTable table;
    EXPECT_EQ(decodeKindReply(builtIn(), c.kind, {}, *faulty, table), c.decodeResult);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ReplyFaults,
    testing::Values(ReplyFaultCase{"SilenceModbus", 612, "silence", INT_MIN, DecodeResult::Stop},
                    ReplyFaultCase{"SilenceCustom", 31, "silence", INT_MIN, DecodeResult::Stop},
                    ReplyFaultCase{"BadCrc", 612, "bad-crc", 0, DecodeResult::BadCheck},
                    ReplyFaultCase{"BadSum", 31, "bad-crc", 0, DecodeResult::BadCheck},
                    ReplyFaultCase{"WrongLengthModbus", 11, "wrong-length", -1, DecodeResult::BadLength},
                    ReplyFaultCase{"WrongLengthCustom", 33, "wrong-length", -1, DecodeResult::BadLength},
                    ReplyFaultCase{"GarbageBefore", 45, "garbage-before", 3, DecodeResult::BadLength},
                    ReplyFaultCase{"GarbageAfter", 712, "garbage-after", 3, DecodeResult::BadLength},
                    // The decoders do not look at the address: another meter's valid
                    // reply is taken (identification and reads both accept it).
                    ReplyFaultCase{"OtherAddress", 61, "other-address", 0, DecodeResult::Decoded},
                    ReplyFaultCase{"Oversize", 66, "oversize", 501 - 243, DecodeResult::BadLength}),
    [](const testing::TestParamInfo<ReplyFaultCase>& info) { return info.param.name; });

TEST(ReplyFaultDetails, WrongLengthKeepsValidCheckBytes)
{
    SimMeter meter(configWith(6, {"wrong-length"}));
    const std::optional<Bytes> reply = meter.respond(blockFrame(612, 1));
    ASSERT_TRUE(reply);
    EXPECT_TRUE(checkCrcFull(*reply));
}

TEST(ReplyFaultDetails, OtherAddressNamesTheNextMeterWithValidCrc)
{
    SimMeter meter(configWith(7, {"other-address"}));
    const std::optional<Bytes> reply = meter.respond(blockFrame(713, 1));
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[0], kAddress + 1);
    EXPECT_TRUE(checkCrcFull(*reply));
}

TEST(FaultNames, UnknownOrIncompleteNamesAreRefused)
{
    EXPECT_EQ(
        checkFaultNames({"silence", "split", "split=60", "slow", "slow=2000", "close-after=3", "endless"}),
        "");
    EXPECT_NE(checkFaultNames({"sluggish"}), "");
    EXPECT_NE(checkFaultNames({"close-after"}), "");
    EXPECT_NE(checkFaultNames({"close-after=x"}), "");
    EXPECT_NE(checkFaultNames({"bad-crc=2"}), "");
}

// Delivery over the in-process link, under a virtual clock.
class LinkDelivery : public testing::Test {
protected:
    VirtualClock m_clock;
    LogModel m_log;

    Bytes cleanReply(const SimConfig& config, const Bytes& request)
    {
        SimConfig clean = config;
        clean.faults.clear();
        return SimMeter(clean).answer(request).value_or(Bytes{});
    }
};

TEST_F(LinkDelivery, ReplyBecomesWaitingAfterTheDelay)
{
    SimConfig config = configWith(1, {});
    SimLink link(SimMeter(config), m_clock);
    const Bytes request = blockFrame(11, 1);
    link.sendBytes(request);
    EXPECT_EQ(link.waitingByteCount(), 0);
    m_clock.advance(config.replyDelayMs);
    EXPECT_EQ(link.waitingByteCount(), 39);
    EXPECT_EQ(link.receiveBytes(100), cleanReply(config, request));
    EXPECT_EQ(link.waitingByteCount(), 0);
    ASSERT_EQ(link.requests().size(), 1u);
    EXPECT_EQ(link.requests()[0], request);
}

TEST_F(LinkDelivery, SplitReplyArrivesInPieces)
{
    SimConfig config = configWith(6, {"split=40"});
    SimLink link(SimMeter(config), m_clock);
    link.sendBytes(blockFrame(612, 1));
    m_clock.advance(config.replyDelayMs);
    const int first = link.waitingByteCount();
    m_clock.advance(40);
    const int second = link.waitingByteCount();
    m_clock.advance(40);
    const int third = link.waitingByteCount();
    EXPECT_GT(first, 0);
    EXPECT_GT(second, first);
    EXPECT_GT(third, second);
    EXPECT_EQ(third, 199);
}

TEST_F(LinkDelivery, CollectionTakesShortGapsWholeAndLongGapsAsATruncatedReply)
{
    const Bytes request = blockFrame(612, 1);
    {
        SimLink link(SimMeter(configWith(6, {"split"})), m_clock);
        Exchange exchange(link, m_log, m_clock);
        exchange.sendFrame(request);
        EXPECT_EQ(exchange.collectReply().size(), 199u);
    }
    {
        SimLink link(SimMeter(configWith(6, {"split=60"})), m_clock);
        Exchange exchange(link, m_log, m_clock);
        exchange.sendFrame(request);
        const Bytes reply = exchange.collectReply();
        EXPECT_GT(reply.size(), 0u);
        EXPECT_LT(reply.size(), 199u);
    }
}

TEST_F(LinkDelivery, SlowReplyMissesTheCollectionAndIsPurgedLater)
{
    SimLink link(SimMeter(configWith(7, {"slow"})), m_clock);
    Exchange exchange(link, m_log, m_clock);
    exchange.sendFrame(blockFrame(711, 1));
    EXPECT_TRUE(exchange.collectReply().empty());
    m_clock.advance(1000);
    EXPECT_EQ(link.waitingByteCount(), 99);
    link.purgeBuffers();
    EXPECT_EQ(link.waitingByteCount(), 0);
}

TEST_F(LinkDelivery, LineRatePacesTheBytes)
{
    SimConfig config = configWith(6, {});
    config.lineRate = true;
    config.baud = 1100; // 10 ms per byte
    SimLink link(SimMeter(config), m_clock);
    const Bytes request = blockFrame(611, 1); // 14 bytes out, 99 back
    link.sendBytes(request);
    m_clock.advance(14 * 10 + config.replyDelayMs + 50);
    EXPECT_EQ(link.waitingByteCount(), 5);
    m_clock.advance(94 * 10);
    EXPECT_EQ(link.waitingByteCount(), 99);
}

TEST_F(LinkDelivery, EndlessTalkerNeverStops)
{
    SimLink link(SimMeter(configWith(2, {"endless"})), m_clock);
    link.sendBytes(blockFrame(22, 1));
    m_clock.advance(100);
    const int early = link.waitingByteCount();
    EXPECT_GT(early, 15);
    m_clock.advance(1000);
    const int later = link.waitingByteCount();
    EXPECT_GT(later, early + 500);
    link.receiveBytes(later);
    m_clock.advance(10);
    EXPECT_GT(link.waitingByteCount(), 0);
}

TEST_F(LinkDelivery, CloseAfterDisconnectsOnTheNextRequest)
{
    SimLink link(SimMeter(configWith(1, {"close-after=2"})), m_clock);
    link.sendBytes(blockFrame(11, 1));
    link.sendBytes(blockFrame(11, 2));
    m_clock.advance(50);
    EXPECT_EQ(link.waitingByteCount(), 39 * 2);
    try {
        link.sendBytes(blockFrame(11, 3));
        FAIL() << "third request was accepted";
    } catch (const ComPortError& error) {
        EXPECT_EQ(error.errorNumber, 2);
    }
    EXPECT_FALSE(link.connected());
    EXPECT_EQ(link.requests().size(), 2u);
}

TEST_F(LinkDelivery, DisconnectedLinkFailsEveryCall)
{
    SimLink link(SimMeter(configWith(1, {})), m_clock);
    link.disconnect();
    EXPECT_FALSE(link.connected());
    EXPECT_THROW(link.purgeBuffers(), ComPortError);
    EXPECT_THROW(link.sendBytes(blockFrame(11, 1)), ComPortError);
    EXPECT_THROW(link.waitingByteCount(), ComPortError);
    EXPECT_THROW(link.receiveBytes(1), ComPortError);
}

} // namespace
