#include "catalogue/catalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

// ---------------------------------------------------------------------------------
// Device type of a kind code

struct OwnerCase {
    int kindCode;
    int deviceType;
};

class KindOwner : public testing::TestWithParam<OwnerCase> {};

TEST_P(KindOwner, DivisionRule)
{
    EXPECT_EQ(DeviceTypeOfKind(GetParam().kindCode), GetParam().deviceType);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, KindOwner,
                         testing::Values(OwnerCase{11, 1}, OwnerCase{24, 2}, OwnerCase{33, 3},
                                         OwnerCase{41, 4}, OwnerCase{410, 4}, OwnerCase{411, 4},
                                         OwnerCase{51, 5}, OwnerCase{61, 6}, OwnerCase{69, 6},
                                         OwnerCase{610, 6}, OwnerCase{617, 6}, OwnerCase{71, 7},
                                         OwnerCase{713, 7}, OwnerCase{7, 7}),
                         [](const auto& info) { return "Kind" + std::to_string(info.param.kindCode); });

TEST(Catalogue, EveryKindSitsUnderItsOwnDeviceType)
{
    std::set<int> codes;
    int kinds = 0;
    for (const DeviceTypeInfo& type : DeviceTypes()) {
        for (const RecordKindInfo& kind : RecordKindsOf(type.code)) {
            EXPECT_EQ(DeviceTypeOfKind(kind.code), type.code) << kind.code;
            EXPECT_TRUE(codes.insert(kind.code).second) << "duplicate " << kind.code;
            ++kinds;
        }
    }
    EXPECT_EQ(kinds, 56);
    EXPECT_EQ(RecordKinds().size(), 56u);
    EXPECT_EQ(RecordKindsOf(4).size(), 11u);
    EXPECT_EQ(RecordKindsOf(6).size(), 17u);
    EXPECT_EQ(RecordKindsOf(7).size(), 13u);
    EXPECT_TRUE(RecordKindsOf(0).empty());
    EXPECT_TRUE(RecordKindsOf(8).empty());
}

TEST(Catalogue, UnknownCodesGiveEmptyAnswers)
{
    for (int code : {0, 10, 15, 34, 412, 55, 618, 714, -1}) {
        EXPECT_EQ(FindRecordKind(code), nullptr) << code;
        EXPECT_EQ(BlockCount(code), 0) << code;
        EXPECT_EQ(RecordsPerBlock(code), 0) << code;
        EXPECT_TRUE(ReadStartLogLine(code).empty()) << code;
        EXPECT_EQ(RecordNumberingBase(code), -1) << code;
    }
    EXPECT_EQ(FindDeviceType(0), nullptr);
    EXPECT_EQ(FindDeviceType(8), nullptr);
    EXPECT_TRUE(TreeCaption(8).empty());
}

// ---------------------------------------------------------------------------------
// Request bytes, block counts, records per block, numbering

struct KindCase {
    int code;
    const char* caption;
    int requestByte;
    int blocks;
    int perBlock;
    int base;
};

class KindTable : public testing::TestWithParam<KindCase> {};

TEST_P(KindTable, Numbers)
{
    const KindCase& c = GetParam();
    ASSERT_TRUE(IsKnownRecordKind(c.code));
    EXPECT_EQ(RecordKindCaption(c.code), c.caption);
    EXPECT_EQ(TreeCaption(c.code), c.caption);
    EXPECT_EQ(BlockCount(c.code), c.blocks);
    EXPECT_EQ(RecordsPerBlock(c.code), c.perBlock);
    EXPECT_EQ(RecordNumberingBase(c.code), c.base);
    EXPECT_EQ(FindRecordKind(c.code)->requestByte, c.requestByte);
    // Blocks cover exactly the records the caption counts (…组), for the range types.
    EXPECT_EQ(LastRecordOfBlock(c.code, c.blocks) - c.base + 1, c.blocks * c.perBlock);
}

