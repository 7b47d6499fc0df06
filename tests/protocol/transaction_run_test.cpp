// The run engine against a simulated meter on a virtual clock: which blocks are
// asked, how results end or continue the run, how it tells its outcome and what
// a progress window shows of it, for both ways of collecting replies.
#include "protocol/transaction_run.h"
#include "support/built_in_registry.h"

#include "catalogue/catalogue.h"
#include "decoding/record_table.h"
#include "log/log_model.h"
#include "protocol/exchange.h"
#include "scripted_link.h"
#include "sim/sim_meter.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

constexpr int kAddress = 23;

// Block number a kind-11 request asks for (bytes 5 and 6, high byte first).
int blockOfV12Request(ByteView request)
{
    return request.size() >= 7 ? request[5] << 8 | request[6] : -1;
}

RunOutcome ended(RunEnd end, int block = 0, std::string portError = {})
{
    return {end, block, std::move(portError), std::nullopt};
}

SimConfig typeOneMeter(int records)
{
    SimConfig config;
    config.deviceType = 1;
    config.address = kAddress;
    config.records = records;
    return config;
}

// What the meter does with one request: answer, corrupt the check, stay silent,
// or answer as another meter address with a good check.
enum class Reaction { Answer, BadCheck, Silence, OtherAddress };

// A type 1 meter with `records` stored real-time records; `react` decides per
// request (index from 0, block asked) what reaches the exchange.
struct RunBench {
    explicit RunBench(int records, std::function<Reaction(int index, int block)> react = nullptr)
        : meter(typeOneMeter(records)),
          link(clock,
               [this, react](int index, ByteView request) {
                   std::vector<ScriptedPiece> pieces;
                   const Reaction reaction =
                       react ? react(index, blockOfV12Request(request)) : Reaction::Answer;
                   std::optional<Bytes> reply = meter.answer(request);
                   if (!reply || reaction == Reaction::Silence)
                       return pieces;
                   if (reaction == Reaction::BadCheck)
                       reply->back() ^= 0xFF;
                   if (reaction == Reaction::OtherAddress) {
                       reply->resize(reply->size() - 2);
                       (*reply)[0] = kAddress + 1;
                       reply = appendCrc(*reply);
                   }
                   pieces.push_back({30, *reply});
                   return pieces;
               }),
          exchange(link, log, clock), kind(prepareKind(builtIn(), 11, {})), run(exchange, table)
    {
        table.setColumns(kind.columns);
    }

    // Composes the kind-11 read and starts a run over begin..end (block count
    // when end is 0).
    void start(int begin = 1, int end = 0, const ReplyCollection& collection = ReplyCollection::paced())
    {
        ReadPlan plan =
            wholeKindPlan(kindOf(11), ReadStartWay::TreeOrRecordMenu, collection.fast, collection.line);
        plan.beginBlock = begin;
        plan.endBlock = end;
        run.start(kind, composeKindRequest(exchange, kind, kAddress), plan);
    }

    RunProgress shown() const { return runProgressOf(run); }

    std::vector<int> blocksAsked() const
    {
        std::vector<int> blocks;
        for (const Bytes& request : link.requests)
            blocks.push_back(blockOfV12Request(request));
        return blocks;
    }

    VirtualClock clock;
    SimMeter meter;
    ScriptedLink link;
    LogModel log;
    RecordTable table;
    Exchange exchange;
    PreparedKind kind;
    TransactionRun run;
};

TEST(TransactionRun, StartShowsCaptionGaugeAndRunningButtons)
{
    RunBench bench(5);
    bench.start(3, 5);
    EXPECT_EQ(bench.shown().caption, "正在读取实时记录,请稍后...");
    EXPECT_EQ(bench.shown().gaugeMax, 5);
    EXPECT_EQ(bench.shown().gaugePosition, 2);
    EXPECT_EQ(bench.shown().statusText, "正在处理......");
    EXPECT_FALSE(bench.shown().okEnabled);
    EXPECT_TRUE(bench.shown().cancelEnabled);
    EXPECT_TRUE(bench.shown().activityVisible);
    EXPECT_EQ(bench.run.pollInterval(), 1000);
    EXPECT_EQ(bench.run.pauseBeforeTickMs(), 1000);

    bench.start(3, 5, ReplyCollection::fastFor(LineSettings{}));
    EXPECT_EQ(bench.shown().caption, "正在读取实时记录,请稍后...（快速）");
    EXPECT_EQ(bench.run.pauseBeforeTickMs(), 0);
}

