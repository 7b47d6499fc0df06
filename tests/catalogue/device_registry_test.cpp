// The device registry: what every description must hold for the rest of the
// program to work from it alone. Each kind's code, decoder, columns and reply
// lengths agree with one another; every menu entry, probe and parameter read
// names something that exists.
#include "catalogue/catalogue.h"
#include "support/built_in_registry.h"
#include "support/hex.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

// Non-blank, non-constant data so that every decoder sees a real record.
uint8_t pattern(size_t i)
{
    return static_cast<uint8_t>((i * 29 + 7) % 251 + 1);
}

Bytes modbusOfLength(size_t length)
{
    Bytes frame{0x17, 0x03, static_cast<uint8_t>(length - 5)};
    for (size_t i = 3; i + 2 < length; ++i)
        frame.push_back(pattern(i));
    return appendCrc(frame);
}

Bytes customOfLength(size_t length)
{
    Bytes frame{0x55, 0x55};
    for (size_t i = 2; i + 1 < length; ++i)
        frame.push_back(pattern(i));
    frame.push_back(byteSum8(ByteView(frame).subspan(2)));
    return frame;
}

// The shortest crafted reply that the kind decodes into rows.
std::optional<Bytes> acceptedReply(const RecordKind& kind)
{
    for (size_t length = 6; length <= 255; ++length) {
        for (const Bytes& reply : {modbusOfLength(length), customOfLength(length)}) {
            RecordTable table;
            if (kind.decodeReply({}, reply, table) == DecodeResult::Decoded)
                return reply;
        }
    }
    return std::nullopt;
}

const DeviceRegistry& registry()
{
    return builtIn();
}

TEST(DeviceRegistry, KindCodesJoinDeviceTypeAndOrdinal)
{
    std::set<int> codes;
    for (const DeviceTypeDescription* type : registry().deviceTypes()) {
        int ordinal = 0;
        ASSERT_NE(type->dialect, nullptr) << type->code;
        for (const RecordKind& kind : type->kinds) {
            EXPECT_EQ(kind.ordinal, ++ordinal) << kind.code;
            EXPECT_EQ(kind.code, std::stoi(std::to_string(type->code) + std::to_string(kind.ordinal)));
            EXPECT_EQ(deviceTypeOfKind(kind.code), type->code) << kind.code;
            EXPECT_TRUE(codes.insert(kind.code).second) << "duplicate " << kind.code;
            EXPECT_EQ(findRecordKind(builtIn(), kind.code), &kind);
            EXPECT_EQ(registry().recordKind(type->code, kind.ordinal), &kind);
            EXPECT_EQ(kind.dialect, type->dialect) << kind.code;
            const int slots = kind.block ? kind.block->slotCount : 1;
            EXPECT_EQ(slots, kind.recordsPerBlock) << kind.code;
            EXPECT_GT(kind.blockCount, 0) << kind.code;
        }
    }
    EXPECT_EQ(codes.size(), recordKinds(builtIn()).size());
}

class KindRowTest : public testing::TestWithParam<int> {};

// Decoded rows fill at most the kind's columns; exactly them for device types 1 to 4
// (parameter-change rows of types 6 and 7 stop after the time stamp when the
// parameter is unknown).
TEST_P(KindRowTest, RowsFitTheColumns)
{
    const RecordKind& kind = *findRecordKind(builtIn(), GetParam());
    const std::optional<Bytes> reply = acceptedReply(kind);
    ASSERT_TRUE(reply) << "no crafted reply accepted";
    RecordTable table;
    setupKindColumns(builtIn(), kind.code, table);
    ASSERT_GT(table.columnCount(), 1);
    EXPECT_EQ(table.columns()[0].caption, "序号");
    ASSERT_EQ(decodeKindReply(builtIn(), kind.code, {}, *reply, table), DecodeResult::Decoded);
    for (const auto& row : table.rows()) {
        if (kind.deviceType <= 4)
            EXPECT_EQ(static_cast<int>(row.size()), table.columnCount());
        else
            EXPECT_LE(static_cast<int>(row.size()), table.columnCount());
    }
}

