// The one run engine of a read: asks a range of blocks of one prepared record
// kind, one request per tick, decodes each reply into the record table and
// reacts to the decoder's result (next block, same block again, or end), which
// it tells as a RunOutcome. How replies are collected is the run's
// ReplyCollection. What a progress window makes of a run is RunProgressOf's
// business; the window drives tick() from its timer, everything else calls
// readKind().
#pragma once

#include "catalogue/catalogue.h"
#include "codec/codec.h"
#include "decoding/decode_result.h"
#include "protocol/fast_exchange.h"
#include "protocol/prepared_kind.h"
#include "serial/byte_link.h"

#include <functional>
#include <optional>
#include <string>

class Exchange;
class RecordTable;
class Waiter;

// What the driver of the run does after a tick.
enum class TickOutcome {
    Again,    // re-arm the timer: another tick is wanted
    Finished, // the run has ended; "完成" is enabled and the window stays up
    Closed,   // cancelled: close the window
};

// A block gets this many attempts before the run ends with its failure.
inline constexpr int kAttemptsPerBlock = 3;

// How a run collects its replies.
//  - paced (the default): one block per poll interval, each reply taken after
//    the fixed polling steps of Exchange::collectReply, at the pace the meters
//    expect;
//  - fast: no pause between blocks, each reply taken as soon as it is whole
//    (CollectReplyFast), and a reply that names another meter address than the
//    request is not this meter's record: it counts as a failed attempt.
struct ReplyCollection {
    bool fast = false;
    LineSettings line; // its character time and response timeout, for the fast collection

    static ReplyCollection paced() { return {}; }
    static ReplyCollection fastFor(const LineSettings& line) { return {true, line}; }
    static ReplyCollection chosen(bool fast, const LineSettings& line)
    {
        return fast ? fastFor(line) : paced();
    }
};

// Which blocks a read asks, and at what pace.
struct ReadPlan {
    int beginBlock = 1;
    int endBlock = 0; // 0: the kind's last block
    int pollIntervalMs = 1000;
    ReplyCollection collection;
};
// Blocks 1 to the last of `kind` at its device type's poll interval for
// `way`, paced or fast.
ReadPlan wholeKindPlan(const RecordKind& kind, ReadStartWay way, bool fast, const LineSettings& line);

// How a run ended.
enum class RunEnd {
    Running,        // not ended yet
    Completed,      // every block read, or the meter's blank slot reached
    StoppedByMeter, // the decoder stopped the run (no decoder, blank register record)
    BlockFailed,    // `block` failed kAttemptsPerBlock times
    PortLost,       // the port failed while `block` was asked; `portError` says how
    Cancelled,      // "取消" or the window closed
};

struct RunOutcome {
    RunEnd end = RunEnd::Running;
    int block = 0; // BlockFailed, PortLost
    std::string portError;
    // The error itself, so that a window can word its cause in its own language.
    std::optional<ComPortError> portFailure;
    bool operator==(const RunOutcome& other) const
    {
        return end == other.end && block == other.block && portError == other.portError;
    }
};

// The outcome as a value that files and stores keep: "completed", "stopped",
// "block N failed", "port lost", "cancelled"; "running" before the end.
std::string runOutcomeValue(const RunOutcome& outcome);

// "读取第N条数据失败!": the status and log line of a failed block.
std::string failedBlockText(int blockNumber);
// The caption suffix of a fast run: "（快速）".
inline constexpr const char* kFastCaptionSuffix = "（快速）";

class TransactionRun {
public:
    TransactionRun(Exchange& exchange, RecordTable& table);

    // Prepares a run of `kind` (owned by the caller, read at every tick) over
    // the plan's blocks of `base`; the first tick is due pauseBeforeTickMs()
    // later. Rows already in the table are left alone.
    void start(const PreparedKind& kind, const BaseRequest& base, const ReadPlan& plan);

    // Timer period of the current (or last) paced run.
    int pollInterval() const { return m_plan.pollIntervalMs; }
    const ReplyCollection& collection() const { return m_plan.collection; }
    // The wait before each tick of the current run: the poll interval when
    // paced, none when fast.
    int pauseBeforeTickMs() const { return m_plan.collection.fast ? 0 : m_plan.pollIntervalMs; }

    // One request, reply and decode. Processes events (through the exchange's
    // waiter) while it waits, so cancel() may be called from inside it. A port
    // failure ends the run with every decoded row kept and its message in
    // outcome().
    TickOutcome tick();

    // "取消": the tick in progress (if any) completes its block, then the run
    // closes; rows stay.
    void cancel();
    // The window closed (any way): the run is over and the cancel flag cleared.
    void close();

    // Run state.
    bool started() const { return m_kind != nullptr; }
    int kindCode() const { return m_kind ? m_kind->kindCode : 0; }
    const RecordKind* recordKind() const { return m_kind ? m_kind->kind : nullptr; }
    int beginBlock() const { return m_beginBlock; }
    int currentBlock() const { return m_currentBlock; }
    int endBlock() const { return m_endBlock; }
    // Blocks decoded so far in this run.
    int decodedBlocks() const { return m_decodedBlocks; }
    // The block the last tick asked; 0 before any.
    int lastAskedBlock() const { return m_lastAskedBlock; }
    int retryCount() const { return m_retryCount; }
    bool cancelled() const { return m_cancelled; }
    bool running() const { return m_running; }
    // Decoder result of the last block that was decoded; -1 before any.
    int lastResult() const { return m_lastResult; }
    // How the run ended; RunEnd::Running while it goes on.
    const RunOutcome& outcome() const { return m_outcome; }

private:
    Bytes collectReply();
    DecodeResult decode(ByteView reply);
    void finish(RunEnd end);
    void failBlock(RunEnd end, int blockNumber);
    void endCancelled();

    Exchange& m_exchange;
    RecordTable& m_table;
    const PreparedKind* m_kind = nullptr;
    ReadPlan m_plan;
    ReplyShape m_replyShape;
    std::optional<uint8_t> m_address; // the request's meter address (fast collection)

    Bytes m_baseRequest;
    int m_beginBlock = 0;
    int m_currentBlock = 0;
    int m_endBlock = 0;
    int m_decodedBlocks = 0;
    int m_lastAskedBlock = 0;
    int m_retryCount = 0;
    bool m_cancelled = false;
    bool m_running = false;
    int m_lastResult = -1;
    RunOutcome m_outcome;
};

// What a progress window shows of a run: its caption, the gauge, the status
// line and which of "完成" and "取消" work.
struct RunProgress {
    std::string caption;
    int gaugeMax = 0;
    int gaugePosition = 0;
    std::string statusText;
    bool okEnabled = false;
    bool cancelEnabled = false;
    bool activityVisible = false;
};
RunProgress runProgressOf(const TransactionRun& run);

// Watching a run driven without a window.
struct RunWatch {
    // Before the pause of each tick, with the block about to be asked.
    std::function<void(int block)> beforeBlock;
    // After that pause, with events processed: true cancels the run.
    std::function<bool()> stopRequested;
};

// Drives a started run the way the window's timer does, pausing
// pauseBeforeTickMs() before each tick, until it ends.
const RunOutcome& runToEnd(TransactionRun& run, Waiter& waiter, const RunWatch& watch = {});

// A whole read without a window (the command-line reader, the archive download,
// the benchmarks): starts `kind` over the plan's blocks of `base`, drives it to
// its end and closes it.
const RunOutcome& readKind(TransactionRun& run, Waiter& waiter, const PreparedKind& kind,
                           const BaseRequest& base, const ReadPlan& plan, const RunWatch& watch = {});
