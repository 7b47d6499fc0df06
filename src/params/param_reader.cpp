#include "params/param_reader.h"

#include "log/log_model.h"
#include "protocol/exchange.h"
#include "protocol/waiter.h"

namespace {

// Restores the normal cursor however the read ends.
class BusyCursorScope {
public:
    BusyCursorScope(const std::function<void(bool)>& cursor, bool wanted) : FCursor(wanted ? cursor : FNone)
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
    const std::function<void(bool)> FNone;
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
    for (const DeviceTypeDescription* type : DeviceRegistry::instance().deviceTypes()) {
        if (!type->params.panel || type->params.fromWorkbook)
            continue;
        BlankParamLabels(*type->params.panel, FValues);
        if (Changed)
            Changed(type->code);
    }
    FillParamGrid();
    FFollowUpRead = false;
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
    if (!Changed)
        return;
    for (const DeviceTypeDescription* type : DeviceRegistry::instance().deviceTypes())
        if (type->params.fromWorkbook)
            Changed(type->code);
}

void ParamReader::Begin(int deviceType, const ParamRead& read)
{
    // Values of another device type's panel say nothing about this meter.
    if (deviceType != FLastDeviceType) {
        FLastDeviceType = deviceType;
        if (read.fromWorkbook)
            BlankParamGrid(FGrid);
        else
            BlankParamLabels(*read.panel, FValues);
        if (Changed)
            Changed(deviceType);
    }
    FExchange.Log().AppendLine(read.panel->banner);
    FExchange.Wait().ProcessEvents();
}

int ParamReader::Finish(int deviceType, const ParamRead& read, int result)
{
    if (result != ParamResult::Decoded) {
        if (read.fromWorkbook)
            ResetParamGrid(FGrid);
        else
            ResetParamLabels(*read.panel, FValues);
    }
    if (Changed)
        Changed(deviceType);
    return result;
}

int ParamReader::ReadFromWorkbook(int deviceType)
{
    FExchange.SendFrame(TypedParamsRequest(FMeterAddress, FParamLayout));
    FExchange.Wait().Sleep(kParamWaitTypedMs);
    const Bytes reply = FExchange.ReadReplyBytes(TypedParamsReplyLength(FParamLayout));
    const DeviceTypeDescription* type = DeviceRegistry::instance().deviceType(deviceType);
    return Finish(deviceType, type->params, DecodeParamsTyped(reply, FParamFields, FParamLayout, FGrid));
}

int ParamReader::ReadParams(int deviceType)
{
    const DeviceTypeDescription* type = DeviceRegistry::instance().deviceType(deviceType);
    if (!type || !type->params.panel)
        return 0;
    const ParamRead& read = type->params;
    Begin(deviceType, read);
    if (read.fromWorkbook)
        return ReadFromWorkbook(deviceType);
    const BusyCursorScope cursor(BusyCursor, read.busyCursor);
    int result = 0;
    // A failed follow-up resets the type's labels; the values of the steps
    // already decoded in this read are put back.
    std::vector<Bytes> decodedReplies;
    for (size_t step = 0; step < read.steps.size(); ++step) {
        const ParamStep& request = read.steps[step];
        if (step > 0) {
            FFollowUpRead = false;
            FExchange.Wait().Sleep(request.pauseBeforeMs);
            FExchange.Wait().ProcessEvents();
        }
        FExchange.SendFrame(type->dialect->frame(FMeterAddress, request.body));
        FExchange.Wait().Sleep(request.waitMs);
        const Bytes reply = FExchange.CollectReply();
        result = request.decode(reply, FValues);
        if (result != ParamResult::Decoded) {
            ResetParamLabels(*read.panel, FValues);
            for (size_t done = 0; done < decodedReplies.size(); ++done)
                read.steps[done].decode(decodedReplies[done], FValues);
            if (Changed)
                Changed(deviceType);
            return result;
        }
        decodedReplies.push_back(reply);
        if (Changed)
            Changed(deviceType);
        if (step > 0)
            FFollowUpRead = true;
    }
    return result;
}

ParamReader::Detection ParamReader::DetectDeviceType()
{
    Detection detection;
    for (const DeviceTypeDescription* type :
         DeviceRegistry::instance().paramOrder(&ParamRead::detectionRank)) {
        for (int attempt = 0; attempt < type->params.detectionAttempts; ++attempt) {
            detection.result = ReadParams(type->code);
            if (detection.result == ParamResult::Decoded) {
                detection.deviceType = type->code;
                return detection;
            }
        }
    }
    return detection;
}
