// The fixed vocabulary of the system: the seven device types, the record kinds each
// one stores, and every number and text keyed on a record kind code (request bytes,
// block counts, records per block, tree captions, progress captions, read-start log
// lines, poll intervals and the record-type menu).
//
// All texts are UTF-8 string literals with static storage: a returned string_view
// stays valid for the whole run and is NUL-terminated. Lookups never throw: an
// unknown code gives nullptr, 0 or an empty text as stated per function.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// The protocol workbook shipped in the Excel/ subfolder of the program folder: the
// settings file's default template and what the tools open without --workbook.
inline constexpr const char* kShippedProtocolWorkbook = "VarnelModbus.xls";

// ---------------------------------------------------------------------------------
// Device types (top-level tree nodes)

constexpr int kFirstDeviceType = 1;
constexpr int kLastDeviceType = 7;
// The main window removes this device type's node from the tree at start-up; its
// requests and decoders stay available.
constexpr int kDeviceTypeHiddenInTree = 4;

// How the requests of a device type are shaped on the wire.
enum class RequestDialect {
    RecordByIndex,   // 1, 2: A 66 00 T 02, block number, CRC
    CustomSum8,      // 3:    55 55 A 28 03 K, block − 1 low first, 8-bit sum
    RecordRange,     // 4, 6, 7: A 65 09 K, first and last record, CRC
    ModbusRegisters, // 5:    A 03 S N from the protocol workbook, CRC
};

// The two ways a read starts, which differ in poll interval for device type 6 only.
enum class ReadStartWay {
    TreeOrRecordMenu,      // tree double-click, tree change with overwrite, record-type menu
    RangeOrIdentification, // range read (acRead) or read after acSend identification
};

struct DeviceTypeInfo {
    int code;                     // 1..7
    std::string_view treeCaption; // e.g. "智能体积修正仪(modbus V1.2)"
    RequestDialect dialect;
    int pollIntervalTreeOrMenuMs;
    int pollIntervalRangeOrIdentificationMs;
};

// All seven device types in tree order (device type 4 included).
std::span<const DeviceTypeInfo> DeviceTypes();
// nullptr for a code outside 1..7.
const DeviceTypeInfo* FindDeviceType(int deviceType);
bool IsKnownDeviceType(int deviceType);
// Empty for an unknown device type.
std::string_view DeviceTypeCaption(int deviceType);

// Timer period of a read of this device type: 700 ms for 3, 1200 ms for 4, 1200 or
// 1000 ms for 6 depending on how the read starts, 1000 ms otherwise (also for
// unknown device types).
int PollIntervalMs(int deviceType, ReadStartWay way);

// ---------------------------------------------------------------------------------
// Record kinds (child nodes)

struct RecordKindInfo {
    int code;                     // device type followed by the ordinal: 11, 410, 617 …
    std::string_view treeCaption; // e.g. "实时记录700组"
    // The byte that selects the kind inside the request: the record table selector T
    // (0x64..0x67) for device types 1 and 2, the kind byte K for 3, 4, 6 and 7, and
    // the 0-based section of the protocol workbook (0..3) for device type 5.
    uint8_t requestByte;
    int blockCount;                    // highest block number; blocks count from 1
    int recordsPerBlock;               // 1 for device types 1, 2, 3, 5
    std::string_view progressCaption;  // empty for 41..411
    std::string_view readStartLogLine; // "===========…==========="
};

// Every record kind of every device type, grouped by device type in tree order.
std::span<const RecordKindInfo> RecordKinds();
// The record kinds of one device type in tree order; empty for an unknown type.
std::span<const RecordKindInfo> RecordKindsOf(int deviceType);
// nullptr when no device type knows this code.
const RecordKindInfo* FindRecordKind(int kindCode);
bool IsKnownRecordKind(int kindCode);

