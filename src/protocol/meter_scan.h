// Finding the meters on a line: every address of a range gets the
// identification probes once each, with the fast reply collection and a short
// response timeout, so an address where nothing answers costs one short wait
// per probe frame. A meter that answers is named by the device type the
// identification would give it.
#pragma once

#include "serial/line_settings.h"

#include <functional>
#include <vector>

class DeviceRegistry;
class Exchange;

// Long enough for a meter to start its answer at 9600 baud, short enough that
// the five probe frames of a silent address stay well under 1.2 s.
inline constexpr int kScanResponseTimeoutMs = 200;

struct FoundMeter {
    int address = 0;
    int deviceType = 0;
    bool operator==(const FoundMeter&) const = default;
};

// The identification probes of the device registry in its order, each distinct
// frame once; the first reply of the expected shape decides. A type with a
// confirming window (one that shares its first frame with another type) sends it
// after a good reply, and the next type with that frame wins when it goes
// unanswered. The line's response timeout (kScanResponseTimeoutMs for a scan)
// bounds each probe. 0 when nothing answered, or when `cancelled` (asked before
// each probe) says so. Port failures (ComPortError) propagate. `knownType`
// (the type last found there; 0: none) is asked first, with the types sharing
// its probe; when it does not answer the whole sequence follows, without
// sending a probe twice.
int probeMeter(const DeviceRegistry& registry, Exchange& exchange, int address, const LineSettings& line,
               const std::function<bool()>& cancelled = {}, int knownType = 0);
// The same with the probes of "读取全部记录" for the older record readers.
int probeRecordReader(const DeviceRegistry& registry, Exchange& exchange, int address,
                      const LineSettings& line, const std::function<bool()>& cancelled = {},
                      int knownType = 0);

// Which probes identify a meter: those of the record-type menu (also the
// backup's and the command-line reader's) or those of "读取全部记录" for the
// older record readers.
enum class ProbeSet { RecordMenu, RecordReader };

// The device type at `address`, found the fast way (probeMeter: each probe
// frame once, bounded by the line's response timeout) or paced
// (identifyMeter: three attempts per type, at the pace the meters expect).
// Returns, cancels and throws as those do.
int findDeviceType(const DeviceRegistry& registry, Exchange& exchange, int address, bool fast,
                   const LineSettings& line, ProbeSet probes = ProbeSet::RecordMenu,
                   const std::function<bool()>& cancelled = {}, int knownType = 0);

struct ScanHandlers {
    // Before each address; returning false ends the scan (cancel).
    std::function<bool(int address)> beforeAddress;
    std::function<void(const FoundMeter& meter)> found;
};

// Probes addresses from..to in order and returns the meters that answered.
std::vector<FoundMeter> scanMeters(const DeviceRegistry& registry, Exchange& exchange, int from, int to,
                                   const LineSettings& line, const ScanHandlers& handlers = {});
