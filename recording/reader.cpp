// Reads a recording export into the fixed table.
//
// The file is read in large blocks and cut into the same pieces that fgets
// with an 800-character buffer would give (at most 799 characters, the line
// end kept), so over-long lines split exactly as users of earlier exports
// expect. Nothing is allocated per line. UTF-16 text with a byte-order mark
// is turned into UTF-8 as it is read; a UTF-8 mark is skipped.
//
// The header is the first line beginning with "Time" whose next non-empty
// line begins with a number: exports carry preamble lines such as "Time of
// recording:" above it. Where no line qualifies, the first "Time" line is
// the header.
//
// A data line with exactly as many tab-separated fields as the header keeps
// every field in its column, so an empty cell is a missing value. Other
// lines (tabs repeated to align columns) are split at runs of tabs.
#include "recording/recording.h"

#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

RecordingTable recording;
unsigned recordingVersion;

namespace {

constexpr int PIECE = RECORDING_LINE_BUFFER - 1;
constexpr size_t BLOCK = 1 << 20;
char block[BLOCK + 1]; // room for the end mark after the last piece
// UTF-16 bytes waiting to be decoded; as large as the block, which holds
// the file's first bytes when the byte-order mark is found.
constexpr size_t RAW = BLOCK;
unsigned char raw[RAW];

enum class Encoding { Bytes, Utf16LittleEndian, Utf16BigEndian };

struct BlockReader {
    FILE* file;
    size_t start;
    size_t filled;
    bool atEnd;
    bool failed;
    Encoding encoding;
    size_t rawStart, rawFilled;
};

// Moves the unread rest (from start to filled) of buffer to its front and
// fills it from the file as far as it goes.
void fill(BlockReader& in, void* buffer, size_t capacity, size_t& start, size_t& filled) {
    char* bytes = static_cast<char*>(buffer);
    const size_t rest = filled - start;
    memmove(bytes, bytes + start, rest);
    start = 0;
    filled = rest;
    while (filled < capacity && !in.atEnd) {
        size_t n = fread(bytes + filled, 1, capacity - filled, in.file);
        if (n == 0) {
            in.atEnd = true;
            in.failed = ferror(in.file) != 0;
        }
        filled += n;
    }
}

// Reads more of the file into raw, after what is left there.
void refillRaw(BlockReader& in) {
    fill(in, raw, RAW, in.rawStart, in.rawFilled);
}

unsigned codeUnit(const BlockReader& in, size_t at) {
    return in.encoding == Encoding::Utf16LittleEndian ? raw[at] | raw[at + 1] << 8
                                                      : raw[at] << 8 | raw[at + 1];
}

// Decodes UTF-16 from raw into the block as UTF-8 (at most 4 bytes a
// character); an unpaired surrogate becomes '?'.
void decodeUtf16(BlockReader& in) {
    for (;;) {
        if (in.rawFilled - in.rawStart < 4 && !in.atEnd) refillRaw(in);
        const size_t left = in.rawFilled - in.rawStart;
        if (left < 2 || in.filled + 4 > BLOCK) return; // an odd last byte is dropped
        unsigned c = codeUnit(in, in.rawStart);
        in.rawStart += 2;
        if (c >= 0xD800 && c < 0xDC00 && left >= 4) {
            const unsigned low = codeUnit(in, in.rawStart);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                in.rawStart += 2;
            }
        }
        if (c >= 0xD800 && c < 0xE000) c = '?';
        char* out = block + in.filled;
        if (c < 0x80) {
            out[0] = static_cast<char>(c);
            in.filled += 1;
        } else if (c < 0x800) {
            out[0] = static_cast<char>(0xC0 | c >> 6);
            out[1] = static_cast<char>(0x80 | (c & 0x3F));
            in.filled += 2;
        } else if (c < 0x10000) {
            out[0] = static_cast<char>(0xE0 | c >> 12);
            out[1] = static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out[2] = static_cast<char>(0x80 | (c & 0x3F));
            in.filled += 3;
        } else {
            out[0] = static_cast<char>(0xF0 | c >> 18);
            out[1] = static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out[2] = static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out[3] = static_cast<char>(0x80 | (c & 0x3F));
            in.filled += 4;
        }
    }
}

// Whether refilling can bring more: the file, or UTF-16 not yet decoded.
bool moreToRead(const BlockReader& in) {
    return !in.atEnd || in.rawFilled - in.rawStart >= 2;
}

// Moves the unread rest to the front and fills the block as far as it goes.
void refill(BlockReader& in) {
    if (in.encoding == Encoding::Bytes) {
        fill(in, block, BLOCK, in.start, in.filled);
        return;
    }
    const size_t rest = in.filled - in.start;
    memmove(block, block + in.start, rest);
    in.start = 0;
    in.filled = rest;
    decodeUtf16(in);
}

