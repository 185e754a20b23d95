// The application shell: start-up, frame drawing, projection and snapshots.
#pragma once

#include "view/view.h"

#include <cstddef>

// Long enough for any path the system can open; the chosen or given
// recording's name lands here ("test.txt" until then).
constexpr size_t RECORDING_PATH_CAPACITY = 32768;
extern char recordingPath[RECORDING_PATH_CAPACITY];

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

// Draws the current view into the back buffer and writes it to path as a
// PNG. On failure returns false with the reason in problem.
bool saveSnapshot(const char* path, const char** problem);

// Writes rgb (width x height, bottom row first, as GL reads) as an 8-bit RGB
// PNG with the top row first.
bool writePng(const char* path, int width, int height, const unsigned char* rgb,
              const char** problem);

// The first name quelvist-NNN.png not yet taken in the working directory.
bool nextSnapshotName(char* name, size_t capacity);

// Draws the view into the next free quelvist-NNN.png and prints its name.
void saveViewToNewFile();

// Start-up: dialogs, window, handlers, scene; never returns.
int runViewer(int argc, char** argv);

// Sets the OpenGL state and start view, loads the texture, compiles the
// lists, reads the recording and builds the menus.
void initScene();

// Draws the whole picture into the back buffer; onDisplay then shows it.
void drawPicture();
void onDisplay();
void onReshape(int width, int height);
