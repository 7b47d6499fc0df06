// Fault modes of the simulated meter, in process: each changes the reply (or its
// delivery over the link) the way its name says, and the decoders notice.
#include "catalogue/catalogue.h"
#include "log/log_model.h"
#include "protocol/exchange.h"
#include "protocol/request_frames.h"
#include "protocol/waiter.h"
#include "sim/sim_link.h"
#include "support/hex.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

constexpr uint8_t kAddress = 23;

SimConfig ConfigWith(int deviceType, std::vector<std::string> faults)
{
    SimConfig config;
    config.deviceType = deviceType;
    config.faults = std::move(faults);
    return config;
}

Bytes BlockFrame(int kindCode, int block)
{
    return BlockRequestFrame(kindCode, BaseRequestOfKind(kindCode, kAddress), block);
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
    const Bytes request = BlockFrame(c.kind, 1);
    SimMeter meter(ConfigWith(DeviceTypeOfKind(c.kind), {c.fault}));
    const std::optional<Bytes> clean = meter.Answer(request);
    ASSERT_TRUE(clean);
    const std::optional<Bytes> faulty = meter.Respond(request);
    if (c.lengthChange == INT_MIN) {
        EXPECT_FALSE(faulty);
        return;
    }
    ASSERT_TRUE(faulty);
    EXPECT_EQ(static_cast<int>(faulty->size()) - static_cast<int>(clean->size()), c.lengthChange);
    RecordTable table;
    EXPECT_EQ(DecodeKindReply(c.kind, {}, *faulty, table), c.decodeResult);
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
    SimMeter meter(ConfigWith(6, {"wrong-length"}));
    const std::optional<Bytes> reply = meter.Respond(BlockFrame(612, 1));
    ASSERT_TRUE(reply);
    EXPECT_TRUE(CheckCrcFull(*reply));
}

TEST(ReplyFaultDetails, OtherAddressNamesTheNextMeterWithValidCrc)
{
    SimMeter meter(ConfigWith(7, {"other-address"}));
    const std::optional<Bytes> reply = meter.Respond(BlockFrame(713, 1));
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[0], kAddress + 1);
    EXPECT_TRUE(CheckCrcFull(*reply));
}

TEST(FaultNames, UnknownOrIncompleteNamesAreRefused)
{
    EXPECT_EQ(
        CheckFaultNames({"silence", "split", "split=60", "slow", "slow=2000", "close-after=3", "endless"}),
        "");
    EXPECT_NE(CheckFaultNames({"sluggish"}), "");
    EXPECT_NE(CheckFaultNames({"close-after"}), "");
    EXPECT_NE(CheckFaultNames({"close-after=x"}), "");
    EXPECT_NE(CheckFaultNames({"bad-crc=2"}), "");
}

// Delivery over the in-process link, under a virtual clock.
class LinkDelivery : public testing::Test {
protected:
    VirtualClock m_clock;
    LogModel m_log;

    Bytes CleanReply(const SimConfig& config, const Bytes& request)
    {
        SimConfig clean = config;
        clean.faults.clear();
        return SimMeter(clean).Answer(request).value_or(Bytes{});
    }
};

TEST_F(LinkDelivery, ReplyBecomesWaitingAfterTheDelay)
{
    SimConfig config = ConfigWith(1, {});
    SimLink link(SimMeter(config), m_clock);
    const Bytes request = BlockFrame(11, 1);
    link.SendBytes(request);
    EXPECT_EQ(link.WaitingByteCount(), 0);
    m_clock.Advance(config.replyDelayMs);
    EXPECT_EQ(link.WaitingByteCount(), 39);
    EXPECT_EQ(link.ReceiveBytes(100), CleanReply(config, request));
    EXPECT_EQ(link.WaitingByteCount(), 0);
    ASSERT_EQ(link.Requests().size(), 1u);
    EXPECT_EQ(link.Requests()[0], request);
}

TEST_F(LinkDelivery, SplitReplyArrivesInPieces)
{
    SimConfig config = ConfigWith(6, {"split=40"});
    SimLink link(SimMeter(config), m_clock);
    link.SendBytes(BlockFrame(612, 1));
    m_clock.Advance(config.replyDelayMs);
    const int first = link.WaitingByteCount();
    m_clock.Advance(40);
    const int second = link.WaitingByteCount();
    m_clock.Advance(40);
    const int third = link.WaitingByteCount();
    EXPECT_GT(first, 0);
    EXPECT_GT(second, first);
    EXPECT_GT(third, second);
    EXPECT_EQ(third, 199);
}

