// The reading rules written out literally with fgets, strtok and atof, as a
// reference the fast reader must match bit for bit. atof follows the process
// locale, so call this under the "C" locale.
#pragma once

#include "recording/recording.h"

#include <cstdio>

// With plainAtof, fields go to atof as they are, so hexadecimal, infinity
// and NaN notations read as numbers (the C library's full atof).
bool loadRecordingLiterally(const char* path, RecordingTable& table, bool plainAtof = false);
void readRecordingStreamLiterally(FILE* file, RecordingTable& table, bool plainAtof = false);
