// Finding out which device type answers at a meter address, by probe
// requests that only that type answers in the expected shape. Each probe
// writes its line into the log before it is tried; frames go through the
// exchange, so they are logged too. Port failures (ComPortError) propagate: the
// caller reports them and starts no read.
#pragma once

#include <functional>
#include <string_view>

class DeviceRegistry;
class Exchange;
struct RecordMenuItem;

// Probes of the record-type menu, in the identification order of the device
// registry; three attempts each. Returns the first type whose probe succeeded,
// 0 when none did (a type without an identification probe is never yielded), or
// when `cancelled` (asked before each attempt) says so. `knownType` (0: none)
// is probed first, with the types that share its probe; the others follow
// when it does not answer.
int identifyMeter(const DeviceRegistry& registry, Exchange& exchange, int address,
                  const std::function<bool()>& cancelled = {}, int knownType = 0);

// Probes of "读取全部记录" for the older record readers, in their order in the
// device registry; three attempts each. Returns the type, 0 when none answered
// or when `cancelled` (asked before each attempt) says so; `knownType` as above.
int identifyRecordReader(const DeviceRegistry& registry, Exchange& exchange, int address,
                         const std::function<bool()>& cancelled = {}, int knownType = 0);

struct RecordMenuChoice {
    int deviceType = 0;       // what IdentifyMeter found (0: nothing answered)
    int kindCode = 0;         // the kind to read, 0 when nothing is to be read
    std::string_view message; // shown (caption "信息提示") exactly when kindCode is 0
};

// A record-type menu item: identifies the meter and maps the item to the
// record kind of the type found, or to the message that explains why not.
RecordMenuChoice resolveRecordMenu(const DeviceRegistry& registry, Exchange& exchange,
                                   const RecordMenuItem& item, int address);
