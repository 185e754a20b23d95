// Picking the sample under the pointer among the 50000 samples of a page:
// both eyes of every sample projected with a frame's matrices; the time
// plot's traces of such a page; the report's analysis of one.
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

// The time plot's six traces (two eyes, three strips) reduced to the
// panel's pixel columns: what a new page or a new width costs.
static void timePlotTraces50000(benchmark::State& state) {
    const std::string path = benchRecording(50000);
    loadRecording(path.c_str(), recording);
    const int columns = static_cast<int>(state.range(0));
    static TraceColumn out[6][4096];
    const double t0 = recording.rows[0].col[0], t1 = recording.rows[recording.rowCount - 1].col[0];
    for (auto _ : state) {
        for (int k = 0; k < 6; k++)
            decimateTrace(recording, 0, recording.rowCount, k < 3 ? 3 : 10, k % 3, t0, t1, columns,
                          out[k]);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(timePlotTraces50000)->Arg(256)->Arg(1876)->Unit(benchmark::kMillisecond);

// What --report adds to reading a 50000-sample page: both eyes' events,
// fixation rows, rotation vectors under both conventions and the planes'
// sums, then the residuals.
static void reportPage50000(benchmark::State& state) {
    const std::string path = benchRecording(50000);
    loadRecording(path.c_str(), recording);
    static EyeEvent events[MOST_EVENTS];
    static bool fixation[RECORDING_CAPACITY];
    for (auto _ : state) {
        const int count = detectEyeEvents(recording, 0, recording.rowCount,
                                          DEFAULT_SACCADE_SETTINGS, events, MOST_EVENTS);
        for (int eye = 0; eye < 2; eye++) {
            markFixationRows(recording, 0, recording.rowCount, events, count, eye, fixation);
            for (AngleConvention convention : {AngleConvention::Fick, AngleConvention::Helmholtz}) {
                PlaneSums sums = {};
                for (int pass = 0; pass < 2; pass++) {
                    ListingPlane plane = planeFromSums(sums, FILE_SIGNS);
                    for (int i = 0; i < recording.rowCount; i++) {
                        if (!fixation[i]) continue;
                        const float* c = recording.rows[i].col + (eye ? 10 : 3);
                        double r[3];
                        rotationVectorOf(c[0], c[1], c[2], convention, FILE_SIGNS, r);
                        if (pass == 0)
                            addToPlaneSums(sums, r);
                        else
                            addResidual(plane, r);
                    }
                    benchmark::DoNotOptimize(plane);
                }
            }
        }
        benchmark::DoNotOptimize(count);
    }
}
BENCHMARK(reportPage50000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

// What nystagmus adds to a 50000-sample page's analysis: both eyes' quick
// phases (velocities of three components, spreads, runs), the slow phases
// and their velocities, and the main sequence fitted to the page's saccades.
static void nystagmusPage50000(benchmark::State& state) {
    const std::string path = benchRecording(50000);
    loadRecording(path.c_str(), recording);
    static QuickPhase quick[RECORDING_CAPACITY];
    static SlowPhase slow[RECORDING_CAPACITY];
    static EyeEvent events[MOST_EVENTS];
    static double amplitude[MOST_EVENTS], peak[MOST_EVENTS];
    const int found = detectEyeEvents(recording, 0, recording.rowCount, DEFAULT_SACCADE_SETTINGS,
                                      events, MOST_EVENTS);
    int saccades = 0;
    for (int k = 0; k < found; k++)
        if (events[k].kind == EventKind::Saccade && events[k].eye == 0) {
            amplitude[saccades] = events[k].amplitudeDeg;
            peak[saccades++] = events[k].peakVelocity;
        }
    int quickCount = 0, slowCount = 0;
    for (auto _ : state) {
        quickCount = findQuickPhases(recording, 0, recording.rowCount, NYSTAGMUS_LAMBDA, quick,
                                     RECORDING_CAPACITY);
        slowCount = findSlowPhases(recording, 0, recording.rowCount, quick, quickCount, slow,
                                   RECORDING_CAPACITY);
        MainSequence fit = fitMainSequence(amplitude, peak, saccades);
        benchmark::DoNotOptimize(fit);
    }
    state.counters["quick"] = quickCount;
    state.counters["slow"] = slowCount;
    state.counters["saccades"] = saccades;
}
BENCHMARK(nystagmusPage50000)->Unit(benchmark::kMillisecond);
