// Reads a recording export into the fixed table.
//
// The file is read in large blocks and cut into the same pieces that fgets
// with an 800-character buffer would give (at most 799 characters, the line
// end kept), so over-long lines split exactly as users of earlier exports
// expect. Nothing is allocated per line. UTF-16 text with a byte-order mark
// is turned into UTF-8 as it is read; a UTF-8 mark is skipped.
//
// Reading has two steps: the header is chosen from the file's first lines
// (findHeader, the same for every caller), then every line after it is read
// as a row. Nothing rides from one read to the next.
//
// A data line with exactly as many tab-separated fields as the header keeps
// every field in its column, so an empty cell is a missing value. Other
// lines (tabs repeated to align columns) are split at runs of tabs.
#include "recording/recording.h"

#include "platform/platform.h"

#include <algorithm>
#include <cmath>
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
    long long base; // the file offset of block[0] (bytes read as they are)
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
        in.base += static_cast<long long>(in.start);
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

// Nothing but the line end (or nothing at all) from here on.
bool atLineEnd(const char* p) {
    return p[strspn(p, "\r\n")] == '\0';
}

// A data line begins with a number, perhaps after tabs or spaces.
bool beginsWithNumber(const char* line) {
    while (*line == '\t' || *line == ' ')
        line++;
    const char* after;
    parseDecimalPrefix(line, &after);
    return after != line;
}

// A leading tab or two tabs in a row: columns aligned with repeated tabs (a
// tab before the line's end is common in exports and is not counted).
bool hasEmptyField(const char* line) {
    return *line == '\t' || strstr(line, "\t\t") != nullptr;
}

