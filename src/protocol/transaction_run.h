// The one run engine of a read: asks a range of blocks of one record kind, one
// request per tick, decodes each reply into the record table and reacts to the
// decoder's result (next block, same block again, or end), which it tells as a
// RunOutcome. How replies are collected is the run's ReplyCollection. It holds
// what the progress window shows (caption, gauge, status text, button states);
// the window drives Tick() from its timer, everything else calls RunToEnd().
#pragma once

#include "codec/codec.h"
#include "decoding/decode_result.h"
#include "protocol/fast_exchange.h"

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
//    the fixed polling steps of Exchange::CollectReply, at the pace the meters
//    expect;
//  - fast: no pause between blocks, each reply taken as soon as it is whole
//    (CollectReplyFast), and a reply that names another meter address than the
//    request is not this meter's record: it counts as a failed attempt.
struct ReplyCollection {
    bool fast = false;
    LineSettings line; // its character time and response timeout, for the fast collection

    static ReplyCollection Paced() { return {}; }
    static ReplyCollection Fast(const LineSettings& line) { return {true, line}; }
};

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
    bool operator==(const RunOutcome&) const = default;
};

// "读取第N条数据失败!": the status and log line of a failed block.
std::string FailedBlockText(int blockNumber);
// The caption suffix of a fast run: "（快速）".
inline constexpr const char* kFastCaptionSuffix = "（快速）";

class TransactionRun {
public:
    TransactionRun(Exchange& exchange, RecordTable& table);

    // Field description of a workbook-described kind, owned by the caller and
    // read at every tick of its run. Without one, empty types and zero digits
    // are used.
    void SetFieldDescription(const FieldTypeList* fieldTypes, const FieldDigitsArray* fieldDigits);

    // Timer period of the next paced run, set before StartRun (700/1000/1200
    // ms by device type).
    void SetPollInterval(int ms) { m_pollIntervalMs = ms; }
    int PollInterval() const { return m_pollIntervalMs; }
    // Reply collection of the next run (paced until set otherwise).
    void SetCollection(const ReplyCollection& collection) { m_nextCollection = collection; }
    const ReplyCollection& Collection() const { return m_collection; }
    // The wait before each tick of the current run: the poll interval when
    // paced, none when fast.
    int PauseBeforeTickMs() const { return m_collection.fast ? 0 : m_pollIntervalMs; }

    // Prepares a run over blocks beginBlock..endBlock; the first tick is due
    // PauseBeforeTickMs() later. Rows already in the table are left alone.
    void StartRun(int endBlock, int beginBlock, Bytes baseRequest, int kindCode);

    // One request, reply and decode. Processes events (through the exchange's
    // waiter) while it waits, so Cancel() may be called from inside it. A port
    // failure ends the run with every decoded row kept and its message in
    // Outcome().
    TickOutcome Tick();

    // "取消": the tick in progress (if any) completes its block, then the run
    // closes; rows stay.
    void Cancel();
    // The window closed (any way): the run is over and the cancel flag cleared.
    void Close();

    // Run state.
    int CurrentBlock() const { return m_currentBlock; }
    int EndBlock() const { return m_endBlock; }
    int RetryCount() const { return m_retryCount; }
    bool Cancelled() const { return m_cancelled; }
    bool Running() const { return m_running; }
    // Decoder result of the last block that was decoded; -1 before any.
    int LastResult() const { return m_lastResult; }
    // How the run ended; RunEnd::Running while it goes on.
    const RunOutcome& Outcome() const { return m_outcome; }

    // What the progress window shows.
    const std::string& Caption() const { return m_caption; }
    const std::string& statusText() const { return m_statusText; }
    int GaugeMax() const { return m_gaugeMax; }
    int GaugePosition() const { return m_gaugePosition; }
    bool OkEnabled() const { return m_okEnabled; }
    bool CancelEnabled() const { return m_cancelEnabled; }
    bool ImageVisible() const { return m_imageVisible; }

private:
    Bytes CollectReply();
    DecodeResult Decode(ByteView reply);
    void Finish(RunEnd end, std::string statusText, bool hideImage);
    void FailBlock(RunEnd end, int blockNumber);
    void EndCancelled();

    Exchange& m_exchange;
    RecordTable& m_table;
    const FieldTypeList* m_fieldTypes = nullptr;
    const FieldDigitsArray* m_fieldDigits = nullptr;
    int m_pollIntervalMs = 1000;
    ReplyCollection m_nextCollection;
    ReplyCollection m_collection;
    ReplyShape m_replyShape{0};
    std::optional<uint8_t> m_address; // the request's meter address (fast collection)

    Bytes m_baseRequest;
    int m_kindCode = 0;
    int m_currentBlock = 0;
    int m_endBlock = 0;
    int m_retryCount = 0;
    bool m_cancelled = false;
    bool m_running = false;
    int m_lastResult = -1;
    RunOutcome m_outcome;

    std::string m_caption;
    std::string m_statusText;
    int m_gaugeMax = 0;
    int m_gaugePosition = 0;
    bool m_okEnabled = false;
    bool m_cancelEnabled = false;
    bool m_imageVisible = false;
};

// Drives a started run the way the window's timer does, pausing
// PauseBeforeTickMs() before each tick, until it ends. For the command-line
// reader, the benchmarks and whatever reads without a window.
const RunOutcome& RunToEnd(TransactionRun& run, Waiter& waiter);

// Reads blocks beginBlock..endBlock of `kindCode` into the run's table with
// `collection` and returns how the run ended.
const RunOutcome& RunBlocks(TransactionRun& run, Waiter& waiter, const ReplyCollection& collection,
                            int kindCode, int beginBlock, int endBlock, Bytes baseRequest);
