// The application shell: the shared view state, the display-list numbers,
// start-up, frame drawing, projection and bitmap text.
#pragma once

#include <cstddef>
#include <cstdint>

// Switches hold 0 or 1 and are toggled by storing 1 minus the value.
struct ViewState {
    uint8_t showLeftEye;
    uint8_t showRightEye;
    uint8_t showDifference;
    uint8_t showEdges;
    uint8_t showCross;
    uint8_t rotateX;
    uint8_t rotateY;
    uint8_t rotateZ;
    float angleX;
    float angleY;
    float angleZ;
    float drumAngle;
    float distance;
    float torsionScale;
    int32_t buildUpCount; // -1: every row is drawn; otherwise the number drawn
};

extern ViewState view;
extern int windowWidth;
extern int windowHeight;

// Long enough for any path the system can open; the chosen or given
// recording's name lands here ("test.txt" until then).
constexpr size_t RECORDING_PATH_CAPACITY = 32768;
extern char recordingPath[RECORDING_PATH_CAPACITY];

constexpr unsigned LIST_CURVES = 1;
constexpr unsigned LIST_CROSS = 2;
constexpr unsigned LIST_EDGES = 3;
constexpr unsigned LIST_DRUM = 4;

// Every field at the value the viewer starts with.
void setStartView(ViewState& state);

// Angles, rotation, distance, torsion scale and replay back to their start
// values; the show switches and the drum stay as they are.
void resetViewMotion(ViewState& state);

// The plot's placement in the frame: distance, then the three angles.
void applyPlotTransform();

// What the command line asks for.
struct StartOptions {
    bool forceFullScreen;          // "-f" among the arguments
    bool showHelp;                 // "--help"
    const char* recordingArgument; // first argument not starting with '-', or null
    const char* snapshotPath;      // "--snapshot FILE": draw once, write a PNG, exit
    int width, height;             // "--size WxH" for the window, 300x300 otherwise
    const char* problem;           // what is wrong with the arguments, or null
};
StartOptions parseArguments(int argc, char** argv);
void printUsage();

// Dialog texts go to the terminal instead (no one is there to answer them
// while a snapshot is written).
extern bool messagesOnTerminal;

// Draws the current view into the back buffer and writes it to path as a
// PNG. On failure returns false with the reason in problem.
bool saveSnapshot(const char* path, const char** problem);

// Writes rgb (width x height, bottom row first, as GL reads) as an 8-bit RGB
// PNG with the top row first.
bool writePng(const char* path, int width, int height, const unsigned char* rgb,
              const char** problem);

// The first name quelvist-NNN.png not yet taken in the working directory.
bool nextSnapshotName(char* name, size_t capacity);

// Start-up: dialogs, window, handlers, scene; never returns.
int runViewer(int argc, char** argv);

// Sets the OpenGL state and start view, loads the texture, compiles the
// lists, reads the recording and builds the menus.
void initScene();

// Draws the whole picture into the back buffer; onDisplay then shows it.
void drawPicture();
void onDisplay();
void onReshape(int width, int height);
void drawText(float x, float y, float z, const char* text, void* font);

// The projection's aspect: width over height, with a height of 0 taken as 1
// so a minimised window keeps a usable projection.
double viewAspect(int width, int height);
