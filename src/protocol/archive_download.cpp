#include "protocol/archive_download.h"

#include "catalogue/catalogue.h"
#include "protocol/exchange.h"
#include "protocol/transaction_run.h"
#include "protocol/waiter.h"

std::string archiveKindEndText(ArchiveKindEnd end)
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

ArchiveDownload::ArchiveDownload(const DeviceRegistry& registry, Exchange& exchange, ArchiveOptions options)
    : m_registry(registry), m_exchange(exchange), m_options(options)
{
}

std::vector<ArchiveKind> ArchiveDownload::run(int deviceType)
{
    m_cancelled = false;
    m_portError.clear();
    m_portFailure.reset();
    std::vector<ArchiveKind> kinds;
    for (const RecordKind& info : recordKindsOf(m_registry, deviceType)) {
        kinds.emplace_back();
        kinds.back().kindCode = info.code;
        kinds.back().caption = info.caption;
    }
    const int kindCount = static_cast<int>(kinds.size());
    for (int index = 0; index < kindCount; ++index) {
        ArchiveKind& kind = kinds[static_cast<size_t>(index)];
        if (m_cancelled || !m_portError.empty())
            break;
        kind.prepared = m_prepare ? m_prepare(kind.kindCode)
                                  : prepareKind(m_registry, kind.kindCode, m_options.protocolCells);
        kind.table.setColumns(kind.prepared.columns);
        if (!kind.prepared.ready()) {
            kind.failure = kind.prepared.error;
            continue;
        }
        readOneKind(kind, index, kindCount);
    }
    return kinds;
}

void ArchiveDownload::readOneKind(ArchiveKind& kind, int kindIndex, int kindCount)
{
    const BaseRequest base = composeKindRequest(m_exchange, kind.prepared, m_options.address);
    if (base.portClosed) {
        kind.failure = kPortClosedText;
        m_portError = kPortClosedText;
        return;
    }
    if (base.request.empty() || !kind.prepared.kind) {
        kind.failure = "无法生成请求";
        return;
    }
    ArchiveProgress progress{kindIndex, kindCount, kind.kindCode, 1, base.blockCount, &kind};
    RunWatch watch;
    watch.beforeBlock = [this, &progress](int block) {
        progress.block = block;
        if (m_progress)
            m_progress(progress);
    };
    watch.stopRequested = [this] { return m_cancelled; };

    TransactionRun run(m_exchange, kind.table);
    const RunOutcome ended = readKind(
        run, m_exchange.wait(), kind.prepared, base,
        wholeKindPlan(*kind.prepared.kind, ReadStartWay::TreeOrRecordMenu, m_options.fast, m_options.line),
        watch);
    kind.lastResult = run.lastResult();

    switch (ended.end) {
    case RunEnd::PortLost:
        kind.end = ArchiveKindEnd::PortLost;
        kind.failure = ended.portError;
        m_portError = ended.portError.empty() ? std::string("串口连接已断开") : ended.portError;
        m_portFailure = ended.portFailure;
        break;
    case RunEnd::Cancelled:
        kind.end = ArchiveKindEnd::Cancelled;
        kind.failure = archiveKindEndText(ArchiveKindEnd::Cancelled);
        break;
    case RunEnd::BlockFailed:
        kind.end = ArchiveKindEnd::Failed;
        kind.failure = failedBlockText(ended.block);
        break;
    default:
        kind.end = ArchiveKindEnd::Completed;
        break;
    }
    if (m_kindEnd)
        m_kindEnd(kind);
}