// Looks at the file's first bytes for a byte-order mark.
void startReading(BlockReader& in) {
    refill(in);
    const auto* b = reinterpret_cast<const unsigned char*>(block);
    const size_t n = in.filled;
    if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        in.start = 3;
    } else if (n >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
        in.encoding = b[0] == 0xFF ? Encoding::Utf16LittleEndian : Encoding::Utf16BigEndian;
        memcpy(raw, block + 2, n - 2);
        in.rawStart = 0;
        in.rawFilled = n - 2;
        in.start = in.filled = 0;
        refill(in);
    }
}

// UTF-16 without a mark: ASCII text with a zero byte beside every character.
bool looksLikeUtf16(const char* bytes, size_t n) {
    if (n > 200) n = 200;
    if (n < 8) return false;
    int zeros[2] = {0, 0};
    for (size_t i = 0; i < n; i++)
        if (bytes[i] == '\0') zeros[i % 2]++;
    const int pairs = static_cast<int>(n / 2);
    return zeros[0] * 10 >= pairs * 9 || zeros[1] * 10 >= pairs * 9;
}

bool beginsWithTimeInAnyCase(const char* line) {
    for (int i = 0; i < 4; i++)
        if ((line[i] | 0x20) != "time"[i]) return false;
    return true;
}

// The line is a C string: a NUL ends it, as it would for strtok.
bool isBlankLine(const char* line) {
    for (; *line; line++)
        if (!strchr(" \t\r\n\v\f", *line)) return false;
    return true;
}

// A data line begins with a number, perhaps after tabs or spaces.
bool beginsWithNumber(const char* line) {
    while (*line == '\t' || *line == ' ')
        line++;
    const char* after;
    parseDecimalPrefix(line, &after);
    return after != line;
}

// Fields when split at every tab; the line end belongs to the last field.
int countFields(const char* line) {
    int fields = 1;
    for (const char* p = line; (p = strchr(p, '\t')); p++)
        fields++;
    return fields;
}

// A leading tab or two tabs in a row: columns aligned with repeated tabs (a
// tab before the line's end is common in exports and is not counted).
bool hasEmptyField(const char* line) {
    return *line == '\t' || strstr(line, "\t\t") != nullptr;
}

// Stores one field, noting a field that holds no number as missing; returns
// the value as read, before it is rounded to the table's floats.
double storeField(const char* field, const char** after, RecordingRow& row, uint16_t& missing,
                  int column) {
    const double value = parseDecimalPrefix(field, after);
    row.col[column] = static_cast<float>(value);
    if (*after == field) missing |= static_cast<uint16_t>(1u << column);
    return value;
}

// Splits the line, a C string as fgets would give it, into the row. With
// columnsKept every tab ends a field and field k goes to column k; without,
// fields are separated by runs of tabs and leading tabs make no field.
// Fields past the fifteenth are dropped. Returns whether the split passed
// over an empty field among those kept (where the two ways differ).
bool splitRow(const char* line, bool columnsKept, RecordingRow& row, uint16_t& missing,
              double& time) {
    memset(&row, 0, sizeof row);
    missing = 0;
    time = 0;
    bool passedEmpty = false;
    int column = 0;
    const char* p = line;
    while (column < RECORDING_COLUMNS) {
        if (!columnsKept && *p == '\t') {
            passedEmpty = true;
            while (*p == '\t')
                p++;
        }
        if (!*p && !columnsKept) {
            passedEmpty |= column == 0; // an empty line is one empty field
            break;
        }
        const char* after;
        const double value = storeField(p, &after, row, missing, column++);
        if (column == 1) time = value;
        // The rest of the field, usually nothing, is not a number.
        while (*after && *after != '\t')
            after++;
        if (!*after) break;
        p = after + 1;
        if (!*p && !columnsKept) passedEmpty = true; // a tab ends the line
    }
    return passedEmpty;
}

// A line with as many fields as the header keeps its columns; the count is
// needed only where a field is empty, where the two ways of splitting differ.
// Returns the Time as written (column 0, before rounding).
double storeRow(const char* line, int headerFields, RecordingRow& row, uint16_t& missing) {
    double time;
    if (splitRow(line, false, row, missing, time) && countFields(line) == headerFields)
        splitRow(line, true, row, missing, time);
    return time;
}

// The first field of a line, all that is needed of samples past the table.
double firstField(const char* line, int headerFields) {
    if (*line == '\t' && countFields(line) == headerFields) return 0; // an empty Time cell
    while (*line == '\t')
        line++;
    return parseDecimalPrefix(line);
}

