// The simulated meter: answers request frames of one device type the way the real
// meter does (request bytes in, reply bytes out, or silence), from deterministic
// stored records and live values, optionally with faults provoked on purpose.
#pragma once

#include "codec/codec.h"
#include "sim/sim_live_values.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One record section of device type 5 as the protocol workbook maps it: records of
// `registerCount` registers lie back to back from `startRegister` (0-based).
// The field types say how to fill a record ("DT2", "DBL", "FLT", "LNG", "BYTE",
// "BIT", "S8"; others fill zeros for their register share); a "DBL" or "FLT" field
// whose caption names a quantity holds that quantity.
struct SimTypedSection {
    int kindCode = 51;
    int startRegister = 0;
    int registerCount = 0;
    int blocks = 0;
    std::vector<std::string> fieldTypes;
    std::vector<std::string> fieldCaptions; // same order; may be shorter
};

// One parameter row of device type 5: the live value its caption names, in its
// type's encoding, cut or zero-padded to `registers` registers.
struct SimTypedParam {
    std::string caption;
    std::string type;
    int registers = 0;
};

struct SimConfig {
    int deviceType = 1;
    int address = 23;
    // Records stored per kind: slots after the first `records` are blank.
    int records = 20;
    // Pace reply bytes at `baud` (11 bit times per byte: start, 8 data, parity, stop).
    bool lineRate = false;
    int baud = 9600;
    // Fault names, see kFaultNames in sim_meter.cpp; "split=GAP" and "close-after=N"
    // carry a number.
    std::vector<std::string> faults;
    // Time from the end of a request to the first reply byte.
    int replyDelayMs = 30;
    // Reply delay under the fault "slow": longer than a reply collection lasts.
    int slowDelayMs = 1000;
    // Gap between the pieces of a reply under the fault "split" (overridden by
    // "split=GAP").
    int splitGapMs = 15;
    int splitPieces = 3;
    // Device type 3 status answer: 30 bytes (48-bit volume) or 28 (32-bit volume).
    int customStatusLength = 30;
    // Device type 5: the rows of the parameter block at 0-based register 0x0FA1 (38
    // registers, zero-filled beyond the rows). Empty: a generated block.
    std::vector<SimTypedParam> typedParams;
    // Device type 5 record sections; empty until filled from the protocol workbook.
    std::vector<SimTypedSection> typedSections;
};

// Empty when every fault name is known and its number (if any) is valid; else the
// message to show.
std::string checkFaultNames(const std::vector<std::string>& faults);
bool hasFault(const SimConfig& config, const std::string& name);
// Number after "name=", or `fallback` when the fault is absent or has none.
int faultNumber(const SimConfig& config, const std::string& name, int fallback);

// A piece of a reply: its bytes become readable `atUs` microseconds after the
// request has been received.
struct SimPiece {
    int64_t atUs = 0;
    Bytes bytes;
};
// How the reply is delivered in time: delay, "slow", "split", line-rate pacing.
std::vector<SimPiece> scheduleReply(const SimConfig& config, const Bytes& reply);
// Microseconds one byte takes on the line at the configured baud rate.
int64_t byteTimeUs(const SimConfig& config);

// Length of a complete request frame that starts `bytes`, when the first bytes
// already tell it (record requests, register reads and writes, the custom frames); nullopt
// when unknown or not yet decidable.
std::optional<size_t> knownRequestLength(ByteView bytes);

class SimMeter {
public:
    explicit SimMeter(SimConfig config);
    // The reply to one complete request, with the byte-level faults applied;
    // nullopt means the meter stays silent (unknown shape, other address, bad check,
    // fault "silence").
    std::optional<Bytes> respond(ByteView request);
    // The fault-free answer, for tests that compare against the faulty one.
    std::optional<Bytes> answer(ByteView request);
    const SimConfig& config() const { return m_config; }
    // Live values behind the parameter and identification answers; tests may change them.
    SimLiveValues& live() { return m_live; }

private:
    Bytes applyFaults(Bytes reply) const;

    SimConfig m_config;
    SimLiveValues m_live;
};
