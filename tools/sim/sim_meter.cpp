#include "sim/sim_meter.h"

#include "modbus/modbus_framing.h"
#include "sim/sim_device_types.h"
#include "sim/sim_encode.h"
#include "sim/sim_identify.h"
#include "sim/sim_params.h"
#include "sim/sim_records.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace {

// Fault names without a number, and those that take one after "=".
const std::array<const char*, 10> kPlainFaults = {
    "silence",       "bad-crc",       "wrong-length", "split",    "garbage-before",
    "garbage-after", "other-address", "endless",      "oversize", "alarm"};
const std::array<const char*, 3> kNumberFaults = {"split", "close-after", "slow"};

// Replies just over the limit a reply collection accepts.
constexpr size_t kOversizeLength = 501;

std::string faultBase(const std::string& fault)
{
    return fault.substr(0, fault.find('='));
}

bool parseNumber(const std::string& text, int& number)
{
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    number = std::atoi(text.c_str());
    return true;
}

bool isCustomFrame(ByteView frame)
{
    return frame.size() >= 2 && frame[0] == 0x55 && frame[1] == 0x55;
}

Bytes reseal(Bytes frame, bool custom)
{
    const size_t checkBytes = custom ? 1 : 2;
    if (frame.size() < checkBytes)
        return frame;
    // erase, not resize: GCC 12 under ASan flags a shrinking resize as an overflow.
    frame.erase(frame.end() - static_cast<std::ptrdiff_t>(checkBytes), frame.end());
    return custom ? sealCustom(std::move(frame)) : sealModbus(std::move(frame));
}

} // namespace

std::string checkFaultNames(const std::vector<std::string>& faults)
{
    for (const std::string& fault : faults) {
        const std::string base = faultBase(fault);
        if (fault == "slow" ||
            std::find(kPlainFaults.begin(), kPlainFaults.end(), fault) != kPlainFaults.end())
            continue;
        const bool takesNumber =
            std::find(kNumberFaults.begin(), kNumberFaults.end(), base) != kNumberFaults.end();
        int number = 0;
        if (!takesNumber)
            return "unknown fault: " + fault;
        if (fault.size() == base.size() || !parseNumber(fault.substr(base.size() + 1), number))
            return "fault " + base + " needs a number: " + base + "=N";
    }
    return {};
}

bool hasFault(const SimConfig& config, const std::string& name)
{
    return std::any_of(config.faults.begin(), config.faults.end(),
                       [&](const std::string& fault) { return faultBase(fault) == name; });
}

int faultNumber(const SimConfig& config, const std::string& name, int fallback)
{
    for (const std::string& fault : config.faults) {
        int number = 0;
        if (faultBase(fault) == name && fault.size() > name.size() &&
            parseNumber(fault.substr(name.size() + 1), number))
            return number;
    }
    return fallback;
}

int64_t byteTimeUs(const SimConfig& config)
{
    const int baud = config.baud > 0 ? config.baud : 9600;
    return 11'000'000 / baud;
}

std::vector<SimPiece> scheduleReply(const SimConfig& config, const Bytes& reply)
{
    std::vector<SimPiece> pieces;
    if (reply.empty())
        return pieces;
    const int delayMs =
        hasFault(config, "slow") ? faultNumber(config, "slow", config.slowDelayMs) : config.replyDelayMs;
    const int64_t delayUs = int64_t{std::max(delayMs, 0)} * 1000;
    const bool split = hasFault(config, "split");
    const size_t pieceCount =
        split ? std::clamp<size_t>(static_cast<size_t>(std::max(config.splitPieces, 1)), 1, reply.size()) : 1;
    const int64_t gapUs = int64_t{faultNumber(config, "split", config.splitGapMs)} * 1000;
    const int64_t byteUs = config.lineRate ? byteTimeUs(config) : 0;
    for (size_t i = 0; i < reply.size(); ++i) {
        const size_t pieceIndex = i * pieceCount / reply.size();
        const int64_t at =
            delayUs + static_cast<int64_t>(i + 1) * byteUs + static_cast<int64_t>(pieceIndex) * gapUs;
        if (pieces.empty() || pieces.back().atUs != at)
            pieces.push_back({at, {}});
        pieces.back().bytes.push_back(reply[i]);
    }
    return pieces;
}

std::optional<size_t> knownRequestLength(ByteView bytes)
{
    if (bytes.size() < 2)
        return std::nullopt;
    if (isCustomFrame(bytes)) {
        if (bytes.size() < 4)
            return std::nullopt;
        if (bytes[3] == 0x28)
            return 9;
        if (bytes[3] == 0x02)
            return 6;
        return std::nullopt;
    }
    switch (bytes[1]) {
    case 0x03:
        return 8;
    case 0x65:
        return 14;
    case 0x66:
        return 9;
    default:
        // The general register map's functions frame by their own lengths.
        return ModbusFraming::rtu().requestLength(bytes);
    }
}

SimMeter::SimMeter(SimConfig config) : m_config(std::move(config)) {}

std::optional<Bytes> SimMeter::answer(ByteView request)
{
    const auto address = static_cast<uint8_t>(m_config.address);
    const SimDeviceType* type = findSimDeviceType(m_config.deviceType);
    if (!type || request.size() < 4 || !type->dialect->checks(request) ||
        request[type->dialect->addressOffset()] != address)
        return std::nullopt;
    if (auto reply = answerRecordRequest(m_config, request))
        return reply;
    if (auto reply = answerParameterRead(m_config, m_live, request))
        return reply;
    return answerProbe(m_config, m_live, request);
}

std::optional<Bytes> SimMeter::respond(ByteView request)
{
    if (hasFault(m_config, "silence"))
        return std::nullopt;
    std::optional<Bytes> reply = answer(request);
    if (!reply)
        return std::nullopt;
    return applyFaults(std::move(*reply));
}

Bytes SimMeter::applyFaults(Bytes reply) const
{
    const bool custom = isCustomFrame(reply);
    if (hasFault(m_config, "other-address") && reply.size() > 2) {
        // The reply of the next meter on the bus, check bytes intact.
        uint8_t& address = reply[custom ? 2 : 0];
        address = static_cast<uint8_t>(address % 247 + 1);
        reply = reseal(std::move(reply), custom);
    }
    if (hasFault(m_config, "wrong-length") && reply.size() > 3) {
        // One data byte lost, check bytes recomputed: only the length betrays it.
        reply.erase(reply.end() - (custom ? 2 : 3));
        reply = reseal(std::move(reply), custom);
    }
    if (hasFault(m_config, "bad-crc") && !reply.empty())
        reply.back() ^= 0xFF;
    if (hasFault(m_config, "garbage-before"))
        reply.insert(reply.begin(), {0x00, 0xFF, 0x7E});
    if (hasFault(m_config, "garbage-after"))
        reply.insert(reply.end(), {0xFF, 0x00, 0x7E});
    if (hasFault(m_config, "oversize") && reply.size() < kOversizeLength)
        reply.resize(kOversizeLength, 0xEE);
    return reply;
}
