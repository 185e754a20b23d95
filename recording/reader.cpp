// Reads a recording export into the fixed table.
//
// The file is read in large blocks and cut into the same pieces that fgets
// with an 800-character buffer would give (at most 799 characters, the line
// end kept), so over-long lines split exactly as users of earlier exports
// expect. Nothing is allocated per line.
#include "recording/recording.h"

#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

RecordingTable recording;

namespace {

constexpr int PIECE = RECORDING_LINE_BUFFER - 1;
constexpr size_t BLOCK = 1 << 20;
char block[BLOCK + 1]; // room for the end mark after the last piece

struct BlockReader {
    FILE* file;
    size_t start;
    size_t filled;
    bool atEnd;
    bool failed;
};

// Moves the unread rest to the front and fills the block as far as it goes.
void refill(BlockReader& in) {
    size_t rest = in.filled - in.start;
    memmove(block, block + in.start, rest);
    in.start = 0;
    in.filled = rest;
    while (in.filled < BLOCK && !in.atEnd) {
        size_t n = fread(block + in.filled, 1, BLOCK - in.filled, in.file);
        if (n == 0) {
            in.atEnd = true;
            in.failed = ferror(in.file) != 0;
        }
        in.filled += n;
    }
}

// The line is a C string, as fgets would give it. Fields are separated by
// runs of tabs; leading tabs make no field, and the line end belongs to the
// last field. Fields past the fifteenth are dropped.
void storeRow(const char* line, RecordingRow& row) {
    memset(&row, 0, sizeof row);
    int column = 0;
    const char* p = line;
    while (column < RECORDING_COLUMNS) {
        while (*p == '\t')
            p++;
        if (!*p) break;
        const char* after;
        row.col[column++] = static_cast<float>(parseDecimalPrefix(p, &after));
        // The rest of the field, usually nothing, is not a number.
        while (*after && *after != '\t')
            after++;
        p = after;
    }
}

} // namespace

// Rows from rowCount on are kept zero: they are read in one case (the replay
// on an empty recording), also when a table is read a second time.
static void clearRowsAfterCount(RecordingTable& table, int writtenEnd) {
    if (writtenEnd > table.rowCount)
        memset(&table.rows[table.rowCount], 0,
               sizeof(RecordingRow) * (writtenEnd - table.rowCount));
}

bool loadRecording(const char* path, RecordingTable& table, const RecordingSelection& selection,
                   RecordingExtent* extent) {
    // Binary on every system: in text mode Windows ends a file at a Ctrl-Z.
    FILE* file = openFile(path, "rb");
    if (!file) {
        int previousCount = table.rowCount;
        table.rowCount = 0;
        clearRowsAfterCount(table, previousCount);
        if (extent) *extent = {selection.firstSample, 0, 0, 0};
        return false;
    }
    bool readable = isReadableFile(file) && readRecordingStream(file, table, selection, extent);
    fclose(file);
    return readable;
}

// An open end of the range keeps every time, infinite ones included.
static bool selects(const RecordingSelection& selection, float time) {
    return (selection.from == WHOLE_RECORDING.from || time >= selection.from) &&
           (selection.to == WHOLE_RECORDING.to || time < selection.to);
}

// The first field of a line, all that is needed of samples past the table.
static float firstField(const char* line) {
    while (*line == '\t')
        line++;
    return static_cast<float>(parseDecimalPrefix(line));
}

bool readRecordingStream(FILE* file, RecordingTable& table, const RecordingSelection& selection,
                         RecordingExtent* extent) {
    int writtenEnd = table.rowCount; // rows that may hold data and must end up zero
    table.rowCount = 0;
    BlockReader in = {file, 0, 0, false, false};
    bool headerPending = true;
    bool readAnything = false;
    long long selected = 0;
    float firstTime = 0, lastTime = 0;
    for (;;) {
        if (in.filled - in.start < static_cast<size_t>(PIECE) && !in.atEnd) refill(in);
        size_t available = in.filled - in.start;
        if (available == 0) break;
        readAnything = true;

        char* line = block + in.start;
        size_t limit = available < static_cast<size_t>(PIECE) ? available : PIECE;
        char* newline = static_cast<char*>(memchr(line, '\n', limit));
        size_t length = newline ? static_cast<size_t>(newline - line) + 1 : limit;
        in.start += length;

        if (!headerPending) {
            // End the piece as fgets would, for a moment; a NUL inside the
            // line ends it earlier, as it would for strtok.
            char after = line[length];
            line[length] = '\0';
            // Rows before the page and past the table need only their time.
            float time;
            const bool toTable =
                table.rowCount < RECORDING_CAPACITY && selected >= selection.firstSample;
            if (toTable) {
                // Parsed in place; kept only when the range takes it.
                storeRow(line, table.rows[table.rowCount]);
                if (table.rowCount >= writtenEnd) writtenEnd = table.rowCount + 1;
                time = table.rows[table.rowCount].col[0];
            } else {
                time = firstField(line);
            }
            line[length] = after;
            if (selects(selection, time)) {
                if (selected == 0) firstTime = time;
                lastTime = time;
                if (toTable) table.rowCount++;
                selected++;
            }
        }
        if (length >= 4 && memcmp(line, "Time", 4) == 0) headerPending = false;
    }
    clearRowsAfterCount(table, writtenEnd);
    if (extent) *extent = {selection.firstSample, selected, firstTime, lastTime};
    // A file that opened but could not be read at all (a device error, say)
    // is as unreadable as one that did not open.
    return readAnything || !in.failed;
}
