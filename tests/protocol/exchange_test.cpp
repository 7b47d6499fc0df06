// The exchange against a scripted link on a virtual clock: what is sent and
// logged, how long reply collection waits, and which replies it keeps.
#include "protocol/exchange.h"
#include "protocol/prepared_kind.h"
#include "support/built_in_registry.h"

#include "log/log_model.h"
#include "scripted_link.h"
#include "support/hex.h"

#include <gtest/gtest.h>

namespace {

Bytes filled(size_t count, uint8_t value = 0x5A)
{
    return Bytes(count, value);
}

struct CollectCase {
    const char* name;
    std::vector<ScriptedPiece> pieces; // arrival after the request, in ms
    size_t replyLength;                // 0: nothing kept
    int64_t elapsedMs;                 // virtual time CollectReply took
    size_t waitingAfter;               // bytes left in the port
};

class CollectReplyTest : public testing::TestWithParam<CollectCase> {};

TEST_P(CollectReplyTest, KeepsWholeRepliesWithinLimitAndWaitsTheStatedTime)
{
    const CollectCase& c = GetParam();
    VirtualClock clock;
    ScriptedLink link(clock, [&](int, ByteView) { return c.pieces; });
    LogModel log;
    Exchange exchange(link, log, clock);

    exchange.sendFrame(hexBytes("01 03 00 00 00 10 44 06"));
    const int64_t start = clock.nowMs();
    const Bytes reply = exchange.collectReply();

    EXPECT_EQ(reply.size(), c.replyLength);
    EXPECT_EQ(clock.nowMs() - start, c.elapsedMs);
    EXPECT_EQ(static_cast<size_t>(link.waitingByteCount()), c.waitingAfter);
    // Input longer than any reply is thrown away with a line that says so.
    const bool discarded = c.waitingAfter > size_t(kMaxReplyBytes);
    ASSERT_EQ(log.lineCount(), c.replyLength || discarded ? 2 : 1);
    if (c.replyLength) {
        EXPECT_EQ(log.lines()[1], "【接收】" + bytesToHexSpaced(reply));
    }
    if (discarded) {
        EXPECT_EQ(log.lines()[1],
                  "【丢弃】" + std::to_string(c.waitingAfter) + "字节（超过500字节，不是应答）");
    }
}

std::vector<ScriptedPiece> stream(int everyMs, int untilMs, size_t bytesEach)
{
    std::vector<ScriptedPiece> pieces;
    for (int at = 0; at <= untilMs; at += everyMs)
        pieces.push_back({at, filled(bytesEach)});
    return pieces;
}

// Silence: 120 ms pause, 20 ms to the first poll, then 24 further 25 ms steps.
INSTANTIATE_TEST_SUITE_P(
    Timing, CollectReplyTest,
    testing::Values(
        CollectCase{"SilenceCosts740ms", {}, 0, 740, 0},
        CollectCase{"ReplyBeforeFirstLookTakenAfterOneStillPoll", {{50, filled(30)}}, 30, 140, 0},
        CollectCase{"TwoPieces25msApartCollectedWhole", {{130, filled(10)}, {155, filled(20)}}, 30, 190, 0},
        CollectCase{"LateReplyStillCaughtOnLastPoll", {{730, filled(7)}}, 7, 765, 0},
        CollectCase{"ReplyAfterLastPollIsMissed", {{741, filled(7)}}, 0, 740, 0},
        CollectCase{"FiveHundredBytesAccepted", {{10, filled(500)}}, 500, 140, 0},
        CollectCase{"MoreThan500BytesDiscardedAndLeftInPort", {{10, filled(501)}}, 0, 140, 501},
        // 10 bytes every 10 ms for 10 s: collection stops at the first
        // poll that sees more than 500 (520 bytes at 515 ms).
        CollectCase{"EndlessStreamAbandonedPastLimit", stream(10, 10000, 10), 0, 515, 520},
        // One byte every 20 ms never holds still: collection ends at the first
        // poll past 740 ms plus the wire time of 500 bytes at 9600 baud (573 ms).
        CollectCase{"TrickleTakenAtTheDeadline", stream(20, 10000, 1), 66, 1315, 0}),
    [](const testing::TestParamInfo<CollectCase>& info) { return std::string(info.param.name); });

TEST(Exchange, SendFramePurgesSendsAndLogsHex)
{
    VirtualClock clock;
    ScriptedLink link(clock, [](int, ByteView) { return std::vector<ScriptedPiece>{}; });
    LogModel log;
    Exchange exchange(link, log, clock);

    exchange.sendFrame(hexBytes("01 03 00 00 00 10 44 06"));

    ASSERT_EQ(link.requests.size(), 1u);
    EXPECT_EQ(link.requests[0], hexBytes("01 03 00 00 00 10 44 06"));
    EXPECT_EQ(link.purgeCount, 1);
    ASSERT_EQ(log.lineCount(), 1);
    EXPECT_EQ(log.lines()[0], "【发送】01 03 00 00 00 10 44 06");
}

TEST(Exchange, ClosedLinkSendsNothingAndCollectsNothingAfterFirstPause)
{
    VirtualClock clock;
    ScriptedLink link(clock, [](int, ByteView) { return std::vector<ScriptedPiece>{{0, filled(9)}}; });
    link.setOpen(false);
    LogModel log;
    Exchange exchange(link, log, clock);

    exchange.sendFrame(hexBytes("01 02"));
    EXPECT_TRUE(exchange.collectReply().empty());
    EXPECT_TRUE(exchange.readReplyBytes(5).empty());

    EXPECT_TRUE(link.requests.empty());
    EXPECT_EQ(link.purgeCount, 0);
    EXPECT_EQ(clock.nowMs(), 120);
    EXPECT_EQ(log.lineCount(), 0);
}

TEST(Exchange, ReadReplyBytesTakesAtMostCountAndLogsThem)
{
    VirtualClock clock;
    ScriptedLink link(clock, [](int, ByteView) {
        return std::vector<ScriptedPiece>{{0, hexBytes("0A 0B 0C")}};
    });
    LogModel log;
    Exchange exchange(link, log, clock);
    exchange.sendFrame(hexBytes("01"));

    EXPECT_EQ(exchange.readReplyBytes(2), hexBytes("0A 0B"));
    EXPECT_EQ(exchange.readReplyBytes(10), hexBytes("0C"));
    ASSERT_EQ(log.lineCount(), 3);
    EXPECT_EQ(log.lines()[1], "【接收】0A 0B");
    EXPECT_EQ(log.lines()[2], "【接收】0C");
}

TEST(Exchange, PortFailureIsNotSwallowed)
{
    VirtualClock clock;
    ScriptedLink link(clock, [](int, ByteView) { return std::vector<ScriptedPiece>{}; });
    LogModel log;
    Exchange exchange(link, log, clock);
    link.breakLink();
    EXPECT_THROW(exchange.sendFrame(hexBytes("01")), ComPortError);
    EXPECT_THROW(exchange.collectReply(), ComPortError);
}

struct BlockFrameCase {
    const char* name;
    int kindCode;
    int block;
    RegisterWindow registers; // device type 5 only
    const char* unsealed;     // frame before its check bytes
    const char* sum8;         // device type 3: the sum byte; else nullptr (CRC)
};

class SendBlockRequestTest : public testing::TestWithParam<BlockFrameCase> {};

TEST_P(SendBlockRequestTest, ComposesBaseThenSendsSealedFrameOfTheBlock)
{
    const BlockFrameCase& c = GetParam();
    VirtualClock clock;
    ScriptedLink link(clock, [](int, ByteView) { return std::vector<ScriptedPiece>{}; });
    LogModel log;
    Exchange exchange(link, log, clock);

    const BaseRequest base = exchange.composeBaseRequest(kindOf(c.kindCode), 1, c.registers);
    ASSERT_FALSE(base.request.empty());
    exchange.sendBlockRequest(base.request, c.block, kindOf(c.kindCode));

    Bytes expected = hexBytes(c.unsealed);
    if (c.sum8)
        expected.push_back(hexBytes(c.sum8)[0]);
    else
        expected = appendCrc(expected);
    ASSERT_EQ(link.requests.size(), 1u);
    EXPECT_EQ(bytesToHexSpaced(link.requests[0]), bytesToHexSpaced(expected));
    EXPECT_EQ(log.lines().back(), "【发送】" + bytesToHexSpaced(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Dialects, SendBlockRequestTest,
    testing::Values(
        BlockFrameCase{"MonthV12Block3", 12, 3, {}, "01 66 00 65 02 00 03", nullptr},
        BlockFrameCase{"CustomBlock1", 31, 1, {}, "55 55 01 28 03 02 00 00", "2E"},
        BlockFrameCase{"CustomBlock300IndexLowFirst", 33, 300, {}, "55 55 01 28 03 01 2B 01", "59"},
        BlockFrameCase{
            "V14Kind46Block60Records237To240", 46, 60, {}, "01 65 09 06 00 00 00 ED 00 00 00 F0", nullptr},
        BlockFrameCase{
            "V14Kind42Block2Records11To20", 42, 2, {}, "01 65 09 02 00 00 00 0B 00 00 00 14", nullptr},
        BlockFrameCase{
            "Money712Block100Records198And199", 712, 100, {}, "01 65 09 0D 00 00 00 C6 00 00 00 C7", nullptr},
        BlockFrameCase{
            "Corvex612Block1Records0To4", 612, 1, {}, "01 65 09 0D 00 00 00 00 00 00 00 04", nullptr},
        BlockFrameCase{"Typed51Block1AtStart", 51, 1, {100, 30}, "01 03 00 64 00 1E", nullptr},
        BlockFrameCase{"Typed51Block4ThreeRecordsOn", 51, 4, {100, 30}, "01 03 00 BE 00 1E", nullptr}),
    [](const testing::TestParamInfo<BlockFrameCase>& info) { return std::string(info.param.name); });

TEST(BaseRequest, LogsReadStartLineAndReportsBlockCount)
{
    VirtualClock clock;
    ScriptedLink link(clock, [](int, ByteView) { return std::vector<ScriptedPiece>{}; });
    LogModel log;
    Exchange exchange(link, log, clock);

    const BaseRequest base = exchange.composeBaseRequest(kindOf(11), 23, {});
    EXPECT_EQ(base.request, hexBytes("17 66 00 64 02"));
    EXPECT_EQ(base.blockCount, 700);
    EXPECT_FALSE(base.portClosed);
    ASSERT_EQ(log.lineCount(), 1);
    EXPECT_EQ(log.lines()[0], "===========智能体积修正仪(ModBus V1.2)实时记录===========");
}

TEST(BaseRequest, ClosedPortOrUnknownKindGiveEmptyRequestAndNoLogLine)
{
    VirtualClock clock;
    ScriptedLink link(clock, [](int, ByteView) { return std::vector<ScriptedPiece>{}; });
    LogModel log;
    Exchange exchange(link, log, clock);

    const BaseRequest unknown = composeKindRequest(exchange, prepareKind(builtIn(), 15, {}), 1);
    EXPECT_TRUE(unknown.request.empty());
    EXPECT_EQ(unknown.blockCount, 0);
    EXPECT_FALSE(unknown.portClosed);

    link.setOpen(false);
    const BaseRequest closed = exchange.composeBaseRequest(kindOf(11), 1, {});
    EXPECT_TRUE(closed.request.empty());
    EXPECT_EQ(closed.blockCount, 0);
    EXPECT_TRUE(closed.portClosed);
    EXPECT_EQ(log.lineCount(), 0);
}

} // namespace
