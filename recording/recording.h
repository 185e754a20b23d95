// The recording: a fixed table of up to 50000 samples read from a
// tab-separated text export, the reader that fills it, and paging through
// files longer than the table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "platform/platform.h"

constexpr int RECORDING_COLUMNS = 15;
constexpr int RECORDING_CAPACITY = 50000;
// fgets-sized line buffer: a line is read in pieces of at most 799 characters.
constexpr int RECORDING_LINE_BUFFER = 800;

struct RecordingRow {
    float col[RECORDING_COLUMNS];
};

// missingFields[i] has bit k set when row i's field k was empty or held no
// number ("NaN", "."): the value reads as 0 but was not measured.
// times[i] is row i's Time (column 0) as written, in double precision: a
// float holds a millisecond only to half a millisecond at 5000 s, and the
// sampling rate and the events are decided from the intervals.
struct RecordingTable {
    RecordingRow rows[RECORDING_CAPACITY];
    uint16_t missingFields[RECORDING_CAPACITY];
    double times[RECORDING_CAPACITY];
    int rowCount;
};

// An eye's sample is missing (a blink, lost tracking) when its horizontal,
// vertical and torsion positions (columns firstColumn .. firstColumn+2) are
// all exactly 0, or when its horizontal or vertical value was empty or not a
// number. A missing torsion alone keeps the sample (drawn at torsion 0):
// many trackers do not measure torsion.
bool eyeSampleMissing(const RecordingTable& table, int row, int firstColumn);
// The eye's torsion (column firstColumn+2) was empty or not a number.
bool eyeTorsionMissing(const RecordingTable& table, int row, int firstColumn);

// Many exports leave an eye's shade column (7 or 14) at 0, empty or out:
// true when it holds no shade on any row of the table (0 or not a number
// everywhere). Such a path is shaded by sample order instead, row i of n
// as if the column held i / (n - 1) (orderShade).
bool shadeColumnUnset(const RecordingTable& table, int shadeColumn);
float orderShade(int row, int rowCount);

// Copies rows first .. end-1 of from into the same rows of to, with what
// is kept beside them.
void copyRecordingRows(RecordingTable& to, const RecordingTable& from, int first, int end);

// Finding the header. Exports carry preamble lines such as "Time of
// recording:" above it, so a line beginning with "Time" is the header only
// when it also looks like one: its next non-blank line begins with a number
// (and not with "Time"), and it has as many fields as that line or at least
// the thirteen the program reads. Where no line qualifies, the first "Time"
// line followed by a number is the header, else the first "Time" line.
// Fields are counted at every tab. The header's columns do not count one
// empty field at its very end (a tab before the line end); a line matches
// them with as many fields, or with one more that is empty (the tab common
// in exports), while an empty last cell under a named column is a missing
// value.
struct HeaderLine {
    bool timeLine;      // begins with "Time"
    bool lowerCaseTime; // begins with "time" in other letter cases
    bool blank;
    bool number;    // begins with a number, perhaps after tabs or spaces
    bool aligned;   // a leading tab or two tabs in a row: aligned with repeated tabs
    char separator; // ',' or ';' between columns when the line has no tab
    int fields;     // one trailing empty field not counted
    int allFields;  // every field
};
// Describes one line as read (at most 799 characters, its line end kept).
HeaderLine describeHeaderLine(const char* line);

struct HeaderChoice {
    int line;           // the header's index among the lines; -1: none
    bool decided;       // false: lines still to come could change the choice
    int fields;         // its fields; -1 when aligned with repeated tabs
    char separator;     // see HeaderLine
    bool lowerCaseTime; // no header, but a line begins with "time"
};
// Chooses the header among the first count lines; allLines says that no
// more follow. The same choice for every caller: the loader, the sample
// line lookup and paging.
HeaderChoice findHeader(const HeaderLine* lines, int count, bool allLines);
// Preamble lines looked through for the header; a header further down is
// not looked for.
constexpr int HEADER_SEARCH_LINES = 20000;
// Fields in a line at every tab, one trailing empty field not counted.
int countLineFields(const char* line);
// Fields in a line at every tab.
int countAllFields(const char* line);

// Long enough for any path the system can open; the chosen or given
// recording's name lands here ("test.txt" until then).
constexpr size_t RECORDING_PATH_CAPACITY = 32768;
extern char recordingPath[RECORDING_PATH_CAPACITY];

