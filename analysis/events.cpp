// Velocities, saccades, blinks and losses of each eye, from the table.
#include "analysis/analysis.h"

#include <algorithm>
#include <cmath>

namespace {

// Per-row work space for one eye at a time: fixed, as the table is.
double velocityH[RECORDING_CAPACITY], velocityV[RECORDING_CAPACITY];
double sorted[RECORDING_CAPACITY];
bool excluded[RECORDING_CAPACITY];

double timeOf(const RecordingTable& t, int row) {
    return t.rows[row].col[0];
}

// Engbert & Kliegl 2003: sigma = sqrt(median(v^2) - median(v)^2) over the
// usable velocities.
double medianSpread(const double* v, int first, int end) {
    int n = 0;
    for (int i = first; i < end; i++)
        if (!excluded[i] && std::isfinite(v[i])) sorted[n++] = v[i];
    if (n == 0) return 0;
    std::nth_element(sorted, sorted + n / 2, sorted + n);
    const double median = sorted[n / 2];
    for (int k = 0; k < n; k++)
        sorted[k] *= sorted[k];
    std::nth_element(sorted, sorted + n / 2, sorted + n);
    return std::sqrt(std::max(0.0, sorted[n / 2] - median * median));
}

bool append(EyeEvent* out, int capacity, int& count, const EyeEvent& event) {
    if (count >= capacity) return false;
    out[count++] = event;
    return true;
}

void positionOf(const RecordingTable& t, int row, int column, float p[3]) {
    for (int k = 0; k < 3; k++)
        p[k] = row >= 0 ? t.rows[row].col[column + k] : NAN;
}

// The missing runs of one eye: events of their own, and the rows they
// keep from saccade detection (widened by BLINK_MARGIN_SECONDS).
void findMissingRuns(const RecordingTable& t, int first, int end, int column, double rate,
                     uint8_t eye, EyeEvent* out, int capacity, int& count) {
    for (int i = first; i < end; i++)
        excluded[i] = false;
    for (int a = first; a < end;) {
        if (!eyeSampleMissing(t, a, column)) {
            a++;
            continue;
        }
        int b = a;
        while (b < end && eyeSampleMissing(t, b, column))
            b++;
        const double from = timeOf(t, a) - BLINK_MARGIN_SECONDS;
        const double to = timeOf(t, b - 1) + BLINK_MARGIN_SECONDS;
        for (int i = a; i >= first && timeOf(t, i) >= from; i--)
            excluded[i] = true;
        for (int i = a; i < end && timeOf(t, i) <= to; i++)
            excluded[i] = true;
        EyeEvent e = {};
        e.eye = eye;
        e.firstRow = a;
        e.endRow = b;
        e.onset = from;
        // Counted in samples: Time is kept as a float, and a 30 ms run must
        // come out as 50 ms exactly.
        e.duration = (b - a) / rate + 2 * BLINK_MARGIN_SECONDS;
        e.kind = e.duration >= BLINK_SHORTEST_SECONDS - 1e-9 &&
                         e.duration <= BLINK_LONGEST_SECONDS + 1e-9
                     ? EventKind::Blink
                     : EventKind::Loss;
        e.amplitudeDeg = e.peakVelocity = NAN;
        positionOf(t, a > first ? a - 1 : -1, column, e.start);
        positionOf(t, b < end ? b : -1, column, e.end);
        append(out, capacity, count, e);
        a = b;
    }
}

} // namespace

double medianSampleRate(const RecordingTable& t, int first, int end) {
    int n = 0;
    for (int i = first + 1; i < end; i++) {
        const double gap = timeOf(t, i) - timeOf(t, i - 1);
        if (gap > 0) sorted[n++] = gap;
    }
    if (n == 0) return 0;
    std::nth_element(sorted, sorted + n / 2, sorted + n);
    const double median = sorted[n / 2];
    // Times are kept as floats: far from 0 one interval is rounded (at
    // 5000 s a millisecond reads 0.977 ms). Over the whole span the
    // rounding is spread thin; that mean stands where sampling is steady.
    const double mean = (timeOf(t, end - 1) - timeOf(t, first)) / (end - 1 - first);
    return std::fabs(mean - median) < 0.1 * median ? 1 / mean : 1 / median;
}