// The lengths the fast reply collection is told are exactly those the decoder does
// not reject as a bad length.
TEST_P(KindRowTest, ReplyLengthsAreThoseTheDecoderTakes)
{
    const RecordKind& kind = *findRecordKind(builtIn(), GetParam());
    std::vector<size_t> taken;
    for (size_t length = 0; length <= 500; ++length) {
        RecordTable table;
        if (kind.decodeReply({}, Bytes(length, 0), table) != DecodeResult::BadLength)
            taken.push_back(length);
    }
    EXPECT_EQ(taken, kind.reply.accepted);
    EXPECT_EQ(kind.reply.hasByteCount, kind.dialect->hasByteCount());
}

INSTANTIATE_TEST_SUITE_P(DecodedKinds, KindRowTest, testing::ValuesIn([] {
                             std::vector<int> codes;
                             for (const RecordKind* kind : recordKinds(builtIn()))
                                 if (!kind->fieldsFromWorkbook)
                                     codes.push_back(kind->code);
                             return codes;
                         }()),
                         [](const testing::TestParamInfo<int>& info) {
                             return "Kind" + std::to_string(info.param);
                         });

TEST(DeviceRegistry, WorkbookKindsTakeColumnsAndLengthFromTheWorkbook)
{
    for (const RecordKind* kind : recordKinds(builtIn())) {
        EXPECT_EQ(kind->fieldsFromWorkbook, kind->dialect == &FramingDialect::modbusRegisters())
            << kind->code;
        EXPECT_EQ(protocolWorkbookSection(builtIn(), kind->code),
                  kind->fieldsFromWorkbook ? kind->selector : -1);
        if (!kind->fieldsFromWorkbook)
            continue;
        EXPECT_TRUE(kind->columns.empty());
        EXPECT_TRUE(kind->reply.lengthInByteCount);
    }
}

// Codes no device type knows: empty answers, no columns, and Stop with the table
// untouched for a reply that some decoder would accept and for an empty one.
TEST(DeviceRegistry, UnknownCodesGiveEmptyAnswersAndStop)
{
    for (int kindCode : {15, 618, 0, -1, 10, 25, 34, 40, 412, 50, 55, 60, 70, 80, 714, 4100, 2147483647}) {
        EXPECT_EQ(findRecordKind(builtIn(), kindCode), nullptr);
        EXPECT_EQ(blockCountOf(builtIn(), kindCode), 0);
        EXPECT_EQ(recordsPerBlock(builtIn(), kindCode), 0);
        EXPECT_TRUE(readStartLogLine(builtIn(), kindCode).empty());
        for (const Bytes& reply : {Bytes{}, modbusOfLength(39), customOfLength(30)}) {
            RecordTable table;
            table.addColumn("序号", 45);
            table.appendRow({"1"});
            EXPECT_EQ(decodeKindReply(builtIn(), kindCode, {}, reply, table), DecodeResult::Stop) << kindCode;
            EXPECT_EQ(table.rowCount(), 1);
        }
        RecordTable table;
        table.addColumn("序号", 45);
        setupKindColumns(builtIn(), kindCode, table);
        EXPECT_EQ(table.columnCount(), 0);
    }
    EXPECT_FALSE(isKnownDeviceType(builtIn(), 0));
    EXPECT_FALSE(isKnownDeviceType(builtIn(), 8));
    EXPECT_TRUE(treeCaption(builtIn(), 8).empty());
    EXPECT_TRUE(recordKindsOf(builtIn(), 8).empty());
    EXPECT_EQ(pollIntervalMs(RecordKind{}, ReadStartWay::RangeOrIdentification), 1000);
}

// Workbook-described kinds: a description whose first field is "S8" tells the
// typed-field decoder (which shows it) from the alarm one (which skips it without
// taking bytes); the description comes with the context.
struct TypedCase {
    const char* name;
    int kindCode;
    Bytes reply;
    int result;
    std::vector<std::vector<std::string>> rows;
};

