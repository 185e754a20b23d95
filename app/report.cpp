// The report mode (--report, --events): each eye's numbers and the events
// of the whole recording (every page), written without a window.
#include "app/app.h"

#include "analysis/analysis.h"
#include "platform/platform.h"
#include "recording/recording.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

const char* const EVENTS_HEADER =
    "onset\tduration\ttrial_type\teye\tamplitude_deg\tpeak_velocity_deg_s\tstart_horizontal\t"
    "start_vertical\tstart_torsion\tend_horizontal\tend_vertical\tend_torsion\n";

void writeReportNumber(FILE* out, double value, const char* format) {
    if (std::isfinite(value))
        fprintf(out, format, value);
    else
        fputs("n/a", out);
}

namespace {

struct EyeTotals {
    long long samples, missing, saccades, blinks;
    PlaneSums sums[2]; // the chosen convention, the other one
    ListingPlane planes[2];
};
EyeTotals totals[2];

EyeEvent pageEvents[MOST_EVENTS], ownedEvents[MOST_EVENTS], mergedEvents[MOST_EVENTS];
bool fixation[RECORDING_CAPACITY];

// Whether the table has the quick and slow phases' rows and columns
// (--events with --nystagmus).
bool phaseRows;

// The events in order, the quick and slow phases held by then among them.
void writeEvents(FILE* out, const EyeEvent* events, int count) {
    static const char* const kinds[] = {"saccade", "blink", "loss"};
    static const char* const eyes[] = {"left", "right", "both"};
    for (int i = 0; i < count; i++) {
        const EyeEvent& e = events[i];
        writePhaseRowsBefore(out, e.onset);
        fprintf(out, "%.4f\t%.4f\t%s\t%s\t", e.onset, e.duration, kinds[static_cast<int>(e.kind)],
                eyes[e.eye]);
        writeReportNumber(out, e.amplitudeDeg);
        fputc('\t', out);
        writeReportNumber(out, e.peakVelocity, "%.1f");
        for (const float* p : {e.start, e.end})
            for (int k = 0; k < 3; k++) {
                fputc('\t', out);
                writeReportNumber(out, p[k]);
            }
        fputs(phaseRows ? "\tn/a\tn/a\tn/a\n" : "\n", out);
    }
    writePhaseRowsBefore(out, INFINITY);
}

// Rows read twice where pages meet, so that an event at a boundary is
// found whole: each page keeps the events that begin in its own rows.
constexpr int PAGE_OVERLAP = 2000;
// An event this near a page's last row may run on past it (velocities
// need two rows after, margins reach further).
constexpr int PAGE_END_ROWS = 3;

// Slow phases change hands this many rows before the quick phases and
// events do: where a page hands over at the end of a quick phase, the next
// page may find that quick phase a row or two shorter, and the slow phase
// after it must still fall to the next page.
constexpr int SLOW_PHASE_SLACK_ROWS = 2;

// Each eye's fixation positions (horizontal, vertical, torsion) whose
// torsion was measured, kept from the one pass over the pages: the plane's
// thickness needs every sample's residual from the plane of all of them,
// which is known only at the end. 12 bytes a sample, where reading the file
// again would cost the time of reading it.
std::vector<float> keptFixations[2];

// A blink or loss longer than a page, carried from page to page until it
// ends, its rows counted from the file's first sample.
struct CarriedEvent {
    bool open;
    EyeEvent event;
};
CarriedEvent carried[2];
// Pages on which an eye's velocity never varied, and pages in all.
int flatPages[2];
SaccadeTrouble flatTrouble[2];
int pagesRead;
// The pages' sampling rates (samples per second), 0 until one advances.
double lowestRate, highestRate;

bool reachesPageEnd(const EyeEvent& e, int rows) {
    return e.spanEnd > rows - PAGE_END_ROWS;
}

// Where the page's own rows end: before the first of its own events that
// may run past the page, so that the next page finds it whole; at least
// PAGE_OVERLAP rows after its own first row, so that reading moves on (an
// event longer than that is carried instead).
int ownRowsEnd(const EyeEvent* events, int found, int rows, int ownFirst) {
    int ownEnd = rows - PAGE_OVERLAP / 2;
    for (int e = 0; e < found; e++) {
        const EyeEvent& ev = events[e];
        if (ev.firstRow < ownFirst || ev.firstRow >= ownEnd || !reachesPageEnd(ev, rows)) continue;
        if (ev.spanFirst >= ownFirst + PAGE_OVERLAP) ownEnd = std::min(ownEnd, ev.spanFirst);
    }
    return ownEnd;
}

// Counts an event's rows from another first row: from the file's first
// sample (by the page's start) or back from it.
void shiftRows(EyeEvent& e, long long by) {
    e.firstRow = static_cast<int>(e.firstRow + by);
    e.endRow = static_cast<int>(e.endRow + by);
    e.spanFirst = static_cast<int>(e.spanFirst + by);
    e.spanEnd = static_cast<int>(e.spanEnd + by);
}

// Joins a page's missing run that began on an earlier page to what was
// carried of it: the same run, now counted to where it ends here.
void joinCarried(EyeEvent& carriedEvent, const EyeEvent& here, long long pageStart) {
    const double endTime = here.onset + here.duration;
    carriedEvent.endRow = static_cast<int>(pageStart + here.endRow);
    carriedEvent.spanEnd = static_cast<int>(pageStart + here.spanEnd);
    carriedEvent.duration = endTime - carriedEvent.onset;
    for (int k = 0; k < 3; k++)
        carriedEvent.end[k] = here.end[k];
    carriedEvent.kind = carriedEvent.duration >= BLINK_SHORTEST_SECONDS - 1e-9 &&
                                carriedEvent.duration <= BLINK_LONGEST_SECONDS + 1e-9
                            ? EventKind::Blink
                            : EventKind::Loss;
}

// The page's own events into own (rows counted on the page): those that
// begin in its own rows, and a carried run once it ends; a run that
// reaches past a page it cannot be moved off is carried on.
int ownEvents(const EyeEvent* events, int found, int rows, int ownFirst, int ownEnd, bool last,
              long long pageStart, EyeEvent* own) {
    int count = 0;
    for (int e = 0; e < found; e++) {
        EyeEvent ev = events[e];
        CarriedEvent& c = carried[ev.eye];
        const bool missingRun = ev.kind != EventKind::Saccade;
        if (missingRun && c.open && ev.firstRow <= ownFirst &&
            pageStart + ev.firstRow <= c.event.endRow) {
            joinCarried(c.event, ev, pageStart);
            if (!last && reachesPageEnd(ev, rows)) continue; // still running
            ev = c.event;
            shiftRows(ev, -pageStart);
            c.open = false;
            own[count++] = ev;
            continue;
        }
        if (ev.firstRow < ownFirst || ev.firstRow >= ownEnd) continue;
        if (missingRun && !last && reachesPageEnd(ev, rows)) {
            c.open = true;
            c.event = ev;
            shiftRows(c.event, pageStart);
            continue;
        }
        own[count++] = ev;
    }
    return count;
}

// While a blink or loss is carried, later events wait here: it is written
// when it ends, and the file stays in order of onset.
constexpr int HELD_EVENTS = 4 * MOST_EVENTS;
EyeEvent heldEvents[HELD_EVENTS];
int heldCount;

void holdOrWriteEvents(FILE* out, const EyeEvent* events, int count, bool last) {
    if (heldCount + count > HELD_EVENTS) { // more than pages of them: out of order rather than lost
        writeEvents(out, heldEvents, heldCount);
        heldCount = 0;
    }
    std::copy(events, events + count, heldEvents + heldCount);
    heldCount += count;
    if (!last && (carried[0].open || carried[1].open)) return;
    std::stable_sort(heldEvents, heldEvents + heldCount, [](const EyeEvent& a, const EyeEvent& b) {
        return a.onset != b.onset ? a.onset < b.onset : a.eye < b.eye;
    });
    writeEvents(out, heldEvents, heldCount);
    heldCount = 0;
}

// One pass over every page: counts, events, the planes' sums, and the
// fixation positions kept for the residuals.
bool passOverPages(const StartOptions& o, FILE* events) {
    long long start = 0;
    carried[0].open = carried[1].open = false;
    for (;;) {
        if (!readRecordingPage(recordingPath, start)) return false;
        const int rows = recording.rowCount;
        const bool last = recordingExtent.firstSample + rows >= recordingExtent.selectedSamples;
        const int ownFirst = start == 0 ? 0 : PAGE_OVERLAP / 2;
        const int found = detectEyeEvents(recording, 0, rows, o.saccades, pageEvents, MOST_EVENTS);
        int ownEnd = last ? rows : ownRowsEnd(pageEvents, found, rows, ownFirst);
        // Quick phases move the hand-over whether or not they are asked for,
        // so that the pages, and with them the events, are the same for
        // every set of outputs.
        findPageNystagmus(recording, o.nystagmusLambda);
        if (!last) ownEnd = std::min(ownEnd, nystagmusHandOver(rows, ownFirst + PAGE_OVERLAP));
        pagesRead++;
        const double rate = eventsSampleRate;
        if (rate > 0 && (lowestRate == 0 || rate < lowestRate)) lowestRate = rate;
        if (rate > highestRate) highestRate = rate;
        for (int eye = 0; eye < 2; eye++)
            if (saccadeTrouble[eye] != SaccadeTrouble::None) {
                flatPages[eye]++;
                flatTrouble[eye] = saccadeTrouble[eye];
            }
        for (int eye = 0; eye < 2; eye++) {
            EyeTotals& t = totals[eye];
            const int column = eye ? 10 : 3;
            // Every event found marks its rows, the neighbours' own included.
            markFixationRows(recording, 0, rows, pageEvents, found, eye, fixation);
            for (int i = ownFirst; i < ownEnd; i++) {
                t.samples++;
                t.missing += eyeSampleMissing(recording, i, column);
                if (fixation[i] && !eyeTorsionMissing(recording, i, column)) {
                    const float* c = recording.rows[i].col + column;
                    keptFixations[eye].insert(keptFixations[eye].end(), c, c + 3);
                }
            }
            addFixationVectors(recording, ownFirst, ownEnd, eye, fixation, {o.convention, o.signs},
                               0, t.sums, t.planes);
        }
        const int count = ownEvents(pageEvents, found, rows, ownFirst, ownEnd, last,
                                    recordingExtent.firstSample, ownedEvents);
        addPageNystagmus(
            recording, ownFirst, ownEnd, start == 0 ? 0 : ownFirst - SLOW_PHASE_SLACK_ROWS,
            last ? rows : ownEnd - SLOW_PHASE_SLACK_ROWS, ownedEvents, count, events && phaseRows);
        for (int e = 0; e < count; e++) {
            EyeTotals& t = totals[ownedEvents[e].eye];
            t.saccades += ownedEvents[e].kind == EventKind::Saccade;
            t.blinks += ownedEvents[e].kind == EventKind::Blink;
        }
        if (events)
            holdOrWriteEvents(events, mergedEvents,
                              mergeBinocularEvents(ownedEvents, count, mergedEvents, MOST_EVENTS),
                              last);
        if (last) return true;
        start = recordingExtent.firstSample + ownEnd - PAGE_OVERLAP / 2;
    }
}

void writeReport(const StartOptions& o) {
    static const char* const conventions[] = {"fick", "helmholtz"};
    printf("eye\tsamples\tmissing\tsaccades\tblinks\tfixation_samples\tconvention\tplane_b\t"
           "plane_c\tprimary_right_deg\tprimary_up_deg\tthickness_deg\t"
           "thickness_other_convention_deg%s\n",
           NYSTAGMUS_REPORT_COLUMNS);
    for (int eye = 0; eye < 2; eye++) {
        const EyeTotals& t = totals[eye];
        const ListingPlane& p = t.planes[0];
        printf("%s\t%lld\t%lld\t%lld\t%lld\t%lld\t%s\t", eye ? "right" : "left", t.samples,
               t.missing, t.saccades, t.blinks, t.sums[0].n + t.sums[0].withoutTorsion,
               conventions[static_cast<int>(o.convention)]);
        const double none = NAN;
        writeReportNumber(stdout, p.valid ? p.b : none, "%.6f");
        putchar('\t');
        writeReportNumber(stdout, p.valid ? p.c : none, "%.6f");
        putchar('\t');
        writeReportNumber(stdout, p.valid ? p.primaryRightDeg : none, "%.3f");
        putchar('\t');
        writeReportNumber(stdout, p.valid ? p.primaryUpDeg : none, "%.3f");
        putchar('\t');
        writeReportNumber(stdout, p.valid ? p.thicknessDeg : none, "%.3f");
        putchar('\t');
        writeReportNumber(stdout, t.planes[1].valid ? t.planes[1].thicknessDeg : none, "%.3f");
        writeNystagmusColumns(eye);
        putchar('\n');
        if (flatPages[eye] > 0 && flatPages[eye] == pagesRead)
            fprintf(stderr, "quelvist: %s eye: no saccades: %s\n", eye ? "right" : "left",
                    describeSaccadeTrouble(flatTrouble[eye]));
        else if (flatPages[eye] > 0)
            fprintf(stderr, "quelvist: %s eye: no saccades on %d of %d pages: %s\n",
                    eye ? "right" : "left", flatPages[eye], pagesRead,
                    describeSaccadeTrouble(flatTrouble[eye]));
        if (p.noTorsion)
            fprintf(stderr, "quelvist: %s eye: no torsion recorded, so no Listing's plane\n",
                    eye ? "right" : "left");
        else if (t.sums[0].n < LISTING_FEWEST_SAMPLES)
            fprintf(stderr, "quelvist: %s eye: too few fixation samples (%lld) for a plane\n",
                    eye ? "right" : "left", t.sums[0].n);
    }
    const ListingPlane planes[2][2] = {{totals[0].planes[0], totals[0].planes[1]},
                                       {totals[1].planes[0], totals[1].planes[1]}};
    char hint[160];
    if (describeConventionHint(hint, sizeof hint, planes, o.convention))
        fprintf(stderr, "quelvist: %s\n", hint);
    // The rules the saccades were counted by, to be cited with the numbers.
    fprintf(stderr, "quelvist: %s\n",
            describeSaccadeRules(o.saccades, lowestRate, highestRate).c_str());
    writeNystagmusRules(o.nystagmusLambda);
}

// Where the events and their sidecar may not be written: before anything
// is read, so that a run ends at once rather than after the last page.
bool refuseEventsFiles(const StartOptions& o, const std::string& sidecar) {
    const char* names[2] = {o.eventsPath, sidecar.c_str()};
    const OutputKind kinds[2] = {OutputKind::Events, OutputKind::EventsSidecar};
    for (int i = 0; i < 2; i++) {
        const char* problem = outputFileProblem(names[i], kinds[i], o.force, recordingPath);
        if (problem) {
            fprintf(stderr, "quelvist: will not write %s: %s\n", names[i], problem);
            return true;
        }
    }
    return false;
}

// The sidecar, complete under its partial name, then both files renamed
// into place, the sidecar first: an events table never stands without the
// description of how it was made. False (and a line said) on failure.
bool finishEventsFiles(const StartOptions& o, const std::string& sidecar, OutputFile& table) {
    OutputFile description;
    const char* problem = nullptr;
    const std::string text = describeEventsTable(o, recordingPath, lowestRate, highestRate);
    const char* failed = sidecar.c_str();
    if (openOutputFile(failed, OutputKind::EventsSidecar, description, &problem)) {
        fwrite(text.data(), 1, text.size(), description.stream);
        if (finishOutputFile(description, &problem)) {
            failed = o.eventsPath;
            if (finishOutputFile(table, &problem)) return true;
            fprintf(stderr,
                    "quelvist: could not write %s: %s (%s describes events that were not "
                    "written)\n",
                    failed, problem, sidecar.c_str());
            return false;
        }
    }
    abandonOutputFile(table);
    fprintf(stderr, "quelvist: could not write %s: %s; so %s was not written either\n", failed,
            problem, o.eventsPath);
    return false;
}

} // namespace

