// Nystagmus summed up: the time the rows cover, each eye's rate, median
// slow-phase velocities and beating directions, the line that says them,
// and the page's record the viewer draws from.
#include "analysis/analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Per-summary work space: an eye's slow-phase velocities or quick-phase
// displacements of one component.
double displacements[RECORDING_CAPACITY / 2 + 1];

bool advances(const RecordingTable& t, int row) {
    return t.times[row] > t.times[row - 1];
}

} // namespace

double coveredSeconds(const RecordingTable& t, int first, int end, double rate) {
    double seconds = 0;
    for (int i = first; i < end; i++) {
        if (t.missingFields[i] & 1u) continue; // no Time written
        const bool next = i + 1 < end && !(t.missingFields[i + 1] & 1u) && advances(t, i + 1);
        seconds += next ? t.times[i + 1] - t.times[i] : 1 / rate;
    }
    return seconds;
}

NystagmusSummary summariseNystagmus(const RecordingTable& t, int first, int end, int eye,
                                    const QuickPhase* quick, int quickCount, const SlowPhase* slow,
                                    int slowCount, bool torsionUsed) {
    NystagmusSummary s = {};
    s.torsionUsed = torsionUsed;
    const double rate = medianSampleRate(t, first, end);
    const double seconds = rate > 0 ? coveredSeconds(t, first, end, rate) : 0;
    for (int k = 0; k < quickCount; k++)
        if (quick[k].eye == eye) s.quickPhases++;
    s.quickPhasesPerSecond = seconds > 0 ? s.quickPhases / seconds : 0;
    for (int c = 0; c < 3; c++) {
        int n = 0;
        for (int k = 0; k < slowCount; k++)
            if (slow[k].eye == eye && std::isfinite(slow[k].spv[c]))
                displacements[n++] = slow[k].spv[c];
        s.spv[c] = medianValue(displacements, n);
        if (c == 0)
            for (int k = 0; k < slowCount; k++)
                s.slowPhases += slow[k].eye == eye;
        n = 0;
        for (int k = 0; k < quickCount; k++)
            if (quick[k].eye == eye && std::isfinite(quick[k].displacement[c]))
                displacements[n++] = quick[k].displacement[c];
        const double middle = n ? medianValue(displacements, n) : 0;
        s.beating[c] = middle > BEATING_SMALLEST_DEG ? 1 : middle < -BEATING_SMALLEST_DEG ? -1 : 0;
    }
    if (!torsionUsed) {
        s.spv[2] = NAN;
        s.beating[2] = 0;
    }
    return s;
}

void describeNystagmus(char* out, size_t capacity, int eye, const NystagmusSummary& s,
                       const AxisSigns& signs) {
    if (capacity == 0) return;
    const char* name = eye ? "right" : "left";
    const char* noTorsion = s.torsionUsed ? "" : " (on H and V: no torsion)";
    if (s.quickPhases == 0) {
        snprintf(out, capacity, "%s: no nystagmus found%s", name, noTorsion);
        return;
    }
    char spv[3][16];
    for (int c = 0; c < 3; c++) {
        // Rounded first: -0.04 reads 0.0, not -0.0.
        const double rounded = std::round(s.spv[c] * 10) / 10;
        if (std::isfinite(s.spv[c]))
            snprintf(spv[c], sizeof spv[c], "%.1f", rounded == 0 ? 0.0 : rounded);
        else
            snprintf(spv[c], sizeof spv[c], "n/a");
    }
    // The direction each component beats, in the file's axes turned by the
    // signs: positive horizontal is right, vertical up, torsion clockwise as
    // the subject sees it (the upper pole toward the right ear).
    static const char* const words[3][2] = {
        {"left-beating", "right-beating"},
        {"down-beating", "up-beating"},
        {"upper pole beating toward the left ear", "upper pole beating toward the right ear"}};
    const int sign[3] = {signs.h, signs.v, signs.t};
    char beating[200] = "";
    for (int c = 0; c < 3; c++) {
        if (s.beating[c] == 0) continue;
        const int direction = s.beating[c] * sign[c];
        const size_t at = strlen(beating);
        snprintf(beating + at, sizeof beating - at, ", %s", words[c][direction > 0 ? 1 : 0]);
    }
    snprintf(out, capacity, "%s: %.1f quick phases/s, SPV H %s V %s T %s \xB0/s%s%s", name,
             s.quickPhasesPerSecond, spv[0], spv[1], spv[2], beating, noTorsion);
}

PageNystagmus pageNystagmus;

void analysePageNystagmus(const RecordingTable& t, int first, int end, double lambda,
                          const EyeEvent* events, int count, PageNystagmus& p) {
    QuickPhaseRule rule = {{false, false}, 0};
    p.quickCount =
        findQuickPhases(t, first, end, lambda, p.quick, RECORDING_CAPACITY / 2 + 2, &rule);
    p.slowCount = findSlowPhases(t, first, end, p.quick, p.quickCount, p.slow,
                                 RECORDING_CAPACITY / 2 + 2, &rule);
    static double amplitude[MOST_EVENTS], peak[MOST_EVENTS];
    for (int eye = 0; eye < 2; eye++) {
        p.summary[eye] = summariseNystagmus(t, first, end, eye, p.quick, p.quickCount, p.slow,
                                            p.slowCount, rule.torsionUsed[eye]);
        int n = 0;
        for (int k = 0; k < count; k++)
            if (events[k].kind == EventKind::Saccade && events[k].eye == eye) {
                amplitude[n] = events[k].amplitudeDeg;
                peak[n++] = events[k].peakVelocity;
            }
        p.mainSequence[eye] = fitMainSequence(amplitude, peak, n);
    }
    p.found = true;
}
