#include "protocol/request_frames.h"
#include "support/built_in_registry.h"

#include "catalogue/catalogue.h"
#include "support/hex.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Expected frames are written without check bytes and sealed here the way the meter
// expects them: CRC-16 for every dialect except device type 3, whose frames carry
// their 8-bit sum in the vector itself.
Bytes sealed(std::string_view hexWithoutCrc)
{
    return appendCrc(hexBytes(hexWithoutCrc));
}

struct BaseCase {
    const char* name;
    int kind;
    uint8_t address;
    Bytes expected;
};

class BaseRequests : public testing::TestWithParam<BaseCase> {};

TEST_P(BaseRequests, Bytes)
{
    EXPECT_EQ(bytesToHexSpaced(baseRequestOfKind(kindOf(GetParam().kind), GetParam().address)),
              bytesToHexSpaced(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(RequestFrames, BaseRequests,
                         testing::Values(BaseCase{"Kind11", 11, 23, hexBytes("17 66 00 64 02")},
                                         BaseCase{"Kind12", 12, 1, hexBytes("01 66 00 65 02")},
                                         BaseCase{"Kind23SameAsType1", 23, 1, hexBytes("01 66 00 66 02")},
                                         BaseCase{"Kind14", 14, 247, hexBytes("F7 66 00 67 02")},
                                         BaseCase{"Kind31", 31, 1, hexBytes("55 55 01 28 03 02")},
                                         BaseCase{"Kind32", 32, 5, hexBytes("55 55 05 28 03 00")},
                                         BaseCase{"Kind33", 33, 1, hexBytes("55 55 01 28 03 01")},
                                         BaseCase{"Kind41", 41, 1, hexBytes("01 65 09 01")},
                                         BaseCase{"Kind411", 411, 2, hexBytes("02 65 09 0B")},
                                         BaseCase{"Kind68SkipsKindByte08", 68, 1, hexBytes("01 65 09 09")},
                                         BaseCase{"Kind617", 617, 1, hexBytes("01 65 09 12")},
                                         BaseCase{"Kind713", 713, 23, hexBytes("17 65 09 0E")},
                                         BaseCase{"Type5WithoutRegisterWindow", 51, 1,
                                                  hexBytes("01 03 00 00 00 00")}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RequestFrames, EveryKnownKindHasABaseRequest)
{
    for (const RecordKind* each : recordKinds(builtIn())) {
        const RecordKind& kind = *each;
        const Bytes base = baseRequestOfKind(kind, 23, {100, 12});
        EXPECT_FALSE(base.empty()) << kind.code;
        // Block 1 frames of the CRC dialects verify as replies would.
        const Bytes frame = blockRequestFrame(kind, base, 1);
        if (deviceTypeOfKind(kind.code) != 3) {
            EXPECT_TRUE(checkCrc(frame)) << kind.code;
        }
    }
}

TEST(RequestFrames, RegisterReadBaseRequest)
{
    EXPECT_EQ(baseRequestOfKind(kindOf(51), 0x17, {100, 30}), hexBytes("17 03 00 64 00 1E"));
    EXPECT_EQ(baseRequestOfKind(kindOf(54), 1, {0x0FA1, 0x0026}), hexBytes("01 03 0F A1 00 26"));
    // A sheet start of 0 gives register -1, which goes on the wire as its low 16 bits.
    EXPECT_EQ(baseRequestOfKind(kindOf(52), 1, {-1, 3}), hexBytes("01 03 FF FF 00 03"));
}

struct FrameCase {
    const char* name;
    int kind;
    Bytes base;
    int block;
    Bytes expected;
};

class BlockFrames : public testing::TestWithParam<FrameCase> {};

TEST_P(BlockFrames, Bytes)
{
    const FrameCase& c = GetParam();
    EXPECT_EQ(bytesToHexSpaced(blockRequestFrame(kindOf(c.kind), c.base, c.block)),
              bytesToHexSpaced(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    RequestFrames, BlockFrames,
    testing::Values(
        // Device types 1 and 2: the block number itself, high byte first.
        FrameCase{"Kind12Block3", 12, hexBytes("01 66 00 65 02"), 3, sealed("01 66 00 65 02 00 03")},
        FrameCase{"Kind12LastBlock", 12, hexBytes("01 66 00 65 02"), 100, sealed("01 66 00 65 02 00 64")},
        FrameCase{"Kind11LastBlockNeedsHighByte", 11, hexBytes("17 66 00 64 02"), 700,
                  sealed("17 66 00 64 02 02 BC")},
        // Device type 3: B − 1 low byte first, then the sum of A 28 03 K low high.
        FrameCase{"Kind31Block1", 31, hexBytes("55 55 01 28 03 02"), 1,
                  hexBytes("55 55 01 28 03 02 00 00 2E")},
        FrameCase{"Kind31LastBlock", 31, hexBytes("55 55 01 28 03 02"), 360,
                  hexBytes("55 55 01 28 03 02 67 01 96")},
        FrameCase{"Kind33Block300LowByteFirst", 33, hexBytes("55 55 01 28 03 01"), 300,
                  hexBytes("55 55 01 28 03 01 2B 01 59")},
        FrameCase{"Kind33LastBlock", 33, hexBytes("55 55 17 28 03 01"), 400,
                  hexBytes("55 55 17 28 03 01 8F 01 D3")},
        FrameCase{"Kind32SumWrapsModulo256", 32, hexBytes("55 55 F7 28 03 00"), 256,
                  hexBytes("55 55 F7 28 03 00 FF 00 21")},
        // Device type 4: records counted from 1.
        FrameCase{"Kind42Block2", 42, hexBytes("01 65 09 02"), 2,
                  sealed("01 65 09 02 00 00 00 0B 00 00 00 14")},
        FrameCase{"Kind42Block1", 42, hexBytes("01 65 09 02"), 1,
                  sealed("01 65 09 02 00 00 00 01 00 00 00 0A")},
        FrameCase{"Kind42LastBlock", 42, hexBytes("01 65 09 02"), 144,
                  sealed("01 65 09 02 00 00 05 97 00 00 05 A0")},
        FrameCase{"Kind46Block1", 46, hexBytes("01 65 09 06"), 1,
                  sealed("01 65 09 06 00 00 00 01 00 00 00 04")},
        FrameCase{"Kind46LastBlock", 46, hexBytes("01 65 09 06"), 60,
                  sealed("01 65 09 06 00 00 00 ED 00 00 00 F0")},
        // Device types 6 and 7: records counted from 0.
        FrameCase{"Kind612Block1", 612, hexBytes("01 65 09 0D"), 1,
                  sealed("01 65 09 0D 00 00 00 00 00 00 00 04")},
        FrameCase{"Kind612LastBlock", 612, hexBytes("01 65 09 0D"), 100,
                  sealed("01 65 09 0D 00 00 01 EF 00 00 01 F3")},
        FrameCase{"Kind712Block1", 712, hexBytes("01 65 09 0D"), 1,
                  sealed("01 65 09 0D 00 00 00 00 00 00 00 01")},
        FrameCase{"Kind712LastBlock", 712, hexBytes("01 65 09 0D"), 100,
                  sealed("01 65 09 0D 00 00 00 C6 00 00 00 C7")},
        FrameCase{"Kind79FourPerBlock", 79, hexBytes("17 65 09 0A"), 25,
                  sealed("17 65 09 0A 00 00 00 60 00 00 00 63")},
        // Device type 5: registers back to back from S, N each.
        FrameCase{"Kind51Block1", 51, hexBytes("01 03 00 64 00 1E"), 1, sealed("01 03 00 64 00 1E")},
        FrameCase{"Kind51Block4", 51, hexBytes("01 03 00 64 00 1E"), 4, sealed("01 03 00 BE 00 1E")},
        FrameCase{"Kind54StartWrapsToLow16Bits", 54, hexBytes("01 03 FF F0 00 20"), 2,
                  sealed("01 03 00 10 00 20")},
        FrameCase{"Type5ShortBaseRequestIsRefused", 52, hexBytes("01 03 00 64"), 1, Bytes{}},
        // Nothing sound to send.
        FrameCase{"EmptyBaseRequest", 11, Bytes{}, 1, Bytes{}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RequestFrames, FramesOfOneRunNameConsecutiveRecords)
{
    // Each block of a range kind starts right after the previous block's last record.
    for (int kind : {41, 42, 46, 410, 61, 612, 67, 79, 712, 713}) {
        const Bytes base = baseRequestOfKind(kindOf(kind), 1);
        int previousLast = findRecordKind(builtIn(), kind)->firstRecord - 1;
        for (int block = 1; block <= blockCountOf(builtIn(), kind); ++block) {
            const Bytes frame = blockRequestFrame(kindOf(kind), base, block);
            ASSERT_EQ(frame.size(), 14u) << kind;
            const int first = frame[6] << 8 | frame[7];
            const int last = frame[10] << 8 | frame[11];
            EXPECT_EQ(first, previousLast + 1) << kind << " block " << block;
            EXPECT_EQ(last - first + 1, recordsPerBlock(builtIn(), kind)) << kind << " block " << block;
            previousLast = last;
        }
    }
}

} // namespace
