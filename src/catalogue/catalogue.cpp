#include "catalogue/catalogue.h"

#include <algorithm>
#include <iterator>

namespace {

// Tree order. The two poll-interval columns differ only for device type 6.
constexpr DeviceTypeInfo kDeviceTypes[] = {
    {1, "智能体积修正仪(modbus V1.2)", RequestDialect::RecordByIndex, 1000, 1000},
    {2, "IC卡燃气流量计(modbus V1.3)", RequestDialect::RecordByIndex, 1000, 1000},
    {3, "Tamber智能流量计(自定义协议)", RequestDialect::CustomSum8, 700, 700},
    {4, "智能体积修正仪(modbus V1.4)", RequestDialect::RecordRange, 1200, 1200},
    {5, "Pellin气体体积修正仪(modbus V2.2)", RequestDialect::ModbusRegisters, 1000, 1000},
    {6, "Corvex智能体积修正仪(modbus V2.0)", RequestDialect::RecordRange, 1200, 1000},
    {7, "金额版IC卡燃气流量计(modbus V3.1)", RequestDialect::RecordRange, 1000, 1000},
};

constexpr int kDefaultPollIntervalMs = 1000;

// Grouped by device type in tree order, each group in tree order (RecordKindsOf relies
// on the grouping).
constexpr RecordKindInfo kRecordKinds[] = {
    // Device type 1: request byte is the record table selector T of A 66 00 T 02.
    {11, "实时记录700组", 0x64, 700, 1, "正在读取实时记录,请稍后...",
     "===========智能体积修正仪(ModBus V1.2)实时记录==========="},
    {12, "月记录100组", 0x65, 100, 1, "正在读取月记录,请稍后...",
     "===========智能体积修正仪(ModBus V1.2)月记录==========="},
    {13, "启停记录500组", 0x66, 500, 1, "正在读取启停记录,请稍后...",
     "===========智能体积修正仪(ModBus V1.2)启停记录==========="},
    {14, "防剪断记录16组", 0x67, 16, 1, "正在读取防剪断记录,请稍后...",
     "===========智能体积修正仪(ModBus V1.2)防剪断记录==========="},
    // Device type 2: the same frames as device type 1.
    {21, "实时记录700组", 0x64, 700, 1, "正在读取实时记录,请稍后...",
     "===========IC卡燃气流量计实时记录==========="},
    {22, "月记录100组", 0x65, 100, 1, "正在读取月记录,请稍后...",
     "===========IC卡燃气流量计月记录==========="},
    {23, "启停记录500组", 0x66, 500, 1, "正在读取启停记录,请稍后...",
     "===========IC卡燃气流量计启停记录==========="},
    {24, "防剪断记录16组", 0x67, 16, 1, "正在读取防剪断记录,请稍后...",
     "===========IC卡燃气流量计防剪断记录==========="},
    // Device type 3: kind byte of 55 55 A 28 03 K.
    {31, "实时记录360组", 0x02, 360, 1, "正在读取实时记录,请稍后...",
     "===========Tamber智能流量计实时记录==========="},
    {32, "月记录48组", 0x00, 48, 1, "正在读取月记录,请稍后...",
     "===========Tamber智能流量计月记录==========="},
    {33, "启停记录400组", 0x01, 400, 1, "正在读取启停记录,请稍后...",
     "===========Tamber智能流量计启停记录==========="},
    // Device type 4: kind byte of A 65 09 K; no progress caption.
    {41, "日累积数据45组", 0x01, 9, 5, "", "===========日累积数据记录(ModBus V1.4)==========="},
    {42, "当前小时累积量1440组", 0x02, 144, 10, "", "===========当前小时累积量记录(ModBus V1.4)==========="},
    {43, "前1小时累积数据360组", 0x03, 72, 5, "", "===========前1小时累积数据记录(ModBus V1.4)==========="},
    {44, "参数修改记录200组", 0x04, 40, 5, "", "===========参数修改记录(ModBus V1.4)==========="},
    {45, "报警事件1记录240组", 0x05, 48, 5, "", "===========报警事件1记录(ModBus V1.4)==========="},
    {46, "报警事件2记录240组", 0x06, 60, 4, "", "===========报警事件2记录(ModBus V1.4)==========="},
    {47, "报警事件3记录20组", 0x07, 4, 5, "", "===========报警事件3记录(ModBus V1.4)==========="},
    {48, "报警事件4记录10组", 0x08, 2, 5, "", "===========报警事件4记录(ModBus V1.4)==========="},
    {49, "启停记录100组", 0x09, 10, 10, "", "===========启停记录(ModBus V1.4)==========="},
    {410, "防剪断记录100组", 0x0A, 10, 10, "", "===========防剪断记录(ModBus V1.4)==========="},
    {411, "防拆卸记录100组", 0x0B, 10, 10, "", "===========防拆卸记录(ModBus V1.4)==========="},
    // Device type 5: request byte is the workbook section after the marker row.
    {51, "实时记录120组", 0, 120, 1, "正在读取实时记录,请稍后...",
     "===========Pellin电子气体体积修正仪实时记录==========="},
    {52, "日记录120组", 1, 120, 1, "正在读取日记录,请稍后...",
     "===========Pellin电子气体体积修正仪日记录==========="},
    {53, "月记录25组", 2, 25, 1, "正在读取月记录,请稍后...",
     "===========Pellin电子气体体积修正仪月记录==========="},
    {54, "报警记录100组", 3, 100, 1, "正在读取报警记录,请稍后...",
     "===========Pellin电子气体体积修正仪报警记录==========="},
    // Device type 6: kind byte of A 65 09 K; there is no kind byte 0x08.
    {61, "日累积记录45组", 0x01, 9, 5, "正在读取日累积数据,请稍后...",
     "===========Corvex 日累积数据记录45组==========="},
    {62, "当前小时累积量记录1440组", 0x02, 288, 5, "正在读取当前小时累积量,请稍后...",
     "===========Corvex 当前小时累积量记录1440组==========="},
    {63, "前1小时累积记录360组", 0x03, 72, 5, "正在读取前1小时累积数据,请稍后...",
     "===========Corvex 前1小时累积数据360组==========="},
    {64, "参数修改记录200组", 0x04, 40, 5, "正在读取参数修改记录,请稍后...",
     "===========Corvex 参数修改记录200组==========="},
    {65, "传感器故障报警记录240组", 0x05, 60, 4, "正在读取传感器故障报警记录,请稍后...",
     "===========Corvex 传感器故障报警记录240组==========="},
    {66, "温压超限报警记录240组", 0x06, 60, 4, "正在读取温压超限报警记录,请稍后...",
     "===========Corvex 温压超限报警记录240组==========="},
    {67, "失电或换电池记录20组", 0x07, 5, 4, "正在读取失电、换电池记录,请稍后...",
     "===========Corvex 失电记录、换电池记录20组==========="},
    {68, "启停记录100组", 0x09, 20, 5, "正在读取启停记录,请稍后...",
     "===========Corvex 启停记录100组==========="},
    {69, "防剪断防磁干扰记录100组", 0x0A, 20, 5, "正在读取剪断磁干扰记录,请稍后...",
     "===========Corvex 剪断磁干扰记录100组==========="},
    {610, "防拆卸记录100组", 0x0B, 20, 5, "正在读取防拆卸记录,请稍后...",
     "===========Corvex 防拆卸记录100组==========="},
    {611, "月记录200组", 0x0C, 40, 5, "正在读取月记录,请稍后...", "===========Corvex 月记录200组==========="},
    {612, "实时记录500组", 0x0D, 100, 5, "正在读取实时记录,请稍后...",
     "===========Corvex 实时记录500组==========="},
    {613, "标况累积量修改记录50组", 0x0E, 10, 5, "正在读取标况累积量修改记录,请稍后...",
     "===========Corvex 标况累积量修改记录50组==========="},
    {614, "工况累积量修改记录50组", 0x0F, 10, 5, "正在读取工况累积量修改记录,请稍后...",
     "===========Corvex 工况累积量修改记录50组==========="},
    {615, "仪表系数修改记录50组", 0x10, 10, 5, "正在读取仪表系数修改记录,请稍后...",
     "===========Corvex 仪表系数修改记录50组==========="},
    {616, "错误标况累积量修改记录50组", 0x11, 10, 5, "正在读取错误标况累积量修改,请稍后...",
     "===========Corvex 错误标况累积量修改记录50组==========="},
    {617, "错误工况累积量修改记录50组", 0x12, 10, 5, "正在读取错误工况累积量修改,请稍后...",
     "===========Corvex 错误工况累积量修改记录50组==========="},
    // Device type 7: counted like device type 6; no kind byte 0x08.
    {71, "日累积记录45组", 0x01, 9, 5, "正在读取日累积数据,请稍后...",
     "===========金额版IC卡燃气流量计 日累积数据记录45组==========="},
    {72, "当前小时累积量记录1440组", 0x02, 288, 5, "正在读取当前小时累积量,请稍后...",
     "===========金额版IC卡燃气流量计 当前小时累积量记录1440组==========="},
    {73, "前1小时累积记录360组", 0x03, 72, 5, "正在读取前1小时累积数据,请稍后...",
     "===========金额版IC卡燃气流量计 前1小时累积数据360组==========="},
    {74, "参数修改记录200组", 0x04, 40, 5, "正在读取参数修改记录,请稍后...",
     "===========金额版IC卡燃气流量计 参数修改记录200组==========="},
    {75, "传感器故障报警记录240组", 0x05, 60, 4, "正在读取传感器故障报警记录,请稍后...",
     "===========金额版IC卡燃气流量计 传感器故障报警记录240组==========="},
    {76, "温压超限报警记录240组", 0x06, 60, 4, "正在读取温压超限报警记录,请稍后...",
     "===========金额版IC卡燃气流量计 温压超限报警记录240组==========="},
    {77, "失电或换电池记录20组", 0x07, 5, 4, "正在读取失电、换电池记录,请稍后...",
     "===========金额版IC卡燃气流量计 失电记录、换电池记录20组==========="},
    {78, "启停记录100组", 0x09, 20, 5, "正在读取启停记录,请稍后...",
     "===========金额版IC卡燃气流量计 启停记录100组==========="},
    {79, "防剪断防磁干扰记录100组", 0x0A, 25, 4, "正在读取剪断磁干扰记录,请稍后...",
     "===========金额版IC卡燃气流量计 防剪断/磁干扰记录100组==========="},
    {710, "防拆卸记录100组", 0x0B, 20, 5, "正在读取防拆卸记录,请稍后...",
     "===========金额版IC卡燃气流量计 防拆卸记录100组==========="},
    {711, "月记录200组", 0x0C, 40, 5, "正在读取月记录,请稍后...",
     "===========金额版IC卡燃气流量计 月记录200组==========="},
    {712, "消费记录200组", 0x0D, 100, 2, "正在读取消费记录,请稍后...",
     "===========金额版IC卡燃气流量计 消费记录200组==========="},
    {713, "充值记录200组", 0x0E, 40, 5, "正在读取充值记录,请稍后...",
     "===========金额版IC卡燃气流量计 充值记录200组==========="},
};

// The record-type menu in menu order. Columns of kindByDeviceType: index 0 unused,
// then device types 1 … 7 (4 never resolves: identification does not produce it).
constexpr RecordMenuItem kRecordMenuItems[] = {
    {"N15", "读实时记录(&A)", {0, 11, 21, 31, 0, 51, 612, 712}, "", false},
    {"N17", "读月记录(&B)", {0, 12, 22, 32, 0, 53, 611, 711}, "", false},
    {"N18", "读启停记录(&C)", {0, 13, 23, 33, 0, 0, 68, 78}, "该流量计无\"启停记录\"记录类型！", false},
    {"N19", "读防剪断记录(&D)", {0, 14, 24, 0, 0, 0, 69, 79}, "该流量计无\"防剪断记录\"记录类型！", false},
    {"N5", "读日记录(&E)", {0, 0, 0, 0, 0, 52, 0, 0}, "该流量计无\"日记录\"记录类型！", false},
    {"N25", "报警记录(&F)", {0, 0, 0, 0, 0, 54, 0, 0}, "该流量计无\"报警记录\"记录类型！", true},
    {"N20", "读日累积数据(&G)", {0, 0, 0, 0, 0, 0, 61, 71}, "该流量计无\"日累积数据\"记录类型！", false},
    {"N21",
     "读当前小时累积量(&H)",
     {0, 0, 0, 0, 0, 0, 62, 72},
     "该流量计无\"当前小时累积量数据\"记录类型！",
     false},
    {"N110",
     "读前1小时累积数据(&I)",
     {0, 0, 0, 0, 0, 0, 63, 73},
     "该流量计无\"前1小时累积量数据\"记录类型！",
     false},
    {"N22", "读参数修改记录(&J)", {0, 0, 0, 0, 0, 0, 64, 74}, "该流量计无\"参数修改记录\"记录类型！", false},
    {"N111",
     "读传感器故障记录(&K)",
     {0, 0, 0, 0, 0, 0, 65, 75},
     "该流量计无\"传感器故障记录\"记录类型！",
     false},
    {"N23", "读温压超限记录(&L)", {0, 0, 0, 0, 0, 0, 66, 76}, "该流量计无\"温压超限记录\"记录类型！", false},
    {"N31",
     "读失电或换电池记录(&M)",
     {0, 0, 0, 0, 0, 0, 67, 77},
     "该流量计无\"外电失电或换电池记录\"记录类型！",
     false},
    {"N24", "读防拆卸记录(&N)", {0, 0, 0, 0, 0, 0, 610, 710}, "该流量计无\"防拆卸记录\"记录类型！", true},
    {"N41", "读充值记录(&O)", {0, 0, 0, 0, 0, 0, 0, 713}, "该流量计无\"充值记录\"记录类型！", false},
    {"N27",
     "读标况累积量修改记录(&P)",
     {0, 0, 0, 0, 0, 0, 613, 0},
     "该流量计无\"标况累积量修改记录\"记录类型！",
     false},
    {"N28",
     "读工况累积量修改记录(&Q)",
     {0, 0, 0, 0, 0, 0, 614, 0},
     "该流量计无\"工况累积量修改记录\"记录类型！",
     false},
    {"N29",
     "读仪表系数修改记录(&R)",
     {0, 0, 0, 0, 0, 0, 615, 0},
     "该流量计无\"仪表系数修改记录\"记录类型！",
     false},
    {"N30",
     "读错误标况累积量修改记录(&S)",
     {0, 0, 0, 0, 0, 0, 616, 0},
     "该流量计无\"错误标况累积量修改记录\"记录类型！",
     false},
    {"N32",
     "读错误工况累积量修改记录(&T)",
     {0, 0, 0, 0, 0, 0, 617, 0},
     "该流量计无\"错误工况累积量修改记录\"记录类型！",
     false},
};

static_assert(std::size(kDeviceTypes) == kLastDeviceType);
static_assert(std::size(kRecordKinds) == 4 + 4 + 3 + 11 + 4 + 17 + 13);
static_assert(std::size(kRecordMenuItems) == 20);

// Device types the record-type menu covers (identification yields these or 0).
constexpr bool MenuCoversDeviceType(int deviceType)
{
    return deviceType >= kFirstDeviceType && deviceType <= kLastDeviceType && deviceType != 4;
}

} // namespace