// The header's column separator when it is not a tab: a CSV export.
char headerSeparator(const char* line) {
    if (strchr(line, '\t')) return 0;
    if (strchr(line, ';')) return ';';
    if (strchr(line, ',')) return ',';
    return 0;
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

// Rows from rowCount on are kept zero: they are read in one case (the replay
// on an empty recording), also when a table is read a second time.
void clearRowsAfterCount(RecordingTable& table, int writtenEnd) {
    if (writtenEnd > table.rowCount) {
        const size_t n = static_cast<size_t>(writtenEnd - table.rowCount);
        memset(&table.rows[table.rowCount], 0, sizeof(RecordingRow) * n);
        memset(&table.missingFields[table.rowCount], 0, sizeof(uint16_t) * n);
        memset(&table.times[table.rowCount], 0, sizeof(double) * n);
    }
}

// How a line was split into a row.
struct Split {
    bool passedEmpty; // passed over an empty field (where the two ways differ)
    int columns;      // fields stored or dropped past the fifteenth
    double time;      // column 0 as written, before rounding
};

// Splits the line, a C string as fgets would give it, into the row. With
// columnsKept every tab ends a field and field k goes to column k, up to the
// header's columns (one empty field after them, a tab before the line end,
// is no column); without, fields are separated by runs of tabs and leading
// tabs make no field. Fields past the fifteenth are dropped.
Split splitRow(const char* line, bool columnsKept, int headerColumns, RecordingRow& row,
               uint16_t& missing) {
    memset(&row, 0, sizeof row);
    missing = 0;
    Split split = {false, 0, 0};
    const char* p = line;
    for (;;) {
        if (!columnsKept && *p == '\t') {
            split.passedEmpty = true;
            while (*p == '\t')
                p++;
        }
        if (!*p && !columnsKept) {
            split.passedEmpty |= split.columns == 0; // an empty line is one empty field
            break;
        }
        const char* after = p;
        if (split.columns < RECORDING_COLUMNS) {
            const double value = storeField(p, &after, row, missing, split.columns);
            if (split.columns == 0) split.time = value;
        }
        split.columns++;
        // The rest of the field, usually nothing, is not a number.
        while (*after && *after != '\t')
            after++;
        if (!*after) break;
        p = after + 1;
        if (columnsKept && split.columns == headerColumns) break; // a tab before the line end
        // A tab before the line end: the two ways differ there too.
        if (!columnsKept && atLineEnd(p)) split.passedEmpty = true;
    }
    return split;
}

// A line with as many fields as the header has columns (or one more, empty:
// a tab before the line end) keeps its columns; the count is needed only
// where a field is empty, where the two ways of splitting differ.
bool keepsColumns(const char* line, int headerColumns) {
    const int all = countAllFields(line);
    return all == headerColumns || (all == headerColumns + 1 && countLineFields(line) < all);
}

Split storeRow(const char* line, int headerColumns, RecordingRow& row, uint16_t& missing) {
    Split split = splitRow(line, false, headerColumns, row, missing);
    if (split.passedEmpty && keepsColumns(line, headerColumns))
        split = splitRow(line, true, headerColumns, row, missing);
    return split;
}

// The first field of a line, all that is needed of samples past the table.
double firstField(const char* line, int headerColumns) {
    if (*line == '\t' && keepsColumns(line, headerColumns)) return 0; // an empty Time cell
    while (*line == '\t')
        line++;
    return parseDecimalPrefix(line);
}

// One piece of the stream as fgets with the 800-character buffer would give
// it, ended by a NUL in place until put back.
struct Piece {
    char* text;
    size_t length;
    char saved;
};

bool nextPiece(BlockReader& in, Piece& piece) {
    if (in.filled - in.start < static_cast<size_t>(PIECE) && moreToRead(in)) refill(in);
    const size_t available = in.filled - in.start;
    if (available == 0) return false;
    char* line = block + in.start;
    const size_t limit = available < static_cast<size_t>(PIECE) ? available : PIECE;
    char* newline = static_cast<char*>(memchr(line, '\n', limit));
    piece.length = newline ? static_cast<size_t>(newline - line) + 1 : limit;
    piece.text = line;
    in.start += piece.length;
    // A NUL inside the line ends it earlier, as it would for strtok.
    piece.saved = line[piece.length];
    line[piece.length] = '\0';
    return true;
}

void putBack(const Piece& piece) {
    piece.text[piece.length] = piece.saved;
}

// The lines looked through for the header; fixed, as the table is.
HeaderLine headerLines[HEADER_SEARCH_LINES];

// What the first step learned of the file.
struct HeaderSearch {
    HeaderChoice choice;
    bool readAnything;
    bool failed;     // a read error
    bool looksUtf16; // UTF-16 text without a byte-order mark
    bool utf16;      // UTF-16 with a mark: read decoded, so never indexed
};

// The first step: the file's first lines, until the header is chosen.
HeaderSearch searchHeader(FILE* file) {
    BlockReader in = {file, 0, 0, false, false, Encoding::Bytes, 0, 0, 0};
    startReading(in);
    HeaderSearch search = {{-1, false, -1, 0, false}, false, false, false, false};
    search.looksUtf16 = in.encoding == Encoding::Bytes && looksLikeUtf16(block, in.filled);
    search.utf16 = in.encoding != Encoding::Bytes;
    int count = 0;
    bool afterTimeLine = false;
    Piece piece;
    while (count < HEADER_SEARCH_LINES && nextPiece(in, piece)) {
        const HeaderLine line = describeHeaderLine(piece.text);
        putBack(piece);
        headerLines[count++] = line;
        // Only a line after a "Time" line can settle the choice.
        if (!line.blank && afterTimeLine) {
            search.choice = findHeader(headerLines, count, false);
            if (search.choice.decided) break;
        }
        if (!line.blank) afterTimeLine = line.timeLine;
    }
    search.readAnything = count > 0;
    search.failed = in.failed;
    if (!search.choice.decided) search.choice = findHeader(headerLines, count, true);
    return search;
}

// A line asked for by findSampleLine: the sample'th selected sample's.
struct LineCapture {
    long long sample;
    char* out;
    size_t capacity;
    bool found;
    long long line; // its line of the file, from 1
};

// An open end of the range keeps every time, infinite ones included. The
// bounds are compared with the times as written (read as doubles, not the
// table's floats), so that a time written as 0.7 lies in [0.7, 0.8).
bool selects(const RecordingSelection& selection, double time) {
    return (selection.from == WHOLE_RECORDING.from || time >= selection.from) &&
           (selection.to == WHOLE_RECORDING.to || time < selection.to);
}

// Where the second step begins when not after the header: a line the page
// index knows (or the index's tail), with the counts up to it.
struct ReadFrom {
    long long offset, lines;
    ReadCounts counts;
    double time; // the Time its line had; NaN when not to be checked
};

// How the second step goes: from where, whether it notes the page index,
// and whether it stops once the table is full (the index knows the rest).
struct ReadPlan {
    const ReadFrom* from;
    bool indexing;
    bool stopWhenFull;
    // Set by the read: after its last whole line, and the counts there.
    long long tailOffset, tailLines;
    ReadCounts tail;
    bool moved; // the line read from has another Time: the file changed
};

// The second step: every line after the header is a row. Returns false when
// the file cannot be read from its start (or the plan's line) again.
bool readRows(FILE* file, const HeaderChoice& header, RecordingTable& table,
              const RecordingSelection& selection, LineCapture* capture, ReadCounts& n,
              int& writtenEnd, ReadPlan& plan) {
    const long long startOffset = plan.from ? plan.from->offset : 0;
    if (!seekFileTo(file, startOffset)) return false;
    clearerr(file);
    BlockReader in = {file, 0, 0, false, false, Encoding::Bytes, 0, 0, startOffset};
    n = {};
    n.columns = -1;
    Piece piece;
    // Lines ended so far: a line longer than a piece is several pieces.
    long long linesEnded = 0;
    auto ended = [](const Piece& p) { return p.length > 0 && p.text[p.length - 1] == '\n'; };
    if (plan.from) {
        refill(in);
        n = plan.from->counts;
        n.rowCount = 0;
        n.columns = -1;
        linesEnded = plan.from->lines;
    } else {
        startReading(in);
        for (int skipped = 0; skipped <= header.line; skipped++) {
            if (!nextPiece(in, piece)) return !in.failed;
            linesEnded += ended(piece);
            putBack(piece);
        }
    }
    plan.tailOffset = in.base + static_cast<long long>(in.start);
    plan.tailLines = linesEnded;
    plan.tail = n;
    while (nextPiece(in, piece)) {
        const long long lineNumber = linesEnded + 1;
        const long long offset = in.base + (piece.text - block);
        linesEnded += ended(piece);
        const char* line = piece.text;
        if (plan.from && offset == plan.from->offset && !std::isnan(plan.from->time) &&
            firstField(line, header.fields) != plan.from->time) {
            putBack(piece);
            plan.moved = true;
            return true;
        }
        // Rows before the page and past the table need only their time.
        double time;
        const bool toTable = n.rowCount < RECORDING_CAPACITY && n.selected >= selection.firstSample;
        if (toTable) {
            // Parsed in place; kept only when the range takes it.
            const Split split = storeRow(line, header.fields, table.rows[n.rowCount],
                                         table.missingFields[n.rowCount]);
            time = split.time;
            table.times[n.rowCount] = time;
            if (n.rowCount >= writtenEnd) writtenEnd = n.rowCount + 1;
            if (split.columns > n.columns) n.columns = split.columns;
        } else {
            time = firstField(line, header.fields);
        }
        if (n.samples == 0) n.dataTabs = strchr(line, '\t') != nullptr;
        const bool chosen = selects(selection, time);
        const bool captured = capture && chosen && n.selected == capture->sample;
        if (captured) {
            snprintf(capture->out, capture->capacity, "%s", line);
            capture->found = true;
            capture->line = lineNumber;
        }
        const bool whole = ended(piece);
        putBack(piece);
        if (captured) break; // all that was wanted
        if (chosen && (n.selected == 0 || time > n.reached)) n.reached = time;
        if (plan.indexing && chosen)
            notePageIndexLine(n.selected, offset, n.samples, lineNumber - 1, time, n.reached);
        const float kept = static_cast<float>(time);
        if (n.samples++ == 0) n.fileFirst = kept;
        n.fileLast = kept;
        if (chosen) {
            if (n.selected == 0) n.firstTime = kept;
            n.lastTime = kept;
            if (toTable) n.rowCount++;
            n.selected++;
        }
        if (whole) {
            plan.tailOffset = offset + static_cast<long long>(piece.length);
            plan.tailLines = linesEnded;
            plan.tail = n;
        }
        if (plan.stopWhenFull && n.rowCount == RECORDING_CAPACITY) break;
    }
    // A file that could not be read past its header is as unreadable as one
    // that did not open.
    return n.samples > 0 || !in.failed;
}

// What the counts of a whole read say of the file.
RecordingExtent extentOf(const HeaderSearch& search, const ReadCounts& n,
                         const RecordingSelection& selection) {
    const HeaderChoice& header = search.choice;
    RecordingExtent found = {selection.firstSample,
                             n.selected,
                             n.firstTime,
                             n.lastTime,
                             n.samples,
                             n.fileFirst,
                             n.fileLast,
                             RecordingTrouble::None,
                             n.columns};
    if (!search.readAnything) {
        found.trouble = RecordingTrouble::EmptyFile;
    } else if (header.line < 0) {
        found.trouble = search.looksUtf16      ? RecordingTrouble::Utf16WithoutMark
                        : header.lowerCaseTime ? RecordingTrouble::LowerCaseHeader
                                               : RecordingTrouble::NoHeader;
    } else if (header.separator && !n.dataTabs && n.samples > 0) {
        // Commas or semicolons between the columns: every value would land
        // in column 0. Nothing is shown rather than a wrong picture.
        found = {selection.firstSample,
                 0,
                 0,
                 0,
                 0,
                 0,
                 0,
                 header.separator == ';' ? RecordingTrouble::SemicolonSeparated
                                         : RecordingTrouble::CommaSeparated,
                 n.columns};
    } else if (n.samples == 0) {
        found.trouble = RecordingTrouble::NothingAfterHeader;
    } else if (n.columns >= 0 && n.columns <= FIRST_EYE_COLUMN) {
        found.trouble = RecordingTrouble::TooFewColumns;
    } else if (n.selected == 0) {
        found.trouble = RecordingTrouble::NoneInRange;
    }
    return found;
}

// Reads the part of an indexed file that was added since it was indexed,
// from the index's tail on, noting its lines; false when that fails.
bool extendPageIndex(FILE* file, const HeaderSearch& search, const RecordingSelection& selection,
                     const FileStamp& stamp) {
    // The last entry's line must still stand where it stood: a file written
    // anew, only longer, is indexed anew.
    if (pageIndex.count > 0) {
        const PageIndexEntry& last = pageIndex.entries[pageIndex.count - 1];
        char line[RECORDING_LINE_BUFFER];
        if (!seekFileTo(file, last.offset) || !fgets(line, sizeof line, file)) return false;
        if (firstField(line, search.choice.fields) != last.time &&
            !(std::isnan(last.time) && std::isnan(firstField(line, search.choice.fields))))
            return false;
    }
    static RecordingTable unused; // no row reaches it: the page lies before the tail
    RecordingSelection counting = selection;
    counting.firstSample = std::numeric_limits<long long>::max();
    const ReadFrom from = {pageIndex.tailOffset, pageIndex.tailLines, pageIndex.tail, NAN};
    ReadPlan plan = {&from, true, false, 0, 0, {}, false};
    ReadCounts n;
    int writtenEnd = 0;
    if (!readRows(file, search.choice, unused, counting, nullptr, n, writtenEnd, plan))
        return false;
    n.columns = std::max(n.columns, pageIndex.extent.columns);
    const RecordingExtent extent = extentOf(search, n, selection);
    if (extent.trouble != pageIndex.extent.trouble) return false;
    ReadCounts tail = plan.tail;
    tail.columns = n.columns;
    finishPageIndex(stamp, extent, plan.tailOffset, plan.tailLines, tail);
    return true;
}

// Both steps over an open stream; capture, where given, receives a line.
// With the path of the file, the page index is used where it fits the file
// as it is, and made or made anew where it does not.
bool readWithHeader(FILE* file, const char* path, RecordingTable& table,
                    const RecordingSelection& selection, RecordingExtent* extent,
                    LineCapture* capture) {
    if (&table == &recording) recordingVersion++;
    int writtenEnd = table.rowCount; // rows that may hold data and must end up zero
    const HeaderSearch search = searchHeader(file);
    const HeaderChoice& header = search.choice;
    ReadCounts n = {};
    n.columns = -1;
    bool readable = search.readAnything || !search.failed;
    FileStamp stamp = {};
    const bool indexable = path && !search.utf16 && header.line >= 0 && fileStampOf(file, stamp);
    bool indexed = indexable && pageIndexFits(path, selection, header.line);
    if (indexed && (stamp.size != pageIndex.stamp.size || stamp.changed != pageIndex.stamp.changed))
        indexed = stamp.size > pageIndex.stamp.size &&
                  extendPageIndex(file, search, selection, stamp); // a file being written
    ReadPlan plan = {};
    RecordingExtent found;
    if (indexed && header.line >= 0) {
        // From the entry before the page (or the line) on, and only as far
        // as the table: the index knows the rest of the file.
        long long entrySelected = 0;
        const long long wanted = capture ? capture->sample : selection.firstSample;
        const PageIndexEntry* entry = pageIndexEntryBefore(wanted, &entrySelected);
        ReadFrom from = {0, 0, {}, NAN};
        if (entry) {
            from.offset = entry->offset;
            from.lines = entry->lines;
            from.counts = pageIndex.tail;
            from.counts.selected = entrySelected;
            from.counts.samples = entry->samples;
            from.time = entry->time;
            plan.from = &from;
        }
        plan.stopWhenFull = true;
        readable = readRows(file, header, table, selection, capture, n, writtenEnd, plan);
        found = pageIndex.extent;
        found.firstSample = selection.firstSample;
        found.columns = n.columns;
        // Written anew with the same size at the same moment: read whole.
        indexed = !plan.moved;
        if (plan.moved) {
            forgetPageIndex();
            plan = {};
            n = {};
            n.columns = -1;
        }
    }
    if (!indexed) {
        if (indexable && !capture) beginPageIndex(path, selection, header.line);
        plan.indexing = indexable && !capture;
        if (header.line >= 0)
            readable = readRows(file, header, table, selection, capture, n, writtenEnd, plan);
        found = extentOf(search, n, selection);
        if (plan.indexing && readable) {
            ReadCounts tail = plan.tail;
            tail.columns = n.columns;
            finishPageIndex(stamp, found, plan.tailOffset, plan.tailLines, tail);
        }
    }
    table.rowCount = found.trouble == RecordingTrouble::CommaSeparated ||
                             found.trouble == RecordingTrouble::SemicolonSeparated
                         ? 0
                         : n.rowCount;
    clearRowsAfterCount(table, writtenEnd);
    if (extent) *extent = found;
    return readable;
}

} // namespace

