#include "params/param_reader.h"

#include "log/log_model.h"
#include "protocol/exchange.h"
#include "protocol/waiter.h"

#include <QScopeGuard>

ParamReader::ParamReader(const DeviceRegistry& registry, Exchange& exchange, QObject* parent)
    : QObject(parent), m_registry(registry), m_exchange(exchange)
{
    forget();
}

void ParamReader::setMeterAddress(uint8_t address)
{
    if (address == m_meterAddress)
        return;
    m_meterAddress = address;
    forget();
}

void ParamReader::forget()
{
    for (const DeviceTypeDescription* type : m_registry.deviceTypes()) {
        if (!type->params.panel || type->params.fromWorkbook)
            continue;
        blankParamLabels(*type->params.panel, m_values);
        emit changed(type->code);
    }
    fillParamGrid();
    m_followUpRead = false;
    m_lastDeviceType = 0;
}

void ParamReader::setParamLayout(std::vector<std::string> paramFields, const ParamLayoutArray& paramLayout)
{
    const bool newFields = paramFields != m_paramFields;
    m_paramFields = std::move(paramFields);
    m_paramLayout = paramLayout;
    if (newFields)
        fillParamGrid();
}

void ParamReader::fillParamGrid()
{
    m_grid = ::fillParamGrid(m_paramFields);
    blankParamGrid(m_grid);
    for (const DeviceTypeDescription* type : m_registry.deviceTypes())
        if (type->params.fromWorkbook)
            emit changed(type->code);
}

void ParamReader::begin(int deviceType, const ParamRead& read)
{
    // Values of another device type's panel say nothing about this meter.
    if (deviceType != m_lastDeviceType) {
        m_lastDeviceType = deviceType;
        if (read.fromWorkbook)
            blankParamGrid(m_grid);
        else
            blankParamLabels(*read.panel, m_values);
        emit changed(deviceType);
    }
    m_exchange.log().appendLine(read.panel->banner);
    m_exchange.wait().processEvents();
}

int ParamReader::finish(int deviceType, const ParamRead& read, int result)
{
    if (result != ParamResult::Decoded) {
        if (read.fromWorkbook)
            resetParamGrid(m_grid);
        else
            resetParamLabels(*read.panel, m_values);
    }
    emit changed(deviceType);
    return result;
}

int ParamReader::readFromWorkbook(int deviceType)
{
    m_exchange.sendFrame(typedParamsRequest(m_meterAddress, m_paramLayout));
    m_exchange.wait().sleep(kParamWaitTypedMs);
    const Bytes reply = m_exchange.readReplyBytes(typedParamsReplyLength(m_paramLayout));
    const DeviceTypeDescription* type = m_registry.deviceType(deviceType);
    return finish(deviceType, type->params, decodeParamsGrid(reply, m_paramFields, m_paramLayout, m_grid));
}

int ParamReader::readParams(int deviceType)
{
    const DeviceTypeDescription* type = m_registry.deviceType(deviceType);
    if (!type || !type->params.panel)
        return 0;
    const ParamRead& read = type->params;
    begin(deviceType, read);
    if (read.fromWorkbook)
        return readFromWorkbook(deviceType);
    if (read.busyCursor)
        emit busyChanged(true);
    const auto cursor = qScopeGuard([this, &read] {
        if (read.busyCursor)
            emit busyChanged(false);
    });
    int result = 0;
    // A failed follow-up resets the type's labels; the values of the steps
    // already decoded in this read are put back.
    std::vector<Bytes> decodedReplies;
    for (size_t step = 0; step < read.steps.size(); ++step) {
        const ParamStep& request = read.steps[step];
        if (step > 0) {
            m_followUpRead = false;
            m_exchange.wait().sleep(request.pauseBeforeMs);
            m_exchange.wait().processEvents();
        }
        m_exchange.sendFrame(type->dialect->frame(m_meterAddress, request.body));
        m_exchange.wait().sleep(request.waitMs);
        const Bytes reply = m_exchange.collectReply();
        result = request.decode(*read.panel, reply, m_values);
        if (result != ParamResult::Decoded) {
            resetParamLabels(*read.panel, m_values);
            for (size_t done = 0; done < decodedReplies.size(); ++done)
                read.steps[done].decode(*read.panel, decodedReplies[done], m_values);
            emit changed(deviceType);
            return result;
        }
        decodedReplies.push_back(reply);
        emit changed(deviceType);
        if (step > 0)
            m_followUpRead = true;
    }
    return result;
}

ParamReader::Detection ParamReader::detectDeviceType()
{
    Detection detection;
    for (const DeviceTypeDescription* type : m_registry.paramOrder(&ParamRead::detectionRank)) {
        for (int attempt = 0; attempt < type->params.detectionAttempts; ++attempt) {
            detection.result = readParams(type->code);
            if (detection.result == ParamResult::Decoded) {
                detection.deviceType = type->code;
                return detection;
            }
        }
    }
    return detection;
}