// ---------------------------------------------------------------------------------
// Device types

std::span<const DeviceTypeInfo> DeviceTypes()
{
    return kDeviceTypes;
}

const DeviceTypeInfo* FindDeviceType(int deviceType)
{
    if (deviceType < kFirstDeviceType || deviceType > kLastDeviceType)
        return nullptr;
    return &kDeviceTypes[deviceType - kFirstDeviceType];
}

bool IsKnownDeviceType(int deviceType)
{
    return FindDeviceType(deviceType) != nullptr;
}

std::string_view DeviceTypeCaption(int deviceType)
{
    const DeviceTypeInfo* info = FindDeviceType(deviceType);
    return info ? info->treeCaption : std::string_view{};
}

int PollIntervalMs(int deviceType, ReadStartWay way)
{
    const DeviceTypeInfo* info = FindDeviceType(deviceType);
    if (!info)
        return kDefaultPollIntervalMs;
    return way == ReadStartWay::TreeOrRecordMenu ? info->pollIntervalTreeOrMenuMs
                                                 : info->pollIntervalRangeOrIdentificationMs;
}

// ---------------------------------------------------------------------------------
// Record kinds

std::span<const RecordKindInfo> RecordKinds()
{
    return kRecordKinds;
}

std::span<const RecordKindInfo> RecordKindsOf(int deviceType)
{
    if (!IsKnownDeviceType(deviceType))
        return {};
    const auto first =
        std::find_if(std::begin(kRecordKinds), std::end(kRecordKinds),
                     [&](const RecordKindInfo& kind) { return DeviceTypeOfKind(kind.code) == deviceType; });
    const auto last = std::find_if(first, std::end(kRecordKinds), [&](const RecordKindInfo& kind) {
        return DeviceTypeOfKind(kind.code) != deviceType;
    });
    return {first, last};
}

