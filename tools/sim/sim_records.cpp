#include "sim/sim_records.h"

#include "sim/sim_device_types.h"

#include "sim/sim_encode.h"
#include "sim/sim_quantity.h"

#include <algorithm>
#include <array>
#include <optional>

namespace {

// Record ordinal r counts the stored records of a kind from 0; every value below
// is a function of r only, so a reply can be predicted by a test.
double stdVolume(int r)
{
    return 10000.1234 + r * 12.3456;
}
double workVolume(int r)
{
    return 10500.5678 + r * 13.0625;
}
double stdFlow(int r)
{
    return 30.0 + (r % 7) * 1.25;
}
double workFlow(int r)
{
    return 32.0 + (r % 5) * 1.5;
}
// Runs below zero for some records, so signed encodings are exercised.
double temperature(int r)
{
    return 15.25 - (r % 13) * 2.5;
}
double pressure(int r)
{
    return 101.25 + (r % 4) * 0.5;
}

// Records are stamped from 2024-01-01 00:00:00 on, `stepSeconds` apart; step 0
// means one calendar month apart.
SimTime recordTime(int r, int stepSeconds)
{
    SimTime base;
    if (stepSeconds == 0)
        return addMonths(base, r);
    return simTimeFromSeconds(simTimeToSeconds(base) + int64_t{r} * stepSeconds);
}

constexpr int kMinute = 60;
constexpr int kHour = 3600;
constexpr int kDay = 86400;
constexpr int kMonth = 0;
// Events (alarms, starts, tampering) happen irregularly.
constexpr int kEvent = 2 * kDay + 3 * kHour + 17 * kMinute + 23;

// ---- Device types 1 and 2: function 0x66, one record per request -------------

std::optional<Bytes> answerV12(const SimConfig& config, ByteView request)
{
    if (request.size() != 9 || request[1] != 0x66 || request[2] != 0x00 || request[4] != 0x02)
        return std::nullopt;
    const uint8_t table = request[3];
    if (table < 0x64 || table > 0x67)
        return std::nullopt;
    const int block = request[5] << 8 | request[6];
    const int r = block - 1;
    const bool stored = block >= 1 && block <= config.records;
    const auto address = static_cast<uint8_t>(config.address);

    if (!stored && table != 0x64)
        // Month, start/stop and anti-cut tables answer an empty slot with the short
        // "66 80" frame instead of a record.
        return sealModbus({address, 0x66, 0x80});

    Bytes data;
    switch (table) {
    case 0x64: // real-time, 34 data bytes; an empty slot reads as zeros
        if (!stored) {
            putFill(data, 34, 0x00);
            break;
        }
        putFixed48_16(data, workVolume(r));
        putFixed48_16(data, stdVolume(r));
        putFixed23_8(data, stdFlow(r));
        putFixed23_8(data, temperature(r));
        putFixed23_8(data, pressure(r));
        putBcdTime(data, recordTime(r, 10 * kMinute));
        break;
    case 0x65: { // month: volume, then year and month
        putFixed48_16(data, stdVolume(r) * 30);
        const SimTime time = recordTime(r, kMonth);
        putBcd(data, time.year);
        putBcd(data, time.month);
        break;
    }
    case 0x66: // start/stop: volume, time, flag, one spare byte
        putFixed48_16(data, stdVolume(r));
        putBcdTime(data, recordTime(r, kEvent));
        putU8(data, r % 2 == 0 ? 0x55 : 0xAA);
        putU8(data, 0x00);
        break;
    default: // 0x67 anti-cut: time, flag, one spare byte
        putBcdTime(data, recordTime(r, kEvent));
        putU8(data, r % 3 == 2 ? 0xAA : 0x55);
        putU8(data, 0x00);
        break;
    }
    Bytes reply = {address, 0x66, static_cast<uint8_t>(data.size())};
    reply.insert(reply.end(), data.begin(), data.end());
    return sealModbus(std::move(reply));
}

// ---- Device type 3: custom frame "UU", command 0x28 0x03 ---------------------

std::optional<Bytes> answerCustom(const SimConfig& config, ByteView request)
{
    if (request.size() != 9 || request[3] != 0x28 || request[4] != 0x03)
        return std::nullopt;
    const uint8_t kind = request[5];
    if (kind > 0x02)
        return std::nullopt;
    // Record index, low byte first, counting from 0.
    const int r = request[6] | request[7] << 8;
    const bool stored = r < config.records;

    Bytes data;
    switch (kind) {
    case 0x02: // real-time: volume, flow, temperature, pressure, time
        putFloat32Exp(data, stdVolume(r));
        putFloat32Exp(data, stdFlow(r));
        putFloat32Exp(data, temperature(r));
        putFloat32Exp(data, pressure(r));
        putBcdTime(data, recordTime(r, 10 * kMinute));
        break;
    case 0x00: { // month: volume, year, month, day
        putFloat32Exp(data, stdVolume(r) * 30);
        const SimTime time = recordTime(r, kMonth);
        putBcd(data, time.year);
        putBcd(data, time.month);
        putBcd(data, time.day);
        break;
    }
    default: // 0x01 start/stop: volume, time, flag
        putFloat32Exp(data, stdVolume(r));
        putBcdTime(data, recordTime(r, kEvent));
        putU8(data, r % 2 == 0 ? 0x55 : 0xAA);
        break;
    }
    if (!stored)
        data.assign(data.size(), 0xFF);
    Bytes reply = {0x55, 0x55, static_cast<uint8_t>(config.address), 0x28,
                   0x03, kind, static_cast<uint8_t>(data.size())};
    reply.insert(reply.end(), data.begin(), data.end());
    return sealCustom(std::move(reply));
}

// ---- Device types 4, 6, 7: function 0x65 0x09, blocks of records -------------

enum class Enc { Dbl, Sgl, U32, I64, Word, Byte, Change };

enum class Role {
    StdVol,
    WorkVol,
    SubStdVol,
    StdFlow,
    WorkFlow,
    SubStdFlow,
    Temp,
    Press,
    Compress,
    StdFactor,
    WorkFactor,
    DayStd,
    DayWork,
    HourStd,
    HourWork,
    Status,
    Alarm,
    StartStop,
    Normal,
    CutFlag,
    MagFlag,
    Spare,
    VolBefore,
    VolAfter,
    FactorBefore,
    FactorAfter,
    Indicator,
    Remaining,
    UserInput,
    EmergencyInput,
    Used,
    AppType,
    ThisInput,
    TotalInput,
    Change
};

struct Field {
    Enc enc;
    Role role;
};

struct BlockLayout {
    uint8_t kindByte;
    int perBlock;
    int slotSize;
    int stepSeconds;
    std::vector<Field> fields;
};

// Parameter modification entries: the mask byte position (1..6) and bit, how the
// meter stores the before and after values in their 4 bytes.
enum class ChangeValue { Single, U32, S16, Bcd2, Hex32, DateHour };
struct ChangeEntry {
    int maskPosition;
    uint8_t maskBit;
    ChangeValue kind;
    double before;
    double after;
};

const std::vector<ChangeEntry> kChangesV20 = {
    {1, 0x01, ChangeValue::Single, 1.25, 1.5},
    {1, 0x20, ChangeValue::Single, 0.1, 0.25},
    {6, 0x02, ChangeValue::S16, 60, 55},
    {6, 0x04, ChangeValue::S16, -10, -20},
    {4, 0x10, ChangeValue::U32, 60, 30},
    {4, 0x20, ChangeValue::Bcd2, 800, 830},
    {3, 0x08, ChangeValue::Hex32, 0x12345678, 0x9ABCDEF0},
};
const std::vector<ChangeEntry> kChangesMoney = {
    {1, 0x01, ChangeValue::U32, 300, 320},
    {1, 0x20, ChangeValue::Single, 1.25, 1.5},
    {6, 0x04, ChangeValue::S16, -10, -20},
    {2, 0x01, ChangeValue::DateHour, 24010108, 24070108},
    {3, 0x40, ChangeValue::U32, 0x0001, 0x0003},
    {4, 0x20, ChangeValue::Bcd2, 800, 830},
    {3, 0x10, ChangeValue::Hex32, 0x0BADCAFE, 0x600DF00D},
};

void putChangeValue(Bytes& out, ChangeValue kind, double value)
{
    switch (kind) {
    case ChangeValue::Single:
        putSingle(out, value);
        break;
    case ChangeValue::U32:
    case ChangeValue::Hex32:
        putU32(out, static_cast<uint32_t>(value));
        break;
    case ChangeValue::S16:
        putU16(out, 0);
        putU16(out, static_cast<uint16_t>(static_cast<int16_t>(value)));
        break;
    case ChangeValue::Bcd2: { // hhmm in the last two bytes
        const int v = static_cast<int>(value);
        putU16(out, 0);
        putBcd(out, v / 100);
        putBcd(out, v % 100);
        break;
    }
    case ChangeValue::DateHour: { // YYMMDDhh
        const int v = static_cast<int>(value);
        putBcd(out, v / 1000000);
        putBcd(out, v / 10000 % 100);
        putBcd(out, v / 100 % 100);
        putBcd(out, v % 100);
        break;
    }
    }
}

double roleValue(Role role, int r)
{
    switch (role) {
    case Role::StdVol:
        return stdVolume(r);
    case Role::WorkVol:
        return workVolume(r);
    case Role::SubStdVol:
        return stdVolume(r) - 0.75;
    case Role::StdFlow:
        return stdFlow(r);
    case Role::WorkFlow:
        return workFlow(r);
    case Role::SubStdFlow:
        return stdFlow(r) - 0.5;
    case Role::Temp:
        return temperature(r);
    case Role::Press:
        return pressure(r);
    case Role::Compress:
        return 0.9981 - (r % 5) * 0.0002;
    case Role::StdFactor:
        return 0.9990;
    case Role::WorkFactor:
        return 0.9975;
    case Role::DayStd:
        return 720 + r % 50;
    case Role::DayWork:
        return 760 + r % 50;
    case Role::HourStd:
        return 30 + r % 10;
    case Role::HourWork:
        return 33 + r % 10;
    case Role::Status:
        return 0x0012;
    case Role::Alarm:
        return r % 3 == 1 ? (1 << (r % 8)) : 0;
    case Role::StartStop:
        return r % 2 == 0 ? 0x55 : 0xAA;
    case Role::Normal:
        return r % 4 == 3 ? 0xAA : 0x55;
    // Anti-cut (byte +9) and magnetic interference (byte +8) cycle through
    // cut, interference, both and neither.
    case Role::CutFlag:
        return r % 4 == 0 || r % 4 == 2 ? 0xFF : 0x00;
    case Role::MagFlag:
        return r % 4 == 1 || r % 4 == 2 ? 0xFF : 0x00;
    case Role::Spare:
        return 0;
    case Role::VolBefore:
        return stdVolume(r);
    case Role::VolAfter:
        return stdVolume(r) + 100;
    case Role::FactorBefore:
        return 1.25;
    case Role::FactorAfter:
        return 1.25 + (r % 4) * 0.25;
    case Role::Indicator:
        return 1 + r % 5;
    case Role::Remaining:
        return 50000 - r * 37;
    case Role::UserInput:
        return 100000;
    case Role::EmergencyInput:
        return 2000;
    case Role::Used:
        return 52000 + r * 37;
    case Role::AppType: {
        static const std::array<int, 7> kTypes = {0x11, 0x21, 0x31, 0x12, 0x22, 0x32, 0x41};
        return kTypes[static_cast<size_t>(r) % kTypes.size()];
    }
    case Role::ThisInput:
        return 100 + (r % 5) * 50;
    case Role::TotalInput:
        return 1000 + r * 150;
    case Role::Change:
        return 0;
    }
    return 0;
}

void putField(Bytes& out, const Field& field, int r, const std::vector<ChangeEntry>& changes)
{
    const double value = roleValue(field.role, r);
    switch (field.enc) {
    case Enc::Dbl:
        putDouble(out, value);
        break;
    case Enc::Sgl:
        putSingle(out, value);
        break;
    case Enc::U32:
        putU32(out, static_cast<uint32_t>(value));
        break;
    case Enc::I64:
        putI64(out, static_cast<int64_t>(value));
        break;
    case Enc::Word:
        putU16(out, static_cast<uint16_t>(value));
        break;
    case Enc::Byte:
        putU8(out, static_cast<uint8_t>(value));
        break;
    case Enc::Change: {
        // Every sixth record carries an empty mask, which the decoders show as a
        // row with its time stamp only.
        std::array<uint8_t, 6> mask{};
        const ChangeEntry& entry = changes[static_cast<size_t>(r) % changes.size()];
        if (r % 6 != 5)
            mask[static_cast<size_t>(entry.maskPosition - 1)] = entry.maskBit;
        out.insert(out.end(), mask.begin(), mask.end());
        putChangeValue(out, entry.kind, entry.before);
        putChangeValue(out, entry.kind, entry.after);
        break;
    }
    }
}

const std::vector<Field> kVolumes = {{Enc::Dbl, Role::StdVol}, {Enc::Dbl, Role::WorkVol}};
const std::vector<Field> kHourCounts = {{Enc::U32, Role::HourStd}, {Enc::U32, Role::HourWork}};
const std::vector<Field> kEventFields = {{Enc::Dbl, Role::StdVol},  {Enc::Dbl, Role::WorkVol},
                                         {Enc::Sgl, Role::StdFlow}, {Enc::Sgl, Role::WorkFlow},
                                         {Enc::Sgl, Role::Temp},    {Enc::Sgl, Role::Press},
                                         {Enc::Word, Role::Status}, {Enc::Word, Role::Alarm}};
const std::vector<Field> kLimitFields = {{Enc::Dbl, Role::SubStdVol}, {Enc::Dbl, Role::StdVol},
                                         {Enc::Dbl, Role::WorkVol},   {Enc::Sgl, Role::SubStdFlow},
                                         {Enc::Sgl, Role::StdFlow},   {Enc::Sgl, Role::WorkFlow},
                                         {Enc::Sgl, Role::Temp},      {Enc::Sgl, Role::Press},
                                         {Enc::Word, Role::Status},   {Enc::Word, Role::Alarm}};
const std::vector<Field> kStartStop = {
    {Enc::Dbl, Role::StdVol}, {Enc::Byte, Role::StartStop}, {Enc::Byte, Role::Spare}};
const std::vector<Field> kTamper = {{Enc::Byte, Role::Normal}, {Enc::Byte, Role::Spare}};
const std::vector<Field> kChange = {{Enc::Change, Role::Change}};
const std::vector<Field> kVolumeChange = {{Enc::Dbl, Role::VolBefore}, {Enc::Dbl, Role::VolAfter}};

const std::vector<BlockLayout> kLayoutsV14 = {
    {0x01, 5, 16, kDay, {{Enc::U32, Role::DayStd}, {Enc::U32, Role::DayWork}}},
    {0x02, 10, 16, kHour, kHourCounts},
    {0x03,
     5,
     28,
     kHour,
     {{Enc::U32, Role::HourStd},
      {Enc::U32, Role::HourWork},
      {Enc::Sgl, Role::Compress},
      {Enc::Sgl, Role::StdFactor},
      {Enc::Sgl, Role::WorkFactor}}},
    {0x04, 5, 22, kEvent, kChange},
    {0x05, 5, 44, kEvent, kEventFields},
    {0x06, 4, 56, kEvent, kLimitFields},
    {0x07, 5, 44, kEvent, kEventFields},
    {0x08, 5, 44, kEvent, kEventFields},
    {0x09, 10, 18, kEvent, kStartStop},
    {0x0A, 10, 10, kEvent, kTamper},
    {0x0B, 10, 10, kEvent, kTamper},
};

// Kinds that device types 6 and 7 share (kind bytes 0x01-0x03, 0x05-0x07, 0x09, 0x0C).
std::vector<BlockLayout> sharedLayoutsV20()
{
    return {
        {0x01, 5, 24, kDay, kVolumes},
        {0x02, 5, 16, kHour, kHourCounts},
        {0x03,
         5,
         36,
         kHour,
         {{Enc::Dbl, Role::StdVol},
          {Enc::Dbl, Role::WorkVol},
          {Enc::Sgl, Role::Compress},
          {Enc::Sgl, Role::StdFactor},
          {Enc::Sgl, Role::WorkFactor}}},
        {0x05, 4, 44, kEvent, kEventFields},
        {0x06, 4, 56, kEvent, kLimitFields},
        {0x07, 4, 44, kEvent, kEventFields},
        {0x09, 5, 18, kEvent, kStartStop},
        {0x0C, 5, 16, kMonth, {{Enc::Dbl, Role::StdVol}}},
    };
}

std::vector<BlockLayout> layoutsV20()
{
    std::vector<BlockLayout> layouts = sharedLayoutsV20();
    const std::vector<Field> flowsAndVolumes = {{Enc::Dbl, Role::WorkVol},
                                                {Enc::Dbl, Role::StdVol},
                                                {Enc::Sgl, Role::StdFlow},
                                                {Enc::Sgl, Role::WorkFlow}};
    std::vector<Field> antiCut = {{Enc::Byte, Role::MagFlag}, {Enc::Byte, Role::CutFlag}};
    antiCut.insert(antiCut.end(), flowsAndVolumes.begin(), flowsAndVolumes.end());
    std::vector<Field> antiRemoval = kTamper;
    antiRemoval.insert(antiRemoval.end(), flowsAndVolumes.begin(), flowsAndVolumes.end());
    layouts.push_back({0x04, 5, 22, kEvent, kChange});
    layouts.push_back({0x0A, 5, 34, kEvent, antiCut});
    layouts.push_back({0x0B, 5, 34, kEvent, antiRemoval});
    layouts.push_back({0x0D,
                       5,
                       36,
                       10 * kMinute,
                       {{Enc::Dbl, Role::WorkVol},
                        {Enc::Dbl, Role::StdVol},
                        {Enc::Sgl, Role::StdFlow},
                        {Enc::Sgl, Role::Temp},
                        {Enc::Sgl, Role::Press}}});
    layouts.push_back({0x0E, 5, 24, kEvent, kVolumeChange});
    layouts.push_back({0x0F, 5, 24, kEvent, kVolumeChange});
    layouts.push_back(
        {0x10,
         5,
         17,
         kEvent,
         {{Enc::Sgl, Role::FactorBefore}, {Enc::Sgl, Role::FactorAfter}, {Enc::Byte, Role::Indicator}}});
    layouts.push_back({0x11, 5, 24, kEvent, kVolumeChange});
    layouts.push_back({0x12, 5, 24, kEvent, kVolumeChange});
    return layouts;
}

std::vector<BlockLayout> layoutsMoney()
{
    std::vector<BlockLayout> layouts = sharedLayoutsV20();
    std::vector<Field> antiCut = kEventFields;
    antiCut.push_back({Enc::Byte, Role::Spare});
    antiCut.push_back({Enc::Byte, Role::Normal});
    layouts.push_back({0x04, 5, 22, kEvent, kChange});
    layouts.push_back({0x0A, 4, 46, kEvent, antiCut});
    layouts.push_back({0x0B, 5, 10, kEvent, kTamper});
    layouts.push_back({0x0D,
                       2,
                       68,
                       kHour,
                       {{Enc::Dbl, Role::WorkVol},
                        {Enc::Dbl, Role::StdVol},
                        {Enc::Sgl, Role::StdFlow},
                        {Enc::Sgl, Role::Temp},
                        {Enc::Sgl, Role::Press},
                        {Enc::I64, Role::Remaining},
                        {Enc::I64, Role::UserInput},
                        {Enc::I64, Role::EmergencyInput},
                        {Enc::I64, Role::Used}}});
    layouts.push_back({0x0E,
                       5,
                       37,
                       kEvent,
                       {{Enc::Byte, Role::AppType},
                        {Enc::U32, Role::ThisInput},
                        {Enc::I64, Role::TotalInput},
                        {Enc::I64, Role::Remaining},
                        {Enc::I64, Role::Used}}});
    return layouts;
}

const BlockLayout* findLayout(const std::vector<BlockLayout>& layouts, uint8_t kindByte)
{
    for (const BlockLayout& layout : layouts)
        if (layout.kindByte == kindByte)
            return &layout;
    return nullptr;
}

// What tells the record-range families apart: their kinds' layouts, the number
// of their first record, and the parameters their change records name.
struct RangeFamily {
    const std::vector<BlockLayout>& layouts;
    uint32_t firstRecordNumber;
    const std::vector<ChangeEntry>& changes;
};

std::optional<Bytes> answerBlock(const SimConfig& config, ByteView request, const RangeFamily& family)
{
    if (request.size() != 14 || request[1] != 0x65 || request[2] != 0x09)
        return std::nullopt;
    const std::vector<BlockLayout>& layouts = family.layouts;
    const BlockLayout* layout = findLayout(layouts, request[3]);
    if (!layout)
        return std::nullopt;
    // Record numbers are 32-bit, high word first; the meters only use the low word.
    const uint32_t first = readUInt32(request.subspan(4, 4));
    const uint32_t last = readUInt32(request.subspan(8, 4));
    // Any range of one up to a full block is served (the read-all probe asks for a
    // single record); longer ranges are not.
    if (last < first || last - first >= static_cast<uint32_t>(layout->perBlock))
        return std::nullopt;
    const int count = static_cast<int>(last - first + 1);
    const uint32_t base = family.firstRecordNumber;
    const std::vector<ChangeEntry>& changes = family.changes;

    Bytes reply = {static_cast<uint8_t>(config.address), 0x65, 0};
    // Block header (not shown by the program): sub-function, kind, the range asked
    // for, the number of records, two spare bytes.
    putU8(reply, 0x09);
    putU8(reply, layout->kindByte);
    putU32(reply, first);
    putU32(reply, last);
    putU16(reply, static_cast<uint16_t>(count));
    putU16(reply, 0);
    for (int i = 0; i < count; ++i) {
        const uint32_t number = first + static_cast<uint32_t>(i);
        const bool stored = number >= base && number - base < static_cast<uint32_t>(config.records);
        if (!stored) {
            // Erased memory: the whole slot, record number included, reads 0xFF.
            putFill(reply, static_cast<size_t>(layout->slotSize), 0xFF);
            continue;
        }
        const int r = static_cast<int>(number - base);
        Bytes slot;
        putU16(slot, static_cast<uint16_t>(number));
        putBcdTime(slot, recordTime(r, layout->stepSeconds));
        for (const Field& field : layout->fields)
            putField(slot, field, r, changes);
        slot.resize(static_cast<size_t>(layout->slotSize), 0x00);
        reply.insert(reply.end(), slot.begin(), slot.end());
    }
    reply[2] = static_cast<uint8_t>(reply.size() - 3);
    return sealModbus(std::move(reply));
}

// ---- Device type 5: register reads of the workbook's record sections ---------

int stepOfTypedKind(int kindCode)
{
    switch (kindCode) {
    case 51:
        return 10 * kMinute;
    case 52:
        return kDay;
    case 53:
        return kMonth;
    default:
        return kEvent;
    }
}

// Value of record `r` for a quantity a field's caption names, or nullopt for none.
// Usages are what the standard (working) flow gives over one record's period.
std::optional<double> recordQuantity(SimQuantity quantity, int r, int stepSeconds)
{
    const double periodHours = (stepSeconds == kMonth ? 30 * kDay : stepSeconds) / 3600.0;
    switch (quantity) {
    case SimQuantity::StdVolume:
        return stdVolume(r);
    case SimQuantity::WorkVolume:
        return workVolume(r);
    case SimQuantity::StdUsage:
        return stdFlow(r) * periodHours;
    case SimQuantity::WorkUsage:
        return workFlow(r) * periodHours;
    case SimQuantity::StdFlow:
        return stdFlow(r);
    case SimQuantity::WorkFlow:
        return workFlow(r);
    case SimQuantity::Temperature:
        return temperature(r);
    case SimQuantity::Pressure:
        return pressure(r);
    default:
        return std::nullopt;
    }
}

std::optional<Bytes> answerTyped(const SimConfig& config, ByteView request)
{
    if (request.size() != 8 || request[1] != 0x03)
        return std::nullopt;
    const int start = request[2] << 8 | request[3];
    const int count = request[4] << 8 | request[5];
    for (const SimTypedSection& section : config.typedSections) {
        if (section.registerCount <= 0 || count != section.registerCount || start < section.startRegister ||
            (start - section.startRegister) % count != 0)
            continue;
        const int block = (start - section.startRegister) / count + 1;
        if (section.blocks > 0 && block > section.blocks)
            continue;
        // A register block never exceeds what one byte count can say.
        if (2 * count > 255)
            return std::nullopt;
        const int ordinal = block - 1;
        Bytes data = ordinal < config.records ? typedRecordData(section, ordinal)
                                              : Bytes(static_cast<size_t>(2 * count), 0x00);
        Bytes reply = {static_cast<uint8_t>(config.address), 0x03, static_cast<uint8_t>(data.size())};
        reply.insert(reply.end(), data.begin(), data.end());
        return sealModbus(std::move(reply));
    }
    return std::nullopt;
}

} // namespace

