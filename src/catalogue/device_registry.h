// The one place that knows the device types: per device type one description
// (caption, framing dialect, record kinds, identification probes, parameter
// read and panel, tree and menu presence), per record kind one row (request
// byte, blocks, captions, decoder, columns, reply lengths). Everything else
// asks the registry instead of testing a device-type number or a kind code, so
// a new device type is one more description and nothing more.
//
// A kind is keyed by its device type and its ordinal within that type; the kind
// code printed by the command-line reader and stored in files is the two written
// one after the other (device type 6, ordinal 12: 612).
#pragma once

#include "codec/framing_dialect.h"
#include "decoding/decode_result.h"
#include "decoding/param_decoders.h"
#include "decoding/record_block.h"
#include "decoding/record_table.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <string_view>
#include <vector>

struct DeviceTypeDescription;

using KindDecoder = DecodeResult (*)(const DecodeContext& context, ByteView reply, RecordTable& table);

// What the reply collection can know of a reply from its length alone.
struct ReplyLengths {
    // The whole lengths the kind's decoder accepts, ascending; empty when the
    // reply says its own length (lengthInByteCount).
    std::vector<size_t> accepted;
    // Byte 2 counts the data bytes that follow (every frame but the custom ones).
    bool hasByteCount = true;
    // The length is byte 2 + 5 (address, function, count, data, CRC).
    bool lengthInByteCount = false;
};

// How a one-record reply is framed; the lengths of block replies follow from their layout.
struct ReplyFrame {
    size_t length = 0;        // the record's whole length
    bool shortAnswer = false; // the 5-byte no-record answer is accepted too
};

// One record kind. A device type's file writes the first group of fields; the
// registry fills the rest when it takes the type in.
struct RecordKind {
    int ordinal = 0;
    std::string_view caption; // tree caption, e.g. "实时记录700组"
    // The byte that selects the kind inside the request (record table selector or
    // kind byte); for a workbook-described kind, its section of the protocol workbook.
    uint8_t selector = 0;
    int blockCount = 0; // highest block number; blocks count from 1
    int recordsPerBlock = 1;
    std::string_view progressCaption; // may be empty
    std::string readStartLogLine;     // "===========…==========="
    // Replies that carry several records; nullptr for one record per reply.
    const RecordBlockLayout* block = nullptr;
    // Decoder of one-record replies; not used when block is set.
    KindDecoder decode = nullptr;
    // "序号" and the rest; empty for a kind whose fields the protocol workbook describes.
    std::vector<TableColumn> columns;
    ReplyFrame frame;
    // Name of the record-type menu item that reads this kind, empty for none.
    std::string_view menuItem;
    // The tree shows the unselected picture for the selected node too.
    bool plainSelectedImage = false;
    // The longest regular spacing of the kind's records in minutes (a month
    // counts 31 days); 0 for records written on events, which have none.
    int intervalMinutes = 0;

    // Filled by the registry.
    int deviceType = 0;
    const DeviceTypeDescription* type = nullptr;
    int code = 0;
    int firstRecord = 0; // number of the first record that block 1 names
    bool fieldsFromWorkbook = false;
    const FramingDialect* dialect = nullptr;
    ReplyLengths reply;

    // The kind's decoder's result, or Stop for a kind without one.
    DecodeResult decodeReply(const DecodeContext& context, ByteView reply, RecordTable& table) const;
    // First and last record number that block B (≥ 1) names.
    int firstRecordOfBlock(int block) const { return (block - 1) * recordsPerBlock + firstRecord; }
    int lastRecordOfBlock(int block) const { return firstRecordOfBlock(block) + recordsPerBlock - 1; }
};

// A request that only one device type answers in the expected shape.
struct MeterProbe {
    std::string_view logLine;         // written before the probe is tried (identification only)
    Bytes body;                       // after the address; the device type's dialect frames it
    std::vector<size_t> replyLengths; // accepted lengths; the longest ends a fast wait
    int pauseMs = 300;                // between sending and collecting
};