std::ostream& operator<<(std::ostream& out, const TypedCase& c)
{
    return out << c.name;
}

const Bytes kTypedReply = appendCrc(hexBytes("17 03 08 00 00 1A 2B 00 00 00 7B"));
const std::vector<std::vector<std::string>> kTypedRows = {{"5", "1A2B", "000123"}};
const std::vector<std::vector<std::string>> kAlarmRows = {{"5", "006699"}};

class DispatchTyped : public testing::TestWithParam<TypedCase> {};

TEST_P(DispatchTyped, RoutesDeviceType5Kinds)
{
    const TypedCase& c = GetParam();
    const FieldTypeList types = {"S8", "LNG"};
    FieldDigitsArray digits{};
    digits[0] = 4;
    digits[1] = 6;
    RecordTable table;
    EXPECT_EQ(static_cast<int>(decodeKindReply(builtIn(), c.kindCode, {5, &types, &digits}, c.reply, table)),
              c.result);
    EXPECT_EQ(table.rows(), c.rows);
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, DispatchTyped,
    testing::Values(
        TypedCase{"RealtimeShowsS8", 51, kTypedReply, 1, kTypedRows},
        TypedCase{"DayShowsS8", 52, kTypedReply, 1, kTypedRows},
        TypedCase{"MonthShowsS8", 53, kTypedReply, 1, kTypedRows},
        TypedCase{"AlarmSkipsS8", 54, kTypedReply, 1, kAlarmRows},
        TypedCase{"AllZeroDataBadCrcStops51", 51, hexBytes("17 03 08 00 00 00 00 00 00 00 00 12 34"), 0, {}},
        TypedCase{"AllZeroDataBadCrcStops54", 54, hexBytes("17 03 08 00 00 00 00 00 00 00 00 12 34"), 0, {}},
        TypedCase{"BadCrc", 52, hexBytes("17 03 08 00 00 1A 2B 00 00 00 7B 00 00"), 3, {}},
        TypedCase{"EmptyReply", 53, {}, 2, {}}, TypedCase{"Kind50Stops", 50, kTypedReply, 0, {}},
        TypedCase{"Kind55Stops", 55, kTypedReply, 0, {}}),
    [](const testing::TestParamInfo<TypedCase>& info) { return std::string(info.param.name); });

// Every kind that names a menu item names one that exists, no device type answers
// an item twice, and every item is answered by some type.
TEST(DeviceRegistry, EveryMenuEntryNamesAKindOfItsType)
{
    std::set<std::string_view> answered;
    for (const DeviceTypeDescription* type : registry().deviceTypes()) {
        std::set<std::string_view> items;
        for (const RecordKind& kind : type->kinds) {
            if (kind.menuItem.empty())
                continue;
            EXPECT_NE(findRecordMenuItem(kind.menuItem), nullptr) << kind.code;
            EXPECT_TRUE(items.insert(kind.menuItem).second) << kind.code;
            EXPECT_TRUE(type->inRecordMenu) << kind.code;
            answered.insert(kind.menuItem);
        }
        for (const RecordMenuItem& item : recordMenuItems()) {
            const RecordMenuResolution r = resolveRecordMenuItem(builtIn(), item, type->code);
            if (!type->inRecordMenu) {
                EXPECT_EQ(r.message, kNoMeterMessage) << type->code;
            } else if (r.kindCode != 0) {
                EXPECT_EQ(findRecordKind(builtIn(), r.kindCode)->deviceType, type->code);
                EXPECT_EQ(findRecordKind(builtIn(), r.kindCode)->menuItem, item.name);
            } else {
                EXPECT_FALSE(items.count(item.name)) << type->code << " " << item.name;
                EXPECT_EQ(r.message, item.missingKindMessage);
            }
        }
    }
    EXPECT_EQ(answered.size(), recordMenuItems().size());
    EXPECT_EQ(resolveRecordMenuItem(builtIn(), recordMenuItems()[0], 0).message, kNoMeterMessage);
}