int countAllFields(const char* line) {
    int fields = 1;
    for (const char* p = line; (p = strchr(p, '\t')); p++)
        fields++;
    return fields;
}

int countLineFields(const char* line) {
    const char* last = strrchr(line, '\t');
    const int fields = countAllFields(line);
    return last && atLineEnd(last + 1) ? fields - 1 : fields;
}

HeaderLine describeHeaderLine(const char* line) {
    HeaderLine d = {};
    d.timeLine = strncmp(line, "Time", 4) == 0;
    d.lowerCaseTime = !d.timeLine && beginsWithTimeInAnyCase(line);
    d.blank = isBlankLine(line);
    d.number = beginsWithNumber(line);
    d.aligned = hasEmptyField(line);
    d.separator = headerSeparator(line);
    d.fields = countLineFields(line);
    d.allFields = countAllFields(line);
    return d;
}

HeaderChoice findHeader(const HeaderLine* lines, int count, bool allLines) {
    HeaderChoice choice = {-1, false, -1, 0, false};
    int firstTime = -1, firstBeforeNumber = -1;
    for (int i = 0; i < count; i++) {
        choice.lowerCaseTime |= lines[i].lowerCaseTime;
        if (!lines[i].timeLine) continue;
        if (firstTime < 0) firstTime = i;
        int next = i + 1;
        while (next < count && lines[next].blank)
            next++;
        if (next == count) {
            if (!allLines) return choice; // its next line is still to come
            continue;
        }
        if (!lines[next].number || lines[next].timeLine) continue;
        if (firstBeforeNumber < 0) firstBeforeNumber = i;
        const int fields = lines[i].fields;
        if (fields == lines[next].fields || fields == lines[next].allFields ||
            fields >= RECORDING_COLUMNS - 2) {
            choice.line = i;
            break;
        }
    }
    if (choice.line < 0 && !allLines) return choice;
    if (choice.line < 0) choice.line = firstBeforeNumber >= 0 ? firstBeforeNumber : firstTime;
    choice.decided = true;
    if (choice.line >= 0) {
        const HeaderLine& h = lines[choice.line];
        // A header aligned with repeated tabs has empty fields of its own:
        // its lines are read by runs of tabs.
        choice.fields = h.aligned ? -1 : h.fields;
        choice.separator = h.separator;
        choice.lowerCaseTime = false;
    }
    return choice;
}

