#include "protocol/meter_identification.h"

#include "catalogue/catalogue.h"
#include "log/log_model.h"
#include "protocol/exchange.h"
#include "protocol/waiter.h"

#include <functional>
#include <string>

namespace {

constexpr int kProbeAttempts = 3;

// Modbus read of holding registers (function 3), sealed with the CRC.
Bytes RegisterRead(int address, uint16_t firstRegister, uint16_t registerCount)
{
    return AppendCrc(ReadRegistersRequest(static_cast<uint8_t>(address), firstRegister, registerCount));
}

// A reply of exactly `length` bytes whose last two bytes are its CRC.
bool IsValidReply(const Bytes& reply, size_t length)
{
    return CheckModbusReply(reply, length) == FrameCheck::Ok;
}

// The custom frame of device type 3: "UU" header, and a last byte that is the
// 8-bit sum of the bytes from the third to the last but one.
bool IsValidCustomReply(const Bytes& reply)
{
    if (reply.size() < 4 || reply[0] != 0x55 || reply[1] != 0x55)
        return false;
    const ByteView summed(reply.data() + 2, reply.size() - 3);
    return reply.back() == ByteSum8(summed);
}

struct Probe {
    const char* logLine;
    Bytes request;
    int pauseMs;
    std::function<bool(const Bytes&)> succeeded;
    size_t longest; // the longest reply that can succeed: bounds the wait for it
    // Extra exchange after a good first reply (step 2 of IdentifyMeter); the
    // attempt fails when it returns false.
    std::function<bool()> confirm;
    int deviceType;
};

// Runs the probes in order; each gets its log line, then up to three
// attempts of send, pause, collect.
int RunProbes(Exchange& exchange, const std::vector<Probe>& probes,
              const std::function<bool()>& cancelled = {})
{
    for (const Probe& probe : probes) {
        if (cancelled && cancelled())
            return 0;
        exchange.Log().AppendLine(probe.logLine);
        exchange.Wait().ProcessEvents();
        for (int attempt = 0; attempt < kProbeAttempts; ++attempt) {
            if (cancelled && cancelled())
                return 0;
            exchange.SendFrame(probe.request);
            exchange.Wait().Sleep(probe.pauseMs);
            const Bytes reply = exchange.CollectReply(probe.longest);
            if (!probe.succeeded(reply))
                continue;
            if (probe.confirm && !probe.confirm())
                continue;
            return probe.deviceType;
        }
    }
    return 0;
}

} // namespace

int IdentifyMeter(Exchange& exchange, int address, const std::function<bool()>& cancelled)
{
    const uint8_t a = static_cast<uint8_t>(address);
    const uint8_t customFrame[] = {0x55, 0x55, a, 0x02, 0x00, static_cast<uint8_t>(a + 0x02)};

    // Step 2 tells a V1.3 meter from a V1.2 one by a second window that only
    // V1.3 has: 27 registers from 0x0106, after a long pause the meter needs.
    const Bytes followUp = RegisterRead(address, 0x0106, 0x1B);
    auto confirmV13 = [&exchange, &followUp] {
        exchange.Wait().Sleep(1700);
        exchange.SendFrame(followUp);
        exchange.Wait().Sleep(300);
        return IsValidReply(exchange.CollectReply(59), 59);
    };

    // Expected lengths are 5 bytes of frame overhead plus 2 per register.
    const std::vector<Probe> probes = {
        {"=================Quosta电子气体体积修正仪=================", RegisterRead(address, 0x0FA1, 0x26),
         300, [](const Bytes& r) { return IsValidReply(r, 81); }, 81, nullptr, 5},
        {"=================IC卡燃气流量计(ModBus V1.3)=================", RegisterRead(address, 0x0000, 0x10),
         300, [](const Bytes& r) { return IsValidReply(r, 37); }, 37, confirmV13, 2},
        {"=================智能体积修正仪(ModBus V1.2)=================", RegisterRead(address, 0x0000, 0x10),
         300, [](const Bytes& r) { return IsValidReply(r, 37); }, 37, nullptr, 1},
        {"=================Tamber智能流量计(自定义协议)=================",
         Bytes(std::begin(customFrame), std::end(customFrame)), 400,
         [](const Bytes& r) { return (r.size() == 30 || r.size() == 28) && IsValidCustomReply(r); }, 30,
         nullptr, 3},
        {"=================Corvex智能体积修正仪=================", RegisterRead(address, 0x000A, 0x19), 300,
         [](const Bytes& r) { return IsValidReply(r, 55); }, 55, nullptr, 6},
        {"=================金额版IC卡燃气流量计=================", RegisterRead(address, 0x000A, 0x15), 300,
         [](const Bytes& r) { return IsValidReply(r, 47); }, 47, nullptr, 7},
    };
    return RunProbes(exchange, probes, cancelled);
}

int IdentifyRecordReader(Exchange& exchange, int address)
{
    const uint8_t a = static_cast<uint8_t>(address);
    const uint8_t realtimeV12[] = {a, 0x66, 0x00, 0x64, 0x02, 0x00, 0x01};
    const uint8_t dailyV14[] = {a, 0x65, 0x09, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01};
    Bytes custom = {0x55, 0x55, a, 0x28, 0x03, 0x02, 0x00, 0x01};
    custom.push_back(ByteSum8(ByteView(custom).subspan(2, 6)));

    const std::vector<Probe> probes = {
        {"===============智能体积修正仪实时记录(ModBus协议)===============", AppendCrc(realtimeV12), 200,
         [](const Bytes& r) { return IsValidReply(r, 39); }, 39, nullptr, 1},
        {"===============智能体积修正仪(北京燃总协议)===============", AppendCrc(dailyV14), 200,
         [](const Bytes& r) { return IsValidReply(r, 35); }, 35, nullptr, 4},
        {"===============Tamber智能流量计(自定义协议)===============", custom, 200,
         [](const Bytes& r) { return r.size() == 30 && IsValidCustomReply(r); }, 30, nullptr, 3},
    };
    return RunProbes(exchange, probes);
}

RecordMenuChoice ResolveRecordMenu(Exchange& exchange, const RecordMenuItem& item, int address)
{
    RecordMenuChoice choice;
    choice.deviceType = IdentifyMeter(exchange, address);
    const RecordMenuResolution resolution = ResolveRecordMenuItem(item, choice.deviceType);
    choice.kindCode = resolution.kindCode;
    choice.message = resolution.message;
    return choice;
}
