// Files longer than the table are shown a page of 50000 samples at a time;
// the page, the notice that says which part is shown, and the times of the
// samples on the page.
#include "recording/recording.h"

#include "platform/platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

RecordingSelection recordingSelection = WHOLE_RECORDING;
RecordingExtent recordingExtent;
char recordingPageNotice[400];

// Reads the page into a table of its own first: the page shown must stay
// whole when the file has gone (deleted, or replaced by a directory).
static RecordingTable pageTable;

static bool readPage(const char* path, const RecordingSelection& selection,
                     RecordingExtent& extent) {
    FILE* file = openFile(path, "rb");
    if (!file) return false;
    pageTable.rowCount = recording.rowCount; // rows a previous page left are cleared
    const bool readable =
        isReadableFile(file) && readRecordingStream(file, pageTable, selection, &extent, path);
    fclose(file);
    return readable;
}

bool readRecordingPage(const char* path, long long firstSample) {
    RecordingSelection selection = recordingSelection;
    selection.firstSample = firstSample;
    RecordingExtent extent;
    bool readable = readPage(path, selection, extent);
    if (readable && firstSample > 0 && firstSample >= extent.selectedSamples) {
        // The file has become shorter: its last page instead (the first,
        // empty one when nothing is left).
        selection.firstSample = lastPageStart(extent);
        readable = readPage(path, selection, extent);
    }
    if (!readable) {
        snprintf(recordingPageNotice, sizeof recordingPageNotice,
                 "Could not read %s again; the page shown stays", path);
        return false;
    }
    recordingPageNotice[0] = '\0';
    const int writtenEnd =
        recording.rowCount > pageTable.rowCount ? recording.rowCount : pageTable.rowCount;
    copyRecordingRows(recording, pageTable, 0, writtenEnd);
    recording.rowCount = pageTable.rowCount;
    recordingVersion++;
    recordingSelection = selection;
    recordingExtent = extent;
    return true;
}

bool openOtherRecording(const char* path, char* why, size_t capacity) {
    const RecordingSelection selection = WHOLE_RECORDING;
    RecordingExtent extent;
    const int shownRows = recording.rowCount;
    if (!readPage(path, selection, extent)) {
        snprintf(why, capacity, "Could not open %s; %s stays", path, recordingPath);
        return false;
    }
    // A file with nothing to draw does not replace one that has.
    char trouble[300];
    const bool troubled = describeRecordingTrouble(trouble, sizeof trouble, extent, selection);
    if (troubled || pageTable.rowCount == 0) {
        if (!troubled) snprintf(trouble, sizeof trouble, "No samples");
        snprintf(why, capacity, "%s: %s; %s stays", path, trouble, recordingPath);
        return false;
    }
    copyRecordingRows(recording, pageTable, 0, std::max(shownRows, pageTable.rowCount));
    recording.rowCount = pageTable.rowCount;
    recordingVersion++;
    recordingSelection = selection;
    recordingExtent = extent;
    recordingPageNotice[0] = '\0';
    snprintf(recordingPath, RECORDING_PATH_CAPACITY, "%s", path);
    if (capacity) why[0] = '\0';
    return true;
}

long long neighbourPageStart(const RecordingExtent& extent, int direction) {
    long long start = extent.firstSample + direction * static_cast<long long>(RECORDING_CAPACITY);
    if (start < 0) start = 0;
    if (start >= extent.selectedSamples) return extent.firstSample;
    return start;
}

long long lastPageStart(const RecordingExtent& extent) {
    return extent.selectedSamples > 0
               ? (extent.selectedSamples - 1) / RECORDING_CAPACITY * RECORDING_CAPACITY
               : 0;
}

