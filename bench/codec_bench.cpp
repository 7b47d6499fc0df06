// Timings of the codec work done for every frame: the CRC of a request or reply and
// the hex text of the log line.
#include "codec/codec.h"

#include <benchmark/benchmark.h>

namespace {

Bytes patternBytes(size_t count)
{
    Bytes bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(i * 31 + 7);
    return bytes;
}

// 256 bytes with count 255: the longest stretch the 8-bit count covers in one call.
void BM_Crc16Frame256(benchmark::State& state)
{
    const Bytes frame = patternBytes(256);
    for (auto _ : state)
        benchmark::DoNotOptimize(crc16(frame, 255));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 255);
}
BENCHMARK(BM_Crc16Frame256);

void BM_Crc16FullFrame256(benchmark::State& state)
{
    const Bytes frame = patternBytes(256);
    for (auto _ : state)
        benchmark::DoNotOptimize(crc16Full(frame));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 256);
}
BENCHMARK(BM_Crc16FullFrame256);

// 500 bytes is the longest reply the collector accepts.
void BM_BytesToHexSpacedReply500(benchmark::State& state)
{
    const Bytes reply = patternBytes(500);
    for (auto _ : state)
        benchmark::DoNotOptimize(bytesToHexSpaced(reply));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 500);
}
BENCHMARK(BM_BytesToHexSpacedReply500);

} // namespace