// The menu resolves only for identified types, so each of them has a probe; a
// probe frame two types share is told apart by the earlier one's confirming window,
// or the later type could never be found. Probe frames pass their own dialect's check.
TEST(DeviceRegistry, ProbesIdentifyEveryTypeTheMenuServes)
{
    for (auto probes : {&DeviceTypeDescription::identification, &DeviceTypeDescription::recordReaderProbe}) {
        std::set<int> ranks;
        std::vector<std::pair<Bytes, bool>> frames; // frame, confirmed
        for (const DeviceTypeDescription* type : registry().probeOrder(probes)) {
            const Identification& identification = type->*probes;
            EXPECT_TRUE(ranks.insert(identification.rank).second) << type->code;
            EXPECT_FALSE(identification.probe.replyLengths.empty()) << type->code;
            const Bytes frame = type->dialect->frame(23, identification.probe.body);
            EXPECT_TRUE(type->dialect->checks(frame)) << type->code;
            EXPECT_EQ(frame[type->dialect->addressOffset()], 23);
            for (const auto& [earlier, confirmed] : frames) {
                if (earlier == frame) {
                    EXPECT_TRUE(confirmed) << type->code << " is hidden behind an earlier probe";
                }
            }
            frames.emplace_back(frame, !identification.confirm.body.empty());
        }
    }
    for (const DeviceTypeDescription* type : registry().deviceTypes()) {
        if (type->inRecordMenu) {
            EXPECT_GT(type->identification.rank, 0) << type->code;
        }
    }
}

TEST(DeviceRegistry, ParameterReadsHaveAPanelStepsAndDistinctRanks)
{
    std::set<int> detection;
    std::set<int> selector;
    for (const DeviceTypeDescription* type : registry().paramOrder(&ParamRead::selectorRank)) {
        const ParamRead& read = type->params;
        EXPECT_TRUE(detection.insert(read.detectionRank).second) << type->code;
        EXPECT_TRUE(selector.insert(read.selectorRank).second) << type->code;
        EXPECT_GT(read.detectionAttempts, 0) << type->code;
        EXPECT_NE(read.fromWorkbook, !read.steps.empty()) << type->code;
        for (const ParamStep& step : read.steps)
            EXPECT_NE(step.decode, nullptr) << type->code;
        EXPECT_FALSE(read.selectorItem.empty()) << type->code;
        EXPECT_FALSE(read.detectedCaption.empty()) << type->code;
    }
}

TEST(DeviceRegistry, ReadStartLogLinesAreFramedByElevenEqualsSigns)
{
    const std::string frame(11, '=');
    for (const RecordKind* kind : recordKinds(builtIn())) {
        const std::string_view line = kind->readStartLogLine;
        ASSERT_GT(line.size(), 22u) << kind->code;
        EXPECT_EQ(line.substr(0, 11), frame) << kind->code;
        EXPECT_NE(line[11], '=') << kind->code;
        EXPECT_EQ(line.substr(line.size() - 11), frame) << kind->code;
        EXPECT_NE(line[line.size() - 12], '=') << kind->code;
    }
}

// A type joins a registry of its own; a taken type code, or a kind code that another
// type's kind already has (41 and 1 write 411, a kind of type 4), is refused. The
// kinds of a registry that was moved stay where they were.
TEST(DeviceRegistry, RefusesTakenCodes)
{
    DeviceRegistry own = builtInRegistry();
    DeviceTypeDescription type{.dialect = &FramingDialect::recordRange(), .kinds = {{.ordinal = 1}}};
    type.code = 6;
    EXPECT_FALSE(own.add(type));
    type.code = 41;
    EXPECT_FALSE(own.add(type));
    EXPECT_EQ(own.recordKind(411)->deviceType, 4);
    type.code = 11;
    EXPECT_TRUE(own.add(type));
    const RecordKind* added = own.recordKind(111);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->type, own.deviceType(11));
    const DeviceRegistry moved = std::move(own);
    EXPECT_EQ(moved.recordKind(111), added);
    EXPECT_EQ(moved.deviceTypes().size(), 8u);
    EXPECT_EQ(builtIn().recordKind(111), nullptr);
}

} // namespace
