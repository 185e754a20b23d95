// The recording: a fixed table of up to 50000 samples read from a
// tab-separated text export, the reader that fills it, and paging through
// files longer than the table.
#pragma once

#include <cstddef>
#include <cstdio>
#include <limits>

constexpr int RECORDING_COLUMNS = 15;
constexpr int RECORDING_CAPACITY = 50000;
// fgets-sized line buffer: a line is read in pieces of at most 799 characters.
constexpr int RECORDING_LINE_BUFFER = 800;

struct RecordingRow {
    float col[RECORDING_COLUMNS];
};

struct RecordingTable {
    RecordingRow rows[RECORDING_CAPACITY];
    int rowCount;
};

// Long enough for any path the system can open; the chosen or given
// recording's name lands here ("test.txt" until then).
constexpr size_t RECORDING_PATH_CAPACITY = 32768;
extern char recordingPath[RECORDING_PATH_CAPACITY];

// The one process-wide table; all zero at start, written only by the reader.
extern RecordingTable recording;

// Which samples of a file the table receives: of the samples whose Time
// (column 0) lies in [from, to), those from number firstSample (0-based) on.
struct RecordingSelection {
    double from;
    double to;
    long long firstSample;
};
constexpr RecordingSelection WHOLE_RECORDING = {-std::numeric_limits<double>::infinity(),
                                                std::numeric_limits<double>::infinity(), 0};

// What a read found in the whole file, beyond what the table holds.
struct RecordingExtent {
    long long firstSample;     // number of the table's row 0 among the selected samples
    long long selectedSamples; // samples in the file that the selection's range keeps
    float firstTime, lastTime; // Time of the first and last of them (0 when none)
};

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
bool readRecordingStream(FILE* file, RecordingTable& table,
                         const RecordingSelection& selection = WHOLE_RECORDING,
                         RecordingExtent* extent = nullptr);

// Reads the page of selected samples that starts at firstSample into the
// process-wide table, keeping the table as it was when the file cannot be
// opened any more. Updates recordingSelection and recordingExtent.
bool readRecordingPage(const char* path, long long firstSample);

// Where the next (direction 1) or previous (-1) page starts; the current
// start when there is none in that direction.
long long neighbourPageStart(const RecordingExtent& extent, int direction);

// "samples 1-50000 of 183000 (0.000-99.998 s of 365.998 s)  PgDn/PgUp:
// next/previous" when the table holds only part of the selected samples;
// false (and an empty text) when it holds them all.
bool describeRecordingPage(char* out, size_t capacity, const RecordingExtent& extent,
                           const RecordingTable& table);

// Samples per second of the table, from its first and last Time; 0 when
// the Time column does not advance.
double samplesPerSecond(const RecordingTable& table);

// The first of rows 0 .. count-1 from which on every row's Time is within
// seconds of row count-1's Time: where a trail of that length starts.
int trailStart(const RecordingTable& table, int count, double seconds);

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
