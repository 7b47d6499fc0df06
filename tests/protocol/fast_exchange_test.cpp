// The fast read mode's reply collection on a virtual clock against the in-process
// simulated meter (bytes paced at 9600 baud): when a reply counts as whole, when
// silence ends it, and a single fast exchange.
#include "log/log_model.h"
#include "protocol/exchange.h"
#include "protocol/fast_exchange.h"
#include "protocol/request_frames.h"
#include "sim/sim_link.h"
#include "support/built_in_registry.h"
#include "support/hex.h"

#include <gtest/gtest.h>

namespace {

SimConfig meterConfig(int deviceType, std::vector<std::string> faults = {})
{
    SimConfig config;
    config.deviceType = deviceType;
    config.address = 23;
    config.records = 40;
    config.lineRate = true;
    config.faults = std::move(faults);
    return config;
}

Bytes answerOf(int deviceType, int kindCode, int block)
{
    SimMeter meter(meterConfig(deviceType));
    return meter.answer(blockRequestFrame(kindOf(kindCode), baseRequestOfKind(kindOf(kindCode), 23), block))
        .value_or(Bytes{});
}

Bytes front(const Bytes& bytes, size_t count)
{
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(count, bytes.size())));
}

TEST(ReplyShape, JudgesRepliesByTheirKindsLengthAndCheck)
{
    const ReplyShape shape612(kindOf(612));
    const Bytes full = answerOf(6, 612, 1);
    ASSERT_EQ(full.size(), 199u);
    EXPECT_TRUE(shape612.isComplete(full));
    EXPECT_FALSE(shape612.mayGrow(full));

    const Bytes short198 = front(full, 198);
    EXPECT_FALSE(shape612.isComplete(short198));
    EXPECT_TRUE(shape612.mayGrow(short198));

    Bytes badCheck = full;
    badCheck.back() ^= 0xFF;
    EXPECT_FALSE(shape612.isComplete(badCheck));
    EXPECT_FALSE(shape612.mayGrow(badCheck));

    Bytes garbageBefore = hexBytes("00 FF 7E");
    garbageBefore.insert(garbageBefore.end(), full.begin(), full.end());
    EXPECT_FALSE(shape612.isComplete(garbageBefore));
    EXPECT_FALSE(shape612.mayGrow(garbageBefore));
}

TEST(ReplyShape, ShortNoRecordAnswerIsWholeButNeverTheFrontOfARecord)
{
    // Kind 12 (device type 1 months) takes its full record or the 5-byte answer.
    const ReplyShape shape12(kindOf(12));
    EXPECT_TRUE(shape12.isComplete(appendCrc(hexBytes("17 66 00"))));
    // The first five bytes of a record, sealed so that their check matches: the
    // byte count (0x22) says the record goes on.
    EXPECT_FALSE(shape12.isComplete(appendCrc(hexBytes("17 66 22"))));
    EXPECT_TRUE(shape12.mayGrow(appendCrc(hexBytes("17 66 22"))));
}

TEST(ReplyShape, DeviceType5RepliesGrowToTheirByteCount)
{
    const ReplyShape shape51(kindOf(51));
    EXPECT_TRUE(shape51.mayGrow(hexBytes("17 03 04 00")));
    EXPECT_FALSE(shape51.isComplete(hexBytes("17 03 04 00")));
    EXPECT_TRUE(shape51.isComplete(appendCrc(hexBytes("17 03 04 00 01 00 02"))));
    // Four zero data bytes: a blank record, whole although the decoder stops there.
    EXPECT_TRUE(shape51.isComplete(appendCrc(hexBytes("17 03 04 00 00 00 00"))));
    EXPECT_FALSE(shape51.mayGrow(appendCrc(hexBytes("17 03 04 00 00 00 00"))));
}

