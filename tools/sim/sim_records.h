// Record block answers of the simulated meter, every kind of every device type.
// The request has already passed the address and check-byte tests.
#pragma once

#include "sim/sim_meter.h"

// The reply to a record request of the configured device type, or nullopt when
// the type has no such request (wrong function, unknown kind byte, a record
// range longer than the kind's block).
std::optional<Bytes> AnswerRecordRequest(const SimConfig& config, ByteView request);

// Data bytes of one record of a device type 5 section (2 × registerCount bytes);
// `ordinal` counts stored records from 0.
Bytes TypedRecordData(const SimTypedSection& section, int ordinal);