Bytes typedRecordData(const SimTypedSection& section, int ordinal)
{
    Bytes data;
    size_t index = 0;
    for (const std::string& type : section.fieldTypes) {
        const std::string caption = index < section.fieldCaptions.size() ? section.fieldCaptions[index] : "";
        const std::optional<double> named =
            recordQuantity(quantityOfCaption(caption), ordinal, stepOfTypedKind(section.kindCode));
        if (type == "DT2") {
            putBcdTime(data, recordTime(ordinal, stepOfTypedKind(section.kindCode)));
        } else if (type == "DBL") {
            putDouble(data, named.value_or(index % 2 ? workVolume(ordinal) : stdVolume(ordinal)));
        } else if (type == "FLT") {
            // Fields without a caption that names a quantity cycle through these.
            static const std::array<double (*)(int), 4> kQuantities = {stdFlow, workFlow, temperature,
                                                                       pressure};
            putSingle(data, named.value_or(kQuantities[index % kQuantities.size()](ordinal)));
        } else if (type == "LNG") {
            putU32(data, static_cast<uint32_t>(1000 + ordinal * 7));
        } else if (type == "BYTE" || type == "BIT") {
            putU16(data, static_cast<uint16_t>(ordinal % 2));
        } else if (type == "S8") {
            putU32(data, 0x00001A2Bu + static_cast<uint32_t>(ordinal));
        }
        ++index;
    }
    const size_t size = static_cast<size_t>(2 * std::max(section.registerCount, 0));
    data.resize(size, 0x00);
    // A stored record must not read as the all-zero "no more records" answer.
    if (size > 0 && allBytesEqual(data, 0x00))
        data.back() = 0x01;
    return data;
}