// What was learned about the file while looking for its header.
struct HeaderSearch {
    bool found;
    bool candidate;     // the last "Time" line, waiting for its next line
    bool anyTimeLine;   // a line beginning with "Time" was seen
    bool lowerCaseTime; // a line beginning with "time" in other letter cases
    int fields;         // the header's fields
    char separator;     // ',' or ';' between its columns when it has no tab
    bool dataTabs;      // the first line after it has a tab
};

// The header's column separator when it is not a tab: a CSV export.
char headerSeparator(const char* line) {
    if (strchr(line, '\t')) return 0;
    if (strchr(line, ';')) return ';';
    if (strchr(line, ',')) return ',';
    return 0;
}

} // namespace

bool eyeSampleMissing(const RecordingTable& table, int row, int firstColumn) {
    const float* c = table.rows[row].col;
    return (c[firstColumn] == 0 && c[firstColumn + 1] == 0 && c[firstColumn + 2] == 0) ||
           (table.missingFields[row] >> firstColumn & 7u) != 0;
}

// Rows from rowCount on are kept zero: they are read in one case (the replay
// on an empty recording), also when a table is read a second time.
static void clearRowsAfterCount(RecordingTable& table, int writtenEnd) {
    if (writtenEnd > table.rowCount) {
        memset(&table.rows[table.rowCount], 0,
               sizeof(RecordingRow) * (writtenEnd - table.rowCount));
        memset(&table.missingFields[table.rowCount], 0,
               sizeof(uint16_t) * (writtenEnd - table.rowCount));
    }
}

bool loadRecording(const char* path, RecordingTable& table, const RecordingSelection& selection,
                   RecordingExtent* extent) {
    // Binary on every system: in text mode Windows ends a file at a Ctrl-Z.
    FILE* file = openFile(path, "rb");
    if (!file) {
        int previousCount = table.rowCount;
        table.rowCount = 0;
        clearRowsAfterCount(table, previousCount);
        if (extent) *extent = {selection.firstSample, 0, 0, 0, 0, 0, 0, RecordingTrouble::None};
        return false;
    }
    bool readable = isReadableFile(file) && readRecordingStream(file, table, selection, extent);
    fclose(file);
    return readable;
}

// An open end of the range keeps every time, infinite ones included. The
// bounds are compared with the times as written (read as doubles, not the
// table's floats), so that a time written as 0.7 lies in [0.7, 0.8).
static bool selects(const RecordingSelection& selection, double time) {
    return (selection.from == WHOLE_RECORDING.from || time >= selection.from) &&
           (selection.to == WHOLE_RECORDING.to || time < selection.to);
}

// A line asked for by findSampleLine: the sample'th selected sample's.
struct LineCapture {
    long long sample; // -1: none asked for
    char* out;
    size_t capacity;
    bool found;
};
static LineCapture lineCapture = {-1, nullptr, 0, false};

// The running counts of a pass; kept aside while a "Time" line waits to be
// confirmed as the header, so that the blank lines after it can be rows.
struct PassCounts {
    int rowCount;
    long long selected, samples;
    float firstTime, lastTime, fileFirst, fileLast;
};

