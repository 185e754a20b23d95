// The report's nystagmus and main-sequence columns, and the events table's
// quick_phase and slow_phase rows: each page's quick and slow phases that
// begin in its own rows, and its saccades, gathered over the whole
// recording.
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
int quickCount, slowCount;
bool torsionUsedOnPage[2];
double pageRate; // samples per second, as the quick phases were found

// The time the pages' own rows cover, for the quick phases per second.
double ownSeconds;

struct EyeNystagmus {
    long long quickPhases;
    bool torsionUsed;
    std::vector<double> spv[3];          // every slow phase's, for the medians
    std::vector<double> amplitude, peak; // every saccade's
};
EyeNystagmus eyes[2];

// An events table's row of a quick or slow phase, held until the saccades,
// blinks and losses of the same pages are written with it in order.
struct PhaseRow {
    bool slow;
    uint8_t eye;
    double onset, duration, amplitude, peak;
    float start[3], end[3];
    double spv[3];
};
std::vector<PhaseRow> heldRows;
size_t writtenRows;

void writeColumn(double value, const char* format) {
    putchar('\t');
    writeReportNumber(stdout, value, format);
}

void holdQuickPhase(const RecordingTable& page, const QuickPhase& q) {
    PhaseRow r{};
    r.eye = q.eye;
    r.onset = q.onset;
    r.duration = q.duration;
    double squares = 0;
    for (int k = 0; k < 3; k++)
        if ((k < 2 || torsionUsedOnPage[q.eye]) && std::isfinite(q.displacement[k]))
            squares += q.displacement[k] * q.displacement[k];
    r.amplitude = std::sqrt(squares);
    r.peak = q.peakVelocity;
    eyePositionAt(page, q.fromRow, q.eye ? 10 : 3, r.start);
    eyePositionAt(page, q.toRow, q.eye ? 10 : 3, r.end);
    for (double& v : r.spv)
        v = NAN;
    heldRows.push_back(r);
}

void holdSlowPhase(const RecordingTable& page, const SlowPhase& s, double rate) {
    PhaseRow r{};
    r.slow = true;
    r.eye = s.eye;
    r.onset = s.start;
    r.duration = (s.endRow - s.firstRow) / rate;
    r.amplitude = r.peak = NAN;
    eyePositionAt(page, s.firstRow, s.eye ? 10 : 3, r.start);
    eyePositionAt(page, s.endRow - 1, s.eye ? 10 : 3, r.end);
    for (int k = 0; k < 3; k++)
        r.spv[k] = k == 2 && !torsionUsedOnPage[s.eye] ? NAN : s.spv[k];
    heldRows.push_back(r);
}

} // namespace

const char* const NYSTAGMUS_REPORT_COLUMNS = "\tquick_phases\tquick_phases_per_s\tspv_horizontal"
                                             "\tspv_vertical\tspv_torsion\tmain_sequence_vmax"
                                             "\tmain_sequence_c";
const char* const NYSTAGMUS_EVENTS_COLUMNS = "\tspv_horizontal\tspv_vertical\tspv_torsion";

void findPageNystagmus(const RecordingTable& page, double lambda) {
    QuickPhaseRule rule = {{false, false}, 0};
    quickCount =
        findQuickPhases(page, 0, page.rowCount, lambda, pageQuick, RECORDING_CAPACITY, &rule);
    slowCount = findSlowPhases(page, 0, page.rowCount, pageQuick, quickCount, pageSlow,
                               RECORDING_CAPACITY, &rule);
    for (int eye = 0; eye < 2; eye++)
        torsionUsedOnPage[eye] = rule.torsionUsed[eye];
    pageRate = rule.rate;
}

int nystagmusHandOver(int rows, int fewest) {
    int handOver = rows;
    for (int eye = 0; eye < 2; eye++)
        for (int k = quickCount - 1; k >= 0; k--)
            if (pageQuick[k].eye == eye) {
                if (pageQuick[k].endRow >= fewest)
                    handOver = std::min(handOver, pageQuick[k].endRow);
                break;
            }
    return handOver;
}