bool readPageAtTime(const char* path, double seconds, int* row) {
    // Where Time only grows, the index's entry before that time is on the
    // page that holds it or the one before; a clock that restarts may take
    // a few pages more.
    const bool indexed = pageIndexFits(path, recordingSelection, pageIndex.headerLine);
    long long sample = indexed ? pageIndexSampleBeforeTime(seconds) : 0;
    long long page = sample / RECORDING_CAPACITY * RECORDING_CAPACITY;
    for (;;) {
        if (page != recordingExtent.firstSample || recording.rowCount == 0)
            if (!readRecordingPage(path, page)) return false;
        const int first = sample > recordingExtent.firstSample
                              ? static_cast<int>(sample - recordingExtent.firstSample)
                              : 0;
        for (int i = first; i < recording.rowCount; i++)
            if (recording.times[i] >= seconds) {
                *row = i;
                return true;
            }
        const long long next = recordingExtent.firstSample + RECORDING_CAPACITY;
        if (next >= recordingExtent.selectedSamples || recording.rowCount == 0) {
            *row = recording.rowCount - 1; // later than the last sample
            return true;
        }
        page = next;
        sample = next;
    }
}

bool describeRecordingPage(char* out, size_t capacity, const RecordingExtent& extent,
                           const RecordingTable& table) {
    if (capacity) out[0] = '\0';
    if (extent.firstSample == 0 && extent.selectedSamples <= table.rowCount) return false;
    const int last = table.rowCount > 0 ? table.rowCount - 1 : 0;
    snprintf(out, capacity,
             "samples %lld-%lld of %lld (%.3f-%.3f s of %.3f s)  PgDn/PgUp: next/previous",
             extent.firstSample + (table.rowCount > 0 ? 1 : 0), extent.firstSample + table.rowCount,
             extent.selectedSamples, table.rows[0].col[0], table.rows[last].col[0],
             extent.lastTime);
    return true;
}

int trailStart(const RecordingTable& table, int count, double seconds) {
    if (count < 1) return 0;
    const double newest = table.rows[count - 1].col[0];
    int first = count - 1;
    while (first > 0) {
        const double earlier = table.rows[first - 1].col[0];
        // A clock that restarted, or a stray line, ends the trail.
        if (earlier > table.rows[first].col[0] || newest - earlier >= seconds) break;
        first--;
    }
    return first;
}

// Seconds as a user writes them: "12.5", "1000", "0.1234567".
static void formatSeconds(char* out, size_t capacity, double seconds) {
    snprintf(out, capacity, "%.10g", seconds);
}

bool describeRecordingTrouble(char* out, size_t capacity, const RecordingExtent& extent,
                              const RecordingSelection& selection) {
    if (capacity) out[0] = '\0';
    // In the order of RecordingTrouble; the range's line is made below.
    static const char* const reasons[] = {
        "",
        "No samples: the file is empty",
        "No samples: no line begins with Time",
        "No samples: no line begins with Time (one begins with time)",
        "This file is UTF-16 text; save it as UTF-8 or ANSI text",
        "No samples: the columns are separated by commas, not tabs; export tab-separated text",
        "No samples: the columns are separated by semicolons, not tabs; export tab-separated "
        "text",
        "No samples: no line follows the Time line",
        "", // the columns' line is made below
    };
    static_assert(sizeof reasons / sizeof *reasons ==
                  static_cast<size_t>(RecordingTrouble::NoneInRange));
    if (extent.trouble == RecordingTrouble::None) return false;
    if (extent.trouble == RecordingTrouble::TooFewColumns) {
        snprintf(out, capacity,
                 "No samples: the eye columns start at column %d; this file has %d %s",
                 FIRST_EYE_COLUMN + 1, extent.columns, extent.columns == 1 ? "column" : "columns");
        return true;
    }
    if (extent.trouble != RecordingTrouble::NoneInRange) {
        snprintf(out, capacity, "%s", reasons[static_cast<int>(extent.trouble)]);
        return true;
    }
    char from[32], to[32];
    formatSeconds(from, sizeof from, selection.from);
    formatSeconds(to, sizeof to, selection.to);
    if (selection.to == WHOLE_RECORDING.to)
        snprintf(out, capacity,
                 "No samples between %s s and the end (the recording ends at %.3f s)", from,
                 extent.fileLastTime);
    else if (selection.from == WHOLE_RECORDING.from)
        snprintf(out, capacity, "No samples before %s s (the recording begins at %.3f s)", to,
                 extent.fileFirstTime);
    else
        snprintf(out, capacity,
                 "No samples between %s s and %s s (the recording runs from %.3f s to %.3f s)",
                 from, to, extent.fileFirstTime, extent.fileLastTime);
    return true;
}
