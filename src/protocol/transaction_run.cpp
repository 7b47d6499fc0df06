#include "protocol/transaction_run.h"

#include "catalogue/catalogue.h"
#include "decoding/record_table.h"
#include "log/log_model.h"
#include "protocol/exchange.h"
#include "protocol/waiter.h"
#include "serial/byte_link.h"

namespace {

std::string progressText(int blockNumber)
{
    return "正在处理" + std::to_string(blockNumber) + "条记录......";
}

} // namespace

std::string runOutcomeValue(const RunOutcome& outcome)
{
    switch (outcome.end) {
    case RunEnd::Running:
        break;
    case RunEnd::Completed:
        return "completed";
    case RunEnd::StoppedByMeter:
        return "stopped";
    case RunEnd::BlockFailed:
        return "block " + std::to_string(outcome.block) + " failed";
    case RunEnd::PortLost:
        return "port lost";
    case RunEnd::Cancelled:
        return "cancelled";
    }
    return "running";
}

std::string failedBlockText(int blockNumber)
{
    return "读取第" + std::to_string(blockNumber) + "条数据失败!";
}

ReadPlan wholeKindPlan(const RecordKind& kind, ReadStartWay way, bool fast, const LineSettings& line)
{
    ReadPlan plan;
    plan.pollIntervalMs = pollIntervalMs(kind, way);
    plan.collection = ReplyCollection::chosen(fast, line);
    return plan;
}

TransactionRun::TransactionRun(Exchange& exchange, RecordTable& table) : m_exchange(exchange), m_table(table)
{
}

void TransactionRun::start(const PreparedKind& kind, const BaseRequest& base, const ReadPlan& plan)
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
    m_replyShape = kind.kind ? ReplyShape(*kind.kind) : ReplyShape();
    m_address.reset();
    if (kind.kind && m_baseRequest.size() > kind.kind->dialect->addressOffset())
        m_address = m_baseRequest[kind.kind->dialect->addressOffset()];
    m_running = true;
}

void TransactionRun::finish(RunEnd end)
{
    if (m_outcome.end == RunEnd::Running || end == RunEnd::PortLost)
        m_outcome.end = end;
    m_running = false;
}

void TransactionRun::failBlock(RunEnd end, int blockNumber)
{
    m_retryCount = 0;
    ++m_currentBlock;
    finish(end);
    if (m_outcome.end == end)
        m_outcome.block = blockNumber;
    m_exchange.log().appendLine(failedBlockText(blockNumber));
}

Bytes TransactionRun::collectReply()
{
    if (!m_plan.collection.fast)
        return m_exchange.collectReply();
    return collectReplyFast(m_exchange, m_replyShape, m_plan.collection.line);
}

DecodeResult TransactionRun::decode(ByteView reply)
{
    const RecordKind* kind = m_kind->kind;
    if (!kind)
        return DecodeResult::Stop;
    if (m_plan.collection.fast && m_address) {
        const size_t at = kind->dialect->addressOffset();
        if (reply.size() > at && reply[at] != *m_address)
            return DecodeResult::BadCheck;
    }
    return kind->decodeReply(m_kind->context(m_currentBlock), reply, m_table);
}

