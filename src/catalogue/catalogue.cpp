#include "catalogue/catalogue.h"

#include <iterator>

namespace {

constexpr int kDefaultPollIntervalMs = 1000;

// The record-type menu in menu order.
constexpr RecordMenuItem kRecordMenuItems[] = {
    {"N15", "读实时记录(&A)", "", false},
    {"N17", "读月记录(&B)", "", false},
    {"N18", "读启停记录(&C)", "该流量计无\"启停记录\"记录类型！", false},
    {"N19", "读防剪断记录(&D)", "该流量计无\"防剪断记录\"记录类型！", false},
    {"N5", "读日记录(&E)", "该流量计无\"日记录\"记录类型！", false},
    {"N25", "报警记录(&F)", "该流量计无\"报警记录\"记录类型！", true},
    {"N20", "读日累积数据(&G)", "该流量计无\"日累积数据\"记录类型！", false},
    {"N21", "读当前小时累积量(&H)", "该流量计无\"当前小时累积量数据\"记录类型！", false},
    {"N110", "读前1小时累积数据(&I)", "该流量计无\"前1小时累积量数据\"记录类型！", false},
    {"N22", "读参数修改记录(&J)", "该流量计无\"参数修改记录\"记录类型！", false},
    {"N111", "读传感器故障记录(&K)", "该流量计无\"传感器故障记录\"记录类型！", false},
    {"N23", "读温压超限记录(&L)", "该流量计无\"温压超限记录\"记录类型！", false},
    {"N31", "读失电或换电池记录(&M)", "该流量计无\"外电失电或换电池记录\"记录类型！", false},
    {"N24", "读防拆卸记录(&N)", "该流量计无\"防拆卸记录\"记录类型！", true},
    {"N41", "读充值记录(&O)", "该流量计无\"充值记录\"记录类型！", false},
    {"N27", "读标况累积量修改记录(&P)", "该流量计无\"标况累积量修改记录\"记录类型！", false},
    {"N28", "读工况累积量修改记录(&Q)", "该流量计无\"工况累积量修改记录\"记录类型！", false},
    {"N29", "读仪表系数修改记录(&R)", "该流量计无\"仪表系数修改记录\"记录类型！", false},
    {"N30", "读错误标况累积量修改记录(&S)", "该流量计无\"错误标况累积量修改记录\"记录类型！", false},
    {"N32", "读错误工况累积量修改记录(&T)", "该流量计无\"错误工况累积量修改记录\"记录类型！", false},
};

static_assert(std::size(kRecordMenuItems) == 20);

} // namespace

// ---------------------------------------------------------------------------------
// Device types and record kinds

bool isKnownDeviceType(const DeviceRegistry& registry, int deviceType)
{
    return registry.deviceType(deviceType) != nullptr;
}

std::string_view deviceTypeCaption(const DeviceRegistry& registry, int deviceType)
{
    const DeviceTypeDescription* type = registry.deviceType(deviceType);
    return type ? type->caption : std::string_view{};
}

int pollIntervalMs(const RecordKind& kind, ReadStartWay way)
{
    if (!kind.type)
        return kDefaultPollIntervalMs;
    return way == ReadStartWay::TreeOrRecordMenu ? kind.type->pollIntervalTreeOrMenuMs
                                                 : kind.type->pollIntervalRangeOrIdentificationMs;
}

std::vector<const RecordKind*> recordKinds(const DeviceRegistry& registry)
{
    std::vector<const RecordKind*> kinds;
    for (const DeviceTypeDescription* type : registry.deviceTypes())
        for (const RecordKind& kind : type->kinds)
            kinds.push_back(&kind);
    return kinds;
}

std::span<const RecordKind> recordKindsOf(const DeviceRegistry& registry, int deviceType)
{
    const DeviceTypeDescription* type = registry.deviceType(deviceType);
    return type ? std::span<const RecordKind>(type->kinds) : std::span<const RecordKind>{};
}

const RecordKind* findRecordKind(const DeviceRegistry& registry, int kindCode)
{
    return registry.recordKind(kindCode);
}

bool isKnownRecordKind(const DeviceRegistry& registry, int kindCode)
{
    return findRecordKind(registry, kindCode) != nullptr;
}

int deviceTypeOfKind(int kindCode)
{
    int value = kindCode;
    while (value > 10)
        value /= 10;
    return value;
}