const RecordKindInfo* FindRecordKind(int kindCode)
{
    for (const RecordKindInfo& kind : kRecordKinds)
        if (kind.code == kindCode)
            return &kind;
    return nullptr;
}

bool IsKnownRecordKind(int kindCode)
{
    return FindRecordKind(kindCode) != nullptr;
}

int DeviceTypeOfKind(int kindCode)
{
    int value = kindCode;
    while (value > 10)
        value /= 10;
    return value;
}

std::string_view RecordKindCaption(int kindCode)
{
    const RecordKindInfo* kind = FindRecordKind(kindCode);
    return kind ? kind->treeCaption : std::string_view{};
}

int BlockCount(int kindCode)
{
    const RecordKindInfo* kind = FindRecordKind(kindCode);
    return kind ? kind->blockCount : 0;
}

int RecordsPerBlock(int kindCode)
{
    const RecordKindInfo* kind = FindRecordKind(kindCode);
    return kind ? kind->recordsPerBlock : 0;
}

std::string_view ProgressCaption(int kindCode)
{
    const RecordKindInfo* kind = FindRecordKind(kindCode);
    return kind ? kind->progressCaption : std::string_view{};
}

std::string_view ReadStartLogLine(int kindCode)
{
    const RecordKindInfo* kind = FindRecordKind(kindCode);
    return kind ? kind->readStartLogLine : std::string_view{};
}

