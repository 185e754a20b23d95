// Nystagmus: quick phases on horizontal, vertical and torsion, the slow
// phases between them, their slow-phase velocity and each eye's summary.
#include "analysis/analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Per-row work space, fixed as the table is.
double velocity[3][RECORDING_CAPACITY];
float spread[RECORDING_CAPACITY];
bool blocked[RECORDING_CAPACITY];
bool candidate[RECORDING_CAPACITY];
bool usable[RECORDING_CAPACITY];
QuickPhase eyeQuick[2][RECORDING_CAPACITY / 2 + 1];

constexpr double TIME_TOLERANCE = 1e-7;

bool advances(const RecordingTable& t, int row) {
    return t.times[row] > t.times[row - 1];
}

// Selection in single precision: half the memory to move, and the spread
// needs no more than float's seven digits.
template <typename Value> Value middleOf(Value* v, int n) {
    std::nth_element(v, v + n / 2, v + n);
    return v[n / 2];
}

// The centred median spread sqrt(median((v - median v)^2)) of the usable
// velocities, taken as the median of |v - median v| (the same sample, as
// the square grows with the distance); where that is 0, sqrt(mean(v^2) -
// mean(v)^2), as the saccade detector falls back. 0 when nothing varies or
// nothing is usable. centre gets the median velocity.
double centredSpread(const double* v, const bool* use, int first, int end, double& centre) {
    int n = 0;
    centre = 0;
    double sum = 0, squares = 0;
    for (int i = first; i < end; i++)
        if (use[i] && std::isfinite(v[i])) {
            spread[n++] = static_cast<float>(v[i]);
            sum += v[i];
            squares += v[i] * v[i];
        }
    if (n == 0) return 0;
    const float middle = middleOf(spread, n);
    centre = middle;
    for (int k = 0; k < n; k++)
        spread[k] = std::fabs(spread[k] - middle);
    const double byMedian = middleOf(spread, n);
    if (byMedian > 0) return byMedian;
    const double mean = sum / n;
    return std::sqrt(std::max(0.0, squares / n - mean * mean));
}

// Whether any of rows a .. b-1 of the eye (first column) is missing.
bool anyMissing(const RecordingTable& t, int a, int b, int column) {
    for (int i = a; i < b; i++)
        if (eyeSampleMissing(t, i, column)) return true;
    return false;
}

float positionOf(const RecordingTable& t, int row, int column, int component) {
    return t.rows[row].col[column + component];
}

