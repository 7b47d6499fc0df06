// The read operations against the simulated meter on a virtual clock: frames,
// banners, waits, and the reset state a failed read leaves.
#include "log/log_model.h"
#include "params/param_readout.h"
#include "protocol/exchange.h"
#include "sim/sim_link.h"
#include "sim/sim_params.h"
#include "support/built_in_registry.h"
#include "support/hex.h"

#include <gtest/gtest.h>

namespace {

struct Rig {
    explicit Rig(int deviceType, std::vector<std::string> faults = {})
        : link(SimMeter([&] {
                   SimConfig config;
                   config.deviceType = deviceType;
                   config.faults = std::move(faults);
                   return config;
               }()),
               clock),
          exchange(link, log, clock), reader(builtIn(), exchange)
    {
        reader.setMeterAddress(23);
    }
    VirtualClock clock;
    SimLink link;
    LogModel log;
    Exchange exchange;
    ParamReader reader;
};

std::string valueOf(const ParamReader& reader, const char* name)
{
    return reader.values().at(name).text;
}

struct ReadCase {
    const char* name;
    int deviceType;
    std::vector<const char*> requests; // without the CRC (device type 3: complete)
    const char* banner;
    const char* label; // a value label and the text the live values give it
    const char* text;
};

class ParamReads : public testing::TestWithParam<ReadCase> {};

TEST_P(ParamReads, SendTheirFramesAndDecodeTheMeterAnswer)
{
    const ReadCase& c = GetParam();
    Rig rig(c.deviceType);
    EXPECT_EQ(rig.reader.readParams(c.deviceType), 1);
    ASSERT_EQ(rig.link.requests().size(), c.requests.size());
    for (size_t i = 0; i < c.requests.size(); ++i) {
        const Bytes expected =
            c.deviceType == 3 ? hexBytes(c.requests[i]) : appendCrc(hexBytes(c.requests[i]));
        EXPECT_EQ(rig.link.requests()[i], expected) << i;
    }
    ASSERT_FALSE(rig.log.lines().empty());
    EXPECT_EQ(rig.log.lines().front(), c.banner);
    EXPECT_EQ(valueOf(rig.reader, c.label), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Types, ParamReads,
    testing::Values(ReadCase{"V12",
                             1,
                             {"17 03 00 00 00 13"},
                             "=================智能体积修正仪(ModBus V1.2)=================",
                             "lblV18_Vm",
                             "35.25"},
                    ReadCase{"V13TwoRequests",
                             2,
                             {"17 03 00 00 00 10", "17 03 01 06 00 1B"},
                             "=================IC卡燃气流量计(ModBus V1.3)=================",
                             "lblCPU_LowBat",
                             "0003"},
                    ReadCase{"V20",
                             6,
                             {"17 03 00 0A 00 19"},
                             "=================Corvex智能体积修正仪=================",
                             "lblCorvex_time",
                             "2024-03-15 10:30:00"},
                    ReadCase{"Custom",
                             3,
                             {"55 55 17 02 00 19"},
                             "=================Tamber智能流量计(自定义协议)=================",
                             "lbl55_sum",
                             "11876.5432"},
                    ReadCase{"Money",
                             7,
                             {"17 03 00 0A 00 15"},
                             "=================金额版IC卡燃气流量计=================",
                             "lblICMoney_ValveSt",
                             "开阀"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParamReads, TypedReadsTheLayoutBlockAfter2100Ms)
{
    Rig rig(5);
    ParamLayoutArray layout{};
    layout[0] = 38;
    layout[1] = 0x0FA1;
    layout[2 + 12] = 6; // running days, LNG
    std::vector<std::string> fields = {"表号", "S16",  "时间", "DT2",  "标况", "DBL",  "工况",
                                       "DBL",  "q1",   "FLT",  "q2",   "FLT",  "t",    "FLT",
                                       "p",    "FLT",  "z",    "FLT",  "k",    "FLT",  "b",
                                       "FLT",  "报警", "S8",   "天数", "LNG",  "地址", "BYTE"};
    rig.reader.setParamLayout(fields, layout);
    rig.reader.fillParamGrid();
    const int64_t start = rig.clock.nowMs();
    EXPECT_EQ(rig.reader.readParams(5), 1);
    EXPECT_EQ(rig.clock.nowMs() - start, kParamWaitTypedMs);
    EXPECT_EQ(rig.link.requests().at(0), appendCrc(hexBytes("17 03 0F A1 00 26")));
    const ParamGrid& grid = rig.reader.grid();
    EXPECT_EQ(grid[0][1], "QL2024000123");
    EXPECT_EQ(grid[5][3], "00000000");
    EXPECT_EQ(grid[6][1], "000123");
    EXPECT_EQ(grid[6][3], "23");
}

TEST(ParamReads, FailedReadLeavesTheResetStateAndItsFrameInTheLog)
{
    Rig rig(7);
    ASSERT_EQ(rig.reader.readParams(7), 1);
    EXPECT_NE(valueOf(rig.reader, "lblICMoney_sum"), "0");
    rig.link.meter() = SimMeter([] {
        SimConfig config;
        config.deviceType = 7;
        config.faults = {"bad-crc"};
        return config;
    }());
    EXPECT_EQ(rig.reader.readParams(7), 3);
    EXPECT_EQ(valueOf(rig.reader, "lblICMoney_sum"), "0");
    EXPECT_EQ(valueOf(rig.reader, "lblICMoney_time"), "2000-01-01 00:00:00");
    EXPECT_EQ(valueOf(rig.reader, "lblICMoney_ValveSt"), "正常");
    // The status word keeps the text of the last good reply.
    EXPECT_EQ(valueOf(rig.reader, "lblICMoney_st"), "0001");
    EXPECT_EQ(rig.log.lines().back().rfind(kReceivedPrefix, 0), 0u);
}

TEST(ParamReads, GoodValuesStayThroughTheNextReadUntilTheMeterChanges)
{
    Rig rig(6);
    EXPECT_EQ(valueOf(rig.reader, "lblCorvex_vm"), "");
    EXPECT_EQ(valueOf(rig.reader, "lblCorvex_time"), "");
    EXPECT_EQ(valueOf(rig.reader, "lblCorvex_Pl"), "");
    ASSERT_EQ(rig.reader.readParams(6), 1);
    const std::string good = valueOf(rig.reader, "lblCorvex_vm");
    ASSERT_NE(good, "");
    std::vector<std::string> shown;
    QObject::connect(&rig.reader, &ParamReader::changed,
                     [&](int) { shown.push_back(valueOf(rig.reader, "lblCorvex_vm")); });
    ASSERT_EQ(rig.reader.readParams(6), 1);
    // Shown once, when the new reply is decoded: never zeros in between.
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0], "0");
    EXPECT_NE(shown[0], "");
    rig.reader.setMeterAddress(24);
    EXPECT_EQ(valueOf(rig.reader, "lblCorvex_vm"), "");
}

TEST(ParamReads, V13StopsAfterABadFirstReply)
{
    Rig rig(6); // has no register 0, so the first read of device type 2 gets silence
    EXPECT_EQ(rig.reader.readParams(2), 2);
    EXPECT_EQ(rig.link.requests().size(), 1u);
    EXPECT_FALSE(rig.reader.followUpRead());
}

TEST(ParamReads, MoneyReadShowsTheHourglassAndRestoresIt)
{
    Rig rig(7);
    std::vector<bool> cursor;
    QObject::connect(&rig.reader, &ParamReader::busyChanged,
                     [&cursor](bool busy) { cursor.push_back(busy); });
    rig.reader.readParams(7);
    EXPECT_EQ(cursor, (std::vector<bool>{true, false}));
}

TEST(SimParams, AlarmFaultRaisesStatusBitsAndValuesMoveBetweenReads)
{
    Rig rig(6, {"alarm"});
    ASSERT_EQ(rig.reader.readParams(6), 1);
    EXPECT_EQ(rig.reader.values().at("lblCorvex_Pl").state, LabelState::Alarm);
    EXPECT_EQ(rig.reader.values().at("lblCorvex_PErr").state, LabelState::Alarm);
    EXPECT_EQ(rig.reader.values().at("lblCorvex_Tl").state, LabelState::Normal);
    const std::string firstTime = valueOf(rig.reader, "lblCorvex_time");
    const std::string firstSum = valueOf(rig.reader, "lblCorvex_Sum");
    ASSERT_EQ(rig.reader.readParams(6), 1);
    EXPECT_EQ(valueOf(rig.reader, "lblCorvex_time"), "2024-03-15 10:30:05");
    EXPECT_NE(valueOf(rig.reader, "lblCorvex_Sum"), firstSum);
    EXPECT_NE(firstTime, valueOf(rig.reader, "lblCorvex_time"));
}

TEST(ParamReadout, ListsEveryLabelOfThePanelInOrder)
{
    Rig rig(3);
    const std::vector<ReadoutLine> lines = paramReadout(3, rig.reader);
    ASSERT_EQ(lines.size(), 21u);
    EXPECT_EQ(lines.front().name, "lbl55Vm");
    EXPECT_EQ(lines.front().caption, "工况流量(m3/h)：");
    EXPECT_EQ(lines.back().name, "lbl55_clock");
    // Nothing read yet: empty, not the reset texts a failed read leaves.
    EXPECT_EQ(lines.back().value.text, "");
}

} // namespace
