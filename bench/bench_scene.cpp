// Costs under the real GL (Mesa's llvmpipe under Xvfb): a replay tick, a
// full rebuild after a command, one frame split into the curves and the
// rest, start-up of the scene, and the replay's tick rate in GLUT's loop.
#include "bench_input.h"

#include "app/app.h"
#include "interaction/interaction.h"
#include "recording/recording.h"
#include "scene/scene.h"

#include <GL/freeglut.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include <sys/resource.h>

namespace {

int loadedRows = -1;

// The whole process's CPU time, the renderer's threads included.
double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// A frame as the viewer's timer shows it, without its pacing.
void drawFrame() {
    drawPicture();
    glutSwapBuffers();
}

void loadRows(int rows) {
    if (loadedRows == rows) return;
    std::string path = benchRecording(rows);
    snprintf(recordingPath, sizeof recordingPath, "%s", path.c_str());
    initScene();
    keepGlyphImages(); // as the viewer's frames after its first ones
    loadedRows = rows;
}

void allSwitchesOn() {
    view.showLeftEye = view.showRightEye = view.showDifference = 1;
}

// One replay tick at a given length, the blocks before it already compiled.
void replayTick(benchmark::State& state) {
    loadRows(50000);
    allSwitchesOn();
    view.buildUpCount = static_cast<int>(state.range(0));
    buildCurveList();
    for (auto _ : state) {
        if (view.buildUpCount >= state.range(0) + 2000) {
            state.PauseTiming();
            view.buildUpCount = static_cast<int>(state.range(0));
            state.ResumeTiming();
        }
        applyTimerStep(view, recording.rowCount);
        buildCurveList();
        glFinish();
    }
}
BENCHMARK(replayTick)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(25000)
    ->Arg(49000)
    ->Unit(benchmark::kMicrosecond);

// A command that changes what the curves show compiles every block again.
void rebuildAfterCommand(benchmark::State& state) {
    loadRows(50000);
    view.buildUpCount = -1;
    view.showLeftEye = view.showRightEye = 1;
    view.showDifference = static_cast<uint8_t>(state.range(0));
    for (auto _ : state) {
        forgetCurveBlocks();
        buildCurveList();
        glFinish();
    }
}
BENCHMARK(rebuildAfterCommand)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void resize(int width, int height) {
    glutReshapeWindow(width, height);
    for (int i = 0; i < 20; i++)
        glutMainLoopEvent();
    onReshape(width, height);
}

// The curve list alone, as the frame draws it.
void frameCurves(benchmark::State& state) {
    loadRows(static_cast<int>(state.range(0)));
    resize(static_cast<int>(state.range(1)), static_cast<int>(state.range(2)));
    setStartView(view);
    bool smooth = state.range(3) != 0;
    buildCurveList();
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        glPushMatrix();
        applyPlotTransform();
        if (smooth) glEnable(GL_LINE_SMOOTH);
        glLineWidth(1.1f);
        glCallList(LIST_CURVES);
        glDisable(GL_LINE_SMOOTH);
        glPopMatrix();
        glFinish();
    }
}
BENCHMARK(frameCurves)
    ->Args({5000, 300, 300, 1})
    ->Args({50000, 300, 300, 1})
    ->Args({5000, 1920, 1080, 1})
    ->Args({50000, 1920, 1080, 1})
    ->Args({50000, 300, 300, 0})
    ->Args({50000, 1920, 1080, 0})
    ->Unit(benchmark::kMillisecond);

