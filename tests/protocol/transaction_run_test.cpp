// The run engine against a simulated meter on a virtual clock: which blocks are
// asked, how results end or continue the run, how it tells its outcome and what
// a progress window shows of it, for both ways of collecting replies.
#include "protocol/transaction_run.h"

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
int BlockOfV12Request(ByteView request)
{
    return request.size() >= 7 ? request[5] << 8 | request[6] : -1;
}

RunOutcome Ended(RunEnd end, int block = 0, std::string portError = {})
{
    return {end, block, std::move(portError)};
}

SimConfig TypeOneMeter(int records)
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
        : meter(TypeOneMeter(records)),
          link(clock,
               [this, react](int index, ByteView request) {
                   std::vector<ScriptedPiece> pieces;
                   const Reaction reaction =
                       react ? react(index, BlockOfV12Request(request)) : Reaction::Answer;
                   std::optional<Bytes> reply = meter.Answer(request);
                   if (!reply || reaction == Reaction::Silence)
                       return pieces;
                   if (reaction == Reaction::BadCheck)
                       reply->back() ^= 0xFF;
                   if (reaction == Reaction::OtherAddress) {
                       reply->resize(reply->size() - 2);
                       (*reply)[0] = kAddress + 1;
                       reply = AppendCrc(*reply);
                   }
                   pieces.push_back({30, *reply});
                   return pieces;
               }),
          exchange(link, log, clock), kind(PrepareKind(11, {})), run(exchange, table)
    {
        table.SetColumns(kind.columns);
    }

    // Composes the kind-11 read and starts a run over begin..end (block count
    // when end is 0).
    void Start(int begin = 1, int end = 0, const ReplyCollection& collection = ReplyCollection::Paced())
    {
        ReadPlan plan = WholeKindPlan(11, ReadStartWay::TreeOrRecordMenu, collection.fast, collection.line);
        plan.beginBlock = begin;
        plan.endBlock = end;
        run.Start(kind, ComposeKindRequest(exchange, kind, kAddress), plan);
    }

    RunProgress Shown() const { return RunProgressOf(run); }

    std::vector<int> BlocksAsked() const
    {
        std::vector<int> blocks;
        for (const Bytes& request : link.Requests)
            blocks.push_back(BlockOfV12Request(request));
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
    bench.Start(3, 5);
    EXPECT_EQ(bench.Shown().caption, "正在读取实时记录,请稍后...");
    EXPECT_EQ(bench.Shown().gaugeMax, 5);
    EXPECT_EQ(bench.Shown().gaugePosition, 2);
    EXPECT_EQ(bench.Shown().statusText, "正在处理......");
    EXPECT_FALSE(bench.Shown().okEnabled);
    EXPECT_TRUE(bench.Shown().cancelEnabled);
    EXPECT_TRUE(bench.Shown().activityVisible);
    EXPECT_EQ(bench.run.PollInterval(), 1000);
    EXPECT_EQ(bench.run.PauseBeforeTickMs(), 1000);

    bench.Start(3, 5, ReplyCollection::Fast(LineSettings{}));
    EXPECT_EQ(bench.Shown().caption, "正在读取实时记录,请稍后...（快速）");
    EXPECT_EQ(bench.run.PauseBeforeTickMs(), 0);
}

// The scenarios every way of collecting replies goes through alike.
class BothCollections : public ::testing::TestWithParam<bool> {
protected:
    ReplyCollection Collection() const
    {
        return GetParam() ? ReplyCollection::Fast(LineSettings{}) : ReplyCollection::Paced();
    }
};

INSTANTIATE_TEST_SUITE_P(TransactionRun, BothCollections, ::testing::Values(false, true),
                         [](const auto& info) { return std::string(info.param ? "Fast" : "Paced"); });

TEST_P(BothCollections, RangeReadAsksEachBlockOnceAndEndsAfterLastBlock)
{
    RunBench bench(20);
    bench.Start(3, 5, Collection());

    EXPECT_EQ(RunToEnd(bench.run, bench.clock), Ended(RunEnd::Completed));

    EXPECT_EQ(bench.BlocksAsked(), (std::vector<int>{3, 4, 5}));
    ASSERT_EQ(bench.table.RowCount(), 3);
    EXPECT_EQ(bench.table.Rows()[0][0], "3");
    EXPECT_EQ(bench.table.Rows()[2][0], "5");
    EXPECT_EQ(bench.Shown().statusText, "处理完成");
    EXPECT_EQ(bench.Shown().gaugePosition, 5);
    EXPECT_EQ(bench.Shown().gaugeMax, 5);
    EXPECT_TRUE(bench.Shown().okEnabled);
    EXPECT_FALSE(bench.Shown().cancelEnabled);
    EXPECT_FALSE(bench.Shown().activityVisible);
    // Read-start line, then one sent and one received line per block.
    ASSERT_EQ(bench.log.LineCount(), 7);
    EXPECT_EQ(bench.log.Lines()[1].rfind("【发送】17 66 00 64 02 00 03", 0), 0u);
    EXPECT_EQ(bench.log.Lines()[2].rfind("【接收】17 66", 0), 0u);
}

