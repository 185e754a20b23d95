// Reading a 50000-row decimal-comma recording: the program's reader against
// the same rules written literally with fgets/strtok/atof; and a page of a
// 300000-sample recording.
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

// One page of a 300000-sample file: the table filled from the page's start,
// the rest of the file counted (a page is read whole each time).
static void readerPage(benchmark::State& state) {
    std::string path = benchRecording(300000);
    RecordingSelection selection = WHOLE_RECORDING;
    selection.firstSample = state.range(0);
    RecordingExtent extent;
    for (auto _ : state) {
        loadRecording(path.c_str(), table, selection, &extent);
        benchmark::DoNotOptimize(table.rowCount);
    }
    state.counters["rows"] = table.rowCount;
    state.counters["samples"] = static_cast<double>(extent.selectedSamples);
}
BENCHMARK(readerPage)->Arg(0)->Arg(150000)->Arg(250000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
