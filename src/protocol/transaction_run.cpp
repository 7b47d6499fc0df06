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

TransactionRun::TransactionRun(Exchange& exchange, RecordTable& table) : FExchange(exchange), FTable(table) {}

void TransactionRun::SetFieldDescription(const FieldTypeList* fieldTypes, const FieldDigitsArray* fieldDigits)
{
    FFieldTypes = fieldTypes;
    FFieldDigits = fieldDigits;
}

void TransactionRun::StartRun(int endBlock, int beginBlock, Bytes baseRequest, int kindCode)
{
    FCancelled = false;
    FEndBlock = endBlock;
    FCurrentBlock = beginBlock;
    FRetryCount = 0;
    FBaseRequest = std::move(baseRequest);
    FKindCode = kindCode;
    FLastResult = -1;
    FOutcome = {};
    FCollection = FNextCollection;
    FReplyShape = ReplyShape(kindCode);
    FAddress.reset();
    if (const RecordKind* kind = FindRecordKind(kindCode);
        kind && FBaseRequest.size() > kind->dialect->addressOffset())
        FAddress = FBaseRequest[kind->dialect->addressOffset()];
    FCaption = std::string(ProgressCaption(kindCode));
    if (FCollection.fast)
        FCaption += kFastCaptionSuffix;
    FOkEnabled = false;
    FCancelEnabled = true;
    FGaugeMax = endBlock;
    FGaugePosition = beginBlock - 1;
    FStatusText = "正在处理......";
    FImageVisible = true;
    FRunning = true;
}

void TransactionRun::Finish(RunEnd end, std::string statusText, bool hideImage)
{
    if (FOutcome.end == RunEnd::Running || end == RunEnd::PortLost)
        FOutcome.end = end;
    FRunning = false;
    FOkEnabled = true;
    FCancelEnabled = false;
    FStatusText = std::move(statusText);
    if (hideImage)
        FImageVisible = false;
}

void TransactionRun::FailBlock(RunEnd end, int blockNumber)
{
    FRetryCount = 0;
    ++FCurrentBlock;
    Finish(end, FailedBlockText(blockNumber), true);
    if (FOutcome.end == end)
        FOutcome.block = blockNumber;
    FExchange.Log().AppendLine(FStatusText);
}

Bytes TransactionRun::CollectReply()
{
    if (!FCollection.fast)
        return FExchange.CollectReply();
    return CollectReplyFast(FExchange, FReplyShape, FCollection.line);
}

DecodeResult TransactionRun::Decode(ByteView reply)
{
    if (FCollection.fast && FAddress) {
        const size_t at = FindRecordKind(FKindCode)->dialect->addressOffset();
        if (reply.size() > at && reply[at] != *FAddress)
            return DecodeResult::BadCheck;
    }
    const RecordKind* kind = FindRecordKind(FKindCode);
    return kind ? kind->decodeReply({FCurrentBlock, FFieldTypes, FFieldDigits}, reply, FTable)
                : DecodeResult::Stop;
}

TickOutcome TransactionRun::Tick()
{
    Waiter& waiter = FExchange.Wait();
    waiter.ProcessEvents();
    if (FCancelled) {
        EndCancelled();
        return TickOutcome::Closed;
    }
    if (!FRunning)
        return TickOutcome::Finished;
    if (FCurrentBlock > FEndBlock) {
        FGaugePosition = FEndBlock;
        Finish(RunEnd::Completed, "处理完成", true);
        return TickOutcome::Finished;
    }

    DecodeResult result;
    try {
        FExchange.SendBlockRequest(FBaseRequest, FCurrentBlock, FKindCode);
        Bytes reply = CollectReply();
        waiter.ProcessEvents();
        result = Decode(reply);
    } catch (const EComPort& error) {
        // The port is gone: asking again cannot succeed, so the run ends here
        // instead of leaving the window waiting for a tick that never comes.
        FailBlock(RunEnd::PortLost, FCurrentBlock);
        FOutcome.portError = error.what();
        return FCancelled ? TickOutcome::Closed : TickOutcome::Finished;
    }
    FLastResult = static_cast<int>(result);

    TickOutcome outcome = TickOutcome::Finished;
    switch (result) {
    case DecodeResult::Stop:
        FGaugePosition = FEndBlock;
        Finish(RunEnd::StoppedByMeter, "处理完成......", false);
        break;
    case DecodeResult::Decoded:
        FRetryCount = 0;
        FStatusText = ProgressText(FCurrentBlock);
        ++FCurrentBlock;
        ++FGaugePosition;
        outcome = TickOutcome::Again;
        break;
    case DecodeResult::NoRecord:
        FGaugePosition = FEndBlock;
        Finish(RunEnd::Completed, "处理完成", true);
        break;
    default:
        ++FRetryCount;
        if (FRetryCount < kAttemptsPerBlock) {
            FStatusText = ProgressText(FCurrentBlock);
            outcome = TickOutcome::Again;
        } else {
            FailBlock(RunEnd::BlockFailed, FCurrentBlock);
        }
        break;
    }
    // "取消" pressed while this tick waited: its block is done, the window closes
    // without another request.
    if (FCancelled) {
        EndCancelled();
        return TickOutcome::Closed;
    }
    return outcome;
}

void TransactionRun::EndCancelled()
{
    FRunning = false;
    if (FOutcome.end == RunEnd::Running)
        FOutcome.end = RunEnd::Cancelled;
}

void TransactionRun::Cancel()
{
    if (FRunning && FOutcome.end == RunEnd::Running)
        FOutcome.end = RunEnd::Cancelled;
    FCancelled = true;
    FGaugeMax = FEndBlock;
    FRunning = false;
}

void TransactionRun::Close()
{
    FRunning = false;
    FCancelled = false;
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