void eyeVelocity(const RecordingTable& t, int first, int end, int column, double rate,
                 double* out) {
    // Engbert & Kliegl 2003, eq. 1: v_n = f (x_{n+2} + x_{n+1} - x_{n-1} - x_{n-2}) / 6;
    // undefined where a sample it needs is missing or past the ends.
    for (int n = first; n < end; n++) {
        out[n] = NAN;
        if (n - 2 < first || n + 2 >= end) continue;
        bool usable = true;
        for (int k = n - 2; k <= n + 2 && usable; k++)
            usable = !eyeSampleMissing(t, k, column);
        if (!usable) continue;
        const auto x = [&](int row) { return static_cast<double>(t.rows[row].col[column]); };
        out[n] = rate * (x(n + 2) + x(n + 1) - x(n - 1) - x(n - 2)) / 6;
    }
}

int detectEyeEvents(const RecordingTable& t, int first, int end, EyeEvent* out, int capacity) {
    int count = 0;
    const double rate = medianSampleRate(t, first, end);
    if (rate <= 0) return 0;
    for (uint8_t eye = 0; eye < 2; eye++) {
        const int column = eye == 0 ? 3 : 10;
        findMissingRuns(t, first, end, column, rate, eye, out, capacity, count);
        eyeVelocity(t, first, end, column, rate, velocityH);
        eyeVelocity(t, first, end, column + 1, rate, velocityV);
        const double etaH = SACCADE_LAMBDA * medianSpread(velocityH, first, end);
        const double etaV = SACCADE_LAMBDA * medianSpread(velocityV, first, end);
        // A sample is a candidate when (v_H / eta_H)^2 + (v_V / eta_V)^2 > 1.
        auto candidate = [&](int i) {
            if (excluded[i] || !std::isfinite(velocityH[i]) || !std::isfinite(velocityV[i]))
                return false;
            const double h = etaH > 0 ? velocityH[i] / etaH : (velocityH[i] != 0 ? INFINITY : 0);
            const double v = etaV > 0 ? velocityV[i] / etaV : (velocityV[i] != 0 ? INFINITY : 0);
            return h * h + v * v > 1;
        };
        int runFirst = -1, runLast = -1;
        auto finish = [&]() {
            if (runFirst < 0) return;
            const int samples = runLast - runFirst + 1;
            // Shorter than 12 ms, or a single sample: noise, not a saccade.
            if (samples >= 2 && samples / rate >= SACCADE_SHORTEST_SECONDS - 1e-9) {
                EyeEvent e = {};
                e.kind = EventKind::Saccade;
                e.eye = eye;
                e.firstRow = runFirst;
                e.endRow = runLast + 1;
                e.onset = timeOf(t, runFirst);
                e.duration = samples / rate;
                positionOf(t, runFirst, column, e.start);
                positionOf(t, runLast, column, e.end);
                e.amplitudeDeg = std::hypot(e.end[0] - e.start[0], e.end[1] - e.start[1]);
                double peak = 0;
                for (int i = runFirst; i <= runLast; i++)
                    if (std::isfinite(velocityH[i]) && std::isfinite(velocityV[i]))
                        peak = std::max(peak, std::hypot(velocityH[i], velocityV[i]));
                e.peakVelocity = peak;
                append(out, capacity, count, e);
            }
            runFirst = runLast = -1;
        };
        for (int i = first; i < end; i++) {
            if (!candidate(i)) {
                if (excluded[i]) finish(); // a gap is never bridged
                continue;
            }
            // Runs less than 10 ms apart are one saccade.
            if (runFirst >= 0 &&
                timeOf(t, i) - timeOf(t, runLast) >= SACCADE_MERGE_SECONDS + 1 / rate - 1e-9)
                finish();
            if (runFirst < 0) runFirst = i;
            runLast = i;
        }
        finish();
    }
    // Saccades of one eye that overlap one of the other eye are binocular:
    // in order of their first rows, each is compared with the other eye's
    // that can still overlap it.
    std::sort(out, out + count, [](const EyeEvent& a, const EyeEvent& b) {
        return a.firstRow != b.firstRow ? a.firstRow < b.firstRow : a.eye < b.eye;
    });
    for (int i = 0; i < count; i++) {
        if (out[i].kind != EventKind::Saccade) continue;
        for (int j = i + 1; j < count && out[j].firstRow < out[i].endRow; j++)
            if (out[j].kind == EventKind::Saccade && out[j].eye != out[i].eye)
                out[i].binocular = out[j].binocular = true;
    }
    std::stable_sort(out, out + count, [](const EyeEvent& a, const EyeEvent& b) {
        return a.onset != b.onset ? a.onset < b.onset : a.eye < b.eye;
    });
    return count;
}