uint8_t KindByte(int kindCode)
{
    const RecordKindInfo* kind = FindRecordKind(kindCode);
    if (!kind)
        return 0;
    switch (DeviceTypeOfKind(kindCode)) {
    case 3:
    case 4:
    case 6:
    case 7:
        return kind->requestByte;
    default:
        return 0;
    }
}

uint8_t RecordTableSelector(int kindCode)
{
    const RecordKindInfo* kind = FindRecordKind(kindCode);
    const int deviceType = DeviceTypeOfKind(kindCode);
    return kind && (deviceType == 1 || deviceType == 2) ? kind->requestByte : 0;
}

int ProtocolWorkbookSection(int kindCode)
{
    const RecordKindInfo* kind = FindRecordKind(kindCode);
    return kind && DeviceTypeOfKind(kindCode) == 5 ? kind->requestByte : -1;
}

int RecordNumberingBase(int kindCode)
{
    if (!IsKnownRecordKind(kindCode))
        return -1;
    switch (DeviceTypeOfKind(kindCode)) {
    case 1:
    case 2:
    case 4:
        return 1;
    default:
        return 0;
    }
}

int FirstRecordOfBlock(int kindCode, int block)
{
    const RecordKindInfo* kind = FindRecordKind(kindCode);
    if (!kind || block < 1)
        return 0;
    return (block - 1) * kind->recordsPerBlock + RecordNumberingBase(kindCode);
}