// The one process-wide table; all zero at start, written only by the reader
// (and turned into rotation vectors by the Listing view).
extern RecordingTable recording;
// Counts the changes of the table's rows: what is computed from them keeps
// the version it was computed for.
extern unsigned recordingVersion;

// Which samples of a file the table receives: of the samples whose Time
// (column 0) lies in [from, to), those from number firstSample (0-based) on.
struct RecordingSelection {
    double from;
    double to;
    long long firstSample;
};
constexpr RecordingSelection WHOLE_RECORDING = {-std::numeric_limits<double>::infinity(),
                                                std::numeric_limits<double>::infinity(), 0};

// Why a file gave no samples, when it gave none.
enum class RecordingTrouble {
    None,
    EmptyFile,
    NoHeader,         // no line begins with "Time"
    LowerCaseHeader,  // none does, but one begins with "time"
    Utf16WithoutMark, // UTF-16 text without a byte-order mark
    CommaSeparated,   // a CSV export: commas between the columns, no tabs
    SemicolonSeparated,
    NothingAfterHeader,
    TooFewColumns, // no line reaches the eye columns
    NoneInRange,   // samples, but none in the selection's time range
};
// The first column (0-based) an eye's values are read from.
constexpr int FIRST_EYE_COLUMN = 3;

// What a read found in the whole file, beyond what the table holds.
struct RecordingExtent {
    long long firstSample;     // number of the table's row 0 among the selected samples
    long long selectedSamples; // samples in the file that the selection's range keeps
    float firstTime, lastTime; // Time of the first and last of them (0 when none)
    long long fileSamples;     // every sample after the header, in range or not
    float fileFirstTime, fileLastTime;
    RecordingTrouble trouble;
    int columns; // the most fields a line of the page had
};

// One line saying why nothing is drawn ("No samples: no line begins with
// Time"); false (and an empty text) when the extent has samples.
bool describeRecordingTrouble(char* out, size_t capacity, const RecordingExtent& extent,
                              const RecordingSelection& selection);

// The selection the viewer reads with (--from, --to, the page shown) and
// what its latest read found.
extern RecordingSelection recordingSelection;
extern RecordingExtent recordingExtent;

// Reads the file at path into the table. Returns false, leaving rowCount 0,
// when the file cannot be opened or is not a readable file (a directory).
bool loadRecording(const char* path, RecordingTable& table,
                   const RecordingSelection& selection = WHOLE_RECORDING,
                   RecordingExtent* extent = nullptr);

// Reads an already opened stream into the table; false only when nothing
// at all could be read because of a read error. Samples past the table are
// still read to count them.
// With path (the stream's file), the page index serves the read where it
// fits the file, and is made where it does not.
bool readRecordingStream(FILE* file, RecordingTable& table,
                         const RecordingSelection& selection = WHOLE_RECORDING,
                         RecordingExtent* extent = nullptr, const char* path = nullptr);

// Reads the page of selected samples that starts at firstSample into the
// process-wide table and updates recordingSelection and recordingExtent.
// When the file cannot be read any more, everything stays as it was, the
// notice below says so, and false is returned. When the file has become
// shorter, the last page it still has is read.
bool readRecordingPage(const char* path, long long firstSample);

// Reads the first page of another recording (the whole of it selected)
// into the process-wide table and makes path the recording's. When the file
// cannot be read or holds no samples, everything stays as it was, why says
// so ("<path>: No samples: ...; <old path> stays") and false is returned.
bool openOtherRecording(const char* path, char* why, size_t capacity);

