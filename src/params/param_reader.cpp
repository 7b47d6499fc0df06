#include "params/param_reader.h"

#include "log/log_model.h"
#include "protocol/exchange.h"
#include "protocol/waiter.h"

namespace {

struct DetectionStep {
    int deviceType;
    int attempts;
};

// The parameter window's simple mode tries the types in this order.
constexpr DetectionStep kDetectionOrder[] = {{5, 1}, {2, 2}, {1, 1}, {6, 1}, {7, 1}, {3, 1}};

// The start bytes, address and function of the custom status request of device type 3.
constexpr uint8_t kCustomStart = 0x55;
constexpr uint8_t kCustomStatusCommand = 0x02;

// Restores the normal cursor however the read of device type 7 ends.
class BusyCursorScope {
public:
    explicit BusyCursorScope(const std::function<void(bool)>& cursor) : FCursor(cursor)
    {
        if (FCursor)
            FCursor(true);
    }
    ~BusyCursorScope()
    {
        if (FCursor)
            FCursor(false);
    }
    BusyCursorScope(const BusyCursorScope&) = delete;
    BusyCursorScope& operator=(const BusyCursorScope&) = delete;

private:
    const std::function<void(bool)>& FCursor;
};

} // namespace

ParamReader::ParamReader(Exchange& exchange) : FExchange(exchange)
{
    Forget();
}

void ParamReader::SetMeterAddress(uint8_t address)
{
    if (address == FMeterAddress)
        return;
    FMeterAddress = address;
    Forget();
}

void ParamReader::Forget()
{
    for (const ParamPanelSpec& panel : ParamPanels()) {
        BlankParamLabels(panel.deviceType, FValues);
        if (Changed)
            Changed(panel.deviceType);
    }
    FillParamGrid();
    FCardParamsRead = false;
    FLastDeviceType = 0;
}

void ParamReader::SetParamLayout(std::vector<std::string> paramFields, const ParamLayoutArray& paramLayout)
{
    const bool newFields = paramFields != FParamFields;
    FParamFields = std::move(paramFields);
    FParamLayout = paramLayout;
    if (newFields)
        FillParamGrid();
}

void ParamReader::FillParamGrid()
{
    FGrid = ::FillParamGrid(FParamFields);
    BlankParamGrid(FGrid);
    if (Changed)
        Changed(5);
}

void ParamReader::Begin(int deviceType)
{
    // Values of another device type's panel say nothing about this meter.
    if (deviceType != FLastDeviceType) {
        FLastDeviceType = deviceType;
        if (deviceType == 5)
            BlankParamGrid(FGrid);
        else
            BlankParamLabels(deviceType, FValues);
        if (Changed)
            Changed(deviceType);
    }
    FExchange.Log().AppendLine(PanelSpecOf(deviceType)->banner);
    FExchange.Wait().ProcessEvents();
}

Bytes ParamReader::Request(uint16_t start, uint16_t count) const
{
    return AppendCrc(ReadRegistersRequest(FMeterAddress, start, count));
}

Bytes ParamReader::Exchange1(const Bytes& request, int waitMs)
{
    FExchange.SendFrame(request);
    FExchange.Wait().Sleep(waitMs);
    return FExchange.CollectReply();
}

int ParamReader::Finish(int deviceType, int result)
{
    if (result != ParamResult::Decoded) {
        if (deviceType == 5)
            ResetParamGrid(FGrid);
        else
            ResetParamLabels(deviceType, FValues);
    }
    if (Changed)
        Changed(deviceType);
    return result;
}

int ParamReader::ReadParamsV12()
{
    Begin(1);
    const Bytes reply = Exchange1(Request(0, 19), kParamWaitMs);
    return Finish(1, DecodeParamsV12(reply, FValues));
}

int ParamReader::ReadParamsV13()
{
    Begin(2);
    const Bytes live = Exchange1(Request(0, 16), kParamWaitV13Ms);
    const int liveResult = Finish(2, DecodeLiveV13(live, FValues));
    if (liveResult != ParamResult::Decoded)
        return liveResult;
    FCardParamsRead = false;
    // A failed card request resets the type's labels; the live values just read stay.
    LabelValues liveValues;
    DecodeLiveV13(live, liveValues);
    FExchange.Wait().Sleep(kCardFollowUpWaitMs);
    FExchange.Wait().ProcessEvents();
    const Bytes card = Exchange1(Request(0x0106, 27), kParamWaitV13Ms);
    const int cardResult = DecodeCardParamsV13(card, FValues);
    if (cardResult == ParamResult::Decoded) {
        FCardParamsRead = true;
    } else {
        ResetParamLabels(2, FValues);
        for (const auto& [name, value] : liveValues)
            FValues[name] = value;
    }
    if (Changed)
        Changed(2);
    return cardResult;
}

int ParamReader::ReadParamsV20()
{
    Begin(6);
    const Bytes reply = Exchange1(Request(10, 25), kParamWaitMs);
    return Finish(6, DecodeParamsV20(reply, FValues));
}

int ParamReader::ReadParamsCustom()
{
    Begin(3);
    Bytes request = {kCustomStart, kCustomStart, FMeterAddress, kCustomStatusCommand, 0x00};
    request.push_back(ByteSum8(ByteView(request).subspan(2)));
    const Bytes reply = Exchange1(request, kParamWaitMs);
    return Finish(3, DecodeParamsCustom(reply, FValues));
}

int ParamReader::ReadParamsTyped()
{
    Begin(5);
    FExchange.SendFrame(TypedParamsRequest(FMeterAddress, FParamLayout));
    FExchange.Wait().Sleep(kParamWaitTypedMs);
    const Bytes reply = FExchange.ReadReplyBytes(TypedParamsReplyLength(FParamLayout));
    return Finish(5, DecodeParamsTyped(reply, FParamFields, FParamLayout, FGrid));
}

int ParamReader::ReadParamsMoney()
{
    Begin(7);
    const BusyCursorScope cursor(BusyCursor);
    const Bytes reply = Exchange1(Request(10, 21), kParamWaitMs);
    return Finish(7, DecodeParamsMoney(reply, FValues));
}

int ParamReader::ReadParams(int deviceType)
{
    switch (deviceType) {
    case 1:
        return ReadParamsV12();
    case 2:
        return ReadParamsV13();
    case 3:
        return ReadParamsCustom();
    case 5:
        return ReadParamsTyped();
    case 6:
        return ReadParamsV20();
    case 7:
        return ReadParamsMoney();
    default:
        return 0;
    }
}

ParamReader::Detection ParamReader::DetectDeviceType()
{
    Detection detection;
    for (const DetectionStep& step : kDetectionOrder) {
        for (int attempt = 0; attempt < step.attempts; ++attempt) {
            detection.result = ReadParams(step.deviceType);
            if (detection.result == ParamResult::Decoded) {
                detection.deviceType = step.deviceType;
                return detection;
            }
        }
    }
    return detection;
}