bool eyeSampleMissing(const RecordingTable& table, int row, int firstColumn) {
    const float* c = table.rows[row].col;
    return (c[firstColumn] == 0 && c[firstColumn + 1] == 0 && c[firstColumn + 2] == 0) ||
           (table.missingFields[row] >> firstColumn & 3u) != 0;
}

bool eyeTorsionMissing(const RecordingTable& table, int row, int firstColumn) {
    return (table.missingFields[row] >> (firstColumn + 2) & 1u) != 0;
}

bool shadeColumnUnset(const RecordingTable& table, int shadeColumn) {
    for (int i = 0; i < table.rowCount; i++) {
        const float shade = table.rows[i].col[shadeColumn];
        if (shade != 0 && std::isfinite(shade)) return false;
    }
    return true;
}

float orderShade(int row, int rowCount) {
    // In double and rounded once: the float a reader makes of the ratio
    // written out in full.
    return rowCount > 1 ? static_cast<float>(static_cast<double>(row) / (rowCount - 1)) : 0;
}

void copyRecordingRows(RecordingTable& to, const RecordingTable& from, int first, int end) {
    if (end <= first) return;
    const size_t n = static_cast<size_t>(end - first);
    memcpy(&to.rows[first], &from.rows[first], sizeof(RecordingRow) * n);
    memcpy(&to.missingFields[first], &from.missingFields[first], sizeof(uint16_t) * n);
    memcpy(&to.times[first], &from.times[first], sizeof(double) * n);
}