TEST_P(BothCollections, BlankSlotEndsRunWithGaugeFull)
{
    RunBench bench(4);
    bench.Start(1, 0, Collection());

    EXPECT_EQ(RunToEnd(bench.run, bench.clock), Ended(RunEnd::Completed));

    EXPECT_EQ(bench.BlocksAsked(), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(bench.table.RowCount(), 4);
    EXPECT_EQ(bench.run.LastResult(), 4);
    EXPECT_EQ(bench.Shown().statusText, "处理完成");
    EXPECT_EQ(bench.Shown().gaugePosition, 700);
    EXPECT_FALSE(bench.Shown().activityVisible);
}

TEST(TransactionRun, BlankFirstSlotEndsAtOnce)
{
    RunBench bench(0);
    bench.Start();
    EXPECT_EQ(RunToEnd(bench.run, bench.clock).end, RunEnd::Completed);
    EXPECT_EQ(bench.link.Requests.size(), 1u);
    EXPECT_EQ(bench.table.RowCount(), 0);
    EXPECT_EQ(bench.Shown().gaugePosition, 700);
    EXPECT_EQ(bench.Shown().statusText, "处理完成");
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
    bench.Start();

    EXPECT_EQ(bench.run.Tick(), TickOutcome::Again);
    EXPECT_EQ(bench.run.RetryCount(), 1);
    EXPECT_EQ(bench.Shown().statusText, "正在处理1条记录......");
    EXPECT_EQ(bench.run.Tick(), TickOutcome::Again);
    EXPECT_EQ(bench.run.RetryCount(), 2);
    EXPECT_EQ(bench.run.Tick(), TickOutcome::Again);
    EXPECT_EQ(bench.run.RetryCount(), 0);
    EXPECT_EQ(bench.run.CurrentBlock(), 2);
    EXPECT_EQ(bench.Shown().gaugePosition, 1);

    EXPECT_EQ(RunToEnd(bench.run, bench.clock).end, RunEnd::Completed);
    EXPECT_EQ(bench.BlocksAsked(), (std::vector<int>{1, 1, 1, 2, 3, 3, 4}));
    EXPECT_EQ(bench.table.RowCount(), 3);
    EXPECT_EQ(bench.Shown().statusText, "处理完成");
}

TEST_P(BothCollections, ThirdFailureOnBlock7EndsRunWithMessageInStatusAndLog)
{
    // A silent second attempt: the fast way waits its response timeout for it.
    RunBench bench(20, [](int index, int block) {
        if (block != 7)
            return Reaction::Answer;
        return index == 7 ? Reaction::Silence : Reaction::BadCheck;
    });
    bench.Start(1, 0, Collection());

    EXPECT_EQ(RunToEnd(bench.run, bench.clock), Ended(RunEnd::BlockFailed, 7));

    EXPECT_EQ(bench.BlocksAsked(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 7, 7}));
    EXPECT_EQ(bench.table.RowCount(), 6);
    EXPECT_EQ(bench.Shown().statusText, "读取第7条数据失败!");
    EXPECT_EQ(bench.log.Lines().back(), "读取第7条数据失败!");
    EXPECT_EQ(bench.run.CurrentBlock(), 8);
    EXPECT_EQ(bench.run.RetryCount(), 0);
    EXPECT_TRUE(bench.Shown().okEnabled);
    EXPECT_FALSE(bench.Shown().cancelEnabled);
    EXPECT_FALSE(bench.Shown().activityVisible);
}

// Only the fast way takes a reply as soon as it is whole, so only it must make
// sure the reply is this meter's; the paced way reads as it always has.
TEST_P(BothCollections, ReplyFromAnotherAddressFailsOnlyTheFastWay)
{
    RunBench bench(20, [](int, int) { return Reaction::OtherAddress; });
    bench.Start(1, 2, Collection());

    const RunOutcome& outcome = RunToEnd(bench.run, bench.clock);

    if (GetParam()) {
        EXPECT_EQ(outcome, Ended(RunEnd::BlockFailed, 1));
        EXPECT_EQ(bench.table.RowCount(), 0);
        EXPECT_EQ(bench.run.LastResult(), 3);
    } else {
        EXPECT_EQ(outcome, Ended(RunEnd::Completed));
        EXPECT_EQ(bench.table.RowCount(), 2);
    }
}

