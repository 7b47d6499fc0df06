#include "protocol/transaction_run.h"

#include "catalogue/catalogue.h"
#include "decoding/record_table.h"
#include "log/log_model.h"
#include "protocol/exchange.h"
#include "protocol/waiter.h"
#include "serial/byte_link.h"

namespace {

std::string ProgressText(int blockNumber)
{
    return "正在处理" + std::to_string(blockNumber) + "条记录......";
}

} // namespace

std::string FailedBlockText(int blockNumber)
{
    return "读取第" + std::to_string(blockNumber) + "条数据失败!";
}

ReadPlan WholeKindPlan(int kindCode, ReadStartWay way, bool fast, const LineSettings& line)
{
    ReadPlan plan;
    plan.pollIntervalMs = PollIntervalMs(DeviceTypeOfKind(kindCode), way);
    plan.collection = ReplyCollection::Chosen(fast, line);
    return plan;
}

TransactionRun::TransactionRun(Exchange& exchange, RecordTable& table) : m_exchange(exchange), m_table(table)
{
}

void TransactionRun::Start(const PreparedKind& kind, const BaseRequest& base, const ReadPlan& plan)
{
    m_kind = &kind;
    m_plan = plan;
    m_cancelled = false;
    m_beginBlock = plan.beginBlock;
    m_endBlock = plan.endBlock > 0 ? plan.endBlock : base.blockCount;
    m_currentBlock = plan.beginBlock;
    m_decodedBlocks = 0;
    m_lastAskedBlock = 0;
    m_retryCount = 0;
    m_baseRequest = base.request;
    m_lastResult = -1;
    m_outcome = {};
    m_replyShape = ReplyShape(kind.kindCode);
    m_address.reset();
    if (const RecordKind* row = FindRecordKind(kind.kindCode);
        row && m_baseRequest.size() > row->dialect->addressOffset())
        m_address = m_baseRequest[row->dialect->addressOffset()];
    m_running = true;
}

void TransactionRun::Finish(RunEnd end)
{
    if (m_outcome.end == RunEnd::Running || end == RunEnd::PortLost)
        m_outcome.end = end;
    m_running = false;
}

void TransactionRun::FailBlock(RunEnd end, int blockNumber)
{
    m_retryCount = 0;
    ++m_currentBlock;
    Finish(end);
    if (m_outcome.end == end)
        m_outcome.block = blockNumber;
    m_exchange.Log().AppendLine(FailedBlockText(blockNumber));
}

Bytes TransactionRun::CollectReply()
{
    if (!m_plan.collection.fast)
        return m_exchange.CollectReply();
    return CollectReplyFast(m_exchange, m_replyShape, m_plan.collection.line);
}

DecodeResult TransactionRun::Decode(ByteView reply)
{
    const RecordKind* kind = FindRecordKind(m_kind->kindCode);
    if (!kind)
        return DecodeResult::Stop;
    if (m_plan.collection.fast && m_address) {
        const size_t at = kind->dialect->addressOffset();
        if (reply.size() > at && reply[at] != *m_address)
            return DecodeResult::BadCheck;
    }
    return kind->decodeReply(m_kind->Context(m_currentBlock), reply, m_table);
}