// Everything in the frame but the curves: background, edges, cross, drum,
// help text, the swap.
void frameRest(benchmark::State& state) {
    loadRows(50000);
    resize(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    setStartView(view);
    view.showLeftEye = view.showRightEye = 0;
    buildCurveList();
    const double cpu = processCpuSeconds();
    for (auto _ : state) {
        drawFrame();
        glFinish();
    }
    state.counters["process_cpu_ms"] = 1e3 * (processCpuSeconds() - cpu) / state.iterations();
    setStartView(view);
    buildCurveList();
}
BENCHMARK(frameRest)->Args({300, 300})->Args({1920, 1080})->Unit(benchmark::kMillisecond);

// A still frame of 50000 samples at 300x300 as the idle viewer draws it
// (the kept picture drawn back), without one of its parts: what each part
// costs (0 all, 1 no cross, 2 no drum, 3 no help lines, 4 none of them).
void stillFrameParts(benchmark::State& state) {
    loadRows(50000);
    resize(300, 300);
    setStartView(view);
    const int without = static_cast<int>(state.range(0));
    view.showCross = without != 1 && without != 4;
    view.showDrum = without != 2 && without != 4;
    view.showHelpLines = without != 3 && without != 4;
    buildCurveList();
    drawFrame();
    const double cpu = processCpuSeconds();
    for (auto _ : state) {
        view.drumAngle += 1;
        drawFrame();
        glFinish();
    }
    state.counters["process_cpu_ms"] = 1e3 * (processCpuSeconds() - cpu) / state.iterations();
    setStartView(view);
}
BENCHMARK(stillFrameParts)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

// The time plot alone, its traces already reduced to the panel's columns:
// what it adds to every frame.
void timePlotPanel(benchmark::State& state) {
    loadRows(50000);
    resize(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    setStartView(view);
    view.showPlot = 1;
    buildCurveList();
    drawFrame(); // reduces the traces once
    for (auto _ : state) {
        drawTimePlot();
        glFinish();
    }
    setStartView(view);
}
BENCHMARK(timePlotPanel)->Args({300, 300})->Args({1920, 1080})->Unit(benchmark::kMillisecond);

// The whole frame as the idle handler draws it.
void frameWhole(benchmark::State& state) {
    loadRows(static_cast<int>(state.range(0)));
    resize(static_cast<int>(state.range(1)), static_cast<int>(state.range(2)));
    setStartView(view);
    buildCurveList();
    const double cpu = processCpuSeconds();
    for (auto _ : state) {
        drawFrame();
        glFinish();
    }
    state.counters["process_cpu_ms"] = 1e3 * (processCpuSeconds() - cpu) / state.iterations();
}
// The whole frame while the view turns, with a flush after every N blocks
// of 512 rows (0: the curve list in one go, as before flushing).
void frameTurning(benchmark::State& state) {
    loadRows(static_cast<int>(state.range(0)));
    resize(static_cast<int>(state.range(1)), static_cast<int>(state.range(2)));
    setStartView(view);
    view.rotateZ = 1;
    curveBlocksPerFlush = static_cast<int>(state.range(3));
    buildCurveList();
    for (auto _ : state) {
        view.angleZ += ANGLE_STEP;
        drawFrame();
        glFinish();
    }
    curveBlocksPerFlush = DEFAULT_BLOCKS_PER_FLUSH;
}
BENCHMARK(frameTurning)
    ->ArgsProduct({{50000}, {300}, {300}, {0, 1, 2, 4, 16}})
    ->ArgsProduct({{50000}, {1920}, {1080}, {0, 1, 2, 4, 16}})
    ->Unit(benchmark::kMillisecond);

BENCHMARK(frameWhole)
    ->Args({5000, 300, 300})
    ->Args({50000, 300, 300})
    ->Args({5000, 1920, 1080})
    ->Args({50000, 1920, 1080})
    ->Unit(benchmark::kMillisecond);

// initScene with the 50000-row file: texture, lists, reading, curves, menus.
void sceneStartUp(benchmark::State& state) {
    std::string path = benchRecording(50000);
    snprintf(recordingPath, sizeof recordingPath, "%s", path.c_str());
    for (auto _ : state) {
        initScene();
        glFinish();
    }
    loadedRows = 50000;
}
BENCHMARK(sceneStartUp)->Unit(benchmark::kMillisecond)->Iterations(20);

// The replay in GLUT's own loop: the idle handler draws frames while the
// 5 ms timer advances the replay; reports ticks and frames per second, from
// the start of the replay or from 2000 rows before its end (long paths), in
// a window of the given size.
int framesDrawn = 0;
void countedDisplay() {
    drawFrame();
    framesDrawn++;
}

void replayLoop(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    loadRows(rows);
    resize(static_cast<int>(state.range(2)), static_cast<int>(state.range(3)));
    setStartView(view);
    glutDisplayFunc(countedDisplay);
    static bool timerArmed = false; // the timer re-arms itself: one chain only
    if (!timerArmed) glutTimerFunc(TIMER_PERIOD_MS, onTimer, TIMER_TAG);
    timerArmed = true;
    for (auto _ : state) {
        view.buildUpCount = state.range(1) ? std::max(1, rows - 2000) : 1;
        buildCurveList();
        framesDrawn = 0;
        long ticks = 0;
        int previous = view.buildUpCount;
        auto start = std::chrono::steady_clock::now();
        std::chrono::duration<double> elapsed{};
        while (elapsed.count() < 3.0) {
            // As glutMainLoop does: events and timers, then the idle handler.
            glutMainLoopEvent();
            countedDisplay();
            int step = view.buildUpCount - previous;
            ticks += step >= 0 ? step : step + rows; // the replay wrapped
            previous = view.buildUpCount;
            elapsed = std::chrono::steady_clock::now() - start;
        }
        state.counters["ticks_per_s"] = ticks / elapsed.count();
        state.counters["frames_per_s"] = framesDrawn / elapsed.count();
    }
    view.buildUpCount = -1;
}
BENCHMARK(replayLoop)
    ->Args({1000, 0, 300, 300})
    ->Args({10000, 0, 300, 300})
    ->Args({50000, 0, 300, 300})
    ->Args({10000, 1, 300, 300})
    ->Args({50000, 1, 300, 300})
    ->Args({50000, 1, 1920, 1080})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(300, 300);
    glutCreateWindow("Quelvist");
    glClearColor(0.7f, 0.7f, 0.7f, 1.0f);
    glutDisplayFunc(onDisplay);
    for (int i = 0; i < 20; i++)
        glutMainLoopEvent();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
