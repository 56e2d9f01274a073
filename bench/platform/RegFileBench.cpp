// Parsing registry files: one value continued over many lines (a large binary value as the
// registry editor writes it, 25 bytes a line), which must cost time in proportion to its length.
#include "platform/registry/RegFile.h"

#include <benchmark/benchmark.h>

namespace {

void BM_ParseContinuedValue(benchmark::State& state) {
    const auto lines = static_cast<std::size_t>(state.range(0));
    std::string file = "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Big]\r\n\"v\"=hex:01,\\\r\n";
    for (std::size_t i = 0; i < lines; ++i) {
        file +=
            "  02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,18,19,1a,\\\r\n";
    }
    file += "  ff\r\n";
    for (auto _ : state) {
        std::vector<registry::RegFileKey> keys;
        registry::RegFileError error;
        if (!registry::ParseRegFile(file, &keys, &error)) {
            state.SkipWithError(error.Text().c_str());
            break;
        }
        benchmark::DoNotOptimize(keys);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(file.size()));
}
BENCHMARK(BM_ParseContinuedValue)
    ->ArgName("lines")
    ->Arg(20000)
    ->Arg(320000)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
