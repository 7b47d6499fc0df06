#include "catalogue/catalogue.h"
#include "support/built_in_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <string_view>
#include <vector>

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

// ---------------------------------------------------------------------------------
// Tree

TEST(Catalogue, DeviceTypeNodesAndKindNodesHaveTheirPictures)
{
    for (const DeviceTypeDescription* type : builtIn().deviceTypes()) {
        EXPECT_EQ(treeCaption(builtIn(), type->code), type->caption);
        EXPECT_EQ(treeImageIndex(builtIn(), type->code), kDeviceTypeImage);
        EXPECT_EQ(treeSelectedImageIndex(builtIn(), type->code), kDeviceTypeImage);
        for (const RecordKind& kind : type->kinds) {
            EXPECT_EQ(treeCaption(builtIn(), kind.code), kind.caption);
            EXPECT_EQ(treeImageIndex(builtIn(), kind.code), kRecordKindImage);
        }
    }
    EXPECT_EQ(treeSelectedImageIndex(builtIn(), 711), kRecordKindSelectedImage);
    EXPECT_EQ(treeSelectedImageIndex(builtIn(), 712), kRecordKindImage);
}

// ---------------------------------------------------------------------------------
// Record-type menu

// Every item names its own record type, which some device type reads.
TEST(RecordMenu, EveryItemIsDistinctAndReadBySomeType)
{
    std::set<std::string_view> names;
    for (const RecordMenuItem& item : recordMenuItems()) {
        EXPECT_TRUE(names.insert(item.name).second) << item.name;
        EXPECT_EQ(findRecordMenuItem(item.name), &item);
        const std::vector<const RecordKind*> kinds = recordKinds(builtIn());
        EXPECT_TRUE(std::any_of(kinds.begin(), kinds.end(), [&item](const RecordKind* kind) {
            return kind->menuItem == item.name;
        })) << item.name;
    }
    EXPECT_EQ(findRecordMenuItem("N99"), nullptr);
    const RecordMenuResolution unknown = resolveRecordMenuItem(builtIn(), "N99", 6);
    EXPECT_EQ(unknown.kindCode, 0);
    EXPECT_TRUE(unknown.message.empty());
}

} // namespace