// The scenarios every way of collecting replies goes through alike.
class BothCollections : public ::testing::TestWithParam<bool> {
protected:
    ReplyCollection collection() const
    {
        return GetParam() ? ReplyCollection::fastFor(LineSettings{}) : ReplyCollection::paced();
    }
};

INSTANTIATE_TEST_SUITE_P(TransactionRun, BothCollections, ::testing::Values(false, true),
                         [](const auto& info) { return std::string(info.param ? "Fast" : "Paced"); });

TEST_P(BothCollections, RangeReadAsksEachBlockOnceAndEndsAfterLastBlock)
{
    RunBench bench(20);
    bench.start(3, 5, collection());

    EXPECT_EQ(runToEnd(bench.run, bench.clock), ended(RunEnd::Completed));

    EXPECT_EQ(bench.blocksAsked(), (std::vector<int>{3, 4, 5}));
    ASSERT_EQ(bench.table.rowCount(), 3);
    EXPECT_EQ(bench.table.rows()[0][0], "3");
    EXPECT_EQ(bench.table.rows()[2][0], "5");
    EXPECT_EQ(bench.shown().statusText, "处理完成");
    EXPECT_EQ(bench.shown().gaugePosition, 5);
    EXPECT_EQ(bench.shown().gaugeMax, 5);
    EXPECT_TRUE(bench.shown().okEnabled);
    EXPECT_FALSE(bench.shown().cancelEnabled);
    EXPECT_FALSE(bench.shown().activityVisible);
    // Read-start line, then one sent and one received line per block.
    ASSERT_EQ(bench.log.lineCount(), 7);
    EXPECT_EQ(bench.log.lines()[1].rfind("【发送】17 66 00 64 02 00 03", 0), 0u);
    EXPECT_EQ(bench.log.lines()[2].rfind("【接收】17 66", 0), 0u);
}

