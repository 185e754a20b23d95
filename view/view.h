// The shared view: the record of switches, angles, distance, torsion scale
// and replay count that every handler reads or changes, the window's size,
// and the fixed numbers of the display lists. Nothing here draws.
#pragma once

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

// The last size passed to onReshape.
extern int windowWidth;
extern int windowHeight;

// GLUT's number of the viewer's window (0 before it exists).
extern int viewerWindow;

// Frames shown so far.
extern unsigned framesShown;

// Set by the s key; the next frame is written to a new PNG file.
extern bool snapshotRequested;

constexpr unsigned LIST_CURVES = 1;
constexpr unsigned LIST_CROSS = 2;
constexpr unsigned LIST_EDGES = 3;
constexpr unsigned LIST_DRUM = 4;

// Every field at the value the viewer starts with.
void setStartView(ViewState& state);

// Angles, rotation, distance, torsion scale and replay back to their start
// values; the show switches and the drum stay as they are.
void resetViewMotion(ViewState& state);

// The projection's aspect: width over height, with a height of 0 taken as 1
// so a minimised window keeps a usable projection.
double viewAspect(int width, int height);
