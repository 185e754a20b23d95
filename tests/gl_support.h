// A real GL context for the tests (a 300x300 GLUT window under Xvfb), and
// helpers to read what the program draws: pixels, feedback records, and an
// independent projection of scene points to window coordinates.
#pragma once

#include "app/app.h"

#include <GL/gl.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

struct Rgb {
    int r, g, b;
};

// The frame's pixels as drawn by the frame code, bottom row first.
struct Frame {
    int width, height;
    std::vector<unsigned char> rgb;
    Rgb at(int x, int y) const; // y counted from the bottom, as GL does
};

// Writes content to a temporary recording and runs the real start-up of the
// scene on it (texture, lists, recording, curves, menus).
void startSceneWith(const std::string& content);

// Draws one frame at the given window size and reads it back.
Frame drawFrame(int width = 300, int height = 300);

// Where a point of the plot lands in the window for the current view, with
// y counted from the bottom. Computed here, not by GL.
std::array<double, 2> projectPlotPoint(double x, double y, double z, int width = 300,
                                       int height = 300);
std::array<double, 2> projectEyePoint(double x, double y, double z, int width = 300,
                                      int height = 300);

// One primitive reported by feedback mode.
struct FeedbackItem {
    GLenum token; // GL_LINE_TOKEN, GL_LINE_RESET_TOKEN, GL_POLYGON_TOKEN, GL_BITMAP_TOKEN...
    std::vector<std::array<float, 7>> vertices; // x, y, z, r, g, b, a (or x, y, z, s, t, 0, 0)
};

// Runs list (or draw) in feedback mode under the current matrices and
// returns what it drew. type is GL_3D_COLOR or GL_3D_COLOR_TEXTURE (texture as s, t).
std::vector<FeedbackItem> feedbackOf(unsigned list, GLenum type = GL_3D_COLOR);
std::vector<FeedbackItem> feedbackOf(const std::function<void()>& draw, GLenum type = GL_3D_COLOR);

// Sets the start view's matrices as onDisplay does for the plot.
void loadPlotMatrices(int width = 300, int height = 300);

// An orthographic box of +-30 units in a 600x600 viewport: window coordinate
// w maps back to the scene coordinate w/10 - 30 (depth: 30 - w*60).
void loadOrthoMatrices();