TEST(TransactionRun, KindWithoutDecoderStopsWithDottedTextAndImageShown)
{
    RunBench bench(20);
    const BaseRequest base = bench.exchange.ComposeBaseRequest(11, kAddress, {});
    // 15 has the request shape of device type 1 but no decoder.
    const PreparedKind noDecoder{15, {}, {}, {}, KindProblem::None, {}};
    bench.run.Start(noDecoder, base, {1, 10, 1000, ReplyCollection::Paced()});
    EXPECT_EQ(RunToEnd(bench.run, bench.clock).end, RunEnd::StoppedByMeter);
    EXPECT_EQ(bench.link.Requests.size(), 1u);
    EXPECT_EQ(bench.run.LastResult(), 0);
    EXPECT_EQ(bench.Shown().statusText, "处理完成......");
    EXPECT_EQ(bench.Shown().gaugePosition, 10);
    EXPECT_TRUE(bench.Shown().activityVisible);
}

TEST(TransactionRun, CancelDuringTickFinishesThatBlockThenCloses)
{
    RunBench bench(20);
    bench.Start();
    // "取消" is pressed while the reply of block 3 is awaited.
    bench.clock.SetOnEvents([&] {
        if (bench.link.Requests.size() == 3 && !bench.run.Cancelled())
            bench.run.Cancel();
    });

    EXPECT_EQ(RunToEnd(bench.run, bench.clock).end, RunEnd::Cancelled);

    EXPECT_EQ(bench.BlocksAsked(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(bench.table.RowCount(), 3);
    EXPECT_TRUE(bench.run.Cancelled());
    EXPECT_EQ(bench.Shown().gaugeMax, 700);
    bench.run.Close();
    EXPECT_FALSE(bench.run.Cancelled());
    EXPECT_FALSE(bench.run.Running());
}

TEST(TransactionRun, CancelBetweenTicksSendsNothingMore)
{
    RunBench bench(20);
    bench.Start();
    EXPECT_EQ(bench.run.Tick(), TickOutcome::Again);
    bench.run.Cancel();
    EXPECT_EQ(bench.run.Tick(), TickOutcome::Closed);
    EXPECT_EQ(bench.run.Outcome().end, RunEnd::Cancelled);
    EXPECT_EQ(bench.link.Requests.size(), 1u);
}

TEST(TransactionRun, BeginAfterEndFinishesAtFirstTickWithoutRequest)
{
    RunBench bench(20);
    bench.Start(5, 2);
    EXPECT_EQ(bench.run.Tick(), TickOutcome::Finished);
    EXPECT_TRUE(bench.link.Requests.empty());
    EXPECT_EQ(bench.Shown().statusText, "处理完成");
    EXPECT_EQ(bench.Shown().gaugePosition, 2);
    EXPECT_TRUE(bench.Shown().okEnabled);
}

TEST_P(BothCollections, PortFailureEndsRunOnceKeepingRows)
{
    RunBench bench(20);
    bench.Start(1, 0, Collection());
    bench.clock.SetOnEvents([&] {
        if (bench.link.Requests.size() == 3)
            bench.link.Break();
    });

    EXPECT_EQ(RunToEnd(bench.run, bench.clock), Ended(RunEnd::PortLost, 3, "ReadFile function failed"));

    EXPECT_EQ(bench.table.RowCount(), 2);
    EXPECT_EQ(bench.Shown().statusText, "读取第3条数据失败!");
    EXPECT_TRUE(bench.Shown().okEnabled);
    EXPECT_FALSE(bench.Shown().cancelEnabled);
    // A later tick (a stray timer event) neither sends nor reports again.
    EXPECT_EQ(bench.run.Tick(), TickOutcome::Finished);
    EXPECT_EQ(bench.link.Requests.size(), 3u);
}

TEST(TransactionRun, RecordRangeKindShowsEmptyCaption)
{
    RunBench bench(20);
    EXPECT_FALSE(bench.Shown().okEnabled || bench.Shown().cancelEnabled || bench.Shown().activityVisible);
    const PreparedKind recordRange = PrepareKind(42, {});
    bench.run.Start(recordRange, {{}, 144}, {});
    EXPECT_EQ(bench.Shown().caption, "");
    bench.Start();
    EXPECT_EQ(bench.Shown().caption, "正在读取实时记录,请稍后...");
}

TEST_P(BothCollections, RunToEndPacesTicksOnlyThePacedWay)
{
    RunBench bench(2);
    bench.Start(1, 0, Collection());
    RunToEnd(bench.run, bench.clock);
    // Three ticks (two records and the blank slot). Paced: each one poll
    // interval after the previous plus its own reply collection (120 + 20 ms).
    // Fast: each reply taken at once when its piece arrives, 30 ms after the
    // request (and up to a millisecond of polling).
    if (GetParam())
        EXPECT_LE(bench.clock.NowMs(), 3 * 31);
    else
        EXPECT_EQ(bench.clock.NowMs(), 3 * (1000 + 140));
}

} // namespace
