#include "sim/sim_encode.h"

#include <bit>
#include <cmath>
#include <cstring>

void putU8(Bytes& out, uint8_t value)
{
    out.push_back(value);
}

void putU16(Bytes& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

void putU32(Bytes& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

void putI64(Bytes& out, int64_t value)
{
    const auto bits = static_cast<uint64_t>(value);
    for (int shift = 56; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(bits >> shift));
}

void putDouble(Bytes& out, double value)
{
    const auto bits = std::bit_cast<uint64_t>(value);
    for (int shift = 56; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(bits >> shift));
}

void putSingle(Bytes& out, double value)
{
    putU32(out, std::bit_cast<uint32_t>(static_cast<float>(value)));
}

void putFixed48_16(Bytes& out, double value)
{
    if (!(value > 0))
        value = 0;
    const auto scaled = static_cast<uint64_t>(std::llround(value * 65536.0));
    for (int shift = 56; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(scaled >> shift));
}

void putFixed23_8(Bytes& out, double value)
{
    const bool negative = value < 0;
    const auto magnitude = static_cast<uint32_t>(std::llround(std::fabs(value) * 256.0)) & 0x7FFFFFFFu;
    putU32(out, magnitude | (negative ? 0x80000000u : 0u));
}

void putFixed7_24(Bytes& out, double value)
{
    const bool negative = value < 0;
    const auto magnitude = static_cast<uint32_t>(std::llround(std::fabs(value) * 16777216.0)) & 0x7FFFFFFFu;
    putU32(out, magnitude | (negative ? 0x80000000u : 0u));
}

void putFloat32Exp(Bytes& out, double value)
{
    if (value == 0 || !std::isfinite(value)) {
        putU32(out, 0);
        return;
    }
    int exponent = 0;
    const double fraction = std::frexp(std::fabs(value), &exponent);
    auto mantissa = static_cast<uint32_t>(std::llround(fraction * 8388608.0));
    if (mantissa >= 0x800000u) {
        mantissa >>= 1;
        ++exponent;
    }
    out.push_back(static_cast<uint8_t>(static_cast<int8_t>(exponent)));
    out.push_back(static_cast<uint8_t>((mantissa >> 16) | (value < 0 ? 0x80 : 0)));
    out.push_back(static_cast<uint8_t>(mantissa >> 8));
    out.push_back(static_cast<uint8_t>(mantissa));
}

void putFloat48Exp(Bytes& out, double value)
{
    if (!(value > 0) || !std::isfinite(value)) {
        putFill(out, 6, 0);
        return;
    }
    int exponent = 0;
    const double fraction = std::frexp(value, &exponent);
    auto mantissa = static_cast<uint64_t>(std::llround(fraction * 1099511627776.0));
    if (mantissa >= (uint64_t{1} << 40)) {
        mantissa >>= 1;
        ++exponent;
    }
    // value = M × 2^(E − 39) with M = fraction × 2^40, so E is one less than frexp's.
    --exponent;
    out.push_back(static_cast<uint8_t>(static_cast<int8_t>(exponent)));
    for (int shift = 32; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(mantissa >> shift));
}

uint8_t toBcd(int value)
{
    value %= 100;
    if (value < 0)
        value = -value;
    return static_cast<uint8_t>((value / 10) << 4 | (value % 10));
}

void putBcd(Bytes& out, int value)
{
    out.push_back(toBcd(value));
}

void putFill(Bytes& out, size_t count, uint8_t value)
{
    out.insert(out.end(), count, value);
}

namespace {

// Proleptic Gregorian day counts (H. Hinnant's civil calendar algorithms), so
// record times never depend on the host's time zone.
int64_t daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, int& y, int& m, int& d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

const int64_t kEpoch2000 = daysFromCivil(2000, 1, 1);

} // namespace

SimTime simTimeFromSeconds(int64_t secondsSince2000)
{
    int64_t days = secondsSince2000 / 86400;
    int64_t rest = secondsSince2000 % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    SimTime time;
    civilFromDays(days + kEpoch2000, time.year, time.month, time.day);
    time.hour = static_cast<int>(rest / 3600);
    time.minute = static_cast<int>(rest / 60 % 60);
    time.second = static_cast<int>(rest % 60);
    return time;
}

int64_t simTimeToSeconds(const SimTime& time)
{
    return (daysFromCivil(time.year, time.month, time.day) - kEpoch2000) * 86400 + time.hour * 3600 +
           time.minute * 60 + time.second;
}

SimTime addMonths(SimTime time, int months)
{
    const int index = time.year * 12 + (time.month - 1) + months;
    time.year = index / 12;
    time.month = index % 12 + 1;
    return time;
}

void putBcdTime(Bytes& out, const SimTime& time)
{
    putBcd(out, time.year);
    putBcd(out, time.month);
    putBcd(out, time.day);
    putBcd(out, time.hour);
    putBcd(out, time.minute);
    putBcd(out, time.second);
}

Bytes sealModbus(Bytes frame)
{
    const uint16_t crc = crc16Full(frame);
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    frame.push_back(static_cast<uint8_t>(crc));
    return frame;
}

Bytes sealCustom(Bytes frame)
{
    const uint8_t sum = frame.size() > 2 ? byteSum8(ByteView(frame).subspan(2)) : 0;
    frame.push_back(sum);
    return frame;
}