std::string_view recordKindCaption(const DeviceRegistry& registry, int kindCode)
{
    const RecordKind* kind = findRecordKind(registry, kindCode);
    return kind ? kind->caption : std::string_view{};
}

int blockCountOf(const DeviceRegistry& registry, int kindCode)
{
    const RecordKind* kind = findRecordKind(registry, kindCode);
    return kind ? kind->blockCount : 0;
}

int recordsPerBlock(const DeviceRegistry& registry, int kindCode)
{
    const RecordKind* kind = findRecordKind(registry, kindCode);
    return kind ? kind->recordsPerBlock : 0;
}

std::string_view progressCaption(const DeviceRegistry& registry, int kindCode)
{
    const RecordKind* kind = findRecordKind(registry, kindCode);
    return kind ? kind->progressCaption : std::string_view{};
}

std::string_view readStartLogLine(const DeviceRegistry& registry, int kindCode)
{
    const RecordKind* kind = findRecordKind(registry, kindCode);
    return kind ? kind->readStartLogLine : std::string_view{};
}

int protocolWorkbookSection(const DeviceRegistry& registry, int kindCode)
{
    const RecordKind* kind = findRecordKind(registry, kindCode);
    return kind && kind->fieldsFromWorkbook ? kind->selector : -1;
}

int kindOfProtocolWorkbookSection(const DeviceRegistry& registry, int section)
{
    for (const RecordKind* kind : recordKinds(registry)) {
        if (kind->fieldsFromWorkbook && kind->selector == section)
            return kind->code;
    }
    return 0;
}

DecodeResult decodeKindReply(const DeviceRegistry& registry, int kindCode, const DecodeContext& context,
                             ByteView reply, RecordTable& table)
{
    const RecordKind* kind = findRecordKind(registry, kindCode);
    return kind ? kind->decodeReply(context, reply, table) : DecodeResult::Stop;
}

void setupKindColumns(const DeviceRegistry& registry, int kindCode, RecordTable& table)
{
    const RecordKind* kind = findRecordKind(registry, kindCode);
    table.setColumns(kind ? kind->columns : std::vector<TableColumn>{});
}

// ---------------------------------------------------------------------------------
// Tree nodes

bool isDeviceTypeNode(const DeviceRegistry& registry, int nodeCode)
{
    return isKnownDeviceType(registry, nodeCode);
}

std::string_view treeCaption(const DeviceRegistry& registry, int nodeCode)
{
    return isDeviceTypeNode(registry, nodeCode) ? deviceTypeCaption(registry, nodeCode)
                                                : recordKindCaption(registry, nodeCode);
}

int treeImageIndex(const DeviceRegistry& registry, int nodeCode)
{
    return isDeviceTypeNode(registry, nodeCode) ? kDeviceTypeImage : kRecordKindImage;
}

int treeSelectedImageIndex(const DeviceRegistry& registry, int nodeCode)
{
    if (isDeviceTypeNode(registry, nodeCode))
        return kDeviceTypeImage;
    const RecordKind* kind = findRecordKind(registry, nodeCode);
    return kind && kind->plainSelectedImage ? kRecordKindImage : kRecordKindSelectedImage;
}

// ---------------------------------------------------------------------------------
// Record-type menu

std::span<const RecordMenuItem> recordMenuItems()
{
    return kRecordMenuItems;
}

const RecordMenuItem* findRecordMenuItem(std::string_view name)
{
    for (const RecordMenuItem& item : kRecordMenuItems)
        if (item.name == name)
            return &item;
    return nullptr;
}

RecordMenuResolution resolveRecordMenuItem(const DeviceRegistry& registry, const RecordMenuItem& item,
                                           int identifiedDeviceType)
{
    const DeviceTypeDescription* type = registry.deviceType(identifiedDeviceType);
    if (!type || !type->inRecordMenu)
        return {0, kNoMeterMessage};
    for (const RecordKind& kind : type->kinds)
        if (kind.menuItem == item.name)
            return {kind.code, {}};
    return {0, item.missingKindMessage};
}

RecordMenuResolution resolveRecordMenuItem(const DeviceRegistry& registry, std::string_view itemName,
                                           int identifiedDeviceType)
{
    const RecordMenuItem* item = findRecordMenuItem(itemName);
    return item ? resolveRecordMenuItem(registry, *item, identifiedDeviceType) : RecordMenuResolution{};
}