int LastRecordOfBlock(int kindCode, int block)
{
    const RecordKindInfo* kind = FindRecordKind(kindCode);
    if (!kind || block < 1)
        return 0;
    return FirstRecordOfBlock(kindCode, block) + kind->recordsPerBlock - 1;
}

// ---------------------------------------------------------------------------------
// Tree nodes

bool IsDeviceTypeNode(int nodeCode)
{
    return IsKnownDeviceType(nodeCode);
}

std::string_view TreeCaption(int nodeCode)
{
    return IsDeviceTypeNode(nodeCode) ? DeviceTypeCaption(nodeCode) : RecordKindCaption(nodeCode);
}

int TreeImageIndex(int nodeCode)
{
    return IsDeviceTypeNode(nodeCode) ? kDeviceTypeImage : kRecordKindImage;
}

int TreeSelectedImageIndex(int nodeCode)
{
    if (IsDeviceTypeNode(nodeCode))
        return kDeviceTypeImage;
    // Kind 712 was given the unselected picture for its selected state too.
    return nodeCode == 712 ? kRecordKindImage : kRecordKindSelectedImage;
}

// ---------------------------------------------------------------------------------
// Record-type menu

std::span<const RecordMenuItem> RecordMenuItems()
{
    return kRecordMenuItems;
}

const RecordMenuItem* FindRecordMenuItem(std::string_view name)
{
    for (const RecordMenuItem& item : kRecordMenuItems)
        if (item.name == name)
            return &item;
    return nullptr;
}

RecordMenuResolution ResolveRecordMenuItem(const RecordMenuItem& item, int identifiedDeviceType)
{
    if (!MenuCoversDeviceType(identifiedDeviceType))
        return {0, kNoMeterMessage};
    const int kindCode = item.kindByDeviceType[identifiedDeviceType];
    if (kindCode == 0)
        return {0, item.missingKindMessage};
    return {kindCode, {}};
}

RecordMenuResolution ResolveRecordMenuItem(std::string_view itemName, int identifiedDeviceType)
{
    const RecordMenuItem* item = FindRecordMenuItem(itemName);
    return item ? ResolveRecordMenuItem(*item, identifiedDeviceType) : RecordMenuResolution{};
}
