// The reading rules written out literally with fgets, strtok and atof, as a
// reference the fast reader must match bit for bit. atof follows the process
// locale, so call this under the "C" locale.
#pragma once

#include "recording/recording.h"

bool loadRecordingLiterally(const char* path, RecordingTable& table);
