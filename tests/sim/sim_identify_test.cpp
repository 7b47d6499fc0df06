// Identification against the simulated meter: each device type answers only its own
// probes, so the program's identification finds exactly that type.
#include "codec/codec.h"
#include "log/log_model.h"
#include "protocol/exchange.h"
#include "protocol/meter_identification.h"
#include "protocol/waiter.h"
#include "sim/sim_link.h"
#include "support/built_in_registry.h"
#include "support/hex.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr int kAddress = 23;

SimConfig configOf(int deviceType)
{
    SimConfig config;
    config.deviceType = deviceType;
    config.address = kAddress;
    return config;
}

struct IdentifyCase {
    const char* name;
    int deviceType;
    int identified;       // IdentifyMeter
    int readerIdentified; // IdentifyRecordReader (the read-all probes)
};

class Identification : public testing::TestWithParam<IdentifyCase> {
protected:
    VirtualClock m_clock;
    LogModel m_log;
};

TEST_P(Identification, FindsTheSimulatedType)
{
    SimLink link(SimMeter(configOf(GetParam().deviceType)), m_clock);
    Exchange exchange(link, m_log, m_clock);
    EXPECT_EQ(identifyMeter(builtIn(), exchange, kAddress), GetParam().identified);
}

TEST_P(Identification, ReadAllProbesFindTheOlderTypes)
{
    SimLink link(SimMeter(configOf(GetParam().deviceType)), m_clock);
    Exchange exchange(link, m_log, m_clock);
    EXPECT_EQ(identifyRecordReader(builtIn(), exchange, kAddress), GetParam().readerIdentified);
}

TEST_P(Identification, MeterAtAnotherAddressIsNotFound)
{
    SimConfig config = configOf(GetParam().deviceType);
    config.address = kAddress + 1;
    SimLink link{SimMeter(config), m_clock};
    Exchange exchange(link, m_log, m_clock);
    EXPECT_EQ(identifyMeter(builtIn(), exchange, kAddress), 0);
    EXPECT_EQ(std::count_if(m_log.lines().begin(), m_log.lines().end(),
                            [](const std::string& line) { return line.rfind(kReceivedPrefix, 0) == 0; }),
              0);
}

INSTANTIATE_TEST_SUITE_P(DeviceTypes, Identification,
                         // Type 2 answers the record requests of type 1 (same frames), so the read-all
                         // probes take it for type 1; type 4 is never produced by the menu's probes.
                         testing::Values(IdentifyCase{"Type1", 1, 1, 1}, IdentifyCase{"Type2", 2, 2, 1},
                                         IdentifyCase{"Type3", 3, 3, 3}, IdentifyCase{"Type4", 4, 0, 4},
                                         IdentifyCase{"Type5", 5, 5, 0}, IdentifyCase{"Type6", 6, 6, 0},
                                         IdentifyCase{"Type7", 7, 7, 0}),
                         [](const testing::TestParamInfo<IdentifyCase>& info) { return info.param.name; });

TEST(IdentificationLog, TypeFiveIsFoundByTheFirstProbeAlone)
{
    VirtualClock clock;
    LogModel log;
    SimLink link(SimMeter(configOf(5)), clock);
    Exchange exchange(link, log, clock);
    ASSERT_EQ(identifyMeter(builtIn(), exchange, kAddress), 5);
    EXPECT_EQ(link.requests().size(), 1u);
}

// Which probe each device type answers, and with how many bytes (0: silence).
struct ProbeCase {
    const char* name;
    const char* request; // hex without check bytes; "UU" frames carry their sum
    bool custom;
    std::array<int, 8> lengthByType; // index = device type, 0 unused
};

class ProbeAnswers : public testing::TestWithParam<ProbeCase> {};

TEST_P(ProbeAnswers, OnlyTheOwningTypesAnswer)
{
    const ProbeCase& c = GetParam();
    const Bytes request = c.custom ? hexBytes(c.request) : appendCrc(hexBytes(c.request));
    for (int type = 1; type <= 7; ++type) {
        SimMeter meter(configOf(type));
        const std::optional<Bytes> reply = meter.respond(request);
        SCOPED_TRACE("device type " + std::to_string(type));
        EXPECT_EQ(reply ? static_cast<int>(reply->size()) : 0, c.lengthByType[static_cast<size_t>(type)]);
        if (reply && !c.custom) {
            EXPECT_TRUE(checkCrcFull(*reply));
            EXPECT_EQ((*reply)[2] + 5u, reply->size());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Probes, ProbeAnswers,
    testing::Values(
        ProbeCase{"TypedParameterBlock", "17 03 0F A1 00 26", false, {0, 0, 0, 0, 0, 81, 0, 0}},
        ProbeCase{"LiveRegisters", "17 03 00 00 00 10", false, {0, 37, 37, 0, 0, 0, 0, 0}},
        ProbeCase{"CardParameters", "17 03 01 06 00 1B", false, {0, 0, 59, 0, 0, 0, 0, 0}},
        ProbeCase{"V12Parameters", "17 03 00 00 00 13", false, {0, 43, 0, 0, 0, 0, 0, 0}},
        // 55 55 17 02 00, sum 0x19.
        ProbeCase{"CustomStatus", "55 55 17 02 00 19", true, {0, 0, 0, 30, 0, 0, 0, 0}},
        ProbeCase{"CorvexLive", "17 03 00 0A 00 19", false, {0, 0, 0, 0, 0, 0, 55, 0}},
        ProbeCase{"MoneyLive", "17 03 00 0A 00 15", false, {0, 0, 0, 0, 0, 0, 0, 47}},
        ProbeCase{"ReadAllRealtimeV12", "17 66 00 64 02 00 01", false, {0, 39, 39, 0, 0, 0, 0, 0}},
        // One daily record of the range dialect: 35 bytes only from type 4.
        ProbeCase{
            "ReadAllDailyV14", "17 65 09 01 00 00 00 01 00 00 00 01", false, {0, 0, 0, 0, 35, 0, 43, 43}}),
    [](const testing::TestParamInfo<ProbeCase>& info) { return info.param.name; });

TEST(CustomStatus, ShortFormCarriesA32BitVolume)
{
    SimConfig config = configOf(3);
    config.customStatusLength = 28;
    const std::optional<Bytes> reply = SimMeter(config).respond(hexBytes("55 55 17 02 00 19"));
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->size(), 28u);
    EXPECT_EQ(byteSum8(ByteView(*reply).subspan(2, 25)), reply->back());
    EXPECT_NEAR(readFloat32Exp(ByteView(*reply).subspan(23, 4)), SimLiveValues{}.stdVolume, 0.01);
}

TEST(CustomStatus, BadSumInTheRequestGetsSilence)
{
    EXPECT_FALSE(SimMeter(configOf(3)).respond(hexBytes("55 55 17 02 00 18")));
}

} // namespace
