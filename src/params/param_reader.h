// The six parameter read operations: log the banner, send the request, wait the
// type's fixed time, collect the reply and decode it into the label values (or,
// for device type 5, the parameter grid). The values of the last good reply stay
// until a read fails (reset texts) or the meter or device type changes (empty):
// an operator watching a periodic read never sees placeholder zeros between two
// good replies. The reader holds the values the window shows; it sends and waits only through the
// Exchange, so tests drive it against a simulated meter on a virtual clock.
// Port failures (EComPort) pass through to the caller.
#pragma once

#include "params/param_decoders.h"
#include "params/param_grid.h"

#include <functional>
#include <vector>

class Exchange;

// Fixed waits between sending a request and collecting its reply, in ms.
inline constexpr int kParamWaitMs = 400;
inline constexpr int kParamWaitV13Ms = 300;
inline constexpr int kCardFollowUpWaitMs = 1700;
inline constexpr int kParamWaitTypedMs = 2100;

class ParamReader {
public:
    // `exchange` must outlive the reader. Every label starts in its reset state.
    explicit ParamReader(Exchange& exchange);

    // A different address forgets every value read so far.
    void SetMeterAddress(uint8_t address);
    // Empties every label and the grid, as before the first read (another port).
    void Forget();
    uint8_t MeterAddress() const { return FMeterAddress; }

    // The parameter list and register layout of device type 5 (from the protocol
    // sheet). A different parameter list gives an empty grid of its captions.
    void SetParamLayout(std::vector<std::string> paramFields, const ParamLayoutArray& paramLayout);
    const std::vector<std::string>& ParamFields() const { return FParamFields; }
    const ParamLayoutArray& ParamLayout() const { return FParamLayout; }
    // Grid rows from the parameter captions, every value empty.
    void FillParamGrid();
    const ParamGrid& Grid() const { return FGrid; }

    const LabelValues& Values() const { return FValues; }
    // Set when the second request of a device type 2 read was decoded.
    bool CardParamsRead() const { return FCardParamsRead; }

    // Each returns its (last) decoder's result: 1 success, 2 wrong length, 3 wrong
    // check bytes, 4 wrong start bytes.
    int ReadParamsV12();
    int ReadParamsV13();
    int ReadParamsV20();
    int ReadParamsCustom();
    int ReadParamsTyped();
    int ReadParamsMoney();
    // The read of `deviceType`; 0 (no read, a failure) for a type without one.
    int ReadParams(int deviceType);

    // The parameter window's simple mode: reads the device types in detection
    // order, each as often as it is tried, and stops at the first that answers.
    struct Detection {
        int deviceType = 0; // 0 when no type answered
        int result = 0;     // the last read's result
    };
    Detection DetectDeviceType();

    // Called after the labels (or the grid) of a type were decoded, reset after a
    // failed read or emptied, so a window can show them while the read goes on.
    std::function<void(int deviceType)> Changed;
    // Device type 7 shows the hourglass itself for its read: true after the
    // banner, false when the read returns.
    std::function<void(bool busy)> BusyCursor;

private:
    void Begin(int deviceType);
    Bytes Request(uint16_t start, uint16_t count) const;
    // Send, wait `waitMs`, collect.
    Bytes Exchange1(const Bytes& request, int waitMs);
    int Finish(int deviceType, int result);

    Exchange& FExchange;
    uint8_t FMeterAddress = 23;
    std::vector<std::string> FParamFields;
    ParamLayoutArray FParamLayout{};
    ParamGrid FGrid;
    LabelValues FValues;
    bool FCardParamsRead = false;
    int FLastDeviceType = 0;
};
