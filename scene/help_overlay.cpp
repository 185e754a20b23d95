// Help for everything (key h): every key and mouse action in two columns
// over a dark backdrop, drawn in window pixels above the picture.
#include "scene/scene.h"

#include "view/view.h"

#include <GL/freeglut.h>

#include <algorithm>

namespace {

// Key, then what it does; two columns of these.
const char* const helpEntries[][2] = {
    {"F1..F5", "show/hide eyes, difference, edges, cross"},
    {"F6..F8", "start/stop rotation about x, y, z"},
    {"F9, F10", "zoom out, zoom in"},
    {"F11, F12", "raise, lower the torsion scale"},
    {"g", "break the paths at missing samples"},
    {"f", "fit the view to the samples"},
    {"k", "scale in degrees along the cross"},
    {"p", "time plot (drag: a time range)"},
    {"l", "Listing view: rotation vectors, planes"},
    {"e", "saccades drawn wide, blinks marked"},
    {"v", "vergence strip in the time plot"},
    {"n, m", "nystagmus; main sequence"},
    {"1, 2, 3, 4", "front, top, side, subject's view"},
    {"o", "orthographic view (true scale) on/off"},
    {"Ctrl+O", "open another recording"},
    {"r", "reset the view"},
    {"s", "save the view as quelvist-NNN.png"},
    {"h", "this help (h or ESC closes it)"},
    {"ESC", "quit"},
    {"a", "start/stop the build-up replay"},
    {"Space", "pause/resume the replay"},
    {"Left, Right", "step the replay or the pick (Shift: 10)"},
    {"+, -", "replay faster, slower"},
    {"t, T", "go to a time; trail of the last 2 s"},
    {"PgDn, PgUp", "next, previous 50000 samples (Home, End)"},
    {"drag, wheel", "turn the plot, zoom (1.15 a notch)"},
    {"click", "pick the sample under the pointer"},
    {"click in plot", "pick at that time, clear the range"},
    {"right button", "the menu"},
};
constexpr int HELP_COUNT = sizeof helpEntries / sizeof helpEntries[0];

} // namespace

void drawHelpOverlay() {
    if (!view.showHelp || windowWidth < 1 || windowHeight < 1) return;
    void* font = addedTextFont();
    int lineHeight = addedTextLineHeight();

    beginWindowPixels();
    drawBackdrop(0, 0, windowWidth, windowHeight, 0.8f);
    glColor3f(1, 1, 1);
    // Each column: the key, then its action after a fixed gap. Two columns
    // where they fit side by side, one in a small window.
    int keyWidth = 0, actionWidth = 0;
    for (const auto& entry : helpEntries) {
        const int k = glutBitmapLength(font, reinterpret_cast<const unsigned char*>(entry[0]));
        const int a = glutBitmapLength(font, reinterpret_cast<const unsigned char*>(entry[1]));
        keyWidth = k > keyWidth ? k : keyWidth;
        actionWidth = a > actionWidth ? a : actionWidth;
    }
    const int columnWidth = keyWidth + 8 + actionWidth + 16;
    const int perColumn = 2 * columnWidth <= windowWidth ? (HELP_COUNT + 1) / 2 : HELP_COUNT;
    beginTextBatch();
    for (int i = 0; i < HELP_COUNT; i++) {
        const int x = 6 + (i / perColumn) * columnWidth;
        // A column taller than the window closes up its lines.
        if (i == 0 && lineHeight * perColumn > windowHeight - 10)
            lineHeight = std::max(9, (windowHeight - 10) / perColumn);
        const int y = windowHeight - 8 - lineHeight * (1 + i % perColumn);
        drawText(static_cast<float>(x), static_cast<float>(y), 0, helpEntries[i][0], font);
        drawText(static_cast<float>(x + keyWidth + 8), static_cast<float>(y), 0, helpEntries[i][1],
                 font);
    }
    endTextBatch();
    endWindowPixels();
}
