// The report's nystagmus and main-sequence columns: each page's quick and
// slow phases that begin in its own rows, and its saccades, gathered over
// the whole recording.
#include "app/app.h"

#include "analysis/analysis.h"
#include "recording/recording.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

QuickPhase pageQuick[RECORDING_CAPACITY];
SlowPhase pageSlow[RECORDING_CAPACITY];

// The time the pages' own rows cover, for the quick phases per second.
double ownSeconds;

struct EyeNystagmus {
    long long quickPhases;
    bool torsionUsed;
    std::vector<double> spv[3];          // every slow phase's, for the medians
    std::vector<double> amplitude, peak; // every saccade's
};
EyeNystagmus eyes[2];

double medianOf(std::vector<double>& values) {
    if (values.empty()) return NAN;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

void writeColumn(double value, const char* format) {
    putchar('\t');
    if (std::isfinite(value))
        printf(format, value);
    else
        fputs("n/a", stdout);
}

} // namespace

const char* const NYSTAGMUS_REPORT_COLUMNS = "\tquick_phases\tquick_phases_per_s\tspv_horizontal"
                                             "\tspv_vertical\tspv_torsion\tmain_sequence_vmax"
                                             "\tmain_sequence_c";

void addPageNystagmus(const RecordingTable& page, int ownFirst, int ownEnd, double lambda,
                      const EyeEvent* owned, int ownedCount) {
    QuickPhaseRule rule;
    const int quick =
        findQuickPhases(page, 0, page.rowCount, lambda, pageQuick, RECORDING_CAPACITY, &rule);
    const int slow =
        findSlowPhases(page, 0, page.rowCount, pageQuick, quick, pageSlow, RECORDING_CAPACITY);
    for (int eye = 0; eye < 2; eye++)
        eyes[eye].torsionUsed = eyes[eye].torsionUsed || rule.torsionUsed[eye];
    const double rate = medianSampleRate(page, 0, page.rowCount);
    if (rate > 0) ownSeconds += coveredSeconds(page, ownFirst, ownEnd, rate);
    for (int k = 0; k < quick; k++)
        if (pageQuick[k].firstRow >= ownFirst && pageQuick[k].firstRow < ownEnd)
            eyes[pageQuick[k].eye].quickPhases++;
    for (int k = 0; k < slow; k++)
        if (pageSlow[k].firstRow >= ownFirst && pageSlow[k].firstRow < ownEnd)
            for (int c = 0; c < 3; c++)
                if (std::isfinite(pageSlow[k].spv[c]))
                    eyes[pageSlow[k].eye].spv[c].push_back(pageSlow[k].spv[c]);
    for (int k = 0; k < ownedCount; k++)
        if (owned[k].kind == EventKind::Saccade && owned[k].eye < 2) {
            eyes[owned[k].eye].amplitude.push_back(owned[k].amplitudeDeg);
            eyes[owned[k].eye].peak.push_back(owned[k].peakVelocity);
        }
}

void writeNystagmusColumns(int eye) {
    EyeNystagmus& e = eyes[eye];
    const double seconds = ownSeconds;
    printf("\t%lld", e.quickPhases);
    writeColumn(seconds > 0 ? e.quickPhases / seconds : NAN, "%.3f");
    for (int c = 0; c < 3; c++)
        writeColumn(c == 2 && !e.torsionUsed ? NAN : medianOf(e.spv[c]), "%.3f");
    const MainSequence fit =
        fitMainSequence(e.amplitude.data(), e.peak.data(), static_cast<int>(e.amplitude.size()));
    writeColumn(fit.valid ? fit.vmax : NAN, "%.1f");
    writeColumn(fit.valid ? fit.c : NAN, "%.2f");
}
