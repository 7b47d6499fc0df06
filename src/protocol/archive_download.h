// Reading every record kind of one device type in one go (the archive of a
// meter): kind after kind, in the catalogue's order, each into its own record
// table. A kind that fails is recorded with its reason and the download goes
// on with the next one; only a lost port or a cancel ends it early.
#pragma once

#include "decoding/record_table.h"
#include "protocol/prepared_kind.h"
#include "serial/byte_link.h"
#include "serial/line_settings.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class Exchange;

// How one kind ended.
enum class ArchiveKindEnd {
    Completed, // every block read, or the meter said there are no more records
    Failed,    // a block failed its three attempts
    PortLost,  // the port went away
    Cancelled, // the operator cancelled; rows read so far stay
    Skipped,   // never asked: no request can be built, or the download ended before it
};

struct ArchiveKind {
    int kindCode = 0;
    std::string_view caption;
    RecordTable table;
    PreparedKind prepared;

    ArchiveKindEnd end = ArchiveKindEnd::Skipped;
    int lastResult = -1; // decoder result of the last block decoded; -1 before any
    std::string failure; // why the kind is incomplete; empty when completed
};

// Texts for the summary and the window: "完成", "失败", "端口断开", "已取消", "未读取".
std::string archiveKindEndText(ArchiveKindEnd end);

struct ArchiveProgress {
    int kindIndex = 0; // from 0
    int kindCount = 0;
    int kindCode = 0;
    int block = 0; // the block being asked, from 1
    int blockCount = 0;
    // The kind being read: the rows of the blocks before `block` are whole.
    const ArchiveKind* kind = nullptr;
};

struct ArchiveOptions {
    int address = 23;
    bool fast = false; // fast reply collection instead of the paced one
    LineSettings line; // character time and response timeout of the fast collection
    // The protocol workbook's first sheet, for the kinds it describes; may be empty.
    CellReader protocolCells;
};

class ArchiveDownload {
public:
    // Prepares a kind for reading; a kind that is not ready() is not read and
    // its error becomes the kind's failure.
    using KindPreparer = std::function<PreparedKind(int kindCode)>;
    using ProgressHandler = std::function<void(const ArchiveProgress& progress)>;
    using KindEndHandler = std::function<void(const ArchiveKind& kind)>;

    ArchiveDownload(const DeviceRegistry& registry, Exchange& exchange, ArchiveOptions options);

    // Default: prepareKind with the options' protocol cells.
    void setKindPreparer(KindPreparer preparer) { m_prepare = std::move(preparer); }
    // Called before every block; events are processed meanwhile, so cancel()
    // may come from the window.
    void setProgressHandler(ProgressHandler handler) { m_progress = std::move(handler); }
    // Called when a kind that was asked has ended, with all its rows.
    void setKindEndHandler(KindEndHandler handler) { m_kindEnd = std::move(handler); }

    // Reads every kind of `deviceType`. The result holds one entry per kind in
    // the catalogue's order, also for kinds never reached.
    std::vector<ArchiveKind> run(int deviceType);

    // The block in progress completes, then the download ends.
    void cancel() { m_cancelled = true; }
    bool cancelled() const { return m_cancelled; }
    // Message of the port failure that ended the download, if any.
    const std::string& portError() const { return m_portError; }
    // The port's error behind it, when the port raised one.
    const std::optional<ComPortError>& portFailure() const { return m_portFailure; }

private:
    void readOneKind(ArchiveKind& kind, int kindIndex, int kindCount);

    const DeviceRegistry& m_registry;
    Exchange& m_exchange;
    ArchiveOptions m_options;
    KindPreparer m_prepare;
    ProgressHandler m_progress;
    KindEndHandler m_kindEnd;
    bool m_cancelled = false;
    std::string m_portError;
    std::optional<ComPortError> m_portFailure;
};