TEST_P(BothCollections, BlankSlotEndsRunWithGaugeFull)
{
    RunBench bench(4);
    bench.start(1, 0, collection());

    EXPECT_EQ(runToEnd(bench.run, bench.clock), ended(RunEnd::Completed));

    EXPECT_EQ(bench.blocksAsked(), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(bench.table.rowCount(), 4);
    EXPECT_EQ(bench.run.lastResult(), 4);
    EXPECT_EQ(bench.shown().statusText, "处理完成");
    EXPECT_EQ(bench.shown().gaugePosition, 700);
    EXPECT_FALSE(bench.shown().activityVisible);
}

TEST(TransactionRun, BlankFirstSlotEndsAtOnce)
{
    RunBench bench(0);
    bench.start();
    EXPECT_EQ(runToEnd(bench.run, bench.clock).end, RunEnd::Completed);
    EXPECT_EQ(bench.link.requests.size(), 1u);
    EXPECT_EQ(bench.table.rowCount(), 0);
    EXPECT_EQ(bench.shown().gaugePosition, 700);
    EXPECT_EQ(bench.shown().statusText, "处理完成");
}

TEST(TransactionRun, TwoFailuresThenSuccessReadsTheBlockAndResetsRetries)
{
    // Requests 0 and 1 (block 1) fail, then every block answers until block 3,
    // whose first attempt fails once more.
    RunBench bench(3, [](int index, int block) {
        if (index < 2)
            return index == 0 ? Reaction::BadCheck : Reaction::Silence;
        return block == 3 && index == 4 ? Reaction::BadCheck : Reaction::Answer;
    });
    bench.start();

    EXPECT_EQ(bench.run.tick(), TickOutcome::Again);
    EXPECT_EQ(bench.run.retryCount(), 1);
    EXPECT_EQ(bench.shown().statusText, "正在处理1条记录......");
    EXPECT_EQ(bench.run.tick(), TickOutcome::Again);
    EXPECT_EQ(bench.run.retryCount(), 2);
    EXPECT_EQ(bench.run.tick(), TickOutcome::Again);
    EXPECT_EQ(bench.run.retryCount(), 0);
    EXPECT_EQ(bench.run.currentBlock(), 2);
    EXPECT_EQ(bench.shown().gaugePosition, 1);

    EXPECT_EQ(runToEnd(bench.run, bench.clock).end, RunEnd::Completed);
    EXPECT_EQ(bench.blocksAsked(), (std::vector<int>{1, 1, 1, 2, 3, 3, 4}));
    EXPECT_EQ(bench.table.rowCount(), 3);
    EXPECT_EQ(bench.shown().statusText, "处理完成");
}

TEST_P(BothCollections, ThirdFailureOnBlock7EndsRunWithMessageInStatusAndLog)
{
    // A silent second attempt: the fast way waits its response timeout for it.
    RunBench bench(20, [](int index, int block) {
        if (block != 7)
            return Reaction::Answer;
        return index == 7 ? Reaction::Silence : Reaction::BadCheck;
    });
    bench.start(1, 0, collection());

    EXPECT_EQ(runToEnd(bench.run, bench.clock), ended(RunEnd::BlockFailed, 7));

    EXPECT_EQ(bench.blocksAsked(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 7, 7}));
    EXPECT_EQ(bench.table.rowCount(), 6);
    EXPECT_EQ(bench.shown().statusText, "读取第7条数据失败!");
    EXPECT_EQ(bench.log.lines().back(), "读取第7条数据失败!");
    EXPECT_EQ(bench.run.currentBlock(), 8);
    EXPECT_EQ(bench.run.retryCount(), 0);
    EXPECT_TRUE(bench.shown().okEnabled);
    EXPECT_FALSE(bench.shown().cancelEnabled);
    EXPECT_FALSE(bench.shown().activityVisible);
}

// Only the fast way takes a reply as soon as it is whole, so only it must make
// sure the reply is this meter's; the paced way reads as it always has.
TEST_P(BothCollections, ReplyFromAnotherAddressFailsOnlyTheFastWay)
{
    RunBench bench(20, [](int, int) { return Reaction::OtherAddress; });
    bench.start(1, 2, collection());

    const RunOutcome& outcome = runToEnd(bench.run, bench.clock);

    if (GetParam()) {
        EXPECT_EQ(outcome, ended(RunEnd::BlockFailed, 1));
        EXPECT_EQ(bench.table.rowCount(), 0);
        EXPECT_EQ(bench.run.lastResult(), 3);
    } else {
        EXPECT_EQ(outcome, ended(RunEnd::Completed));
        EXPECT_EQ(bench.table.rowCount(), 2);
    }
}

TEST(TransactionRun, KindWithoutDecoderStopsWithDottedTextAndImageShown)
{
    RunBench bench(20);
    const BaseRequest base = bench.exchange.composeBaseRequest(kindOf(11), kAddress, {});
    // The request shape of kind 11, but no decoder.
    RecordKind withoutDecoder = kindOf(11);
    withoutDecoder.decode = nullptr;
    PreparedKind noDecoder;
    noDecoder.kindCode = 15;
    noDecoder.kind = &withoutDecoder;
    bench.run.start(noDecoder, base, {1, 10, 1000, ReplyCollection::paced()});
    EXPECT_EQ(runToEnd(bench.run, bench.clock).end, RunEnd::StoppedByMeter);
    EXPECT_EQ(bench.link.requests.size(), 1u);
    EXPECT_EQ(bench.run.lastResult(), 0);
    EXPECT_EQ(bench.shown().statusText, "处理完成......");
    EXPECT_EQ(bench.shown().gaugePosition, 10);
    EXPECT_TRUE(bench.shown().activityVisible);
}

