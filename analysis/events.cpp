// Velocities, saccades, blinks and losses of each eye, from the table.
#include "analysis/analysis.h"

#include <algorithm>
#include <cmath>

SaccadeTrouble saccadeTrouble[2];
double eventsSampleRate;
SaccadeSettings saccadeSettings = DEFAULT_SACCADE_SETTINGS;

namespace {

// Per-row work space for one eye at a time: fixed, as the table is.
double velocityH[RECORDING_CAPACITY], velocityV[RECORDING_CAPACITY];
double sorted[RECORDING_CAPACITY];
bool excluded[RECORDING_CAPACITY];
bool usable[RECORDING_CAPACITY];

// Times are written to the microsecond at best: two times that far apart
// are the same time, and a margin of exactly 10 ms takes its last sample.
constexpr double TIME_TOLERANCE = 1e-7;
// Counts of samples compared with a rate's multiple: the rate is a ratio of
// written times, a little off a whole number of samples.
constexpr double SAMPLE_TOLERANCE = 1e-6;

double timeOf(const RecordingTable& t, int row) {
    return t.times[row];
}

// Whether Time increases from row - 1 to row.
bool advances(const RecordingTable& t, int row) {
    return timeOf(t, row) > timeOf(t, row - 1);
}

bool append(EyeEvent* out, int capacity, int& count, const EyeEvent& event) {
    if (count >= capacity) return false;
    out[count++] = event;
    return true;
}

double median(int n) {
    std::nth_element(sorted, sorted + n / 2, sorted + n);
    return sorted[n / 2];
}

// The missing runs of one eye: events of their own, and the rows they
// keep from saccade detection (widened by BLINK_MARGIN_SECONDS each side,
// never across a step where Time does not increase).
void findMissingRuns(const RecordingTable& t, int first, int end, int column, double rate,
                     uint8_t eye, EyeEvent* out, int capacity, int& count) {
    for (int i = first; i < end; i++)
        excluded[i] = false;
    for (int a = first; a < end;) {
        if (!eyeSampleMissing(t, a, column)) {
            a++;
            continue;
        }
        // A run of missing samples ends where Time stops increasing.
        int b = a + 1;
        while (b < end && eyeSampleMissing(t, b, column) && advances(t, b))
            b++;
        int lo = a;
        while (lo > first && advances(t, lo) &&
               timeOf(t, lo - 1) >= timeOf(t, a) - BLINK_MARGIN_SECONDS - TIME_TOLERANCE)
            lo--;
        int hi = b; // one past the last row of the margin after
        while (hi < end && advances(t, hi) &&
               timeOf(t, hi) <= timeOf(t, b - 1) + BLINK_MARGIN_SECONDS + TIME_TOLERANCE)
            hi++;
        for (int i = lo; i < hi; i++)
            excluded[i] = true;
        // The run lasts its samples (k / rate) and a margin each side, but no
        // longer than its stretch of increasing Time: where the rows before
        // (or after) run out within that, the event starts at the first
        // sample (ends at the last).
        const double from = timeOf(t, a) - BLINK_MARGIN_SECONDS;
        const double to = timeOf(t, b - 1) + 1 / rate + BLINK_MARGIN_SECONDS;
        int stretchFirst = a, stretchLast = b - 1;
        while (stretchFirst > first && advances(t, stretchFirst) &&
               timeOf(t, stretchFirst) > from + TIME_TOLERANCE)
            stretchFirst--;
        while (stretchLast + 1 < end && advances(t, stretchLast + 1) &&
               timeOf(t, stretchLast) + 1 / rate < to - TIME_TOLERANCE)
            stretchLast++;
        EyeEvent e = {};
        e.eye = eye;
        e.firstRow = a;
        e.endRow = b;
        e.spanFirst = lo;
        e.spanEnd = hi;
        e.onset = std::max(from, timeOf(t, stretchFirst));
        // The last sample lasts 1 / rate as every other does.
        e.duration = std::min(to, timeOf(t, stretchLast) + 1 / rate) - e.onset;
        e.kind = e.duration >= BLINK_SHORTEST_SECONDS - 1e-9 &&
                         e.duration <= BLINK_LONGEST_SECONDS + 1e-9
                     ? EventKind::Blink
                     : EventKind::Loss;
        e.amplitudeDeg = e.peakVelocity = NAN;
        eyePositionAt(t, a > first && advances(t, a) ? a - 1 : -1, column, e.start);
        eyePositionAt(t, b < end && advances(t, b) ? b : -1, column, e.end);
        // Rows without a written Time (blank lines) have no time to place an
        // event at: they are missing samples, not a loss of tracking.
        bool timed = false;
        for (int i = a; i < b && !timed; i++)
            timed = (t.missingFields[i] & 1u) == 0;
        if (timed) append(out, capacity, count, e);
        a = b;
    }
}

} // namespace

