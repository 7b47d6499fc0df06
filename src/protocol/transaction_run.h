// The run logic of a read: asks a range of blocks of one record kind, one
// request per tick, decodes each reply into the record table and reacts to the
// decoder's result (next block, same block again, or end). It holds what the
// progress window shows (caption, gauge, status text, button states); the
// window drives Tick() from its timer, the command-line reader from a loop.
#pragma once

#include "codec/codec.h"
#include "decoding/decode_result.h"

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

class TransactionRun {
public:
    TransactionRun(Exchange& exchange, RecordTable& table);

    // Field description of device type 5 kinds, owned by the caller and read
    // at every tick of a 51..54 run. Without one, empty types and zero digits
    // are used.
    void SetFieldDescription(const FieldTypeList* fieldTypes, const FieldDigitsArray* fieldDigits);

    // Timer period of the next run, set before StartRun (700/1000/1200 ms by
    // device type).
    void SetPollInterval(int ms) { FPollIntervalMs = ms; }
    int PollInterval() const { return FPollIntervalMs; }

    // Prepares a run over blocks beginBlock..endBlock; the first tick is due
    // one poll interval later. Rows already in the table are left alone.
    void StartRun(int endBlock, int beginBlock, Bytes baseRequest, int kindCode);

    // One request, reply and decode. Processes events (through the exchange's
    // waiter) while it waits, so Cancel() may be called from inside it. A port
    // failure ends the run with every decoded row kept and its message in
    // PortError().
    TickOutcome Tick();

    // "取消": the tick in progress (if any) completes its block, then the run
    // closes; rows stay.
    void Cancel();
    // The window closed (any way): the run is over and the cancel flag cleared.
    void Close();

    // Run state.
    int KindCode() const { return FKindCode; }
    int CurrentBlock() const { return FCurrentBlock; }
    int EndBlock() const { return FEndBlock; }
    int RetryCount() const { return FRetryCount; }
    bool Cancelled() const { return FCancelled; }
    bool Running() const { return FRunning; }
    // Decoder result of the last block that was decoded; -1 before any.
    int LastResult() const { return FLastResult; }
    // Message of the port error that ended the run, once per run.
    const std::optional<std::string>& PortError() const { return FPortError; }

    // What the progress window shows.
    const std::string& Caption() const { return FCaption; }
    const std::string& StatusText() const { return FStatusText; }
    int GaugeMax() const { return FGaugeMax; }
    int GaugePosition() const { return FGaugePosition; }
    bool OkEnabled() const { return FOkEnabled; }
    bool CancelEnabled() const { return FCancelEnabled; }
    bool ImageVisible() const { return FImageVisible; }

private:
    DecodeResult Decode(ByteView reply);
    void Finish(std::string statusText, bool hideImage);
    void FailBlock(int blockNumber);

    Exchange& FExchange;
    RecordTable& FTable;
    const FieldTypeList* FFieldTypes = nullptr;
    const FieldDigitsArray* FFieldDigits = nullptr;
    int FPollIntervalMs = 1000;

    Bytes FBaseRequest;
    int FKindCode = 0;
    int FCurrentBlock = 0;
    int FEndBlock = 0;
    int FRetryCount = 0;
    bool FCancelled = false;
    bool FRunning = false;
    int FLastResult = -1;
    std::optional<std::string> FPortError;

    std::string FCaption;
    std::string FStatusText;
    int FGaugeMax = 0;
    int FGaugePosition = 0;
    bool FOkEnabled = false;
    bool FCancelEnabled = false;
    bool FImageVisible = false;
};

// Drives a started run the way the window's timer does, one tick per poll
// interval, until it finishes or closes. For the command-line reader and tests.
TickOutcome RunToEnd(TransactionRun& run, Waiter& waiter);
