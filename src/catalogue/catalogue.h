// Lookups by device-type number and kind code over the device registry, the tree's
// node codes and pictures, and the record-type menu.
//
// All texts are UTF-8 string literals with static storage: a returned string_view
// stays valid for the whole run and is NUL-terminated. Lookups never throw: an
// unknown code gives nullptr, 0 or an empty text as stated per function.
#pragma once

#include "catalogue/device_registry.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

// ---------------------------------------------------------------------------------
// Device types and record kinds: lookups over the device registry.

// The two ways a read starts, which differ in poll interval for some device types.
enum class ReadStartWay {
    TreeOrRecordMenu,      // tree double-click, tree change with overwrite, record-type menu
    RangeOrIdentification, // range read (m_readRangeAction) or read after m_readAllAction identification
};

bool isKnownDeviceType(const DeviceRegistry& registry, int deviceType);
// Empty for an unknown device type.
std::string_view deviceTypeCaption(const DeviceRegistry& registry, int deviceType);
// Timer period of a read of this kind by how the read starts, as its device type sets it.
int pollIntervalMs(const RecordKind& kind, ReadStartWay way);

// Every record kind of every device type, by device type in tree order.
std::vector<const RecordKind*> recordKinds(const DeviceRegistry& registry);
// The record kinds of one device type in tree order; empty for an unknown type.
std::span<const RecordKind> recordKindsOf(const DeviceRegistry& registry, int deviceType);
// nullptr when no device type knows this code.
const RecordKind* findRecordKind(const DeviceRegistry& registry, int kindCode);
bool isKnownRecordKind(const DeviceRegistry& registry, int kindCode);

// Device type of a record kind code: divide by 10 while the value exceeds 10
// (11 → 1, 410 → 41 → 4, 617 → 61 → 6). Pure arithmetic, so it also answers for
// codes no device type knows; values of 10 or less are returned unchanged.
int deviceTypeOfKind(int kindCode);

// Lookups by kind code; 0 or an empty text for an unknown code.
std::string_view recordKindCaption(const DeviceRegistry& registry, int kindCode);
int blockCountOf(const DeviceRegistry& registry, int kindCode);
int recordsPerBlock(const DeviceRegistry& registry, int kindCode);
std::string_view progressCaption(const DeviceRegistry& registry, int kindCode);
std::string_view readStartLogLine(const DeviceRegistry& registry, int kindCode);
// Section of the protocol workbook (0-based, after the marker row) of a kind whose
// fields the workbook describes, -1 for other codes.
int protocolWorkbookSection(const DeviceRegistry& registry, int kindCode);
// The kind whose fields section `section` of the protocol workbook describes; 0 for none.
int kindOfProtocolWorkbookSection(const DeviceRegistry& registry, int section);

// The kind's decoder's result unchanged, or Stop with the table untouched for an
// unknown code.
DecodeResult decodeKindReply(const DeviceRegistry& registry, int kindCode, const DecodeContext& context,
                             ByteView reply, RecordTable& table);
// Replaces the table's columns (and rows) by the kind's; an unknown code or a
// workbook-described kind leaves no columns.
void setupKindColumns(const DeviceRegistry& registry, int kindCode, RecordTable& table);

// ---------------------------------------------------------------------------------
// Tree node codes and images. A node carries its code (state index): 1..7 for a
// device type, the record kind code for a record kind.

constexpr int kDeviceTypeImage = 3;         // normal and selected
constexpr int kRecordKindImage = 0;         // normal
constexpr int kRecordKindSelectedImage = 1; // selected, unless the kind keeps its plain picture

bool isDeviceTypeNode(const DeviceRegistry& registry, int nodeCode); // a device type's code
// Caption of a device-type node or a record-kind node; empty for an unknown code.
std::string_view treeCaption(const DeviceRegistry& registry, int nodeCode);
int treeImageIndex(const DeviceRegistry& registry, int nodeCode);
int treeSelectedImageIndex(const DeviceRegistry& registry, int nodeCode);

// ---------------------------------------------------------------------------------
// Record-type menu (m_recordKindMenu): twenty items that name a record type across device
// types and resolve to a record kind once the meter has been identified.

// Shown for every item when identification found no meter (device type 0).
inline constexpr std::string_view kNoMeterMessage = "没有你要读的流量计信息！";
// Caption of both kinds of menu message box.
inline constexpr std::string_view kMenuMessageCaption = "信息提示";

struct RecordMenuItem {
    std::string_view name;    // component name: "N15", "N17" …; kinds name the item they answer
    std::string_view caption; // "读实时记录(&A)" …
    // Shown when the identified type has no such kind; empty for the two items that
    // every type resolves.
    std::string_view missingKindMessage;
    bool separatorAfter; // a menu separator follows this item
};

// The twenty items in menu order.
std::span<const RecordMenuItem> recordMenuItems();
// nullptr for an unknown item name.
const RecordMenuItem* findRecordMenuItem(std::string_view name);

struct RecordMenuResolution {
    int kindCode = 0;         // 0 when nothing is to be read
    std::string_view message; // set exactly when kindCode is 0
};
// Resolves an item for the identified device type (0 = nothing answered): device
// type 0 or any type outside the record-type menu gives kNoMeterMessage; a type
// without a kind for the item gives the item's own message.
RecordMenuResolution resolveRecordMenuItem(const DeviceRegistry& registry, const RecordMenuItem& item,
                                           int identifiedDeviceType);
// Same by item name; an unknown name gives kindCode 0 and an empty message.
RecordMenuResolution resolveRecordMenuItem(const DeviceRegistry& registry, std::string_view itemName,
                                           int identifiedDeviceType);