std::optional<Bytes> answerRecordsByIndex(const SimConfig& config, ByteView request)
{
    return answerV12(config, request);
}

std::optional<Bytes> answerRecordsCustom(const SimConfig& config, ByteView request)
{
    return answerCustom(config, request);
}

// Device type 4 numbers its records from 1, types 6 and 7 from 0.
std::optional<Bytes> answerRecordRangeV14(const SimConfig& config, ByteView request)
{
    return answerBlock(config, request, {kLayoutsV14, 1, kChangesV20});
}

std::optional<Bytes> answerRecordRangeV20(const SimConfig& config, ByteView request)
{
    static const std::vector<BlockLayout> kLayouts = layoutsV20();
    return answerBlock(config, request, {kLayouts, 0, kChangesV20});
}

std::optional<Bytes> answerRecordRangeMoney(const SimConfig& config, ByteView request)
{
    static const std::vector<BlockLayout> kLayouts = layoutsMoney();
    return answerBlock(config, request, {kLayouts, 0, kChangesMoney});
}

std::optional<Bytes> answerRegisterRecords(const SimConfig& config, ByteView request)
{
    return answerTyped(config, request);
}

std::optional<Bytes> answerRecordRequest(const SimConfig& config, ByteView request)
{
    const SimDeviceType* type = findSimDeviceType(config.deviceType);
    return type ? type->answerRecords(config, request) : std::nullopt;
}
