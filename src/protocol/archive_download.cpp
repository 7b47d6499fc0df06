#include "protocol/archive_download.h"

#include "catalogue/catalogue.h"
#include "protocol/exchange.h"
#include "protocol/transaction_run.h"
#include "protocol/waiter.h"

namespace {

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
    : m_exchange(exchange), m_options(options)
{
}

std::vector<ArchiveKind> ArchiveDownload::Run(int deviceType)
{
    m_cancelled = false;
    m_portError.clear();
    std::vector<ArchiveKind> kinds;
    for (const RecordKind& info : RecordKindsOf(deviceType)) {
        kinds.emplace_back();
        kinds.back().kindCode = info.code;
    }
    const int kindCount = static_cast<int>(kinds.size());
    for (int index = 0; index < kindCount; ++index) {
        ArchiveKind& kind = kinds[static_cast<size_t>(index)];
        if (m_cancelled || !m_portError.empty())
            break;
        SetupKindColumns(kind.kindCode, kind.table);
        if (m_prepare) {
            if (std::string error = m_prepare(kind); !error.empty()) {
                kind.failure = std::move(error);
                continue;
            }
        }
        ReadKind(kind, index, kindCount);
    }
    return kinds;
}

// The one place that drives a run, tick by tick as its window's timer would,
// with the paced or the fast reply collection, so progress and cancel are seen
// between blocks.
void ArchiveDownload::ReadKind(ArchiveKind& kind, int kindIndex, int kindCount)
{
    const BaseRequest base = m_exchange.ComposeBaseRequest(kind.kindCode, m_options.address, kind.registers);
    if (base.portClosed) {
        kind.failure = kPortClosedText;
        m_portError = kPortClosedText;
        return;
    }
    if (base.request.empty()) {
        kind.failure = "无法生成请求";
        return;
    }
    ArchiveProgress progress{kindIndex, kindCount, kind.kindCode, 1, base.blockCount};
    auto report = [this, &progress](int block) {
        progress.block = block;
        if (m_progress)
            m_progress(progress);
    };

    TransactionRun run(m_exchange, kind.table);
    run.SetFieldDescription(&kind.fieldTypes, &kind.fieldDigits);
    run.SetPollInterval(PollIntervalMs(DeviceTypeOfKind(kind.kindCode), ReadStartWay::TreeOrRecordMenu));
    run.SetCollection(m_options.fast ? ReplyCollection::Fast(m_options.line) : ReplyCollection::Paced());
    run.StartRun(base.blockCount, 1, base.request, kind.kindCode);
    TickOutcome outcome = TickOutcome::Again;
    while (outcome == TickOutcome::Again) {
        report(run.CurrentBlock());
        m_exchange.Wait().Sleep(run.PauseBeforeTickMs());
        m_exchange.Wait().ProcessEvents();
        if (m_cancelled)
            run.Cancel();
        outcome = run.Tick();
    }
    kind.lastResult = run.LastResult();
    const RunOutcome ended = run.Outcome();
    const std::string status = run.statusText();
    run.Close();

    switch (ended.end) {
    case RunEnd::PortLost:
        kind.end = ArchiveKindEnd::PortLost;
        kind.failure = ended.portError;
        m_portError = ended.portError.empty() ? std::string("串口连接已断开") : ended.portError;
        break;
    case RunEnd::Cancelled:
        kind.end = ArchiveKindEnd::Cancelled;
        kind.failure = ArchiveKindEndText(ArchiveKindEnd::Cancelled);
        break;
    case RunEnd::BlockFailed:
        kind.end = ArchiveKindEnd::Failed;
        kind.failure = status;
        break;
    default:
        kind.end = ArchiveKindEnd::Completed;
        break;
    }
}