TEST_F(LinkDelivery, CollectionTakesShortGapsWholeAndLongGapsAsATruncatedReply)
{
    const Bytes request = BlockFrame(612, 1);
    {
        SimLink link(SimMeter(ConfigWith(6, {"split"})), m_clock);
        Exchange exchange(link, m_log, m_clock);
        exchange.SendFrame(request);
        EXPECT_EQ(exchange.CollectReply().size(), 199u);
    }
    {
        SimLink link(SimMeter(ConfigWith(6, {"split=60"})), m_clock);
        Exchange exchange(link, m_log, m_clock);
        exchange.SendFrame(request);
        const Bytes reply = exchange.CollectReply();
        EXPECT_GT(reply.size(), 0u);
        EXPECT_LT(reply.size(), 199u);
    }
}

TEST_F(LinkDelivery, SlowReplyMissesTheCollectionAndIsPurgedLater)
{
    SimLink link(SimMeter(ConfigWith(7, {"slow"})), m_clock);
    Exchange exchange(link, m_log, m_clock);
    exchange.SendFrame(BlockFrame(711, 1));
    EXPECT_TRUE(exchange.CollectReply().empty());
    m_clock.Advance(1000);
    EXPECT_EQ(link.WaitingByteCount(), 99);
    link.PurgeBuffers();
    EXPECT_EQ(link.WaitingByteCount(), 0);
}

TEST_F(LinkDelivery, LineRatePacesTheBytes)
{
    SimConfig config = ConfigWith(6, {});
    config.lineRate = true;
    config.baud = 1100; // 10 ms per byte
    SimLink link(SimMeter(config), m_clock);
    const Bytes request = BlockFrame(611, 1); // 14 bytes out, 99 back
    link.SendBytes(request);
    m_clock.Advance(14 * 10 + config.replyDelayMs + 50);
    EXPECT_EQ(link.WaitingByteCount(), 5);
    m_clock.Advance(94 * 10);
    EXPECT_EQ(link.WaitingByteCount(), 99);
}

TEST_F(LinkDelivery, EndlessTalkerNeverStops)
{
    SimLink link(SimMeter(ConfigWith(2, {"endless"})), m_clock);
    link.SendBytes(BlockFrame(22, 1));
    m_clock.Advance(100);
    const int early = link.WaitingByteCount();
    EXPECT_GT(early, 15);
    m_clock.Advance(1000);
    const int later = link.WaitingByteCount();
    EXPECT_GT(later, early + 500);
    link.ReceiveBytes(later);
    m_clock.Advance(10);
    EXPECT_GT(link.WaitingByteCount(), 0);
}

TEST_F(LinkDelivery, CloseAfterDisconnectsOnTheNextRequest)
{
    SimLink link(SimMeter(ConfigWith(1, {"close-after=2"})), m_clock);
    link.SendBytes(BlockFrame(11, 1));
    link.SendBytes(BlockFrame(11, 2));
    m_clock.Advance(50);
    EXPECT_EQ(link.WaitingByteCount(), 39 * 2);
    try {
        link.SendBytes(BlockFrame(11, 3));
        FAIL() << "third request was accepted";
    } catch (const ComPortError& error) {
        EXPECT_EQ(error.ErrorNumber, 2);
    }
    EXPECT_FALSE(link.Connected());
    EXPECT_EQ(link.Requests().size(), 2u);
}

TEST_F(LinkDelivery, DisconnectedLinkFailsEveryCall)
{
    SimLink link(SimMeter(ConfigWith(1, {})), m_clock);
    link.Disconnect();
    EXPECT_FALSE(link.Connected());
    EXPECT_THROW(link.PurgeBuffers(), ComPortError);
    EXPECT_THROW(link.SendBytes(BlockFrame(11, 1)), ComPortError);
    EXPECT_THROW(link.WaitingByteCount(), ComPortError);
    EXPECT_THROW(link.ReceiveBytes(1), ComPortError);
}

} // namespace