// One pass over the file. With firstTimeLineIsHeader the first "Time" line
// is the header whatever follows it (the fallback when no line qualifies).
static bool readPass(FILE* file, RecordingTable& table, const RecordingSelection& selection,
                     RecordingExtent& found, bool firstTimeLineIsHeader, HeaderSearch& header,
                     int& writtenEnd, bool& looksUtf16) {
    BlockReader in = {file, 0, 0, false, false, Encoding::Bytes, 0, 0};
    startReading(in);
    looksUtf16 = in.encoding == Encoding::Bytes && looksLikeUtf16(block, in.filled);
    header = {};
    bool readAnything = false;
    PassCounts n = {}, beforeCandidate = {};
    for (;;) {
        if (in.filled - in.start < static_cast<size_t>(PIECE) && moreToRead(in)) refill(in);
        size_t available = in.filled - in.start;
        if (available == 0) break;
        readAnything = true;

        char* line = block + in.start;
        size_t limit = available < static_cast<size_t>(PIECE) ? available : PIECE;
        char* newline = static_cast<char*>(memchr(line, '\n', limit));
        size_t length = newline ? static_cast<size_t>(newline - line) + 1 : limit;
        in.start += length;
        // End the piece as fgets would, for a moment; a NUL inside the line
        // ends it earlier, as it would for strtok.
        const char after = line[length];
        line[length] = '\0';

        if (!header.found) {
            const bool timeLine = length >= 4 && memcmp(line, "Time", 4) == 0;
            bool skip = true;
            if (timeLine) {
                if (header.candidate) n = beforeCandidate; // its blank rows go
                beforeCandidate = n;
                header.anyTimeLine = header.candidate = true;
                // A header aligned with repeated tabs has empty fields of its
                // own: its lines are read by runs of tabs, as before.
                header.fields = hasEmptyField(line) ? -1 : countFields(line);
                header.separator = headerSeparator(line);
                header.found = firstTimeLineIsHeader;
            } else if (header.candidate) {
                header.found = beginsWithNumber(line);
                skip = !header.found && !isBlankLine(line);
                if (skip) {
                    header.candidate = false;
                    n = beforeCandidate;
                } else {
                    skip = false; // a row, taken back if the candidate fails
                }
            } else if (beginsWithTimeInAnyCase(line)) {
                header.lowerCaseTime = true;
            }
            if (skip) {
                line[length] = after;
                continue;
            }
        }

        // Rows before the page and past the table need only their time.
        double time;
        const bool toTable = n.rowCount < RECORDING_CAPACITY && n.selected >= selection.firstSample;
        if (toTable) {
            // Parsed in place; kept only when the range takes it.
            time = storeRow(line, header.fields, table.rows[n.rowCount],
                            table.missingFields[n.rowCount]);
            if (n.rowCount >= writtenEnd) writtenEnd = n.rowCount + 1;
        } else {
            time = firstField(line, header.fields);
        }
        if (n.samples == 0) header.dataTabs = strchr(line, '\t') != nullptr;
        const bool chosen = selects(selection, time);
        const bool captured = chosen && n.selected == lineCapture.sample;
        if (captured) {
            snprintf(lineCapture.out, lineCapture.capacity, "%s", line);
            lineCapture.found = true;
        }
        line[length] = after;
        if (captured) break; // all that was wanted
        const float kept = static_cast<float>(time);
        if (n.samples++ == 0) n.fileFirst = kept;
        n.fileLast = kept;
        if (chosen) {
            if (n.selected == 0) n.firstTime = kept;
            n.lastTime = kept;
            if (toTable) n.rowCount++;
            n.selected++;
        }
    }
    if (!header.found) n = beforeCandidate;
    table.rowCount = n.rowCount;
    found = {selection.firstSample, n.selected, n.firstTime,           n.lastTime, n.samples,
             n.fileFirst,           n.fileLast, RecordingTrouble::None};
    if (!readAnything) found.trouble = RecordingTrouble::EmptyFile;
    // A file that opened but could not be read at all (a device error, say)
    // is as unreadable as one that did not open.
    return readAnything || !in.failed;
}

bool readRecordingStream(FILE* file, RecordingTable& table, const RecordingSelection& selection,
                         RecordingExtent* extent) {
    if (&table == &recording) recordingVersion++;
    int writtenEnd = table.rowCount; // rows that may hold data and must end up zero
    RecordingExtent found;
    HeaderSearch header;
    bool looksUtf16 = false;
    bool readable = readPass(file, table, selection, found, false, header, writtenEnd, looksUtf16);
    if (readable && !header.found && header.anyTimeLine && fseek(file, 0, SEEK_SET) == 0) {
        clearerr(file);
        readable = readPass(file, table, selection, found, true, header, writtenEnd, looksUtf16);
    }
    if (header.found && header.separator && !header.dataTabs && found.fileSamples > 0) {
        // Commas or semicolons between the columns: every value would land
        // in column 0. Nothing is shown rather than a wrong picture.
        table.rowCount = 0;
        found = {selection.firstSample,
                 0,
                 0,
                 0,
                 0,
                 0,
                 0,
                 header.separator == ';' ? RecordingTrouble::SemicolonSeparated
                                         : RecordingTrouble::CommaSeparated};
    } else if (found.trouble == RecordingTrouble::None && !header.found) {
        found.trouble = looksUtf16             ? RecordingTrouble::Utf16WithoutMark
                        : header.lowerCaseTime ? RecordingTrouble::LowerCaseHeader
                                               : RecordingTrouble::NoHeader;
    } else if (found.trouble == RecordingTrouble::None && found.fileSamples == 0) {
        found.trouble = RecordingTrouble::NothingAfterHeader;
    } else if (found.trouble == RecordingTrouble::None && found.selectedSamples == 0) {
        found.trouble = RecordingTrouble::NoneInRange;
    }
    clearRowsAfterCount(table, writtenEnd);
    if (extent) *extent = found;
    return readable;
}

bool findSampleLine(const char* path, const RecordingSelection& selection, long long sample,
                    char* out, size_t capacity) {
    if (capacity == 0) return false;
    out[0] = '\0';
    // Only the wanted sample reaches the table; the pass stops there.
    static RecordingTable scratch;
    RecordingSelection from = selection;
    from.firstSample = sample;
    lineCapture = {sample, out, capacity, false};
    loadRecording(path, scratch, from);
    const bool found = lineCapture.found;
    lineCapture = {-1, nullptr, 0, false};
    // The line as it stands, without its line end.
    out[strcspn(out, "\r\n")] = '\0';
    return found;
}
