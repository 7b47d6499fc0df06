// Identification answers of the simulated meter: each device type answers exactly
// the probe frames that identify it (and that its parameter window reads), built
// from the live values. The frame builders are shared with the parameter reads.
#pragma once

#include "sim/sim_meter.h"

// The answer to an identification probe the configured device type really has,
// or nullopt. The request has passed the address and check-byte tests.
std::optional<Bytes> answerProbe(const SimConfig& config, const SimLiveValues& live, ByteView request);

// Device types 1 and 2, registers 0.. : volumes, flows, temperature, pressure,
// compression factor, status (19 registers in all; `registers` ≤ 19).
Bytes liveReplyV12(const SimConfig& config, const SimLiveValues& live, int registers);
// Device type 2 card parameters, 27 registers from 0x0106.
Bytes cardReplyV13(const SimConfig& config, const SimLiveValues& live);
// Device type 3 status answer (config.customStatusLength: 30 or 28 bytes).
Bytes statusReplyCustom(const SimConfig& config, const SimLiveValues& live);
// Device type 6, 25 registers from 10.
Bytes liveReplyV20(const SimConfig& config, const SimLiveValues& live);
// Device type 7, 21 registers from 10.
Bytes liveReplyMoney(const SimConfig& config, const SimLiveValues& live);
// Device type 5 parameter block, 38 registers from 0x0FA1.
Bytes paramBlockReplyTyped(const SimConfig& config, const SimLiveValues& live);

// Register windows answered by the probes, 0-based start and count.
constexpr int kTypedParamStart = 0x0FA1;
constexpr int kTypedParamCount = 38;