TEST(LineSettingsTiming, CharacterTimeFollowsTheFraming)
{
    const struct {
        LineSettings line;
        double bits;
        int gapMs;
    } rows[] = {
        {{9600}, 11, 5},                                                   // 8 odd 1: 4.01 ms
        {{19200}, 11, 3},                                                  // 2.005 ms
        {{115200, 8, ParityIndex::None}, 10, 1},                           // 0.30 ms, at least 1
        {{1200, 8, ParityIndex::None}, 10, 30},                            // 29.17 ms
        {{9600, 7, ParityIndex::None, StopBitsIndex::OneAndHalf}, 9.5, 4}, // 3.46 ms
        {{1200, 7, ParityIndex::Even, StopBitsIndex::Two}, 11, 33},        // 32.08 ms
        {{0}, 11, 1},
    };
    for (const auto& row : rows) {
        EXPECT_DOUBLE_EQ(row.line.bitsPerCharacter(), row.bits) << row.line.baudRate;
        EXPECT_EQ(row.line.silenceGapMs(), row.gapMs) << row.line.baudRate;
    }
    EXPECT_EQ(LineSettings{}.wireTimeMs(199), 229); // 228.02 ms
    EXPECT_EQ(LineSettings{0}.wireTimeMs(199), 0);
}

struct Rig {
    explicit Rig(SimConfig config) : link(SimMeter(std::move(config)), clock), exchange(link, log, clock) {}
    VirtualClock clock;
    SimLink link;
    LogModel log;
    Exchange exchange;
};

struct CollectCase {
    const char* name;
    std::vector<std::string> faults;
    size_t replyBytes; // 0: no reply
    // Virtual milliseconds the collection may take at most. At 9600 baud a byte
    // takes 1.146 ms: the 14-byte request 16 ms, the meter's pause 30 ms, and the
    // 199-byte reply 228 ms, so its last byte is there after 274 ms.
    int64_t atMostMs;
};

class CollectReplyFastOnVirtualClock : public ::testing::TestWithParam<CollectCase> {};

TEST_P(CollectReplyFastOnVirtualClock, EndsAsSoonAsTheReplyIsDecided)
{
    const CollectCase& c = GetParam();
    Rig rig(meterConfig(6, c.faults));
    const ReplyShape shape(kindOf(612));
    rig.exchange.sendBlockRequest(baseRequestOfKind(kindOf(612), 23), 1, kindOf(612));
    const int64_t start = rig.clock.nowMs();

    const Bytes reply = collectReplyFast(rig.exchange, shape, LineSettings{});

    EXPECT_EQ(reply.size(), c.replyBytes);
    EXPECT_LE(rig.clock.nowMs() - start, c.atMostMs);
}

INSTANTIATE_TEST_SUITE_P(Faults, CollectReplyFastOnVirtualClock,
                         ::testing::Values(
                             // Taken at its last check byte, with no silence to wait for.
                             CollectCase{"WholeReplyAtItsLastByte", {}, 199, 275},
                             // Pieces 40 ms apart are joined: the first pieces can still grow.
                             CollectCase{"SplitPiecesAreJoined", {"split=40"}, 199, 275 + 2 * 40},
                             // Can never become whole: 3.5 characters (5 ms) of silence end it.
                             CollectCase{"GarbageBeforeEndsBySilence", {"garbage-before"}, 202, 278 + 5 + 1},
                             // A good reply is taken at its last byte even when more bytes follow; the
                             // next request purges them.
                             CollectCase{"PaddingAfterAWholeReplyIsLeft", {"oversize"}, 199, 275},
                             // No whole reply in front and more than 500 bytes: no reply at all, as
                             // soon as the 501st byte is there.
                             CollectCase{"OverFiveHundredIsNoReply",
                                         {"garbage-before", "oversize"},
                                         0,
                                         16 + 30 + 502 * 1146 / 1000 + 1},
                             CollectCase{"NothingWithinTheResponseTimeout", {"silence"}, 0, 1001}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ExchangeFast, SendsTheFrameAndTakesAReplyOfTheAwaitedLength)
{
    Rig rig(meterConfig(6));
    const Bytes frame = blockRequestFrame(kindOf(612), baseRequestOfKind(kindOf(612), 23), 1);

    EXPECT_EQ(exchangeFast(rig.exchange, frame, ReplyShape::modbusOfLength(199), LineSettings{}).size(),
              199u);
    // The front of a longer reply does not end in its own CRC.
    EXPECT_FALSE(ReplyShape::modbusOfLength(10).isComplete(front(answerOf(6, 612, 1), 10)));
    EXPECT_EQ(rig.link.requests().size(), 1u);
}

} // namespace
