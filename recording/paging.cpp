// Files longer than the table are shown a page of 50000 samples at a time;
// the page, the notice that says which part is shown, and the times of the
// samples on the page.
#include "recording/recording.h"

#include "platform/platform.h"

#include <cstdio>

RecordingSelection recordingSelection = WHOLE_RECORDING;
RecordingExtent recordingExtent;

bool readRecordingPage(const char* path, long long firstSample) {
    FILE* file = openFile(path, "rb");
    if (!file) return false; // the page shown stays
    RecordingSelection selection = recordingSelection;
    selection.firstSample = firstSample;
    RecordingExtent extent;
    bool readable =
        isReadableFile(file) && readRecordingStream(file, recording, selection, &extent);
    fclose(file);
    recordingSelection = selection;
    recordingExtent = extent;
    return readable;
}

long long neighbourPageStart(const RecordingExtent& extent, int direction) {
    long long start = extent.firstSample + direction * static_cast<long long>(RECORDING_CAPACITY);
    if (start < 0) start = 0;
    if (start >= extent.selectedSamples) return extent.firstSample;
    return start;
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

double samplesPerSecond(const RecordingTable& table) {
    if (table.rowCount < 2) return 0;
    const double span =
        static_cast<double>(table.rows[table.rowCount - 1].col[0]) - table.rows[0].col[0];
    return span > 0 ? (table.rowCount - 1) / span : 0;
}

int trailStart(const RecordingTable& table, int count, double seconds) {
    if (count < 1) return 0;
    const double newest = table.rows[count - 1].col[0];
    int first = count - 1;
    while (first > 0 && newest - table.rows[first - 1].col[0] < seconds)
        first--;
    return first;
}