TickOutcome TransactionRun::Tick()
{
    Waiter& waiter = m_exchange.Wait();
    waiter.ProcessEvents();
    if (m_cancelled) {
        EndCancelled();
        return TickOutcome::Closed;
    }
    if (!m_running)
        return TickOutcome::Finished;
    if (m_currentBlock > m_endBlock) {
        Finish(RunEnd::Completed);
        return TickOutcome::Finished;
    }

    DecodeResult result;
    m_lastAskedBlock = m_currentBlock;
    try {
        m_exchange.SendBlockRequest(m_baseRequest, m_currentBlock, m_kind->kindCode);
        Bytes reply = CollectReply();
        waiter.ProcessEvents();
        result = Decode(reply);
    } catch (const ComPortError& error) {
        // The port is gone: asking again cannot succeed, so the run ends here
        // instead of leaving the window waiting for a tick that never comes.
        FailBlock(RunEnd::PortLost, m_currentBlock);
        m_outcome.portError = error.what();
        return m_cancelled ? TickOutcome::Closed : TickOutcome::Finished;
    }
    m_lastResult = static_cast<int>(result);

    TickOutcome outcome = TickOutcome::Finished;
    switch (result) {
    case DecodeResult::Stop:
        Finish(RunEnd::StoppedByMeter);
        break;
    case DecodeResult::Decoded:
        m_retryCount = 0;
        ++m_currentBlock;
        ++m_decodedBlocks;
        outcome = TickOutcome::Again;
        break;
    case DecodeResult::NoRecord:
        Finish(RunEnd::Completed);
        break;
    default:
        ++m_retryCount;
        if (m_retryCount < kAttemptsPerBlock) {
            outcome = TickOutcome::Again;
        } else {
            FailBlock(RunEnd::BlockFailed, m_currentBlock);
        }
        break;
    }
    // "取消" pressed while this tick waited: its block is done, the window closes
    // without another request.
    if (m_cancelled) {
        EndCancelled();
        return TickOutcome::Closed;
    }
    return outcome;
}

void TransactionRun::EndCancelled()
{
    m_running = false;
    if (m_outcome.end == RunEnd::Running)
        m_outcome.end = RunEnd::Cancelled;
}

void TransactionRun::Cancel()
{
    if (m_running && m_outcome.end == RunEnd::Running)
        m_outcome.end = RunEnd::Cancelled;
    m_cancelled = true;
    m_running = false;
}

void TransactionRun::Close()
{
    m_running = false;
    m_cancelled = false;
}

const RunOutcome& RunToEnd(TransactionRun& run, Waiter& waiter, const RunWatch& watch)
{
    TickOutcome outcome = TickOutcome::Again;
    while (outcome == TickOutcome::Again) {
        if (watch.beforeBlock)
            watch.beforeBlock(run.CurrentBlock());
        waiter.Sleep(run.PauseBeforeTickMs());
        if (watch.stopRequested) {
            waiter.ProcessEvents();
            if (watch.stopRequested())
                run.Cancel();
        }
        outcome = run.Tick();
    }
    return run.Outcome();
}

const RunOutcome& ReadKind(TransactionRun& run, Waiter& waiter, const PreparedKind& kind, const BaseRequest& base,
                           const ReadPlan& plan, const RunWatch& watch)
{
    run.Start(kind, base, plan);
    RunToEnd(run, waiter, watch);
    run.Close();
    return run.Outcome();
}

RunProgress RunProgressOf(const TransactionRun& run)
{
    RunProgress shown;
    if (!run.Started())
        return shown;
    shown.caption = std::string(ProgressCaption(run.KindCode()));
    if (run.Collection().fast)
        shown.caption += kFastCaptionSuffix;
    shown.gaugeMax = run.EndBlock();
    shown.gaugePosition = run.BeginBlock() - 1 + run.DecodedBlocks();
    shown.statusText = run.LastAskedBlock() > 0 ? ProgressText(run.LastAskedBlock()) : "正在处理......";
    shown.activityVisible = true;
    const RunOutcome& outcome = run.Outcome();
    switch (outcome.end) {
    case RunEnd::Running:
    case RunEnd::Cancelled:
        // A cancelled run's window closes on what it showed last.
        shown.cancelEnabled = run.Running() || outcome.end == RunEnd::Cancelled;
        return shown;
    case RunEnd::Completed:
        shown.gaugePosition = run.EndBlock();
        shown.statusText = "处理完成";
        shown.activityVisible = false;
        break;
    case RunEnd::StoppedByMeter:
        // The meter ended the run: the picture keeps turning, as it always has.
        shown.gaugePosition = run.EndBlock();
        shown.statusText = "处理完成......";
        break;
    case RunEnd::BlockFailed:
    case RunEnd::PortLost:
        shown.statusText = FailedBlockText(outcome.block);
        shown.activityVisible = false;
        break;
    }
    shown.okEnabled = true;
    return shown;
}