// One eye's quick phases over rows first .. end-1, in order.
int eyeQuickPhases(const RecordingTable& t, int first, int end, int eye, double lambda, double rate,
                   QuickPhase* out, int capacity, bool& torsionUsed) {
    const int column = eye ? 10 : 3;
    // Engbert & Kliegl 2003, eq. 1, on the three components at once: v_n =
    // f (x_{n+2} + x_{n+1} - x_{n-1} - x_{n-2}) / 6 where rows n-2 .. n+2
    // are present with Time increasing between them (torsion: measured too),
    // as eyeVelocity decides it; the rows' checks are made once.
    for (int i = first; i < end; i++) {
        const bool present = !eyeSampleMissing(t, i, column);
        candidate[i] = present && i > first && advances(t, i); // joined to the row before
        usable[i] = present && !eyeTorsionMissing(t, i, column);
    }
    for (int n = first; n < end; n++) {
        bool whole = n - 2 >= first && n + 2 < end && !eyeSampleMissing(t, n - 2, column);
        bool torsion = whole && usable[n - 2];
        for (int k = n - 1; k <= n + 2 && whole; k++) {
            whole = candidate[k];
            torsion = torsion && usable[k];
        }
        for (int c = 0; c < 3; c++) {
            velocity[c][n] = NAN;
            if (!whole || (c == 2 && !torsion)) continue;
            const auto x = [&](int row) {
                return static_cast<double>(t.rows[row].col[column + c]);
            };
            velocity[c][n] = rate * (x(n + 2) + x(n + 1) - x(n - 1) - x(n - 2)) / 6;
        }
    }
    markMissingMargins(t, first, end, column, rate, blocked);
    for (int i = first; i < end; i++)
        usable[i] = !blocked[i];
    // A candidate passes the threshold twice: by its velocity, and by its
    // velocity less the median one. During nystagmus most samples drift at
    // the slow-phase velocity; where that drift is faster than lambda sigma
    // (a brisk nystagmus, or a quiet recorder) the first test alone makes
    // every slow-phase sample a candidate, and the second alone the
    // fixation where the nystagmus stops.
    double eta[3], inverse[3], centre[3];
    for (int k = 0; k < 3; k++) {
        eta[k] = lambda * centredSpread(velocity[k], usable, first, end, centre[k]);
        inverse[k] = eta[k] > 0 ? 1 / eta[k] : 0;
    }
    torsionUsed = eta[2] > 0;
    for (int i = first; i < end; i++) {
        double raw = 0, centred = 0;
        bool any = false;
        for (int k = 0; k < 3; k++) {
            if (inverse[k] == 0 || !std::isfinite(velocity[k][i])) continue;
            const double r = velocity[k][i] * inverse[k],
                         u = (velocity[k][i] - centre[k]) * inverse[k];
            raw += r * r;
            centred += u * u;
            any = true;
        }
        candidate[i] = usable[i] && any && raw > 1 && centred > 1;
    }
    // Runs of candidates, never across a step where Time does not increase;
    // runs less than QUICK_PHASE_MERGE_SECONDS apart join: a gap of g
    // samples lasts (g + 1) / rate.
    int count = 0;
    for (int a = first; a < end;) {
        if (!candidate[a]) {
            a++;
            continue;
        }
        int b = a + 1;
        for (;;) {
            while (b < end && candidate[b] && advances(t, b))
                b++;
            int next = b;
            while (next < end && !candidate[next] && advances(t, next))
                next++;
            const bool joins = next < end && candidate[next] && next > b &&
                               (next - b + 1) / rate < QUICK_PHASE_MERGE_SECONDS - 1e-9;
            bool unbroken = true;
            for (int i = b; i <= next && i < end && unbroken; i++)
                unbroken = advances(t, i);
            if (!joins || !unbroken) break;
            b = next;
        }
        if (b - a >= QUICK_PHASE_FEWEST_SAMPLES && count < capacity) {
            QuickPhase& q = out[count++];
            q.eye = static_cast<uint8_t>(eye);
            q.firstRow = a;
            q.endRow = b;
            q.onset = t.times[a];
            q.duration = t.times[b - 1] + 1 / rate - t.times[a];
            // From the sample before the run to the one after it: the 5-point
            // velocity passes the threshold inside the movement.
            const int from = a > first && advances(t, a) ? a - 1 : a;
            const int to = b < end && advances(t, b) ? b : b - 1;
            q.fromRow = from;
            q.toRow = to;
            for (int k = 0; k < 3; k++)
                q.displacement[k] = positionOf(t, to, column, k) -
                                    static_cast<double>(positionOf(t, from, column, k));
            // An empty torsion cell reads as 0: no torsion was measured there.
            if (eyeTorsionMissing(t, from, column) || eyeTorsionMissing(t, to, column))
                q.displacement[2] = NAN;
            double peak = 0;
            for (int i = a; i < b; i++) {
                double sum = 0;
                for (int k = 0; k < 3; k++)
                    if (eta[k] > 0 && std::isfinite(velocity[k][i]))
                        sum += velocity[k][i] * velocity[k][i];
                peak = std::max(peak, sum);
            }
            q.peakVelocity = std::sqrt(peak);
        }
        a = b;
    }
    return count;
}

bool overlaps(const QuickPhase& a, const QuickPhase& b) {
    return a.firstRow < b.endRow && b.firstRow < a.endRow;
}

} // namespace

int findQuickPhases(const RecordingTable& t, int first, int end, double lambda, QuickPhase* out,
                    int capacity, QuickPhaseRule* rule) {
    const double rate = medianSampleRate(t, first, end);
    if (rule) rule->rate = rate;
    if (!(rate > 0) || end - first < 5) return 0;
    int counts[2];
    for (int eye = 0; eye < 2; eye++) {
        bool torsion = false;
        counts[eye] = eyeQuickPhases(t, first, end, eye, lambda, rate, eyeQuick[eye],
                                     RECORDING_CAPACITY / 2 + 1, torsion);
        if (rule) rule->torsionUsed[eye] = torsion;
    }
    // One eye's quick phase counts only where the other eye's overlaps it,
    // or the other eye is missing there. Both lists are in order.
    int count = 0, j[2] = {0, 0};
    for (;;) {
        int eye = -1;
        for (int e = 0; e < 2; e++)
            if (j[e] < counts[e] &&
                (eye < 0 || eyeQuick[e][j[e]].onset < eyeQuick[eye][j[eye]].onset))
                eye = e;
        if (eye < 0) break;
        const QuickPhase& q = eyeQuick[eye][j[eye]++];
        const int other = 1 - eye;
        bool seen = false;
        for (int k = 0; k < counts[other] && !seen; k++)
            seen = overlaps(q, eyeQuick[other][k]);
        if (!seen && !anyMissing(t, q.firstRow, q.endRow, other ? 10 : 3)) continue;
        if (count < capacity) out[count++] = q;
    }
    return count;
}

