// Decoding work per block and per run: one 199-byte block of kind 612 (five
// records) as the simulated meter answers it, and loading the protocol sheet of
// device type 5 from the shipped workbook.
#include "catalogue/catalogue.h"
#include "catalogue/device_registry.h"
#include "decoding/protocol_sheet.h"
#include "export/workbook_reader.h"
#include "protocol/request_frames.h"
#include "sim/sim_meter.h"

#include <benchmark/benchmark.h>

namespace {

// The built-in device types, built once for the whole run.
const DeviceRegistry& builtIn()
{
    static const DeviceRegistry registry = builtInRegistry();
    return registry;
}

const RecordKind& kindOf(int kindCode)
{
    return *builtIn().recordKind(kindCode);
}

Bytes kind612Reply()
{
    SimConfig config;
    config.deviceType = 6;
    config.address = 23;
    config.records = 40;
    SimMeter meter(config);
    const Bytes base = baseRequestOfKind(kindOf(612), 23);
    return meter.answer(blockRequestFrame(kindOf(612), base, 1)).value_or(Bytes{});
}

void BM_DecodeKind612Block199(benchmark::State& state)
{
    const Bytes reply = kind612Reply();
    if (reply.size() != 199) {
        state.SkipWithError("the simulated meter gave no 199-byte reply");
        return;
    }
    for (auto _ : state) {
        RecordTable table;
        benchmark::DoNotOptimize(decodeKindReply(builtIn(), 612, {}, reply, table));
        benchmark::DoNotOptimize(table.rowCount());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 199);
}
BENCHMARK(BM_DecodeKind612Block199);

const QString kShippedWorkbook = QStringLiteral(QL_SOURCE_DIR "/resources/Excel/VarnelModbus.xls");

// What the main window does when it first shows: read the first sheet of the
// workbook and describe kind 51.
void BM_LoadProtocolSheetFromWorkbook(benchmark::State& state)
{
    for (auto _ : state) {
        const WorkbookReadResult workbook = readFirstWorksheet(kShippedWorkbook);
        if (!workbook.ok()) {
            state.SkipWithError("the shipped workbook cannot be read");
            return;
        }
        const ProtocolLoadResult sheet = loadProtocolSection(0, workbook.cells.reader());
        benchmark::DoNotOptimize(sheet.sheet.fieldTypes.size());
    }
    state.SetLabel("VarnelModbus.xls, kind 51");
}
BENCHMARK(BM_LoadProtocolSheetFromWorkbook)->Unit(benchmark::kMillisecond);

// The loader alone over cells already read (the tree change to another kind).
void BM_LoadProtocolSectionFromCells(benchmark::State& state)
{
    const WorkbookReadResult workbook = readFirstWorksheet(kShippedWorkbook);
    if (!workbook.ok()) {
        state.SkipWithError("the shipped workbook cannot be read");
        return;
    }
    const CellReader reader = workbook.cells.reader();
    for (auto _ : state)
        benchmark::DoNotOptimize(loadProtocolSection(3, reader).sheet.columns.size());
}
BENCHMARK(BM_LoadProtocolSectionFromCells)->Unit(benchmark::kMicrosecond);

} // namespace