void markFixationRows(const RecordingTable& t, int first, int end, const EyeEvent* events,
                      int count, int eye, bool* fixation) {
    const int column = eye == 0 ? 3 : 10;
    for (int i = first; i < end; i++)
        fixation[i] = !eyeSampleMissing(t, i, column);
    for (int e = 0; e < count; e++) {
        const EyeEvent& ev = events[e];
        if (ev.eye != eye) continue;
        for (int i = std::max(first, ev.firstRow); i < std::min(end, ev.endRow); i++)
            fixation[i] = false;
        if (ev.kind == EventKind::Saccade) continue;
        // A blink's margins reach beyond its rows: its span in time counts.
        for (int i = ev.firstRow - 1; i >= first && timeOf(t, i) >= ev.onset; i--)
            fixation[i] = false;
        for (int i = ev.endRow; i < end && timeOf(t, i) < ev.onset + ev.duration; i++)
            fixation[i] = false;
    }
}

int mergeBinocularEvents(const EyeEvent* events, int count, EyeEvent* out, int capacity) {
    static bool used[MOST_EVENTS];
    const int n = count < MOST_EVENTS ? count : MOST_EVENTS;
    for (int i = 0; i < n; i++)
        used[i] = false;
    int written = 0;
    for (int i = 0; i < n && written < capacity; i++) {
        if (used[i]) continue;
        EyeEvent e = events[i];
        used[i] = true;
        for (int j = i + 1; j < n; j++) {
            const EyeEvent& o = events[j];
            // In order of onset: one beginning after this one has ended (and
            // its margins) cannot overlap it.
            if (o.onset > e.onset + e.duration + 2 * BLINK_MARGIN_SECONDS) break;
            if (used[j] || o.kind != e.kind || o.eye == e.eye || e.eye == 2 ||
                !(o.firstRow < e.endRow && e.firstRow < o.endRow))
                continue;
            used[j] = true;
            const double endTime = std::max(e.onset + e.duration, o.onset + o.duration);
            e.onset = std::min(e.onset, o.onset);
            e.duration = endTime - e.onset;
            e.firstRow = std::min(e.firstRow, o.firstRow);
            e.endRow = std::max(e.endRow, o.endRow);
            e.amplitudeDeg = (e.amplitudeDeg + o.amplitudeDeg) / 2;
            e.peakVelocity = (e.peakVelocity + o.peakVelocity) / 2;
            for (int k = 0; k < 3; k++) {
                e.start[k] = (e.start[k] + o.start[k]) / 2;
                e.end[k] = (e.end[k] + o.end[k]) / 2;
            }
            e.eye = 2;
            e.binocular = true;
        }
        out[written++] = e;
    }
    return written;
}

PageEvents pageEvents;
