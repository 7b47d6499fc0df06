// The parameter read of a device type as its description in the device registry
// states it: log the banner, send each request, wait the step's fixed time,
// collect the reply and decode it into the label values (or, for the
// workbook-described type, the parameter grid). The values of the last good reply
// stay until a read fails (reset texts) or the meter or device type changes
// (empty): an operator watching a periodic read never sees placeholder zeros
// between two good replies. The reader
// holds the values the window shows; it sends and waits only through the
// Exchange, so tests drive it against a simulated meter on a virtual clock.
// Port failures (ComPortError) pass through to the caller.
#pragma once

#include "catalogue/device_registry.h"
#include "decoding/param_decoders.h"
#include "decoding/param_grid.h"

#include <QObject>

#include <functional>
#include <vector>

class Exchange;

// Fixed waits between sending a request and collecting its reply, in ms.
inline constexpr int kParamWaitMs = 400;
inline constexpr int kParamWaitV13Ms = 300;
inline constexpr int kCardFollowUpWaitMs = 1700;
inline constexpr int kParamWaitTypedMs = 2100;

class ParamReader : public QObject {
    Q_OBJECT
public:
    // `registry` and `exchange` must outlive the reader. Every label starts in
    // its reset state.
    ParamReader(const DeviceRegistry& registry, Exchange& exchange, QObject* parent = nullptr);

    const DeviceRegistry& registry() const { return m_registry; }

    // A different address forgets every value read so far.
    void setMeterAddress(uint8_t address);
    // Empties every label and the grid, as before the first read (another port).
    void forget();

    // The parameter list and register layout of device type 5 (from the protocol
    // sheet). A different parameter list gives an empty grid of its captions.
    void setParamLayout(std::vector<std::string> paramFields, const ParamLayoutArray& paramLayout);
    // Grid rows from the parameter captions, every value empty.
    void fillParamGrid();
    const ParamGrid& grid() const { return m_grid; }

    const LabelValues& values() const { return m_values; }
    // Set when the follow-up request of a read in several steps was decoded;
    // cleared when such a follow-up is sent.
    bool followUpRead() const { return m_followUpRead; }

    // The read of `deviceType`; returns its (last) decoder's result: 1 success,
    // 2 wrong length, 3 wrong check bytes, 4 wrong start bytes; 0 (no read, a
    // failure) for a type without one. A step that fails ends the read.
    int readParams(int deviceType);

    // The parameter window's simple mode: reads the device types in detection
    // order, each as often as it is tried, and stops at the first that answers.
    struct Detection {
        int deviceType = 0; // 0 when no type answered
        int result = 0;     // the last read's result
    };
    Detection detectDeviceType();

signals:
    // The labels (or the grid) of a type were decoded, reset after a failed read
    // or emptied, so a window can show them while the read goes on.
    void changed(int deviceType);
    // Types whose description asks for it show the hourglass for their read:
    // true after the banner, false when the read returns.
    void busyChanged(bool busy);

private:
    void begin(int deviceType, const ParamRead& read);
    int readFromWorkbook(int deviceType);
    int finish(int deviceType, const ParamRead& read, int result);

    const DeviceRegistry& m_registry;
    Exchange& m_exchange;
    uint8_t m_meterAddress = 23;
    std::vector<std::string> m_paramFields;
    ParamLayoutArray m_paramLayout{};
    ParamGrid m_grid;
    LabelValues m_values;
    bool m_followUpRead = false;
    int m_lastDeviceType = 0;
};
