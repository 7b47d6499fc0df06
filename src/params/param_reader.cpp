#include "params/param_reader.h"

#include "log/log_model.h"
#include "protocol/exchange.h"
#include "protocol/waiter.h"

namespace {

// Restores the normal cursor however the read ends.
class BusyCursorScope {
public:
    BusyCursorScope(const std::function<void(bool)>& cursor, bool wanted) : m_cursor(wanted ? cursor : m_none)
    {
        if (m_cursor)
            m_cursor(true);
    }
    ~BusyCursorScope()
    {
        if (m_cursor)
            m_cursor(false);
    }
    BusyCursorScope(const BusyCursorScope&) = delete;
    BusyCursorScope& operator=(const BusyCursorScope&) = delete;

private:
    const std::function<void(bool)> m_none;
    const std::function<void(bool)>& m_cursor;
};

} // namespace

ParamReader::ParamReader(Exchange& exchange) : m_exchange(exchange)
{
    Forget();
}

void ParamReader::SetMeterAddress(uint8_t address)
{
    if (address == m_meterAddress)
        return;
    m_meterAddress = address;
    Forget();
}

void ParamReader::Forget()
{
    for (const DeviceTypeDescription* type : DeviceRegistry::instance().deviceTypes()) {
        if (!type->params.panel || type->params.fromWorkbook)
            continue;
        BlankParamLabels(*type->params.panel, m_values);
        if (Changed)
            Changed(type->code);
    }
    FillParamGrid();
    m_followUpRead = false;
    m_lastDeviceType = 0;
}

void ParamReader::SetParamLayout(std::vector<std::string> paramFields, const ParamLayoutArray& paramLayout)
{
    const bool newFields = paramFields != m_paramFields;
    m_paramFields = std::move(paramFields);
    m_paramLayout = paramLayout;
    if (newFields)
        FillParamGrid();
}

void ParamReader::FillParamGrid()
{
    m_grid = ::FillParamGrid(m_paramFields);
    BlankParamGrid(m_grid);
    if (!Changed)
        return;
    for (const DeviceTypeDescription* type : DeviceRegistry::instance().deviceTypes())
        if (type->params.fromWorkbook)
            Changed(type->code);
}

void ParamReader::Begin(int deviceType, const ParamRead& read)
{
    // Values of another device type's panel say nothing about this meter.
    if (deviceType != m_lastDeviceType) {
        m_lastDeviceType = deviceType;
        if (read.fromWorkbook)
            BlankParamGrid(m_grid);
        else
            BlankParamLabels(*read.panel, m_values);
        if (Changed)
            Changed(deviceType);
    }
    m_exchange.Log().AppendLine(read.panel->banner);
    m_exchange.Wait().ProcessEvents();
}

int ParamReader::Finish(int deviceType, const ParamRead& read, int result)
{
    if (result != ParamResult::Decoded) {
        if (read.fromWorkbook)
            ResetParamGrid(m_grid);
        else
            ResetParamLabels(*read.panel, m_values);
    }
    if (Changed)
        Changed(deviceType);
    return result;
}

int ParamReader::ReadFromWorkbook(int deviceType)
{
    m_exchange.SendFrame(TypedParamsRequest(m_meterAddress, m_paramLayout));
    m_exchange.Wait().Sleep(kParamWaitTypedMs);
    const Bytes reply = m_exchange.ReadReplyBytes(TypedParamsReplyLength(m_paramLayout));
    const DeviceTypeDescription* type = DeviceRegistry::instance().deviceType(deviceType);
    return Finish(deviceType, type->params, DecodeParamsTyped(reply, m_paramFields, m_paramLayout, m_grid));
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
            m_followUpRead = false;
            m_exchange.Wait().Sleep(request.pauseBeforeMs);
            m_exchange.Wait().ProcessEvents();
        }
        m_exchange.SendFrame(type->dialect->frame(m_meterAddress, request.body));
        m_exchange.Wait().Sleep(request.waitMs);
        const Bytes reply = m_exchange.CollectReply();
        result = request.decode(reply, m_values);
        if (result != ParamResult::Decoded) {
            ResetParamLabels(*read.panel, m_values);
            for (size_t done = 0; done < decodedReplies.size(); ++done)
                read.steps[done].decode(decodedReplies[done], m_values);
            if (Changed)
                Changed(deviceType);
            return result;
        }
        decodedReplies.push_back(reply);
        if (Changed)
            Changed(deviceType);
        if (step > 0)
            m_followUpRead = true;
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
