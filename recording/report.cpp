// Reading the recording at start-up, and the one fatal error.
#include "recording/recording.h"

#include "platform/platform.h"

#include <cstdlib>
#include <string>

char recordingPath[RECORDING_PATH_CAPACITY] = "test.txt";

void readRecording(const char* path) {
    if (!loadRecording(path, recording, recordingSelection, &recordingExtent))
        reportUnreadableRecording(path);
}

void reportUnreadableRecording(const char* path) {
    // Built to the path's full length and shown literally, never as a format.
    std::string message = "Could not open filename ";
    message += path;
    message += ".";
    showErrorMessage(message.c_str());
    endProcess(1);
}
