#include "catalogue/device_registry.h"

#include "catalogue/types/built_in_types.h"

#include <algorithm>
#include <string>

namespace {

// Types 1 and 2 answer an empty month, start/stop or anti-cut slot with a 5-byte
// frame (three bytes and a CRC) instead of a full record.
constexpr size_t kShortAnswerLength = 5;

ReplyLengths lengthsOf(const RecordKind& kind, const FramingDialect& dialect)
{
    ReplyLengths lengths;
    lengths.hasByteCount = dialect.hasByteCount();
    if (kind.fieldsFromWorkbook) {
        lengths.lengthInByteCount = true;
    } else if (kind.block) {
        lengths.accepted.push_back(static_cast<size_t>(recordBlockLength(*kind.block)));
    } else {
        if (kind.frame.shortAnswer)
            lengths.accepted.push_back(kShortAnswerLength);
        lengths.accepted.push_back(kind.frame.length);
    }
    return lengths;
}

} // namespace

DecodeResult RecordKind::decodeReply(const DecodeContext& context, ByteView reply, RecordTable& table) const
{
    if (block)
        return decodeRecordBlock(*block, reply, table);
    return decode ? decode(context, reply, table) : DecodeResult::Stop;
}

int kindCodeOf(int deviceType, int ordinal)
{
    return std::stoi(std::to_string(deviceType) + std::to_string(ordinal));
}

DeviceRegistry builtInRegistry()
{
    DeviceRegistry registry;
    for (DeviceTypeDescription& type : builtInDeviceTypes())
        registry.add(std::move(type));
    return registry;
}

bool DeviceRegistry::add(DeviceTypeDescription type)
{
    if (type.code <= 0 || deviceType(type.code) || !type.dialect)
        return false;
    for (RecordKind& kind : type.kinds) {
        kind.deviceType = type.code;
        kind.code = kindCodeOf(type.code, kind.ordinal);
        if (kind.ordinal <= 0 || recordKind(kind.code))
            return false;
        kind.firstRecord = type.firstRecord;
        kind.fieldsFromWorkbook = !kind.block && kind.columns.empty();
        kind.dialect = type.dialect;
        kind.reply = lengthsOf(kind, *type.dialect);
    }
    m_types.push_back(std::move(type));
    for (RecordKind& kind : m_types.back().kinds)
        kind.type = &m_types.back();
    rebuildOrder();
    return true;
}

void DeviceRegistry::rebuildOrder()
{
    m_order.clear();
    for (const DeviceTypeDescription& type : m_types)
        m_order.push_back(&type);
    std::sort(
        m_order.begin(), m_order.end(),
        [](const DeviceTypeDescription* a, const DeviceTypeDescription* b) { return a->code < b->code; });
}

const DeviceTypeDescription* DeviceRegistry::deviceType(int code) const
{
    for (const DeviceTypeDescription* type : m_order)
        if (type->code == code)
            return type;
    return nullptr;
}

const RecordKind* DeviceRegistry::recordKind(int kindCode) const
{
    for (const DeviceTypeDescription* type : m_order)
        for (const RecordKind& kind : type->kinds)
            if (kind.code == kindCode)
                return &kind;
    return nullptr;
}

const RecordKind* DeviceRegistry::recordKind(int deviceTypeCode, int ordinal) const
{
    if (const DeviceTypeDescription* type = deviceType(deviceTypeCode))
        for (const RecordKind& kind : type->kinds)
            if (kind.ordinal == ordinal)
                return &kind;
    return nullptr;
}

std::vector<const DeviceTypeDescription*>
DeviceRegistry::probeOrder(Identification DeviceTypeDescription::*probes) const
{
    std::vector<const DeviceTypeDescription*> order;
    for (const DeviceTypeDescription* type : m_order)
        if ((type->*probes).rank > 0)
            order.push_back(type);
    std::stable_sort(order.begin(), order.end(), [probes](const auto* a, const auto* b) {
        return (a->*probes).rank < (b->*probes).rank;
    });
    return order;
}

std::vector<const DeviceTypeDescription*> DeviceRegistry::paramOrder(int ParamRead::*rank) const
{
    std::vector<const DeviceTypeDescription*> order;
    for (const DeviceTypeDescription* type : m_order)
        if (type->params.panel)
            order.push_back(type);
    std::stable_sort(order.begin(), order.end(),
                     [rank](const auto* a, const auto* b) { return a->params.*rank < b->params.*rank; });
    return order;
}