TEST(TransactionRun, CancelDuringTickFinishesThatBlockThenCloses)
{
    RunBench bench(20);
    bench.start();
    // "取消" is pressed while the reply of block 3 is awaited.
    bench.clock.setOnEvents([&] {
        if (bench.link.requests.size() == 3 && !bench.run.cancelled())
            bench.run.cancel();
    });

    EXPECT_EQ(runToEnd(bench.run, bench.clock).end, RunEnd::Cancelled);

    EXPECT_EQ(bench.blocksAsked(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(bench.table.rowCount(), 3);
    EXPECT_TRUE(bench.run.cancelled());
    EXPECT_EQ(bench.shown().gaugeMax, 700);
    bench.run.close();
    EXPECT_FALSE(bench.run.cancelled());
    EXPECT_FALSE(bench.run.running());
}

TEST(TransactionRun, CancelBetweenTicksSendsNothingMore)
{
    RunBench bench(20);
    bench.start();
    EXPECT_EQ(bench.run.tick(), TickOutcome::Again);
    bench.run.cancel();
    EXPECT_EQ(bench.run.tick(), TickOutcome::Closed);
    EXPECT_EQ(bench.run.outcome().end, RunEnd::Cancelled);
    EXPECT_EQ(bench.link.requests.size(), 1u);
}

TEST(TransactionRun, BeginAfterEndFinishesAtFirstTickWithoutRequest)
{
    RunBench bench(20);
    bench.start(5, 2);
    EXPECT_EQ(bench.run.tick(), TickOutcome::Finished);
    EXPECT_TRUE(bench.link.requests.empty());
    EXPECT_EQ(bench.shown().statusText, "处理完成");
    EXPECT_EQ(bench.shown().gaugePosition, 2);
    EXPECT_TRUE(bench.shown().okEnabled);
}

TEST_P(BothCollections, PortFailureEndsRunOnceKeepingRows)
{
    RunBench bench(20);
    bench.start(1, 0, collection());
    bench.clock.setOnEvents([&] {
        if (bench.link.requests.size() == 3)
            bench.link.breakLink();
    });

    EXPECT_EQ(runToEnd(bench.run, bench.clock), ended(RunEnd::PortLost, 3, "ReadFile function failed"));
    // The error itself travels too, for the window to word its cause.
    ASSERT_TRUE(bench.run.outcome().portFailure.has_value());
    EXPECT_EQ(bench.run.outcome().portFailure->systemErrorNumber, 5);

    EXPECT_EQ(bench.table.rowCount(), 2);
    EXPECT_EQ(bench.shown().statusText, "读取第3条数据失败!");
    EXPECT_TRUE(bench.shown().okEnabled);
    EXPECT_FALSE(bench.shown().cancelEnabled);
    // A later tick (a stray timer event) neither sends nor reports again.
    EXPECT_EQ(bench.run.tick(), TickOutcome::Finished);
    EXPECT_EQ(bench.link.requests.size(), 3u);
}

TEST(TransactionRun, RecordRangeKindShowsEmptyCaption)
{
    RunBench bench(20);
    EXPECT_FALSE(bench.shown().okEnabled || bench.shown().cancelEnabled || bench.shown().activityVisible);
    const PreparedKind recordRange = prepareKind(builtIn(), 42, {});
    bench.run.start(recordRange, {{}, 144}, {});
    EXPECT_EQ(bench.shown().caption, "");
    bench.start();
    EXPECT_EQ(bench.shown().caption, "正在读取实时记录,请稍后...");
}

TEST_P(BothCollections, RunToEndPacesTicksOnlyThePacedWay)
{
    RunBench bench(2);
    bench.start(1, 0, collection());
    runToEnd(bench.run, bench.clock);
    // Three ticks (two records and the blank slot). Paced: each one poll
    // interval after the previous plus its own reply collection (120 + 20 ms).
    // Fast: each reply taken at once when its piece arrives, 30 ms after the
    // request (and up to a millisecond of polling).
    if (GetParam())
        EXPECT_LE(bench.clock.nowMs(), 3 * 31);
    else
        EXPECT_EQ(bench.clock.nowMs(), 3 * (1000 + 140));
}

} // namespace
