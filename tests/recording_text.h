// Builds recording files for tests: rows of up to fifteen values written
// with decimal commas after a short preamble and a header.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

struct Sample {
    float leftH, leftV, leftT, leftShade;
    float rightH, rightV, rightT, rightShade;
};

inline std::string recordingText(const std::vector<Sample>& samples) {
    std::string text = "Export\nTime\tx\n";
    for (const Sample& s : samples) {
        float col[15] = {0, 0, 0,        s.leftH,  s.leftV,  s.leftT, 0,           s.leftShade,
                         0, 0, s.rightH, s.rightV, s.rightT, 0,       s.rightShade};
        for (int i = 0; i < 15; i++) {
            char field[64];
            snprintf(field, sizeof field, "%.6g", col[i]);
            for (char* c = field; *c; c++)
                if (*c == '.') *c = ',';
            text += field;
            text += i < 14 ? "\t" : "\n";
        }
    }
    return text;
}
