// The recording: a fixed table of up to 50000 samples read once from a
// tab-separated text export, and the reader that fills it.
#pragma once

#include <cstddef>
#include <cstdio>

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

// The one process-wide table; all zero at start, written only by the reader.
extern RecordingTable recording;

// Reads the file at path into the table. Returns false, leaving rowCount 0,
// when the file cannot be opened or is not a readable file (a directory).
bool loadRecording(const char* path, RecordingTable& table);

// Reads an already opened stream into the table; false only when nothing
// at all could be read because of a read error.
bool readRecordingStream(FILE* file, RecordingTable& table);

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
