// Cutting the child's output into lines, fed in the reader's 64 KiB chunks.
#include <benchmark/benchmark.h>

#include <string>

#include "model/line_splitter.h"

namespace {

constexpr std::size_t chunkSize = 64 * 1024;

void framing(benchmark::State& state) {
    const auto lineSize = static_cast<std::size_t>(state.range(0));
    std::string line(lineSize - 1, 'x');
    line += '\n';
    std::string stream;
    while (stream.size() < 16 * 1024 * 1024) stream += line;
    const std::string_view bytes(stream);

    std::size_t lines = 0;
    for (auto _ : state) {
        tallyvane::LineSplitter splitter;
        for (std::size_t at = 0; at < bytes.size(); at += chunkSize) {
            splitter.append(bytes.substr(at, chunkSize), [&](std::string_view l) {
                benchmark::DoNotOptimize(l.data());
                ++lines;
            });
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
}
BENCHMARK(framing)->ArgName("lineBytes")->Arg(200)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