int runReport(const StartOptions& o) {
    if (!o.recordingArgument) {
        fputs("quelvist: --report and --events need a RECORDING (see quelvist --help)\n", stderr);
        return 2;
    }
    if (strlen(o.recordingArgument) >= RECORDING_PATH_CAPACITY)
        reportUnreadableRecording(o.recordingArgument);
    strcpy(recordingPath, o.recordingArgument);
    recordingSelection.from = o.from;
    recordingSelection.to = o.to;
    FILE* events = nullptr;
    OutputFile output;
    const std::string sidecar = o.eventsPath ? eventsSidecarName(o.eventsPath) : "";
    if (o.eventsPath) {
        outputForced = o.force;
        if (refuseEventsFiles(o, sidecar)) return 2;
        const char* problem = nullptr;
        if (!openOutputFile(o.eventsPath, OutputKind::Events, output, &problem)) {
            fprintf(stderr, "quelvist: could not write %s: %s\n", o.eventsPath, problem);
            return 2;
        }
        events = output.stream;
        phaseRows = o.nystagmus;
        if (phaseRows) {
            fwrite(EVENTS_HEADER, 1, strlen(EVENTS_HEADER) - 1, events);
            fprintf(events, "%s\n", NYSTAGMUS_EVENTS_COLUMNS);
        } else {
            fputs(EVENTS_HEADER, events);
        }
    }
    bool read = passOverPages(o, events);
    for (int eye = 0; eye < 2; eye++) {
        EyeTotals& t = totals[eye];
        for (int which = 0; which < 2; which++)
            t.planes[which] = planeOfFixations(t.sums[which], o.signs);
        addFixationResiduals(keptFixations[eye].data(),
                             static_cast<long long>(keptFixations[eye].size() / 3),
                             {o.convention, o.signs}, t.planes);
    }
    char trouble[400];
    if (read &&
        describeRecordingTrouble(trouble, sizeof trouble, recordingExtent, recordingSelection)) {
        fprintf(stderr, "quelvist: %s: %s\n", recordingPath, trouble);
        read = false;
    }
    if (events) {
        if (!read)
            abandonOutputFile(output);
        else if (!finishEventsFiles(o, sidecar, output))
            return 2;
    }
    if (!read && recordingExtent.trouble == RecordingTrouble::None) {
        fprintf(stderr, "quelvist: Could not open filename %s.\n", recordingPath);
        return 1;
    }
    if (!read) return 2;
    if (o.report) writeReport(o);
    // The event file's line, kept off standard output where the report goes.
    if (o.eventsPath && !o.report)
        fprintf(stderr, "quelvist: wrote %s and %s\n", o.eventsPath, sidecar.c_str());
    return 0;
}
