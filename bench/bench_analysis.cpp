// Picking the sample under the pointer among the 50000 samples of a page:
// both eyes of every sample projected with a frame's matrices.
#include "bench_input.h"

#include "analysis/analysis.h"
#include "recording/recording.h"

#include <benchmark/benchmark.h>

#include <cmath>

static void pickAmong50000(benchmark::State& state) {
    const std::string path = benchRecording(50000);
    loadRecording(path.c_str(), recording);
    // gluPerspective(65, 1, 1, 200) and the plot 30 units away.
    PlotProjection frame = {};
    const double f = 1 / std::tan(32.5 * 3.14159265358979 / 180);
    frame.projection[0] = frame.projection[5] = f;
    frame.projection[10] = -201.0 / 199;
    frame.projection[11] = -1;
    frame.projection[14] = -400.0 / 199;
    frame.modelview[0] = frame.modelview[5] = frame.modelview[10] = frame.modelview[15] = 1;
    frame.modelview[14] = -30;
    frame.viewport[2] = frame.viewport[3] = 300;
    const ShownSamples shown = {&recording, 0, recording.rowCount, true, true, false, 1};
    int row = 0;
    for (auto _ : state) {
        row = nearestSample(shown, frame, 151, 148, 10);
        benchmark::DoNotOptimize(row);
    }
    state.counters["rows"] = recording.rowCount;
}
BENCHMARK(pickAmong50000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
