// The report mode (--report, --events): each eye's numbers and the events
// of the whole recording (every page), written without a window.
#include "app/app.h"

#include "analysis/analysis.h"
#include "platform/platform.h"
#include "recording/recording.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

const char* const EVENTS_HEADER =
    "onset\tduration\ttrial_type\teye\tamplitude_deg\tpeak_velocity_deg_s\tstart_h\tstart_v\t"
    "start_t\tend_h\tend_v\tend_t\n";

namespace {

struct EyeTotals {
    long long samples, missing, saccades, blinks;
    PlaneSums sums[2]; // the chosen convention, the other one
    ListingPlane planes[2];
};
EyeTotals totals[2];

EyeEvent pageEvents[MOST_EVENTS], mergedEvents[MOST_EVENTS];
bool fixation[RECORDING_CAPACITY];

// "n/a" where a value does not exist, as BIDS files write it.
void writeNumber(FILE* out, double value, const char* format = "%.4f") {
    if (std::isfinite(value))
        fprintf(out, format, value);
    else
        fputs("n/a", out);
}

void writeEvents(FILE* out, const EyeEvent* events, int count) {
    static const char* const kinds[] = {"saccade", "blink", "loss"};
    static const char* const eyes[] = {"left", "right", "both"};
    for (int i = 0; i < count; i++) {
        const EyeEvent& e = events[i];
        fprintf(out, "%.4f\t%.4f\t%s\t%s\t", e.onset, e.duration, kinds[static_cast<int>(e.kind)],
                eyes[e.eye]);
        writeNumber(out, e.amplitudeDeg);
        fputc('\t', out);
        writeNumber(out, e.peakVelocity, "%.1f");
        for (const float* p : {e.start, e.end})
            for (int k = 0; k < 3; k++) {
                fputc('\t', out);
                writeNumber(out, p[k]);
            }
        fputc('\n', out);
    }
}

// Rows read twice where pages meet, so that an event at a boundary is
// found whole: each page keeps the events that begin in its own rows.
constexpr int PAGE_OVERLAP = 2000;

// One pass over every page: pass 0 counts, finds events and sums the
// planes; pass 1 adds each fixation sample's residual for the thickness.
bool passOverPages(const StartOptions& o, int pass, FILE* events) {
    long long start = 0;
    for (;;) {
        if (!readRecordingPage(recordingPath, start)) return false;
        const int rows = recording.rowCount;
        const bool last = recordingExtent.firstSample + rows >= recordingExtent.selectedSamples;
        const int ownFirst = start == 0 ? 0 : PAGE_OVERLAP / 2;
        const int ownEnd = last ? rows : rows - PAGE_OVERLAP / 2;
        const int found = detectEyeEvents(recording, 0, rows, pageEvents, MOST_EVENTS);
        for (int eye = 0; eye < 2; eye++) {
            EyeTotals& t = totals[eye];
            const int column = eye ? 10 : 3;
            // Every event found marks its rows, the neighbours' own included.
            markFixationRows(recording, 0, rows, pageEvents, found, eye, fixation);
            if (pass == 0)
                for (int i = ownFirst; i < ownEnd; i++) {
                    t.samples++;
                    t.missing += eyeSampleMissing(recording, i, column);
                }
            addFixationVectors(recording, ownFirst, ownEnd, eye, fixation, {o.convention, o.signs},
                               pass, t.sums, t.planes);
        }
        // The page's own events.
        int count = 0;
        for (int e = 0; e < found; e++)
            if (pageEvents[e].firstRow >= ownFirst && pageEvents[e].firstRow < ownEnd)
                pageEvents[count++] = pageEvents[e];
        if (pass == 0) {
            for (int e = 0; e < count; e++) {
                EyeTotals& t = totals[pageEvents[e].eye];
                t.saccades += pageEvents[e].kind == EventKind::Saccade;
                t.blinks += pageEvents[e].kind == EventKind::Blink;
            }
            if (events)
                writeEvents(events, mergedEvents,
                            mergeBinocularEvents(pageEvents, count, mergedEvents, MOST_EVENTS));
        }
        if (last) return true;
        start = recordingExtent.firstSample + ownEnd - PAGE_OVERLAP / 2;
    }
}

void writeReport(const StartOptions& o) {
    static const char* const conventions[] = {"fick", "helmholtz"};
    printf("eye\tsamples\tmissing\tsaccades\tblinks\tfixation_samples\tconvention\tplane_b\t"
           "plane_c\tprimary_right_deg\tprimary_up_deg\tthickness_deg\t"
           "thickness_other_convention_deg\n");
    for (int eye = 0; eye < 2; eye++) {
        const EyeTotals& t = totals[eye];
        const ListingPlane& p = t.planes[0];
        printf("%s\t%lld\t%lld\t%lld\t%lld\t%lld\t%s\t", eye ? "right" : "left", t.samples,
               t.missing, t.saccades, t.blinks, t.sums[0].n,
               conventions[static_cast<int>(o.convention)]);
        const double none = NAN;
        writeNumber(stdout, p.valid ? p.b : none, "%.6f");
        putchar('\t');
        writeNumber(stdout, p.valid ? p.c : none, "%.6f");
        putchar('\t');
        writeNumber(stdout, p.valid ? p.primaryRightDeg : none, "%.3f");
        putchar('\t');
        writeNumber(stdout, p.valid ? p.primaryUpDeg : none, "%.3f");
        putchar('\t');
        writeNumber(stdout, p.valid ? p.thicknessDeg : none, "%.3f");
        putchar('\t');
        writeNumber(stdout, t.planes[1].valid ? t.planes[1].thicknessDeg : none, "%.3f");
        putchar('\n');
        if (t.sums[0].n < LISTING_FEWEST_SAMPLES)
            fprintf(stderr, "quelvist: %s eye: too few fixation samples (%lld) for a plane\n",
                    eye ? "right" : "left", t.sums[0].n);
    }
    const ListingPlane planes[2][2] = {{totals[0].planes[0], totals[0].planes[1]},
                                       {totals[1].planes[0], totals[1].planes[1]}};
    char hint[160];
    if (describeConventionHint(hint, sizeof hint, planes, o.convention))
        fprintf(stderr, "quelvist: %s\n", hint);
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
    if (o.eventsPath) {
        outputForced = o.force;
        const char* problem =
            outputFileProblem(o.eventsPath, OutputKind::Events, o.force, recordingPath);
        if (problem) {
            fprintf(stderr, "quelvist: will not write %s: %s\n", o.eventsPath, problem);
            return 2;
        }
        if (!openOutputFile(o.eventsPath, OutputKind::Events, output, &problem)) {
            fprintf(stderr, "quelvist: could not write %s: %s\n", o.eventsPath, problem);
            return 2;
        }
        events = output.stream;
        fputs(EVENTS_HEADER, events);
    }
    bool read = passOverPages(o, 0, events);
    for (EyeTotals& t : totals)
        for (int which = 0; which < 2; which++)
            t.planes[which] = planeOfFixations(t.sums[which], o.signs);
    read = read && passOverPages(o, 1, nullptr);
    char trouble[400];
    if (read &&
        describeRecordingTrouble(trouble, sizeof trouble, recordingExtent, recordingSelection)) {
        fprintf(stderr, "quelvist: %s: %s\n", recordingPath, trouble);
        read = false;
    }
    if (events) {
        const char* problem = nullptr;
        if (!read) {
            abandonOutputFile(output);
        } else if (!finishOutputFile(output, &problem)) {
            fprintf(stderr, "quelvist: could not write %s: %s\n", o.eventsPath, problem);
            return 2;
        }
    }
    if (!read && recordingExtent.trouble == RecordingTrouble::None) {
        fprintf(stderr, "quelvist: Could not open filename %s.\n", recordingPath);
        return 1;
    }
    if (!read) return 2;
    if (o.report) writeReport(o);
    // The event file's line, kept off standard output where the report goes.
    if (o.eventsPath && !o.report) fprintf(stderr, "quelvist: wrote %s\n", o.eventsPath);
    return 0;
}