// Device type of a record kind code: divide by 10 while the value exceeds 10
// (11 → 1, 410 → 41 → 4, 617 → 61 → 6). Pure arithmetic, so it also answers for
// codes no device type knows; values of 10 or less are returned unchanged.
int DeviceTypeOfKind(int kindCode);

// Lookups by kind code; 0 or an empty text for an unknown code.
std::string_view RecordKindCaption(int kindCode);
int BlockCount(int kindCode);
int RecordsPerBlock(int kindCode);
std::string_view ProgressCaption(int kindCode);
std::string_view ReadStartLogLine(int kindCode);

// Kind byte K of device types 3, 4, 6 and 7 (0 for other codes).
uint8_t KindByte(int kindCode);
// Record table selector T of device types 1 and 2 (0 for other codes).
uint8_t RecordTableSelector(int kindCode);
// 0-based section of the protocol workbook after the marker row for kinds 51..54,
// -1 for other codes.
int ProtocolWorkbookSection(int kindCode);

// Number of the first record named by block 1, so that block B names records
// (B − 1) × P + base … B × P − 1 + base with P = RecordsPerBlock:
// 1 for device types 1, 2 and 4 (the block number or record numbers go on the wire
// counted from 1), 0 for device types 3, 5, 6 and 7 (counted from 0). -1 for an
// unknown code.
int RecordNumberingBase(int kindCode);
// First and last record number that block B names, by the rule above. The caller
// passes a known kind and B ≥ 1; otherwise the result is 0.
int FirstRecordOfBlock(int kindCode, int block);
int LastRecordOfBlock(int kindCode, int block);

// ---------------------------------------------------------------------------------
// Tree node codes and images. A node carries its code (state index): 1..7 for a
// device type, the record kind code for a record kind.

constexpr int kDeviceTypeImage = 3;         // normal and selected
constexpr int kRecordKindImage = 0;         // normal
constexpr int kRecordKindSelectedImage = 1; // selected, except kind 712 (image 0)

bool IsDeviceTypeNode(int nodeCode); // 1..7
// Caption of a device-type node or a record-kind node; empty for an unknown code.
std::string_view TreeCaption(int nodeCode);
int TreeImageIndex(int nodeCode);
int TreeSelectedImageIndex(int nodeCode);

// ---------------------------------------------------------------------------------
// Record-type menu (PopupMenu1): twenty items that name a record type across device
// types and resolve to a record kind once the meter has been identified.

// Shown for every item when identification found no meter (device type 0).
inline constexpr std::string_view kNoMeterMessage = "没有你要读的流量计信息！";
// Caption of both kinds of menu message box.
inline constexpr std::string_view kMenuMessageCaption = "信息提示";

struct RecordMenuItem {
    std::string_view name;    // component name: "N15", "N17" …
    std::string_view caption; // "读实时记录(&A)" …
    // Record kind code per identified device type, index 1..7 (index 0 and device
    // type 4 are always 0); 0 means the type has no such kind.
    int kindByDeviceType[8];
    // Shown when the identified type has no such kind; empty for the two items that
    // every type resolves.
    std::string_view missingKindMessage;
    bool separatorAfter; // a menu separator follows this item
};

// The twenty items in menu order.
std::span<const RecordMenuItem> RecordMenuItems();
// nullptr for an unknown item name.
const RecordMenuItem* FindRecordMenuItem(std::string_view name);

struct RecordMenuResolution {
    int kindCode = 0;         // 0 when nothing is to be read
    std::string_view message; // set exactly when kindCode is 0
};
// Resolves an item for the identified device type (0 = nothing answered): device
// type 0 or any type the menu does not cover gives kNoMeterMessage; a covered type
// without the kind gives the item's own message.
RecordMenuResolution ResolveRecordMenuItem(const RecordMenuItem& item, int identifiedDeviceType);
// Same by item name; an unknown name gives kindCode 0 and an empty message.
RecordMenuResolution ResolveRecordMenuItem(std::string_view itemName, int identifiedDeviceType);