void eyePositionAt(const RecordingTable& t, int row, int column, float p[3]) {
    for (int k = 0; k < 3; k++)
        p[k] = row >= 0 ? t.rows[row].col[column + k] : NAN;
    // An empty torsion cell reads as 0, but no torsion was recorded there.
    if (row >= 0 && eyeTorsionMissing(t, row, column)) p[2] = NAN;
}

void markMissingMargins(const RecordingTable& t, int first, int end, int column, double rate,
                        bool* out) {
    int none = 0;
    findMissingRuns(t, first, end, column >= 10 ? 10 : 3, rate, 0, nullptr, 0, none);
    for (int i = first; i < end; i++)
        out[i] = excluded[i];
}

double velocitySpread(const double* v, const bool* use, int first, int end) {
    int n = 0;
    for (int i = first; i < end; i++)
        if (use[i] && std::isfinite(v[i])) sorted[n++] = v[i];
    if (n == 0) return NAN;
    // Engbert & Kliegl 2003, eq. 2: sigma^2 = median(v^2) - median(v)^2.
    double sum = 0, squares = 0;
    for (int k = 0; k < n; k++) {
        sum += sorted[k];
        squares += sorted[k] * sorted[k];
    }
    const double middle = median(n);
    for (int k = 0; k < n; k++)
        sorted[k] *= sorted[k];
    const double byMedian = median(n) - middle * middle;
    if (byMedian > 0) return std::sqrt(byMedian);
    // Their code (microsacc.m, vecvel/velthresh) falls back to the mean's.
    const double mean = sum / n;
    return std::sqrt(std::max(0.0, squares / n - mean * mean));
}

double medianSampleRate(const RecordingTable& t, int first, int end) {
    // The times as written, in double precision: the median interval is
    // exact where the recorder writes its clock to the sample.
    int n = 0;
    for (int i = first + 1; i < end; i++) {
        const double gap = timeOf(t, i) - timeOf(t, i - 1);
        if (gap > 0) sorted[n++] = gap;
    }
    if (n == 0) return 0;
    return 1 / median(n);
}

void eyeVelocity(const RecordingTable& t, int first, int end, int column, double rate,
                 double* out) {
    // Engbert & Kliegl 2003, eq. 1: v_n = f (x_{n+2} + x_{n+1} - x_{n-1} - x_{n-2}) / 6;
    // undefined where a sample it needs is missing, past the ends, or across
    // a step where Time does not increase.
    const int eyeColumn = column >= 10 ? 10 : 3; // whose sample it is
    for (int n = first; n < end; n++) {
        out[n] = NAN;
        if (n - 2 < first || n + 2 >= end) continue;
        bool use = true;
        for (int k = n - 2; k <= n + 2 && use; k++)
            use = !eyeSampleMissing(t, k, eyeColumn) && (k == n - 2 || advances(t, k));
        if (!use) continue;
        const auto x = [&](int row) { return static_cast<double>(t.rows[row].col[column]); };
        out[n] = rate * (x(n + 2) + x(n + 1) - x(n - 1) - x(n - 2)) / 6;
    }
}

const char* describeSaccadeTrouble(SaccadeTrouble trouble) {
    switch (trouble) {
    case SaccadeTrouble::FlatHorizontal:
        return "its horizontal velocity never varies (the saccade threshold would be 0)";
    case SaccadeTrouble::FlatVertical:
        return "its vertical velocity never varies (the saccade threshold would be 0)";
    case SaccadeTrouble::None:
        break;
    }
    return "";
}

