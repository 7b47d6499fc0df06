#include "protocol/transaction_run.h"

#include "catalogue/catalogue.h"
#include "decoding/kind_table.h"
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

std::string FailedBlockText(int blockNumber)
{
    return "读取第" + std::to_string(blockNumber) + "条数据失败!";
}

} // namespace

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
    FPortError.reset();
    FCaption = std::string(ProgressCaption(kindCode));
    FOkEnabled = false;
    FCancelEnabled = true;
    FGaugeMax = endBlock;
    FGaugePosition = beginBlock - 1;
    FStatusText = "正在处理......";
    FImageVisible = true;
    FRunning = true;
}

void TransactionRun::Finish(std::string statusText, bool hideImage)
{
    FRunning = false;
    FOkEnabled = true;
    FCancelEnabled = false;
    FStatusText = std::move(statusText);
    if (hideImage)
        FImageVisible = false;
}

void TransactionRun::FailBlock(int blockNumber)
{
    FRetryCount = 0;
    ++FCurrentBlock;
    Finish(FailedBlockText(blockNumber), true);
    FExchange.Log().AppendLine(FStatusText);
}

DecodeResult TransactionRun::Decode(ByteView reply)
{
    return DecodeKindReply(FKindCode, {FCurrentBlock, FFieldTypes, FFieldDigits}, reply, FTable);
}

TickOutcome TransactionRun::Tick()
{
    Waiter& waiter = FExchange.Wait();
    waiter.ProcessEvents();
    if (FCancelled) {
        FRunning = false;
        return TickOutcome::Closed;
    }
    if (!FRunning)
        return TickOutcome::Finished;
    if (FCurrentBlock > FEndBlock) {
        FGaugePosition = FEndBlock;
        Finish("处理完成", true);
        return TickOutcome::Finished;
    }

    DecodeResult result;
    try {
        FExchange.SendBlockRequest(FBaseRequest, FCurrentBlock, FKindCode);
        Bytes reply = FExchange.CollectReply();
        waiter.ProcessEvents();
        result = Decode(reply);
    } catch (const EComPort& error) {
        // The port is gone: asking again cannot succeed, so the run ends here
        // instead of leaving the window waiting for a tick that never comes.
        FPortError = error.what();
        FailBlock(FCurrentBlock);
        return FCancelled ? TickOutcome::Closed : TickOutcome::Finished;
    }
    FLastResult = static_cast<int>(result);

    TickOutcome outcome = TickOutcome::Finished;
    switch (result) {
    case DecodeResult::Stop:
        FGaugePosition = FEndBlock;
        Finish("处理完成......", false);
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
        Finish("处理完成", true);
        break;
    default:
        ++FRetryCount;
        if (FRetryCount < kAttemptsPerBlock) {
            FStatusText = ProgressText(FCurrentBlock);
            outcome = TickOutcome::Again;
        } else {
            FailBlock(FCurrentBlock);
        }
        break;
    }
    // "取消" pressed while this tick waited: its block is done, the window closes
    // without another request.
    if (FCancelled) {
        FRunning = false;
        return TickOutcome::Closed;
    }
    return outcome;
}

void TransactionRun::Cancel()
{
    FCancelled = true;
    FGaugeMax = FEndBlock;
    FRunning = false;
}

void TransactionRun::Close()
{
    FRunning = false;
    FCancelled = false;
}

TickOutcome RunToEnd(TransactionRun& run, Waiter& waiter)
{
    TickOutcome outcome = TickOutcome::Again;
    while (outcome == TickOutcome::Again) {
        waiter.Sleep(run.PollInterval());
        outcome = run.Tick();
    }
    return outcome;
}