// Every kind of the range-request device types, plus one of each other type.
INSTANTIATE_TEST_SUITE_P(
    Catalogue, KindTable,
    testing::Values(
        KindCase{11, "实时记录700组", 0x64, 700, 1, 1}, KindCase{14, "防剪断记录16组", 0x67, 16, 1, 1},
        KindCase{22, "月记录100组", 0x65, 100, 1, 1}, KindCase{31, "实时记录360组", 0x02, 360, 1, 0},
        KindCase{32, "月记录48组", 0x00, 48, 1, 0}, KindCase{33, "启停记录400组", 0x01, 400, 1, 0},
        KindCase{41, "日累积数据45组", 0x01, 9, 5, 1}, KindCase{42, "当前小时累积量1440组", 0x02, 144, 10, 1},
        KindCase{43, "前1小时累积数据360组", 0x03, 72, 5, 1},
        KindCase{44, "参数修改记录200组", 0x04, 40, 5, 1}, KindCase{45, "报警事件1记录240组", 0x05, 48, 5, 1},
        KindCase{46, "报警事件2记录240组", 0x06, 60, 4, 1}, KindCase{47, "报警事件3记录20组", 0x07, 4, 5, 1},
        KindCase{48, "报警事件4记录10组", 0x08, 2, 5, 1}, KindCase{49, "启停记录100组", 0x09, 10, 10, 1},
        KindCase{410, "防剪断记录100组", 0x0A, 10, 10, 1}, KindCase{411, "防拆卸记录100组", 0x0B, 10, 10, 1},
        KindCase{51, "实时记录120组", 0, 120, 1, 0}, KindCase{54, "报警记录100组", 3, 100, 1, 0},
        KindCase{61, "日累积记录45组", 0x01, 9, 5, 0},
        KindCase{62, "当前小时累积量记录1440组", 0x02, 288, 5, 0},
        KindCase{63, "前1小时累积记录360组", 0x03, 72, 5, 0},
        KindCase{64, "参数修改记录200组", 0x04, 40, 5, 0},
        KindCase{65, "传感器故障报警记录240组", 0x05, 60, 4, 0},
        KindCase{66, "温压超限报警记录240组", 0x06, 60, 4, 0},
        KindCase{67, "失电或换电池记录20组", 0x07, 5, 4, 0}, KindCase{68, "启停记录100组", 0x09, 20, 5, 0},
        KindCase{69, "防剪断防磁干扰记录100组", 0x0A, 20, 5, 0},
        KindCase{610, "防拆卸记录100组", 0x0B, 20, 5, 0}, KindCase{611, "月记录200组", 0x0C, 40, 5, 0},
        KindCase{612, "实时记录500组", 0x0D, 100, 5, 0},
        KindCase{613, "标况累积量修改记录50组", 0x0E, 10, 5, 0},
        KindCase{614, "工况累积量修改记录50组", 0x0F, 10, 5, 0},
        KindCase{615, "仪表系数修改记录50组", 0x10, 10, 5, 0},
        KindCase{616, "错误标况累积量修改记录50组", 0x11, 10, 5, 0},
        KindCase{617, "错误工况累积量修改记录50组", 0x12, 10, 5, 0},
        KindCase{71, "日累积记录45组", 0x01, 9, 5, 0},
        KindCase{72, "当前小时累积量记录1440组", 0x02, 288, 5, 0},
        KindCase{73, "前1小时累积记录360组", 0x03, 72, 5, 0},
        KindCase{74, "参数修改记录200组", 0x04, 40, 5, 0},
        KindCase{75, "传感器故障报警记录240组", 0x05, 60, 4, 0},
        KindCase{76, "温压超限报警记录240组", 0x06, 60, 4, 0},
        KindCase{77, "失电或换电池记录20组", 0x07, 5, 4, 0}, KindCase{78, "启停记录100组", 0x09, 20, 5, 0},
        KindCase{79, "防剪断防磁干扰记录100组", 0x0A, 25, 4, 0},
        KindCase{710, "防拆卸记录100组", 0x0B, 20, 5, 0}, KindCase{711, "月记录200组", 0x0C, 40, 5, 0},
        KindCase{712, "消费记录200组", 0x0D, 100, 2, 0}, KindCase{713, "充值记录200组", 0x0E, 40, 5, 0}),
    [](const auto& info) { return "Kind" + std::to_string(info.param.code); });

TEST(Catalogue, NoKindByte08InDeviceTypes6And7)
{
    for (int type : {6, 7})
        for (const RecordKindInfo& kind : RecordKindsOf(type))
            EXPECT_NE(KindByte(kind.code), 0x08) << kind.code;
}

TEST(Catalogue, RequestByteAccessorsAnswerOnlyForTheirDeviceTypes)
{
    EXPECT_EQ(RecordTableSelector(23), 0x66);
    EXPECT_EQ(RecordTableSelector(31), 0);
    EXPECT_EQ(KindByte(13), 0);
    EXPECT_EQ(KindByte(31), 0x02);
    EXPECT_EQ(KindByte(411), 0x0B);
    EXPECT_EQ(KindByte(52), 0);
    EXPECT_EQ(ProtocolWorkbookSection(51), 0);
    EXPECT_EQ(ProtocolWorkbookSection(53), 2);
    EXPECT_EQ(ProtocolWorkbookSection(61), -1);
}

