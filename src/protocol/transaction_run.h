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
    void SetPollInterval(int ms) { FPollIntervalMs = ms; }
    int PollInterval() const { return FPollIntervalMs; }
    // Reply collection of the next run (paced until set otherwise).
    void SetCollection(const ReplyCollection& collection) { FNextCollection = collection; }
    const ReplyCollection& Collection() const { return FCollection; }
    // The wait before each tick of the current run: the poll interval when
    // paced, none when fast.
    int PauseBeforeTickMs() const { return FCollection.fast ? 0 : FPollIntervalMs; }

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
    int CurrentBlock() const { return FCurrentBlock; }
    int EndBlock() const { return FEndBlock; }
    int RetryCount() const { return FRetryCount; }
    bool Cancelled() const { return FCancelled; }
    bool Running() const { return FRunning; }
    // Decoder result of the last block that was decoded; -1 before any.
    int LastResult() const { return FLastResult; }
    // How the run ended; RunEnd::Running while it goes on.
    const RunOutcome& Outcome() const { return FOutcome; }

    // What the progress window shows.
    const std::string& Caption() const { return FCaption; }
    const std::string& StatusText() const { return FStatusText; }
    int GaugeMax() const { return FGaugeMax; }
    int GaugePosition() const { return FGaugePosition; }
    bool OkEnabled() const { return FOkEnabled; }
    bool CancelEnabled() const { return FCancelEnabled; }
    bool ImageVisible() const { return FImageVisible; }

private:
    Bytes CollectReply();
    DecodeResult Decode(ByteView reply);
    void Finish(RunEnd end, std::string statusText, bool hideImage);
    void FailBlock(RunEnd end, int blockNumber);
    void EndCancelled();

    Exchange& FExchange;
    RecordTable& FTable;
    const FieldTypeList* FFieldTypes = nullptr;
    const FieldDigitsArray* FFieldDigits = nullptr;
    int FPollIntervalMs = 1000;
    ReplyCollection FNextCollection;
    ReplyCollection FCollection;
    ReplyShape FReplyShape{0};
    std::optional<uint8_t> FAddress; // the request's meter address (fast collection)

    Bytes FBaseRequest;
    int FKindCode = 0;
    int FCurrentBlock = 0;
    int FEndBlock = 0;
    int FRetryCount = 0;
    bool FCancelled = false;
    bool FRunning = false;
    int FLastResult = -1;
    RunOutcome FOutcome;

    std::string FCaption;
    std::string FStatusText;
    int FGaugeMax = 0;
    int FGaugePosition = 0;
    bool FOkEnabled = false;
    bool FCancelEnabled = false;
    bool FImageVisible = false;
};

// Drives a started run the way the window's timer does, pausing
// PauseBeforeTickMs() before each tick, until it ends. For the command-line
// reader, the benchmarks and whatever reads without a window.
const RunOutcome& RunToEnd(TransactionRun& run, Waiter& waiter);

// Reads blocks beginBlock..endBlock of `kindCode` into the run's table with
// `collection` and returns how the run ended.
const RunOutcome& RunBlocks(TransactionRun& run, Waiter& waiter, const ReplyCollection& collection,
                            int kindCode, int beginBlock, int endBlock, Bytes baseRequest);