TickOutcome TransactionRun::tick()
{
    Waiter& waiter = m_exchange.wait();
    waiter.processEvents();
    if (m_cancelled) {
        endCancelled();
        return TickOutcome::Closed;
    }
    if (!m_running)
        return TickOutcome::Finished;
    if (m_currentBlock > m_endBlock) {
        finish(RunEnd::Completed);
        return TickOutcome::Finished;
    }

    DecodeResult result;
    m_lastAskedBlock = m_currentBlock;
    try {
        if (m_kind->kind)
            m_exchange.sendBlockRequest(m_baseRequest, m_currentBlock, *m_kind->kind);
        Bytes reply = collectReply();
        waiter.processEvents();
        result = decode(reply);
    } catch (const ComPortError& error) {
        // The port is gone: asking again cannot succeed, so the run ends here
        // instead of leaving the window waiting for a tick that never comes.
        failBlock(RunEnd::PortLost, m_currentBlock);
        m_outcome.portError = error.what();
        m_outcome.portFailure = error;
        return m_cancelled ? TickOutcome::Closed : TickOutcome::Finished;
    }
    m_lastResult = static_cast<int>(result);

    TickOutcome outcome = TickOutcome::Finished;
    switch (result) {
    case DecodeResult::Stop:
        finish(RunEnd::StoppedByMeter);
        break;
    case DecodeResult::Decoded:
        m_retryCount = 0;
        ++m_currentBlock;
        ++m_decodedBlocks;
        outcome = TickOutcome::Again;
        break;
    case DecodeResult::NoRecord:
        finish(RunEnd::Completed);
        break;
    default:
        ++m_retryCount;
        if (m_retryCount < kAttemptsPerBlock) {
            outcome = TickOutcome::Again;
        } else {
            failBlock(RunEnd::BlockFailed, m_currentBlock);
        }
        break;
    }
    // "取消" pressed while this tick waited: its block is done, the window closes
    // without another request.
    if (m_cancelled) {
        endCancelled();
        return TickOutcome::Closed;
    }
    return outcome;
}

void TransactionRun::endCancelled()
{
    m_running = false;
    if (m_outcome.end == RunEnd::Running)
        m_outcome.end = RunEnd::Cancelled;
}

void TransactionRun::cancel()
{
    if (m_running && m_outcome.end == RunEnd::Running)
        m_outcome.end = RunEnd::Cancelled;
    m_cancelled = true;
    m_running = false;
}

void TransactionRun::close()
{
    m_running = false;
    m_cancelled = false;
}

const RunOutcome& runToEnd(TransactionRun& run, Waiter& waiter, const RunWatch& watch)
{
    TickOutcome outcome = TickOutcome::Again;
    while (outcome == TickOutcome::Again) {
        if (watch.beforeBlock)
            watch.beforeBlock(run.currentBlock());
        waiter.sleep(run.pauseBeforeTickMs());
        if (watch.stopRequested) {
            waiter.processEvents();
            if (watch.stopRequested())
                run.cancel();
        }
        outcome = run.tick();
    }
    return run.outcome();
}

const RunOutcome& readKind(TransactionRun& run, Waiter& waiter, const PreparedKind& kind,
                           const BaseRequest& base, const ReadPlan& plan, const RunWatch& watch)
{
    run.start(kind, base, plan);
    runToEnd(run, waiter, watch);
    run.close();
    return run.outcome();
}

RunProgress runProgressOf(const TransactionRun& run)
{
    RunProgress shown;
    if (!run.started())
        return shown;
    if (const RecordKind* kind = run.recordKind())
        shown.caption = std::string(kind->progressCaption);
    if (run.collection().fast)
        shown.caption += kFastCaptionSuffix;
    shown.gaugeMax = run.endBlock();
    shown.gaugePosition = run.beginBlock() - 1 + run.decodedBlocks();
    shown.statusText = run.lastAskedBlock() > 0 ? progressText(run.lastAskedBlock()) : "正在处理......";
    shown.activityVisible = true;
    const RunOutcome& outcome = run.outcome();
    switch (outcome.end) {
    case RunEnd::Running:
    case RunEnd::Cancelled:
        // A cancelled run's window closes on what it showed last.
        shown.cancelEnabled = run.running() || outcome.end == RunEnd::Cancelled;
        return shown;
    case RunEnd::Completed:
        shown.gaugePosition = run.endBlock();
        shown.statusText = "处理完成";
        shown.activityVisible = false;
        break;
    case RunEnd::StoppedByMeter:
        // The meter ended the run: the picture keeps turning, as it always has.
        shown.gaugePosition = run.endBlock();
        shown.statusText = "处理完成......";
        break;
    case RunEnd::BlockFailed:
    case RunEnd::PortLost:
        shown.statusText = failedBlockText(outcome.block);
        shown.activityVisible = false;
        break;
    }
    shown.okEnabled = true;
    return shown;
}
