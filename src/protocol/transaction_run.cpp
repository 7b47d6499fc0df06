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

TransactionRun::TransactionRun(Exchange& exchange, RecordTable& table) : m_exchange(exchange), m_table(table)
{
}

void TransactionRun::SetFieldDescription(const FieldTypeList* fieldTypes, const FieldDigitsArray* fieldDigits)
{
    m_fieldTypes = fieldTypes;
    m_fieldDigits = fieldDigits;
}

void TransactionRun::StartRun(int endBlock, int beginBlock, Bytes baseRequest, int kindCode)
{
    m_cancelled = false;
    m_endBlock = endBlock;
    m_currentBlock = beginBlock;
    m_retryCount = 0;
    m_baseRequest = std::move(baseRequest);
    m_kindCode = kindCode;
    m_lastResult = -1;
    m_outcome = {};
    m_collection = m_nextCollection;
    m_replyShape = ReplyShape(kindCode);
    m_address.reset();
    if (const RecordKind* kind = FindRecordKind(kindCode);
        kind && m_baseRequest.size() > kind->dialect->addressOffset())
        m_address = m_baseRequest[kind->dialect->addressOffset()];
    m_caption = std::string(ProgressCaption(kindCode));
    if (m_collection.fast)
        m_caption += kFastCaptionSuffix;
    m_okEnabled = false;
    m_cancelEnabled = true;
    m_gaugeMax = endBlock;
    m_gaugePosition = beginBlock - 1;
    m_statusText = "正在处理......";
    m_imageVisible = true;
    m_running = true;
}

void TransactionRun::Finish(RunEnd end, std::string statusText, bool hideImage)
{
    if (m_outcome.end == RunEnd::Running || end == RunEnd::PortLost)
        m_outcome.end = end;
    m_running = false;
    m_okEnabled = true;
    m_cancelEnabled = false;
    m_statusText = std::move(statusText);
    if (hideImage)
        m_imageVisible = false;
}

void TransactionRun::FailBlock(RunEnd end, int blockNumber)
{
    m_retryCount = 0;
    ++m_currentBlock;
    Finish(end, FailedBlockText(blockNumber), true);
    if (m_outcome.end == end)
        m_outcome.block = blockNumber;
    m_exchange.Log().AppendLine(m_statusText);
}

Bytes TransactionRun::CollectReply()
{
    if (!m_collection.fast)
        return m_exchange.CollectReply();
    return CollectReplyFast(m_exchange, m_replyShape, m_collection.line);
}

DecodeResult TransactionRun::Decode(ByteView reply)
{
    if (m_collection.fast && m_address) {
        const size_t at = FindRecordKind(m_kindCode)->dialect->addressOffset();
        if (reply.size() > at && reply[at] != *m_address)
            return DecodeResult::BadCheck;
    }
    const RecordKind* kind = FindRecordKind(m_kindCode);
    return kind ? kind->decodeReply({m_currentBlock, m_fieldTypes, m_fieldDigits}, reply, m_table)
                : DecodeResult::Stop;
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
        m_gaugePosition = m_endBlock;
        Finish(RunEnd::Completed, "处理完成", true);
        return TickOutcome::Finished;
    }

    DecodeResult result;
    try {
        m_exchange.SendBlockRequest(m_baseRequest, m_currentBlock, m_kindCode);
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
        m_gaugePosition = m_endBlock;
        Finish(RunEnd::StoppedByMeter, "处理完成......", false);
        break;
    case DecodeResult::Decoded:
        m_retryCount = 0;
        m_statusText = ProgressText(m_currentBlock);
        ++m_currentBlock;
        ++m_gaugePosition;
        outcome = TickOutcome::Again;
        break;
    case DecodeResult::NoRecord:
        m_gaugePosition = m_endBlock;
        Finish(RunEnd::Completed, "处理完成", true);
        break;
    default:
        ++m_retryCount;
        if (m_retryCount < kAttemptsPerBlock) {
            m_statusText = ProgressText(m_currentBlock);
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
    m_gaugeMax = m_endBlock;
    m_running = false;
}

void TransactionRun::Close()
{
    m_running = false;
    m_cancelled = false;
}

const RunOutcome& RunToEnd(TransactionRun& run, Waiter& waiter)
{
    TickOutcome outcome = TickOutcome::Again;
    while (outcome == TickOutcome::Again) {
        waiter.Sleep(run.PauseBeforeTickMs());
        outcome = run.Tick();
    }
    return run.Outcome();
}

const RunOutcome& RunBlocks(TransactionRun& run, Waiter& waiter, const ReplyCollection& collection,
                            int kindCode, int beginBlock, int endBlock, Bytes baseRequest)
{
    run.SetCollection(collection);
    run.StartRun(endBlock, beginBlock, std::move(baseRequest), kindCode);
    RunToEnd(run, waiter);
    run.Close();
    return run.Outcome();
}
