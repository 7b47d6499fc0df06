#include "protocol/archive_download.h"

#include "catalogue/catalogue.h"
#include "decoding/kind_table.h"
#include "protocol/exchange.h"
#include "protocol/fast_exchange.h"
#include "protocol/transaction_run.h"
#include "protocol/waiter.h"

#include <optional>

namespace {

bool IsFailedBlockText(const std::string& status)
{
    return status.rfind("读取第", 0) == 0;
}

} // namespace

std::string ArchiveKindEndText(ArchiveKindEnd end)
{
    switch (end) {
    case ArchiveKindEnd::Completed:
        return "完成";
    case ArchiveKindEnd::Failed:
        return "失败";
    case ArchiveKindEnd::PortLost:
        return "端口断开";
    case ArchiveKindEnd::Cancelled:
        return "已取消";
    case ArchiveKindEnd::Skipped:
        break;
    }
    return "未读取";
}

ArchiveDownload::ArchiveDownload(Exchange& exchange, ArchiveOptions options)
    : FExchange(exchange), FOptions(options)
{
}

std::vector<ArchiveKind> ArchiveDownload::Run(int deviceType)
{
    FCancelled = false;
    FPortError.clear();
    std::vector<ArchiveKind> kinds;
    for (const RecordKindInfo& info : RecordKindsOf(deviceType)) {
        kinds.emplace_back();
        kinds.back().kindCode = info.code;
    }
    const int kindCount = static_cast<int>(kinds.size());
    for (int index = 0; index < kindCount; ++index) {
        ArchiveKind& kind = kinds[static_cast<size_t>(index)];
        if (FCancelled || !FPortError.empty())
            break;
        SetupKindColumns(kind.kindCode, kind.table);
        if (FPrepare) {
            if (std::string error = FPrepare(kind); !error.empty()) {
                kind.failure = std::move(error);
                continue;
            }
        }
        ReadKind(kind, index, kindCount);
    }
    return kinds;
}

// The one place that drives a run: the paced run tick by tick as its window's
// timer would, or the fast collection block by block, so progress and cancel
// are seen between blocks in both.
void ArchiveDownload::ReadKind(ArchiveKind& kind, int kindIndex, int kindCount)
{
    const BaseRequest base = FExchange.ComposeBaseRequest(kind.kindCode, FOptions.address, kind.registers);
    if (base.portClosed) {
        kind.failure = kPortClosedText;
        FPortError = kPortClosedText;
        return;
    }
    if (base.request.empty()) {
        kind.failure = "无法生成请求";
        return;
    }
    ArchiveProgress progress{kindIndex, kindCount, kind.kindCode, 1, base.blockCount};
    auto report = [this, &progress](int block) {
        progress.block = block;
        if (FProgress)
            FProgress(progress);
    };

    std::string status;
    std::optional<std::string> portError;
    bool cancelled = false;
    if (FOptions.fast) {
        FastReadRun run(FExchange, kind.table, {FOptions.baudRate, FOptions.bitsPerCharacter},
                        FOptions.responseTimeoutMs);
        run.SetFieldDescription(&kind.fieldTypes, &kind.fieldDigits);
        for (int block = 1; block <= base.blockCount; ++block) {
            report(block);
            FExchange.Wait().ProcessEvents();
            if (FCancelled) {
                cancelled = true;
                break;
            }
            run.Run(block, block, base.request, kind.kindCode);
            if (run.LastResult() >= 0)
                kind.lastResult = run.LastResult();
            status = run.StatusText();
            portError = run.PortError();
            const auto result = static_cast<DecodeResult>(run.LastResult());
            if (portError || IsFailedBlockText(status) || result == DecodeResult::Stop ||
                result == DecodeResult::NoRecord)
                break;
        }
    } else {
        TransactionRun run(FExchange, kind.table);
        run.SetFieldDescription(&kind.fieldTypes, &kind.fieldDigits);
        run.SetPollInterval(PollIntervalMs(DeviceTypeOfKind(kind.kindCode), ReadStartWay::TreeOrRecordMenu));
        run.StartRun(base.blockCount, 1, base.request, kind.kindCode);
        TickOutcome outcome = TickOutcome::Again;
        while (outcome == TickOutcome::Again) {
            report(run.CurrentBlock());
            FExchange.Wait().Sleep(run.PollInterval());
            if (FCancelled)
                run.Cancel();
            outcome = run.Tick();
        }
        cancelled = outcome == TickOutcome::Closed;
        kind.lastResult = run.LastResult();
        status = run.StatusText();
        portError = run.PortError();
        run.Close();
    }

    if (portError) {
        kind.end = ArchiveKindEnd::PortLost;
        kind.failure = *portError;
        FPortError = *portError;
    } else if (cancelled) {
        kind.end = ArchiveKindEnd::Cancelled;
        kind.failure = ArchiveKindEndText(ArchiveKindEnd::Cancelled);
    } else if (IsFailedBlockText(status)) {
        kind.end = ArchiveKindEnd::Failed;
        kind.failure = status;
    } else {
        kind.end = ArchiveKindEnd::Completed;
    }
}