struct BlockRangeCase {
    const char* name;
    int kind;
    int block;
    int first;
    int last;
};

class BlockRecords : public testing::TestWithParam<BlockRangeCase> {};

TEST_P(BlockRecords, FirstAndLastRecord)
{
    const BlockRangeCase& c = GetParam();
    EXPECT_EQ(FirstRecordOfBlock(c.kind, c.block), c.first);
    EXPECT_EQ(LastRecordOfBlock(c.kind, c.block), c.last);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, BlockRecords,
                         testing::Values(BlockRangeCase{"Kind46FirstBlockFrom1", 46, 1, 1, 4},
                                         BlockRangeCase{"Kind46LastBlock", 46, 60, 237, 240},
                                         BlockRangeCase{"Kind42TenPerBlock", 42, 2, 11, 20},
                                         BlockRangeCase{"Kind712FirstBlockFrom0", 712, 1, 0, 1},
                                         BlockRangeCase{"Kind712LastBlock", 712, 100, 198, 199},
                                         BlockRangeCase{"Kind612FirstBlock", 612, 1, 0, 4},
                                         BlockRangeCase{"Kind79FourPerBlock", 79, 25, 96, 99},
                                         BlockRangeCase{"Kind12BlockIsRecord", 12, 3, 3, 3},
                                         BlockRangeCase{"Kind33IndexFrom0", 33, 300, 299, 299},
                                         BlockRangeCase{"BlockZeroIsRejected", 46, 0, 0, 0},
                                         BlockRangeCase{"UnknownKind", 618, 1, 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------
// Device types, tree and poll intervals

TEST(Catalogue, DeviceTypesInTreeOrder)
{
    const char* captions[] = {"智能体积修正仪(modbus V1.2)",       "IC卡燃气流量计(modbus V1.3)",
                              "Tamber智能流量计(自定义协议)",      "智能体积修正仪(modbus V1.4)",
                              "Pellin气体体积修正仪(modbus V2.2)", "Corvex智能体积修正仪(modbus V2.0)",
                              "金额版IC卡燃气流量计(modbus V3.1)"};
    ASSERT_EQ(DeviceTypes().size(), 7u);
    for (int type = 1; type <= 7; ++type) {
        EXPECT_EQ(DeviceTypes()[static_cast<size_t>(type - 1)].code, type);
        EXPECT_EQ(TreeCaption(type), captions[type - 1]);
        EXPECT_EQ(TreeImageIndex(type), 3);
        EXPECT_EQ(TreeSelectedImageIndex(type), 3);
    }
    EXPECT_EQ(kDeviceTypeHiddenInTree, 4);
    EXPECT_EQ(FindDeviceType(3)->dialect, RequestDialect::CustomSum8);
    EXPECT_EQ(FindDeviceType(5)->dialect, RequestDialect::ModbusRegisters);
}

TEST(Catalogue, KindNodeImagesWith712Exception)
{
    EXPECT_EQ(TreeImageIndex(11), 0);
    EXPECT_EQ(TreeSelectedImageIndex(11), 1);
    EXPECT_EQ(TreeSelectedImageIndex(711), 1);
    EXPECT_EQ(TreeSelectedImageIndex(713), 1);
    EXPECT_EQ(TreeImageIndex(712), 0);
    EXPECT_EQ(TreeSelectedImageIndex(712), 0);
}

TEST(Catalogue, PollIntervalsDifferByStartOnlyForDeviceType6)
{
    const int tree[] = {0, 1000, 1000, 700, 1200, 1000, 1200, 1000};
    const int range[] = {0, 1000, 1000, 700, 1200, 1000, 1000, 1000};
    for (int type = 1; type <= 7; ++type) {
        EXPECT_EQ(PollIntervalMs(type, ReadStartWay::TreeOrRecordMenu), tree[type]) << type;
        EXPECT_EQ(PollIntervalMs(type, ReadStartWay::RangeOrIdentification), range[type]) << type;
    }
    EXPECT_EQ(PollIntervalMs(0, ReadStartWay::TreeOrRecordMenu), 1000);
    EXPECT_EQ(PollIntervalMs(9, ReadStartWay::RangeOrIdentification), 1000);
}

// ---------------------------------------------------------------------------------
// Progress captions and read-start log lines

TEST(Catalogue, ProgressCaptions)
{
    for (const RecordKindInfo& kind : RecordKindsOf(4))
        EXPECT_TRUE(ProgressCaption(kind.code).empty()) << kind.code;
    for (int code : {13, 23, 33, 68, 78})
        EXPECT_EQ(ProgressCaption(code), "正在读取启停记录,请稍后...") << code;
    for (int code : {12, 22, 32, 53, 611, 711})
        EXPECT_EQ(ProgressCaption(code), "正在读取月记录,请稍后...") << code;
    EXPECT_EQ(ProgressCaption(67), "正在读取失电、换电池记录,请稍后...");
    EXPECT_EQ(ProgressCaption(69), "正在读取剪断磁干扰记录,请稍后...");
    EXPECT_EQ(ProgressCaption(616), "正在读取错误标况累积量修改,请稍后...");
    EXPECT_EQ(ProgressCaption(712), "正在读取消费记录,请稍后...");
    EXPECT_EQ(ProgressCaption(54), "正在读取报警记录,请稍后...");
    // Every kind outside device type 4 shows one.
    for (const RecordKindInfo& kind : RecordKinds()) {
        if (DeviceTypeOfKind(kind.code) != 4) {
            EXPECT_FALSE(kind.progressCaption.empty()) << kind.code;
        }
    }
}

TEST(Catalogue, ReadStartLogLinesAreFramedByElevenEqualsSigns)
{
    const std::string frame(11, '=');
    for (const RecordKindInfo& kind : RecordKinds()) {
        const std::string_view line = kind.readStartLogLine;
        ASSERT_GT(line.size(), 22u) << kind.code;
        EXPECT_EQ(line.substr(0, 11), frame) << kind.code;
        EXPECT_NE(line[11], '=') << kind.code;
        EXPECT_EQ(line.substr(line.size() - 11), frame) << kind.code;
        EXPECT_NE(line[line.size() - 12], '=') << kind.code;
    }
    EXPECT_EQ(ReadStartLogLine(11), "===========智能体积修正仪(ModBus V1.2)实时记录===========");
    EXPECT_EQ(ReadStartLogLine(24), "===========IC卡燃气流量计防剪断记录===========");
    EXPECT_EQ(ReadStartLogLine(410), "===========防剪断记录(ModBus V1.4)===========");
    EXPECT_EQ(ReadStartLogLine(52), "===========Pellin电子气体体积修正仪日记录===========");
    EXPECT_EQ(ReadStartLogLine(67), "===========Corvex 失电记录、换电池记录20组===========");
    EXPECT_EQ(ReadStartLogLine(79), "===========金额版IC卡燃气流量计 防剪断/磁干扰记录100组===========");
    EXPECT_EQ(ReadStartLogLine(713), "===========金额版IC卡燃气流量计 充值记录200组===========");
}

// ---------------------------------------------------------------------------------
// Record-type menu

struct MenuCase {
    const char* name;
    const char* caption;
    int kinds[8]; // by identified device type 0..7
    const char* missingMessage;
};

class RecordMenu : public testing::TestWithParam<MenuCase> {};

TEST_P(RecordMenu, ResolvesEveryIdentifiedType)
{
    const MenuCase& c = GetParam();
    const RecordMenuItem* item = FindRecordMenuItem(c.name);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->caption, c.caption);
    for (int type = 0; type <= 7; ++type) {
        const RecordMenuResolution r = ResolveRecordMenuItem(c.name, type);
        EXPECT_EQ(r.kindCode, c.kinds[type]) << "device type " << type;
        if (type == 0 || type == 4) {
            EXPECT_EQ(r.message, "没有你要读的流量计信息！") << "device type " << type;
        } else if (c.kinds[type] == 0) {
            EXPECT_EQ(r.message, c.missingMessage) << "device type " << type;
        } else {
            EXPECT_TRUE(r.message.empty()) << "device type " << type;
            EXPECT_EQ(DeviceTypeOfKind(r.kindCode), type);
            EXPECT_TRUE(IsKnownRecordKind(r.kindCode));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, RecordMenu,
    testing::Values(
        MenuCase{"N15", "读实时记录(&A)", {0, 11, 21, 31, 0, 51, 612, 712}, ""},
        MenuCase{"N17", "读月记录(&B)", {0, 12, 22, 32, 0, 53, 611, 711}, ""},
        MenuCase{"N18", "读启停记录(&C)", {0, 13, 23, 33, 0, 0, 68, 78}, "该流量计无\"启停记录\"记录类型！"},
        MenuCase{
            "N19", "读防剪断记录(&D)", {0, 14, 24, 0, 0, 0, 69, 79}, "该流量计无\"防剪断记录\"记录类型！"},
        MenuCase{"N5", "读日记录(&E)", {0, 0, 0, 0, 0, 52, 0, 0}, "该流量计无\"日记录\"记录类型！"},
        MenuCase{"N25", "报警记录(&F)", {0, 0, 0, 0, 0, 54, 0, 0}, "该流量计无\"报警记录\"记录类型！"},
        MenuCase{"N20", "读日累积数据(&G)", {0, 0, 0, 0, 0, 0, 61, 71}, "该流量计无\"日累积数据\"记录类型！"},
        MenuCase{"N21",
                 "读当前小时累积量(&H)",
                 {0, 0, 0, 0, 0, 0, 62, 72},
                 "该流量计无\"当前小时累积量数据\"记录类型！"},
        MenuCase{"N110",
                 "读前1小时累积数据(&I)",
                 {0, 0, 0, 0, 0, 0, 63, 73},
                 "该流量计无\"前1小时累积量数据\"记录类型！"},
        MenuCase{
            "N22", "读参数修改记录(&J)", {0, 0, 0, 0, 0, 0, 64, 74}, "该流量计无\"参数修改记录\"记录类型！"},
        MenuCase{"N111",
                 "读传感器故障记录(&K)",
                 {0, 0, 0, 0, 0, 0, 65, 75},
                 "该流量计无\"传感器故障记录\"记录类型！"},
        MenuCase{
            "N23", "读温压超限记录(&L)", {0, 0, 0, 0, 0, 0, 66, 76}, "该流量计无\"温压超限记录\"记录类型！"},
        MenuCase{"N31",
                 "读失电或换电池记录(&M)",
                 {0, 0, 0, 0, 0, 0, 67, 77},
                 "该流量计无\"外电失电或换电池记录\"记录类型！"},
        MenuCase{
            "N24", "读防拆卸记录(&N)", {0, 0, 0, 0, 0, 0, 610, 710}, "该流量计无\"防拆卸记录\"记录类型！"},
        MenuCase{"N41", "读充值记录(&O)", {0, 0, 0, 0, 0, 0, 0, 713}, "该流量计无\"充值记录\"记录类型！"},
        MenuCase{"N27",
                 "读标况累积量修改记录(&P)",
                 {0, 0, 0, 0, 0, 0, 613, 0},
                 "该流量计无\"标况累积量修改记录\"记录类型！"},
        MenuCase{"N28",
                 "读工况累积量修改记录(&Q)",
                 {0, 0, 0, 0, 0, 0, 614, 0},
                 "该流量计无\"工况累积量修改记录\"记录类型！"},
        MenuCase{"N29",
                 "读仪表系数修改记录(&R)",
                 {0, 0, 0, 0, 0, 0, 615, 0},
                 "该流量计无\"仪表系数修改记录\"记录类型！"},
        MenuCase{"N30",
                 "读错误标况累积量修改记录(&S)",
                 {0, 0, 0, 0, 0, 0, 616, 0},
                 "该流量计无\"错误标况累积量修改记录\"记录类型！"},
        MenuCase{"N32",
                 "读错误工况累积量修改记录(&T)",
                 {0, 0, 0, 0, 0, 0, 617, 0},
                 "该流量计无\"错误工况累积量修改记录\"记录类型！"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RecordMenuOrder, TwentyItemsWithTwoSeparators)
{
    const char* order[] = {"N15",  "N17", "N18", "N19", "N5",  "N25", "N20", "N21", "N110", "N22",
                           "N111", "N23", "N31", "N24", "N41", "N27", "N28", "N29", "N30",  "N32"};
    ASSERT_EQ(RecordMenuItems().size(), 20u);
    for (size_t i = 0; i < 20; ++i) {
        EXPECT_EQ(RecordMenuItems()[i].name, order[i]);
        const bool separator = RecordMenuItems()[i].name == "N25" || RecordMenuItems()[i].name == "N24";
        EXPECT_EQ(RecordMenuItems()[i].separatorAfter, separator) << order[i];
    }
    EXPECT_EQ(kMenuMessageCaption, "信息提示");
    EXPECT_EQ(FindRecordMenuItem("N99"), nullptr);
    const RecordMenuResolution unknown = ResolveRecordMenuItem("N99", 6);
    EXPECT_EQ(unknown.kindCode, 0);
    EXPECT_TRUE(unknown.message.empty());
}

} // namespace