void addPageNystagmus(const RecordingTable& page, int ownFirst, int ownEnd, int slowFirst,
                      int slowEnd, const EyeEvent* owned, int ownedCount, bool holdRows) {
    for (int eye = 0; eye < 2; eye++)
        eyes[eye].torsionUsed = eyes[eye].torsionUsed || torsionUsedOnPage[eye];
    const double rate = pageRate;
    if (rate > 0) ownSeconds += coveredSeconds(page, ownFirst, ownEnd, rate);
    for (int k = 0; k < quickCount; k++)
        if (pageQuick[k].firstRow >= ownFirst && pageQuick[k].firstRow < ownEnd) {
            eyes[pageQuick[k].eye].quickPhases++;
            if (holdRows) holdQuickPhase(page, pageQuick[k]);
        }
    for (int k = 0; k < slowCount; k++)
        if (pageSlow[k].firstRow >= slowFirst && pageSlow[k].firstRow < slowEnd) {
            for (int c = 0; c < 3; c++)
                if (std::isfinite(pageSlow[k].spv[c]))
                    eyes[pageSlow[k].eye].spv[c].push_back(pageSlow[k].spv[c]);
            if (holdRows) holdSlowPhase(page, pageSlow[k], rate);
        }
    for (int k = 0; k < ownedCount; k++)
        if (owned[k].kind == EventKind::Saccade && owned[k].eye < 2) {
            eyes[owned[k].eye].amplitude.push_back(owned[k].amplitudeDeg);
            eyes[owned[k].eye].peak.push_back(owned[k].peakVelocity);
        }
    if (holdRows)
        std::stable_sort(heldRows.begin() + static_cast<long>(writtenRows), heldRows.end(),
                         [](const PhaseRow& a, const PhaseRow& b) {
                             return a.onset != b.onset ? a.onset < b.onset : a.eye < b.eye;
                         });
}

void writePhaseRowsBefore(FILE* out, double onset) {
    static const char* const eyeNames[] = {"left", "right"};
    for (; writtenRows < heldRows.size() && heldRows[writtenRows].onset < onset; writtenRows++) {
        const PhaseRow& r = heldRows[writtenRows];
        fprintf(out, "%.4f\t%.4f\t%s\t%s\t", r.onset, r.duration,
                r.slow ? "slow_phase" : "quick_phase", eyeNames[r.eye]);
        writeReportNumber(out, r.amplitude, "%.4f");
        fputc('\t', out);
        writeReportNumber(out, r.peak, "%.1f");
        for (const float* p : {r.start, r.end})
            for (int k = 0; k < 3; k++) {
                fputc('\t', out);
                writeReportNumber(out, p[k], "%.4f");
            }
        for (double v : r.spv) {
            fputc('\t', out);
            writeReportNumber(out, v, "%.3f");
        }
        fputc('\n', out);
    }
    if (writtenRows == heldRows.size()) {
        heldRows.clear();
        writtenRows = 0;
    }
}

void writeNystagmusColumns(int eye) {
    EyeNystagmus& e = eyes[eye];
    const double seconds = ownSeconds;
    printf("\t%lld", e.quickPhases);
    writeColumn(seconds > 0 ? e.quickPhases / seconds : NAN, "%.3f");
    for (int c = 0; c < 3; c++)
        writeColumn(c == 2 && !e.torsionUsed
                        ? NAN
                        : medianValue(e.spv[c].data(), static_cast<int>(e.spv[c].size())),
                    "%.3f");
    const MainSequence fit =
        fitMainSequence(e.amplitude.data(), e.peak.data(), static_cast<int>(e.amplitude.size()));
    writeColumn(fit.valid ? fit.vmax : NAN, "%.1f");
    writeColumn(fit.valid ? fit.c : NAN, "%.2f");
}

void writeNystagmusRules(double lambda) {
    fprintf(stderr,
            "quelvist: quick phases after Engbert & Kliegl (2003) on horizontal, vertical and "
            "torsion: lambda %.10g, at least %d samples, runs less than %.10g ms apart merged; "
            "slow phases %.10g ms trimmed at each end, at least %.10g ms\n",
            lambda, QUICK_PHASE_FEWEST_SAMPLES, QUICK_PHASE_MERGE_SECONDS * 1000,
            SLOW_PHASE_TRIM_SECONDS * 1000, SLOW_PHASE_SHORTEST_SECONDS * 1000);
    for (int eye = 0; eye < 2; eye++)
        if (eyes[eye].quickPhases > 0 && !eyes[eye].torsionUsed)
            fprintf(stderr,
                    "quelvist: %s eye: quick phases found on horizontal and vertical only "
                    "(torsion not measured)\n",
                    eye ? "right" : "left");
}
