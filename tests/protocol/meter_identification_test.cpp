// Identification against in-process simulated meters of each device type on a
// virtual clock: the probe lines and frames in the log, the attempts made, the
// type found and the time it costs.
#include "protocol/meter_identification.h"
#include "support/built_in_registry.h"

#include "catalogue/catalogue.h"
#include "log/log_model.h"
#include "protocol/exchange.h"
#include "sim/sim_link.h"

#include <gtest/gtest.h>

#include <map>

namespace {

constexpr int kAddress = 23;

const std::map<std::string, std::string> kProbeNames = {
    {"=================Quosta电子气体体积修正仪=================", "P1"},
    {"=================IC卡燃气流量计(ModBus V1.3)=================", "P2"},
    {"=================智能体积修正仪(ModBus V1.2)=================", "P3"},
    {"=================Tamber智能流量计(自定义协议)=================", "P4"},
    {"=================Corvex智能体积修正仪=================", "P5"},
    {"=================金额版IC卡燃气流量计=================", "P6"},
    {"===============智能体积修正仪实时记录(ModBus协议)===============", "R1"},
    {"===============智能体积修正仪(北京燃总协议)===============", "R2"},
    {"===============Tamber智能流量计(自定义协议)===============", "R3"},
};

// The log as a compact trace: probe lines by step name, "S" per sent frame,
// "R" per received frame; anything else verbatim.
std::string trace(const LogModel& log)
{
    std::string trace;
    for (const std::string& line : log.lines()) {
        if (!trace.empty())
            trace += ' ';
        if (auto it = kProbeNames.find(line); it != kProbeNames.end())
            trace += it->second;
        else if (line.rfind("【发送】", 0) == 0)
            trace += 'S';
        else if (line.rfind("【接收】", 0) == 0)
            trace += 'R';
        else
            trace += line;
    }
    return trace;
}

SimConfig meter(int deviceType, std::vector<std::string> faults = {}, int customStatusLength = 30)
{
    SimConfig config;
    config.deviceType = deviceType;
    config.address = kAddress;
    config.faults = std::move(faults);
    config.customStatusLength = customStatusLength;
    return config;
}

struct Bench {
    explicit Bench(SimConfig config) : link(SimMeter(std::move(config)), clock), exchange(link, log, clock) {}
    VirtualClock clock;
    SimLink link;
    LogModel log;
    Exchange exchange;
};

struct IdentifyCase {
    const char* name;
    SimConfig meter;
    int deviceType;
    const char* trace;
    int64_t virtualMs;
};

class IdentifyMeterTest : public testing::TestWithParam<IdentifyCase> {};

TEST_P(IdentifyMeterTest, ProbesInOrderUntilOneAnswers)
{
    const IdentifyCase& c = GetParam();
    Bench bench(c.meter);
    EXPECT_EQ(identifyMeter(builtIn(), bench.exchange, kAddress), c.deviceType);
    EXPECT_EQ(trace(bench.log), c.trace);
    EXPECT_EQ(bench.clock.nowMs(), c.virtualMs);
}

// A silent attempt costs its pause plus 740 ms of collection; an answered one
// its pause plus 140 ms (the reply is waiting and still at the first poll).
// Step 2's follow-up adds 1700 + 300 ms and its own collection.
constexpr int64_t kSilent = 300 + 740;
constexpr int64_t kSilentCustom = 400 + 740;
constexpr int64_t kAnswered = 300 + 140;

INSTANTIATE_TEST_SUITE_P(
    DeviceTypes, IdentifyMeterTest,
    testing::Values(IdentifyCase{"Type5AnswersFirstProbe", meter(5), 5, "P1 S R", kAnswered},
                    IdentifyCase{"Type2AnswersProbeAndFollowUp", meter(2), 2, "P1 S S S P2 S R S R",
                                 3 * kSilent + kAnswered + 1700 + kAnswered},
                    IdentifyCase{"Type1FailsFollowUpThriceThenStep3", meter(1), 1,
                                 "P1 S S S P2 S R S S R S S R S P3 S R",
                                 3 * kSilent + 3 * (kAnswered + 1700 + kSilent) + kAnswered},
                    IdentifyCase{"Type3With30ByteStatus", meter(3), 3, "P1 S S S P2 S S S P3 S S S P4 S R",
                                 9 * kSilent + 400 + 140},
                    IdentifyCase{"Type3With28ByteStatus", meter(3, {}, 28), 3,
                                 "P1 S S S P2 S S S P3 S S S P4 S R", 9 * kSilent + 400 + 140},
                    IdentifyCase{"Type6", meter(6), 6, "P1 S S S P2 S S S P3 S S S P4 S S S P5 S R",
                                 9 * kSilent + 3 * kSilentCustom + kAnswered},
                    IdentifyCase{"Type7", meter(7), 7, "P1 S S S P2 S S S P3 S S S P4 S S S P5 S S S P6 S R",
                                 12 * kSilent + 3 * kSilentCustom + kAnswered},
                    IdentifyCase{"Type4IsNeverProduced", meter(4), 0,
                                 "P1 S S S P2 S S S P3 S S S P4 S S S P5 S S S P6 S S S",
                                 15 * kSilent + 3 * kSilentCustom},
                    IdentifyCase{"NothingConnected", meter(1, {"silence"}), 0,
                                 "P1 S S S P2 S S S P3 S S S P4 S S S P5 S S S P6 S S S",
                                 15 * kSilent + 3 * kSilentCustom},
                    IdentifyCase{"BadCheckIsNoAnswer", meter(5, {"bad-crc"}), 0,
                                 "P1 S R S R S R P2 S S S P3 S S S P4 S S S P5 S S S P6 S S S",
                                 3 * kAnswered + 12 * kSilent + 3 * kSilentCustom},
                    IdentifyCase{"WrongLengthIsNoAnswer", meter(6, {"wrong-length"}), 0,
                                 "P1 S S S P2 S S S P3 S S S P4 S S S P5 S R S R S R P6 S S S",
                                 12 * kSilent + 3 * kSilentCustom + 3 * kAnswered}),
    [](const testing::TestParamInfo<IdentifyCase>& info) { return std::string(info.param.name); });

// The type found there before is probed first: at once when it answers, and
// ahead of the whole sequence when another meter took its place.
TEST(IdentifyMeter, KnownTypeIsProbedFirst)
{
    Bench known(meter(6));
    EXPECT_EQ(identifyMeter(builtIn(), known.exchange, kAddress, {}, 6), 6);
    EXPECT_EQ(trace(known.log), "P5 S R");
    EXPECT_EQ(known.clock.nowMs(), kAnswered);

    Bench replaced(meter(2));
    EXPECT_EQ(identifyMeter(builtIn(), replaced.exchange, kAddress, {}, 6), 2);
    EXPECT_EQ(trace(replaced.log), "P5 S S S P1 S S S P2 S R S R");
}

TEST(IdentifyMeter, NothingConnectedTakesAboutNineteenSeconds)
{
    Bench bench(meter(1, {"silence"}));
    EXPECT_EQ(identifyMeter(builtIn(), bench.exchange, kAddress), 0);
    EXPECT_EQ(bench.clock.nowMs(), 19020);
    EXPECT_EQ(bench.link.requests().size(), 18u);
}

TEST(IdentifyMeter, ProbesCarryTheAddressAndCheckBytes)
{
    Bench bench(meter(1, {"silence"}));
    identifyMeter(builtIn(), bench.exchange, kAddress);
    const std::vector<Bytes>& requests = bench.link.requests();
    ASSERT_EQ(requests.size(), 18u);
    EXPECT_EQ(bytesToHexSpaced(requests[0]),
              bytesToHexSpaced(appendCrc(Bytes{0x17, 0x03, 0x0F, 0xA1, 0x00, 0x26})));
    EXPECT_EQ(bytesToHexSpaced(requests[3]),
              bytesToHexSpaced(appendCrc(Bytes{0x17, 0x03, 0x00, 0x00, 0x00, 0x10})));
    EXPECT_EQ(bytesToHexSpaced(requests[9]), "55 55 17 02 00 19");
    EXPECT_EQ(bytesToHexSpaced(requests[12]),
              bytesToHexSpaced(appendCrc(Bytes{0x17, 0x03, 0x00, 0x0A, 0x00, 0x19})));
    EXPECT_EQ(bytesToHexSpaced(requests[15]),
              bytesToHexSpaced(appendCrc(Bytes{0x17, 0x03, 0x00, 0x0A, 0x00, 0x15})));
}

TEST(IdentifyMeter, ProcessesEventsBeforeEachProbe)
{
    Bench bench(meter(1, {"silence"}));
    int linesAtEvents = 0;
    std::vector<int> seenProbeLines;
    bench.clock.setOnEvents([&] {
        if (bench.log.lineCount() != linesAtEvents) {
            linesAtEvents = bench.log.lineCount();
            if (kProbeNames.count(bench.log.lines().back()))
                seenProbeLines.push_back(linesAtEvents);
        }
    });
    identifyMeter(builtIn(), bench.exchange, kAddress);
    EXPECT_EQ(seenProbeLines.size(), 6u);
}

struct MenuCase {
    const char* name;
    SimConfig meter;
    const char* item;
    int deviceType;
    int kindCode;
    const char* message;
};

class ResolveRecordMenuTest : public testing::TestWithParam<MenuCase> {};

TEST_P(ResolveRecordMenuTest, MapsIdentifiedTypeToKindOrMessage)
{
    const MenuCase& c = GetParam();
    Bench bench(c.meter);
    const RecordMenuItem* item = findRecordMenuItem(c.item);
    ASSERT_NE(item, nullptr);
    const RecordMenuChoice choice = resolveRecordMenu(builtIn(), bench.exchange, *item, kAddress);
    EXPECT_EQ(choice.deviceType, c.deviceType);
    EXPECT_EQ(choice.kindCode, c.kindCode);
    EXPECT_EQ(choice.message, c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Items, ResolveRecordMenuTest,
    testing::Values(
        MenuCase{"RealtimeOnType6Is612", meter(6), "N15", 6, 612, ""},
        MenuCase{"RealtimeOnType7IsConsumption712", meter(7), "N15", 7, 712, ""},
        MenuCase{"MonthOnType5Is53", meter(5), "N17", 5, 53, ""},
        MenuCase{"RechargeOnType6HasNoSuchKind", meter(6), "N41", 6, 0, "该流量计无\"充值记录\"记录类型！"},
        MenuCase{"StartStopOnType5HasNoSuchKind", meter(5), "N18", 5, 0, "该流量计无\"启停记录\"记录类型！"},
        MenuCase{"UnidentifiedMeter", meter(1, {"silence"}), "N15", 0, 0, "没有你要读的流量计信息！"}),
    [](const testing::TestParamInfo<MenuCase>& info) { return std::string(info.param.name); });

struct ReaderCase {
    const char* name;
    SimConfig meter;
    int deviceType;
    const char* trace;
};

class IdentifyRecordReaderTest : public testing::TestWithParam<ReaderCase> {};

TEST_P(IdentifyRecordReaderTest, ProbesTypes1Then4Then3)
{
    const ReaderCase& c = GetParam();
    Bench bench(c.meter);
    EXPECT_EQ(identifyRecordReader(builtIn(), bench.exchange, kAddress), c.deviceType);
    EXPECT_EQ(trace(bench.log), c.trace);
}

INSTANTIATE_TEST_SUITE_P(
    DeviceTypes, IdentifyRecordReaderTest,
    testing::Values(ReaderCase{"Type1RealtimeRecord", meter(1), 1, "R1 S R"},
                    ReaderCase{"Type4DailyRecord", meter(4), 4, "R1 S S S R2 S R"},
                    // Type 6 answers the record request of step 2 in its own, longer layout.
                    ReaderCase{"Type6AnswersOnlyInOtherLength", meter(6), 0,
                               "R1 S S S R2 S R S R S R R3 S S S"},
                    ReaderCase{"Type3RealtimeRecord", meter(3), 3, "R1 S S S R2 S S S R3 S R"},
                    ReaderCase{"NothingConnected", meter(1, {"silence"}), 0, "R1 S S S R2 S S S R3 S S S"}),
    [](const testing::TestParamInfo<ReaderCase>& info) { return std::string(info.param.name); });

TEST(IdentifyRecordReader, SilentAttemptsCost200msPauseEachAndFramesAreExact)
{
    Bench bench(meter(1, {"silence"}));
    identifyRecordReader(builtIn(), bench.exchange, kAddress);
    EXPECT_EQ(bench.clock.nowMs(), 9 * (200 + 740));
    const std::vector<Bytes>& requests = bench.link.requests();
    ASSERT_EQ(requests.size(), 9u);
    EXPECT_EQ(bytesToHexSpaced(requests[0]),
              bytesToHexSpaced(appendCrc(Bytes{0x17, 0x66, 0x00, 0x64, 0x02, 0x00, 0x01})));
    EXPECT_EQ(bytesToHexSpaced(requests[3]),
              bytesToHexSpaced(appendCrc(Bytes{0x17, 0x65, 0x09, 0x01, 0, 0, 0, 0x01, 0, 0, 0, 0x01})));
    // Sum of 17 28 03 02 00 01.
    EXPECT_EQ(bytesToHexSpaced(requests[6]), "55 55 17 28 03 02 00 01 45");
}

} // namespace
