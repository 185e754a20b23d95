// The lines the program adds at the bottom left (readout, notices), in a
// larger font in tall windows.
#include "scene/scene.h"

#include "view/view.h"

#include <GL/freeglut.h>

#include <cstdio>
#include <cstring>

namespace {

int textWidth(void* font, const char* part, size_t length) {
    char text[200];
    snprintf(text, sizeof text, "%.*s", static_cast<int>(length), part);
    return glutBitmapLength(font, reinterpret_cast<const unsigned char*>(text));
}

} // namespace

void* addedTextFont() {
    return windowHeight > 900 ? GLUT_BITMAP_HELVETICA_18 : GLUT_BITMAP_TIMES_ROMAN_10;
}

float drawStatusText(const char* text, float y) {
    void* font = addedTextFont();
    const bool large = font == GLUT_BITMAP_HELVETICA_18;
    // Where x = -30 at depth 50 lands: the visible half-width there is
    // 31.85 times the aspect.
    const double left =
        windowWidth * (1 - 30 / (31.85 * viewAspect(windowWidth, windowHeight))) / 2;
    const int room = static_cast<int>(windowWidth - left) - 4;
    // 1.8 units at depth 50 as always; 22 pixels for the large font (the
    // window shows 50 tan(32.5 deg) units either side of the middle there).
    const float step = large ? static_cast<float>(22 * 2 * 31.85 / windowHeight) : 1.8f;
    char lines[4][200];
    int count = 0;
    lines[0][0] = '\0';
    for (const char* part = text; *part && count < 4;) {
        const char* gap = strstr(part, "  ");
        size_t length = gap ? static_cast<size_t>(gap - part) : strlen(part);
        // A part wider than the room on its own is broken at a space.
        while (textWidth(font, part, length) > room) {
            size_t space = length - 1;
            while (space > 0 && part[space] != ' ')
                space--;
            if (space == 0) break;
            length = space;
        }
        char* line = lines[count];
        char joined[200];
        snprintf(joined, sizeof joined, "%s%s%.*s", line, *line ? "   " : "",
                 static_cast<int>(length), part);
        if (*line && textWidth(font, joined, strlen(joined)) > room) {
            if (++count == 4) break;
            snprintf(lines[count], sizeof lines[count], "%.*s", static_cast<int>(length), part);
        } else {
            snprintf(line, sizeof lines[count], "%s", joined);
        }
        part += length;
        while (*part == ' ')
            part++;
    }
    if (count < 4 && lines[count][0]) count++;
    for (int i = count - 1; i >= 0; i--, y += step)
        drawText(-30, y, -50, lines[i], font);
    return y;
}
