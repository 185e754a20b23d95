// Reading a 50000-row decimal-comma recording: the program's reader against
// the same rules written literally with fgets/strtok/atof.
#include "../tests/literal_reader.h"
#include "bench_input.h"

#include "recording/recording.h"

#include <benchmark/benchmark.h>

#include <clocale>

static RecordingTable table;

static void readerProgram(benchmark::State& state) {
    std::string path = benchRecording(50000);
    for (auto _ : state) {
        loadRecording(path.c_str(), table);
        benchmark::DoNotOptimize(table.rowCount);
    }
    state.counters["rows"] = table.rowCount;
}
BENCHMARK(readerProgram)->Unit(benchmark::kMillisecond);

// Arg 1: plain atof; arg 0: atof kept to decimal notation, as the program reads.
static void readerLiteral(benchmark::State& state) {
    setlocale(LC_ALL, "C");
    std::string path = benchRecording(50000);
    for (auto _ : state) {
        loadRecordingLiterally(path.c_str(), table, state.range(0) != 0);
        benchmark::DoNotOptimize(table.rowCount);
    }
    state.counters["rows"] = table.rowCount;
}
BENCHMARK(readerLiteral)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
