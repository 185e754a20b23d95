// The build-up replay's controls: start, pause, step, speed.
#include "view/view.h"

#include <cstdio>

namespace {

// The counts the replay runs through: the page's rows, or those of a
// range chosen in the time plot, as --from and --to would choose them.
void replayBounds(const ViewState& state, int rowCount, int& lowest, int& highest) {
    const bool ranged = state.rangeFirst >= 0 && state.rangeEnd > state.rangeFirst;
    lowest = ranged ? state.rangeFirst + 1 : 1;
    highest = ranged && state.rangeEnd < rowCount ? state.rangeEnd : rowCount;
}

} // namespace

void startOrStopReplay(ViewState& state) {
    const bool ranged = state.rangeFirst >= 0 && state.rangeEnd > state.rangeFirst;
    state.buildUpCount = state.buildUpCount != -1 ? -1 : ranged ? state.rangeFirst + 1 : 1;
    state.replayPaused = 0;
    state.replayWait = 0;
}

void pauseOrResumeReplay(ViewState& state) {
    if (state.buildUpCount == -1) return;
    state.replayPaused = 1 - state.replayPaused;
}

void stepReplay(ViewState& state, int samples, int rowCount) {
    if (state.buildUpCount == -1 || !state.replayPaused) return;
    int lowest, highest;
    replayBounds(state, rowCount, lowest, highest);
    long long count = static_cast<long long>(state.buildUpCount) + samples;
    if (count > highest) count = highest;
    if (count < lowest) count = lowest;
    state.buildUpCount = static_cast<int32_t>(count);
}

void changeReplaySpeed(ViewState& state, int direction) {
    int speed = state.replaySpeed + direction;
    if (speed < REPLAY_SLOWEST) speed = REPLAY_SLOWEST;
    if (speed > REPLAY_FASTEST) speed = REPLAY_FASTEST;
    state.replaySpeed = static_cast<int8_t>(speed);
    state.replayWait = 0;
}

bool advanceReplay(ViewState& state, int rowCount) {
    if (state.buildUpCount == -1 || state.replayPaused) return false;
    int samples = 1;
    if (state.replaySpeed >= 0) {
        samples = 1 << state.replaySpeed;
    } else if (++state.replayWait < (1 << -state.replaySpeed)) {
        return false;
    }
    state.replayWait = 0;
    // The whole recording (or range) is shown for one tick before the
    // replay starts again.
    int lowest, highest;
    replayBounds(state, rowCount, lowest, highest);
    if (state.buildUpCount >= highest || state.buildUpCount < lowest)
        state.buildUpCount = lowest;
    else
        state.buildUpCount =
            highest - state.buildUpCount < samples ? highest : state.buildUpCount + samples;
    return true;
}

bool replayAtItsEnd(const ViewState& state, int rowCount) {
    if (state.buildUpCount == -1) return false;
    int lowest, highest;
    replayBounds(state, rowCount, lowest, highest);
    return state.buildUpCount == highest;
}

void describeReplaySpeed(char* out, size_t capacity, int speed) {
    if (speed < 0)
        snprintf(out, capacity, "1/%d sample/tick", 1 << -speed);
    else
        snprintf(out, capacity, "%d sample%s/tick", 1 << speed, speed ? "s" : "");
}

void describeReplay(char* out, size_t capacity, const ViewState& state, double time,
                    long long sample, long long samples, double pace) {
    char speed[32];
    describeReplaySpeed(speed, sizeof speed, state.replaySpeed);
    int n = snprintf(out, capacity, "t = %.3f s   sample %lld of %lld   %s", time, sample, samples,
                     speed);
    if (pace > 0 && n >= 0 && static_cast<size_t>(n) < capacity)
        n += snprintf(out + n, capacity - n, " = %.2fx real time", pace);
    if (state.replayPaused && n >= 0 && static_cast<size_t>(n) < capacity)
        snprintf(out + n, capacity - n, "   paused");
}

void measureReplayPace(ReplayPace& pace, const ViewState& state, double wallSeconds,
                       double advancedSeconds) {
    // A figure belongs to one speed: another speed is measured afresh.
    if (state.buildUpCount == -1 || state.replaySpeed != pace.speed) {
        pace.count = 0;
        pace.figure = 0;
        pace.speed = state.replaySpeed;
    }
    // While paused the figure measured last stays: it is the pace that Space
    // resumes at. The time spent paused is not measured.
    if (state.buildUpCount == -1 || state.replayPaused) {
        pace.count = 0;
        return;
    }
    const int last = pace.count ? (pace.first + pace.count - 1) % PACE_TICKS : 0;
    const double total = pace.count ? pace.advanced[last] + advancedSeconds : 0;
    if (pace.count == PACE_TICKS) {
        pace.first = (pace.first + 1) % PACE_TICKS;
        pace.count--;
    }
    const int next = (pace.first + pace.count) % PACE_TICKS;
    pace.wall[next] = wallSeconds;
    pace.advanced[next] = total;
    pace.count++;
    // The oldest tick kept is the last one at least a window ago.
    while (pace.count > 1 &&
           pace.wall[(pace.first + 1) % PACE_TICKS] <= wallSeconds - PACE_WINDOW_SECONDS) {
        pace.first = (pace.first + 1) % PACE_TICKS;
        pace.count--;
    }
    const double span = wallSeconds - pace.wall[pace.first];
    if (span >= PACE_SHORTEST_SECONDS) pace.figure = (total - pace.advanced[pace.first]) / span;
}

double replayPaceFigure(const ReplayPace& pace, const ViewState& state) {
    return state.buildUpCount != -1 && state.replaySpeed == pace.speed ? pace.figure : 0;
}
