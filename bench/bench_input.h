// Large recordings for the benchmarks, generated on first use.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

inline std::string benchRecording(int rows) {
    std::string path = "/tmp/quelvist-bench-" + std::to_string(rows) + ".txt";
    if (access(path.c_str(), R_OK) != 0) {
        std::string command = "python3 " QUELVIST_SOURCE_DIR "/tools/make_recording.py --rows " +
                              std::to_string(rows) + " -o " + path;
        if (system(command.c_str()) != 0) {
            fprintf(stderr, "could not generate %s\n", path.c_str());
            exit(1);
        }
    }
    return path;
}