int detectEyeEvents(const RecordingTable& t, int first, int end, const SaccadeSettings& settings,
                    EyeEvent* out, int capacity) {
    int count = 0;
    saccadeTrouble[0] = saccadeTrouble[1] = SaccadeTrouble::None;
    const double rate = medianSampleRate(t, first, end);
    eventsSampleRate = rate > 0 ? rate : 0;
    if (rate <= 0) return 0;
    // Both rules in samples: a run of k samples lasts k / rate, a gap of g
    // samples between runs (g + 1) / rate.
    const double shortestRun = settings.shortestSeconds * rate - SAMPLE_TOLERANCE;
    const double mergedGap = SACCADE_MERGE_SECONDS * rate - SAMPLE_TOLERANCE;
    for (uint8_t eye = 0; eye < 2; eye++) {
        const int column = eye == 0 ? 3 : 10;
        findMissingRuns(t, first, end, column, rate, eye, out, capacity, count);
        eyeVelocity(t, first, end, column, rate, velocityH);
        eyeVelocity(t, first, end, column + 1, rate, velocityV);
        for (int i = first; i < end; i++)
            usable[i] = !excluded[i];
        const double sigmaH = velocitySpread(velocityH, usable, first, end);
        const double sigmaV = velocitySpread(velocityV, usable, first, end);
        if (!std::isfinite(sigmaH) || !std::isfinite(sigmaV)) continue; // no velocity at all
        if (sigmaH <= 0 || sigmaV <= 0) {
            saccadeTrouble[eye] =
                sigmaH <= 0 ? SaccadeTrouble::FlatHorizontal : SaccadeTrouble::FlatVertical;
            continue;
        }
        // Engbert & Kliegl 2003, eq. 3: eta = lambda sigma, per component.
        const double etaH = settings.lambda * sigmaH, etaV = settings.lambda * sigmaV;
        // A sample is a candidate when (v_H / eta_H)^2 + (v_V / eta_V)^2 > 1.
        auto candidate = [&](int i) {
            if (excluded[i] || !std::isfinite(velocityH[i]) || !std::isfinite(velocityV[i]))
                return false;
            const double h = velocityH[i] / etaH, v = velocityV[i] / etaV;
            return h * h + v * v > 1;
        };
        int runFirst = -1, runLast = -1;
        auto finish = [&]() {
            if (runFirst < 0) return;
            const int samples = runLast - runFirst + 1;
            // Shorter than the shortest (12 ms), or a single sample: noise,
            // not a saccade.
            if (samples >= 2 && samples >= shortestRun) {
                EyeEvent e = {};
                e.kind = EventKind::Saccade;
                e.eye = eye;
                e.firstRow = e.spanFirst = runFirst;
                e.endRow = e.spanEnd = runLast + 1;
                e.onset = timeOf(t, runFirst);
                e.duration = samples / rate;
                eyePositionAt(t, runFirst, column, e.start);
                eyePositionAt(t, runLast, column, e.end);
                e.amplitudeDeg = std::hypot(e.end[0] - e.start[0], e.end[1] - e.start[1]);
                // Smaller than asked: left with the fixation it interrupts.
                if (e.amplitudeDeg < settings.smallestAmplitudeDeg) {
                    runFirst = runLast = -1;
                    return;
                }
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
            // A gap, or a step where Time does not increase, is never bridged.
            if (excluded[i] || (i > first && !advances(t, i))) finish();
            if (!candidate(i)) continue;
            // Runs less than 10 ms apart are one saccade.
            if (runFirst >= 0 && i > runLast + 1 && i - runLast >= mergedGap) finish();
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
    // A blink's margins reach beyond its rows, as far each side.
    for (int e = 0; e < count; e++) {
        const EyeEvent& ev = events[e];
        if (ev.eye != eye) continue;
        for (int i = std::max(first, ev.spanFirst); i < std::min(end, ev.spanEnd); i++)
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
            e.spanFirst = std::min(e.spanFirst, o.spanFirst);
            e.spanEnd = std::max(e.spanEnd, o.spanEnd);
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