int findSlowPhases(const RecordingTable& t, int first, int end, const QuickPhase* quick,
                   int quickCount, SlowPhase* out, int capacity, const QuickPhaseRule* rule) {
    const double rate = rule ? rule->rate : medianSampleRate(t, first, end);
    if (!(rate > 0)) return 0;
    int count = 0;
    for (int eye = 0; eye < 2; eye++) {
        const int column = eye ? 10 : 3;
        // Rows that end a stretch: the eye's quick phases and its gaps.
        for (int i = first; i < end; i++)
            blocked[i] = eyeSampleMissing(t, i, column);
        for (int i = first; i < end; i++)
            candidate[i] = false; // rows of a quick phase
        for (int k = 0; k < quickCount; k++)
            if (quick[k].eye == eye)
                for (int i = quick[k].firstRow; i < quick[k].endRow; i++)
                    candidate[i] = true;
        for (int a = first; a < end;) {
            if (blocked[a] || candidate[a]) {
                a++;
                continue;
            }
            int b = a + 1;
            while (b < end && !blocked[b] && !candidate[b] && advances(t, b))
                b++;
            // Bounded by a quick phase on one side at least, by a quick phase
            // or a gap on the other; the page's edges and a restarted clock
            // bound nothing.
            const bool quickBefore = a > first && candidate[a - 1] && advances(t, a);
            const bool gapBefore = a > first && blocked[a - 1] && advances(t, a);
            const bool quickAfter = b < end && candidate[b] && advances(t, b);
            const bool gapAfter = b < end && blocked[b] && advances(t, b);
            const bool counts =
                (quickBefore && (quickAfter || gapAfter)) || (gapBefore && quickAfter);
            // Trimmed by SLOW_PHASE_TRIM_SECONDS of Time at each end.
            int lo = a, hi = b;
            while (lo < hi && t.times[lo] < t.times[a] + SLOW_PHASE_TRIM_SECONDS - TIME_TOLERANCE)
                lo++;
            while (hi > lo &&
                   t.times[hi - 1] > t.times[b - 1] - SLOW_PHASE_TRIM_SECONDS + TIME_TOLERANCE)
                hi--;
            const double span = hi > lo ? t.times[hi - 1] + 1 / rate - t.times[lo] : 0;
            if (counts && span >= SLOW_PHASE_SHORTEST_SECONDS - 1e-9 && count < capacity) {
                SlowPhase& s = out[count++];
                s.eye = static_cast<uint8_t>(eye);
                s.firstRow = lo;
                s.endRow = hi;
                s.start = t.times[lo];
                s.end = t.times[hi - 1];
                // Least squares: slope = (n sum(t x) - sum t sum x) / (n sum(t^2) -
                // (sum t)^2), Time counted from the slow phase's start so that
                // the sums stay small; torsion over its measured samples only.
                double n[2] = {0, 0}, st[2] = {0, 0}, stt[2] = {0, 0};
                double sx[3] = {0, 0, 0}, stx[3] = {0, 0, 0};
                for (int i = lo; i < hi; i++) {
                    const double dt = t.times[i] - t.times[lo];
                    const float* x = &t.rows[i].col[column];
                    for (int k = 0; k < 2; k++) {
                        sx[k] += x[k];
                        stx[k] += dt * x[k];
                    }
                    const int sets = eyeTorsionMissing(t, i, column) ? 1 : 2;
                    for (int m = 0; m < sets; m++) {
                        n[m]++;
                        st[m] += dt;
                        stt[m] += dt * dt;
                    }
                    if (sets == 2) {
                        sx[2] += x[2];
                        stx[2] += dt * x[2];
                    }
                }
                for (int k = 0; k < 3; k++) {
                    const int m = k == 2 ? 1 : 0;
                    const double across = n[m] * stt[m] - st[m] * st[m];
                    s.spv[k] =
                        n[m] >= 3 && across > 0 ? (n[m] * stx[k] - st[m] * sx[k]) / across : NAN;
                }
            }
            a = b;
        }
    }
    // In order of time, as the quick phases are.
    std::sort(out, out + count,
              [](const SlowPhase& a, const SlowPhase& b) { return a.start < b.start; });
    return count;
}

double medianValue(double* values, int count) {
    if (count <= 0) return NAN;
    const double upper = middleOf(values, count);
    if (count % 2) return upper;
    // nth_element left the lower half before the upper middle.
    return (upper + *std::max_element(values, values + count / 2)) / 2;
}
