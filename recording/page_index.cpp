// The page index of the recording being read: byte offsets of every
// step'th selected sample's line, kept in a fixed table that halves itself
// when full.
#include "recording/recording.h"

#include <cstring>

PageIndex pageIndex;

void beginPageIndex(const char* path, const RecordingSelection& selection, int headerLine) {
    pageIndex.valid = false;
    pageIndex.count = 0;
    pageIndex.step = PAGE_INDEX_FIRST_STEP;
    pageIndex.from = selection.from;
    pageIndex.to = selection.to;
    pageIndex.headerLine = headerLine;
    snprintf(pageIndex.path, sizeof pageIndex.path, "%s", path);
}

void notePageIndexLine(long long selected, long long offset, long long samples, long long lines,
                       double time, double reached) {
    PageIndex& x = pageIndex;
    if (selected % x.step != 0 || selected / x.step != x.count) return;
    if (x.count == PAGE_INDEX_CAPACITY) {
        // Every other entry goes: the step doubles.
        for (int k = 0; k < PAGE_INDEX_CAPACITY / 2; k++)
            x.entries[k] = x.entries[2 * k];
        x.count = PAGE_INDEX_CAPACITY / 2;
        x.step *= 2;
        if (selected % x.step != 0) return;
    }
    x.entries[x.count++] = {offset, samples, lines, time, reached};
}

void finishPageIndex(const FileStamp& stamp, const RecordingExtent& extent, long long tailOffset,
                     long long tailLines, const ReadCounts& tail) {
    pageIndex.stamp = stamp;
    pageIndex.extent = extent;
    pageIndex.tailOffset = tailOffset;
    pageIndex.tailLines = tailLines;
    pageIndex.tail = tail;
    pageIndex.valid = pageIndex.count > 0 || extent.selectedSamples == 0;
}

void forgetPageIndex() {
    pageIndex.valid = false;
}

bool pageIndexFits(const char* path, const RecordingSelection& selection, int headerLine) {
    // The range compared as given: both ends are written by the same options.
    return pageIndex.valid && pageIndex.headerLine == headerLine &&
           memcmp(&pageIndex.from, &selection.from, sizeof(double)) == 0 &&
           memcmp(&pageIndex.to, &selection.to, sizeof(double)) == 0 &&
           strcmp(pageIndex.path, path) == 0;
}

const PageIndexEntry* pageIndexEntryBefore(long long sample, long long* selected) {
    if (pageIndex.count == 0) return nullptr;
    long long k = sample / pageIndex.step;
    if (k >= pageIndex.count) k = pageIndex.count - 1;
    if (k < 0) k = 0;
    *selected = k * pageIndex.step;
    return &pageIndex.entries[k];
}

long long pageIndexSampleBeforeTime(double time) {
    int low = 0, high = pageIndex.count; // the first entry to have reached it, by halves
    while (low < high) {
        const int middle = (low + high) / 2;
        if (pageIndex.entries[middle].reached < time)
            low = middle + 1;
        else
            high = middle;
    }
    return low > 0 ? (low - 1) * pageIndex.step : 0;
}
