#include "catalogue/catalogue.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(deviceTypeOfKind(GetParam().kindCode), GetParam().deviceType);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, KindOwner,
                         testing::Values(OwnerCase{11, 1}, OwnerCase{24, 2}, OwnerCase{33, 3},
                                         OwnerCase{41, 4}, OwnerCase{410, 4}, OwnerCase{411, 4},
                                         OwnerCase{51, 5}, OwnerCase{61, 6}, OwnerCase{69, 6},
                                         OwnerCase{610, 6}, OwnerCase{617, 6}, OwnerCase{71, 7},
                                         OwnerCase{713, 7}, OwnerCase{7, 7}),
                         [](const auto& info) { return "Kind" + std::to_string(info.param.kindCode); });

TEST(Catalogue, UnknownCodesGiveEmptyAnswers)
{
    for (int code : {0, 10, 15, 34, 412, 55, 618, 714, -1}) {
        EXPECT_EQ(findRecordKind(code), nullptr) << code;
        EXPECT_EQ(blockCountOf(code), 0) << code;
        EXPECT_EQ(recordsPerBlock(code), 0) << code;
        EXPECT_TRUE(readStartLogLine(code).empty()) << code;
    }
    EXPECT_FALSE(isKnownDeviceType(0));
    EXPECT_FALSE(isKnownDeviceType(8));
    EXPECT_TRUE(treeCaption(8).empty());
    EXPECT_TRUE(recordKindsOf(8).empty());
    EXPECT_EQ(pollIntervalMs(9, ReadStartWay::RangeOrIdentification), 1000);
}

// ---------------------------------------------------------------------------------
// Tree

TEST(Catalogue, DeviceTypeNodesAndKindNodesHaveTheirPictures)
{
    for (const DeviceTypeDescription* type : DeviceRegistry::instance().deviceTypes()) {
        EXPECT_EQ(treeCaption(type->code), type->caption);
        EXPECT_EQ(treeImageIndex(type->code), kDeviceTypeImage);
        EXPECT_EQ(treeSelectedImageIndex(type->code), kDeviceTypeImage);
        for (const RecordKind& kind : type->kinds) {
            EXPECT_EQ(treeCaption(kind.code), kind.caption);
            EXPECT_EQ(treeImageIndex(kind.code), kRecordKindImage);
        }
    }
    EXPECT_EQ(treeSelectedImageIndex(711), kRecordKindSelectedImage);
    EXPECT_EQ(treeSelectedImageIndex(712), kRecordKindImage);
}

// ---------------------------------------------------------------------------------
// Record-type menu

TEST(RecordMenuOrder, TwentyItemsWithTwoSeparators)
{
    const char* order[] = {"N15",  "N17", "N18", "N19", "N5",  "N25", "N20", "N21", "N110", "N22",
                           "N111", "N23", "N31", "N24", "N41", "N27", "N28", "N29", "N30",  "N32"};
    ASSERT_EQ(recordMenuItems().size(), 20u);
    for (size_t i = 0; i < 20; ++i) {
        EXPECT_EQ(recordMenuItems()[i].name, order[i]);
        const bool separator = recordMenuItems()[i].name == "N25" || recordMenuItems()[i].name == "N24";
        EXPECT_EQ(recordMenuItems()[i].separatorAfter, separator) << order[i];
    }
    EXPECT_EQ(kMenuMessageCaption, "信息提示");
    EXPECT_EQ(findRecordMenuItem("N99"), nullptr);
    const RecordMenuResolution unknown = resolveRecordMenuItem("N99", 6);
    EXPECT_EQ(unknown.kindCode, 0);
    EXPECT_TRUE(unknown.message.empty());
}

} // namespace