bool loadRecording(const char* path, RecordingTable& table, const RecordingSelection& selection,
                   RecordingExtent* extent) {
    // Binary on every system: in text mode Windows ends a file at a Ctrl-Z.
    FILE* file = openFile(path, "rb");
    if (!file) {
        int previousCount = table.rowCount;
        table.rowCount = 0;
        clearRowsAfterCount(table, previousCount);
        if (extent) *extent = {selection.firstSample, 0, 0, 0, 0, 0, 0, RecordingTrouble::None, -1};
        return false;
    }
    bool readable =
        isReadableFile(file) && readRecordingStream(file, table, selection, extent, path);
    fclose(file);
    return readable;
}

bool readRecordingStream(FILE* file, RecordingTable& table, const RecordingSelection& selection,
                         RecordingExtent* extent, const char* path) {
    return readWithHeader(file, path, table, selection, extent, nullptr);
}

bool findSampleLine(const char* path, const RecordingSelection& selection, long long sample,
                    char* out, size_t capacity, long long* lineNumber) {
    if (capacity == 0) return false;
    out[0] = '\0';
    FILE* file = openFile(path, "rb");
    if (!file) return false;
    // Only the wanted sample reaches the table; the pass stops there.
    static RecordingTable scratch;
    RecordingSelection from = selection;
    from.firstSample = sample;
    LineCapture capture = {sample, out, capacity, false, 0};
    if (isReadableFile(file)) readWithHeader(file, path, scratch, from, nullptr, &capture);
    fclose(file);
    // The line as it stands, without its line end.
    out[strcspn(out, "\r\n")] = '\0';
    if (lineNumber) *lineNumber = capture.found ? capture.line : 0;
    return capture.found;
}