struct Identification {
    int rank = 0; // order among the device types, lowest first; 0: never probed
    MeterProbe probe;
    // A second window that tells this type from another answering the same probe
    // (empty body: none), asked after confirmPauseMs.
    MeterProbe confirm;
    int confirmPauseMs = 0;
};

// One request of a parameter read and the decoder of its reply.
struct ParamStep {
    Bytes body; // after the address; the device type's dialect frames it
    int waitMs = 400;
    int pauseBeforeMs = 0; // quiet time before this request
    ParamDecoder decode = nullptr;
};

struct ParamRead {
    const ParamPanelSpec* panel = nullptr; // nullptr: the type has no parameter read
    std::vector<ParamStep> steps;
    bool fromWorkbook = false; // the parameter grid of the protocol workbook instead of steps
    bool busyCursor = false;   // the window shows the hourglass for the read
    int detectionRank = 0;     // order in the window's simple mode, lowest first
    int detectionAttempts = 1;
    int selectorRank = 0; // order in the window's type selector, lowest first
    std::string_view selectorItem, selectorTitle, selectorCaption;
    std::string_view detectedTitle, detectedCaption;
    // The label showing the meter's own clock ("YYYY-MM-DD hh:mm:ss"), empty
    // when the type does not report it: the store keeps the clock's offset.
    std::string_view clockLabel;
    // The exported grid's sheet: its name and its title.
    std::string_view gridSheetName, gridSheetTitle;
};

// Everything known of one device type; each has its own file under types/.
struct DeviceTypeDescription {
    int code = 0;
    std::string_view caption; // tree caption, e.g. "智能体积修正仪(modbus V1.2)"
    const FramingDialect* dialect = nullptr;
    int firstRecord = 0; // records (or the block number) go on the wire counted from this
    int pollIntervalTreeOrMenuMs = 1000;
    int pollIntervalRangeOrIdentificationMs = 1000;
    bool shownInTree = true;
    bool inRecordMenu = true;         // the record-type menu resolves items for it
    std::vector<RecordKind> kinds;    // tree order
    Identification identification;    // the record-type menu's and the meter search's
    Identification recordReaderProbe; // the older record readers' "读取全部记录"
    ParamRead params;
};

// Built once at start and handed, const, to whoever needs it. Moving keeps the
// descriptions where they are, so pointers into it stay valid; copying would not.
class DeviceRegistry {
public:
    DeviceRegistry() = default;
    DeviceRegistry(DeviceRegistry&&) = default;
    DeviceRegistry& operator=(DeviceRegistry&&) = default;
    DeviceRegistry(const DeviceRegistry&) = delete;
    DeviceRegistry& operator=(const DeviceRegistry&) = delete;

    // Adds a device type while the registry is built; false (and nothing added)
    // when its code or a kind code is taken or a kind has no dialect to be read with.
    bool add(DeviceTypeDescription type);

    // In code order.
    const std::vector<const DeviceTypeDescription*>& deviceTypes() const { return m_order; }
    // nullptr for an unknown code.
    const DeviceTypeDescription* deviceType(int code) const;
    const RecordKind* recordKind(int kindCode) const;
    const RecordKind* recordKind(int deviceType, int ordinal) const;
    // Device types with a rank in `Identification` (identification or the
    // record readers' probe), lowest rank first.
    std::vector<const DeviceTypeDescription*> probeOrder(Identification DeviceTypeDescription::*probes) const;
    // Device types with a parameter read, by the given rank, lowest first.
    std::vector<const DeviceTypeDescription*> paramOrder(int ParamRead::*rank) const;

private:
    void rebuildOrder();

    std::list<DeviceTypeDescription> m_types;
    std::vector<const DeviceTypeDescription*> m_order;
};

// A registry of the built-in device types.
DeviceRegistry builtInRegistry();

// The kind code of a device type's ordinal: the two written one after the other.
int kindCodeOf(int deviceType, int ordinal);