// The page index: where the line of every step'th selected sample begins,
// noted while the file is read whole, so that a page, a sample's line or a
// time is read from the nearest entry on, never again from the file's
// start. It belongs to one file as it was (its size and last change) and
// one time range; a file that has grown is read on from its last whole
// line, one that has changed otherwise is indexed anew. UTF-16 files are
// not indexed. At most PAGE_INDEX_CAPACITY entries: when full, the step
// doubles and every other entry goes, so any length fits.
constexpr int PAGE_INDEX_CAPACITY = 1 << 15;
constexpr long long PAGE_INDEX_FIRST_STEP = 1000;
struct PageIndexEntry {
    long long offset;  // the line's first byte in the file
    long long samples; // samples (lines after the header) before it
    long long lines;   // lines of the file before it
    double time;       // its Time as written
    double reached;    // the latest Time of the selected samples up to it
};
// What a read has counted up to some line: the counts a read from there
// goes on with.
struct ReadCounts {
    int rowCount;
    long long selected, samples;
    float firstTime, lastTime, fileFirst, fileLast;
    double reached; // the latest Time of the selected samples so far
    int columns;
    bool dataTabs; // the first line after the header has a tab
};
struct PageIndex {
    bool valid;
    FileStamp stamp;
    double from, to; // the time range it counts selected samples in
    int headerLine;
    long long step; // selected samples from one entry to the next
    int count;
    PageIndexEntry entries[PAGE_INDEX_CAPACITY];
    RecordingExtent extent; // what reading the whole file found
    // After the last whole line: where a file that grows is read on from.
    long long tailOffset, tailLines;
    ReadCounts tail;
    char path[RECORDING_PATH_CAPACITY];
};
extern PageIndex pageIndex;
// Starts an index of path for the selection's range (entries follow).
void beginPageIndex(const char* path, const RecordingSelection& selection, int headerLine);
// Notes a selected sample's line where its number is a multiple of the step.
void notePageIndexLine(long long selected, long long offset, long long samples, long long lines,
                       double time, double reached);
// Ends the index: the file's stamp, what the read found, and where it
// reads on from.
void finishPageIndex(const FileStamp& stamp, const RecordingExtent& extent, long long tailOffset,
                     long long tailLines, const ReadCounts& tail);
void forgetPageIndex();
// Whether the index is path's, for this range and header.
bool pageIndexFits(const char* path, const RecordingSelection& selection, int headerLine);
// The last entry at or before the selected sample (its number in *selected).
const PageIndexEntry* pageIndexEntryBefore(long long sample, long long* selected);
// The selected sample of the entry before the first whose selected samples
// have reached time (0 when none): reading on from there meets the first
// sample at that time or later, even where the clock restarts.
long long pageIndexSampleBeforeTime(double time);

// "Could not read <name> again; the page shown stays" after a failed page
// read, empty otherwise.
extern char recordingPageNotice[400];

// Where the next (direction 1) or previous (-1) page starts; the current
// start when there is none in that direction.
long long neighbourPageStart(const RecordingExtent& extent, int direction);
// Where the last page starts: pages start at multiples of the table's size.
long long lastPageStart(const RecordingExtent& extent);
// Reads the page that holds the first selected sample whose Time is at
// least seconds (the first sample for an earlier time, the last for a
// later one), from the page index's nearest entry on; row receives that
// sample's row of the page. False, with everything as it was, when the
// file cannot be read.
bool readPageAtTime(const char* path, double seconds, int* row);

// "samples 1-50000 of 183000 (0.000-99.998 s of 365.998 s)  PgDn/PgUp:
// next/previous" when the table holds only part of the selected samples;
// false (and an empty text) when it holds them all.
bool describeRecordingPage(char* out, size_t capacity, const RecordingExtent& extent,
                           const RecordingTable& table);

// Where a trail of that length ending at row count-1 starts: going back from
// that row, the rows whose Time lies within seconds before its Time; the
// first row outside that window, or a Time that runs backwards, ends it.
int trailStart(const RecordingTable& table, int count, double seconds);

// The line of the file that holds the sample'th (0-based) of the samples
// the selection keeps, without its line end, as it stands, and where given
// its number in the file (from 1, the header's and the preamble's lines
// counted); false when the file no longer has it.
bool findSampleLine(const char* path, const RecordingSelection& selection, long long sample,
                    char* out, size_t capacity, long long* lineNumber = nullptr);

// Reads into the process-wide table; when the file cannot be read, shows
// "Could not open filename <path>." and ends the process with status 1.
void readRecording(const char* path);

// Shows "Could not open filename <path>." and ends the process with status 1.
[[noreturn]] void reportUnreadableRecording(const char* path);

// Converts the longest decimal number at the start of text, one field of a
// line (ended by a tab or by the string's end), as atof does in the C locale,
// but accepting ',' as well as '.' for the decimal point and never reading
// hexadecimal, infinity or NaN. Returns 0 when no number starts there. Where
// stop is given, it receives the position after the number (text when there
// was none).
double parseDecimalPrefix(const char* text, const char** stop = nullptr);
