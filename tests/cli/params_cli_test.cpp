// `ql-rs485-cli params` against ql-rs485-sim over a pseudo-terminal.
#include "cli_process.h"

#include <map>

namespace {

// Every label of the money-version panel with its caption, in panel order.
const std::vector<std::pair<std::string, std::string>> kMoneyLabels = {
    {"lblICMoney_time", "采集时间："},
    {"lblICMoney_sum", "标况累积量(m3)："},
    {"lblICMoney_psum", "工况累积量(m3)："},
    {"lblICMoney_v0", "标况流量(m3/h)："},
    {"lblICMoney_vm", "工况流量(m3/h)："},
    {"lblICMoney_t", "温度(℃)："},
    {"lblICMoney_p", "压力(Kpa)："},
    {"lblICMoney_st", "状态字："},
    {"lblICMoney_alarm", "报警字："},
    {"lblICMoney_vmh", "瞬时工况流量上限报警："},
    {"lblICMoney_th", "温度上限报警："},
    {"lblICMoney_ph", "压力上限报警："},
    {"lblICMoney_LJSBat", "积算仪电量不足："},
    {"lblICMoney_CardBat", "卡控电量不足："},
    {"lblICMoney_Valve", "阀门故障："},
    {"lblICMoney_PErr", "压力传感器故障："},
    {"lblICMoney_TErr", "温度传感器故障："},
    {"lblICMoney_ChgCardBat", "更换卡控电池："},
    {"lblICMoney_ChgLJSBat", "更换积算仪电池："},
    {"lblICMoney_BatEx", "外电源失电："},
    {"lblICMoney_BuySt", "购气提示状态："},
    {"lblICMoney_Tz", "透支状态："},
    {"lblICMoney_ValveSt", "阀门状态："},
    {"lblICMoney_TLow", "温度低报警："},
    {"lblICMoney_THigh", "温度高报警："},
};

struct Line {
    std::string caption, text, state;
};

// Label name → caption, text and state of the lines after "result N".
std::map<std::string, Line> Values(const std::string& out, std::vector<std::string>& order)
{
    std::map<std::string, Line> values;
    for (const std::string& line : linesStartingWith(out, "lbl")) {
        const std::vector<std::string> fields = splitTabs(line);
        if (fields.size() != 4)
            continue;
        order.push_back(fields[0]);
        values[fields[0]] = {fields[1], fields[2], fields[3]};
    }
    return values;
}

TEST(ParamsCli, Type7PrintsEveryLabelOfItsPanel)
{
    SimProcess sim({"--type", "7", "--line-rate"});
    ASSERT_FALSE(sim.pty().isEmpty());
    const CliResult r = runCli({"params", "--port", sim.pty(), "--type", "7"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(r.out.rfind("result 1\n", 0), 0u) << r.out;
    std::vector<std::string> order;
    std::map<std::string, Line> values = Values(r.out, order);
    ASSERT_EQ(order.size(), kMoneyLabels.size()) << r.out;
    for (size_t i = 0; i < kMoneyLabels.size(); ++i) {
        EXPECT_EQ(order[i], kMoneyLabels[i].first);
        EXPECT_EQ(values[kMoneyLabels[i].first].caption, kMoneyLabels[i].second);
        EXPECT_FALSE(values[kMoneyLabels[i].first].text.empty()) << kMoneyLabels[i].first;
    }
    EXPECT_EQ(values["lblICMoney_time"].text, "2024-03-15 10:30:00");
    EXPECT_EQ(values["lblICMoney_vm"].text, "35.25");
    EXPECT_EQ(values["lblICMoney_st"].text, "0001");
    EXPECT_EQ(values["lblICMoney_ValveSt"].text, "开阀");
    for (const auto& [name, line] : values)
        EXPECT_EQ(line.state, "normal") << name;
}

TEST(ParamsCli, AlarmFaultShowsAlarmStates)
{
    SimProcess sim({"--type", "7", "--fault", "alarm"});
    ASSERT_FALSE(sim.pty().isEmpty());
    const CliResult r = runCli({"params", "--port", sim.pty(), "--type", "7"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> order;
    std::map<std::string, Line> values = Values(r.out, order);
    EXPECT_EQ(values["lblICMoney_ValveSt"].text, "异常");
    EXPECT_EQ(values["lblICMoney_ValveSt"].state, "alarm");
    EXPECT_EQ(values["lblICMoney_BatEx"].text, "失电");
    EXPECT_EQ(values["lblICMoney_BatEx"].state, "alarm");
    EXPECT_EQ(values["lblICMoney_th"].state, "normal");
}

TEST(ParamsCli, OtherTypeOnTheLineGivesResetValuesAndExit1)
{
    SimProcess sim({"--type", "6"});
    ASSERT_FALSE(sim.pty().isEmpty());
    const CliResult r = runCli({"params", "--port", sim.pty(), "--type", "7"});
    EXPECT_EQ(r.exitCode, 1);
    ASSERT_EQ(r.out.rfind("result 2\n", 0), 0u) << r.out;
    std::vector<std::string> order;
    std::map<std::string, Line> values = Values(r.out, order);
    EXPECT_EQ(values["lblICMoney_sum"].text, "0");
    EXPECT_EQ(values["lblICMoney_time"].text, "2000-01-01 00:00:00");
}

// Type 0 tries the types in the parameter window's simple-mode order: types 5 and 2
// stay silent before type 6 answers.
TEST(ParamsCli, Type0FindsTheTypeOnTheLine)
{
    SimProcess sim({"--type", "6"});
    ASSERT_FALSE(sim.pty().isEmpty());
    const CliResult r = runCli({"params", "--port", sim.pty(), "--type", "0"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(r.out.rfind("result 1\n", 0), 0u) << r.out;
    std::vector<std::string> order;
    const std::map<std::string, Line> values = Values(r.out, order);
    ASSERT_FALSE(order.empty());
    for (const std::string& name : order)
        EXPECT_EQ(name.rfind("lblCorvex_", 0), 0u) << name;
}

TEST(ParamsCli, DeviceType4HasNoReadOut)
{
    const CliResult r = runCli({"params", "--port", "/dev/null", "--type", "4"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.out.empty());
}

} // namespace
