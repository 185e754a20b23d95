// The shared view: the record of switches, angles, distance, torsion scale
// and replay count that every handler reads or changes, the window's size,
// and the fixed numbers of the display lists. Nothing here draws.
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
    uint8_t replayPaused; // the replay holds its sample while set
    uint8_t showTrail;    // the replay draws only its last TRAIL_SECONDS
    int8_t replaySpeed;   // log2 of the samples added per tick, REPLAY_SLOWEST..REPLAY_FASTEST
    uint8_t replayWait;   // ticks waited so far for the next sample at slow speeds
    uint8_t showGaps;     // each eye's path is broken where its sample is missing
    // The data point (horizontal, torsion, vertical, in the recording's units)
    // at the middle of the window; the origin until a fit moves it.
    float centreH, centreT, centreV;
    int32_t pickedRow;    // the row of the picked sample, -1 when none is
    uint8_t showHelp;     // the overlay of every key and mouse action (key h)
    uint8_t showScale;    // ticks and numbers in degrees along the cross (key k)
    uint8_t showPlot;     // the time plot across the bottom third (key p)
    uint8_t showListing;  // eye positions as rotation vectors, Listing's planes (key l)
    uint8_t showEvents;   // saccades drawn wide, blinks marked (key e)
    uint8_t showVergence; // the time plot's vergence strip (key v)
    // A time range dragged in the time plot: only rows rangeFirst ..
    // rangeEnd-1 of the page are drawn in 3D; rangeFirst is -1 when none is.
    int32_t rangeFirst, rangeEnd;
    uint8_t showDrum;      // the label drum (off only when the command line asks)
    uint8_t showHelpLines; // the four help lines (likewise)
    // A parallel projection (key o): every sample is drawn at the scale of
    // the view's centre, so values read off the scale whatever the depth.
    uint8_t orthographic;
    // The subject's view (key 4) mirrors the torsion axis: with horizontal
    // to the right and vertical up, positive torsion then points toward
    // the viewer, which no turn of the plot alone can give.
    uint8_t mirrorTorsion;
    uint8_t showLegend;       // the key to the colours without the scale (--legend)
    uint8_t hideLegend;       // --hide legend: not even with the scale or in a figure
    uint8_t showNystagmus;    // quick phases marked, the slow-phase velocity strip (key n)
    uint8_t showMainSequence; // the main-sequence panel (key m)
};

// The matrices the latest frame drew the plot with (glGetDoublev after the
// plot's transform), so that what is found under the pointer is what was
// drawn there.
struct PlotProjection {
    double modelview[16], projection[16]; // column-major, as GL gives them
    int viewport[4];
};
extern PlotProjection framePlotProjection;

// The replay's speeds: from one sample every 8 ticks to 256 samples a tick.
constexpr int REPLAY_SLOWEST = -3;
constexpr int REPLAY_FASTEST = 8;
constexpr double TRAIL_SECONDS = 2.0;
constexpr double TICKS_PER_SECOND = 200; // the 5 ms timer
constexpr double ANGLE_PER_SECOND = 100; // 0.5 degrees a tick

// The perspective's vertical field of view, in degrees.
constexpr double FIELD_OF_VIEW = 65;

// Zooming in stops at this distance from the view's centre: nearer, the
// picture would pass behind the viewer (the near plane lies at 1).
constexpr float NEAREST_DISTANCE = 2;
// The orthographic view's width is that of the perspective at the view's
// centre (2 distance tan(FIELD_OF_VIEW / 2) high); nothing passes behind
// the viewer there, so zooming in goes on to a view 0.06 units high.
constexpr float NEAREST_ORTHO_DISTANCE = 0.05f;
float nearestDistance(const ViewState& state);
// Key o: the projection switches, the picture keeps its size at the view's
// centre; back in perspective a distance nearer than NEAREST_DISTANCE
// comes out to it.
void toggleOrthographic(ViewState& state);

// The wheel: each notch away from the user (positive) divides the distance
// (in the orthographic view: the width) by 1.15, each toward the user
// multiplies it; never nearer than nearestDistance.
void zoomByWheel(ViewState& state, int notches);

// The far plane: 200 as always, further when the view has been zoomed out
// far enough to need it.
double farPlaneFor(float distance);

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
constexpr unsigned LIST_EDGES = 3;
constexpr unsigned LIST_DRUM = 4;

// Every field at the value the viewer starts with.
void setStartView(ViewState& state);

// Angles, rotation, distance, centre, torsion scale and the replay (count,
// pause, speed) back to their start values; the show switches, the trail and
// the drum stay as they are.
void resetViewMotion(ViewState& state);

// The replay's steps, pure, for the keys, the menu and the timer. Each does
// nothing while the replay is off (buildUpCount -1).
void startOrStopReplay(ViewState& state);
void pauseOrResumeReplay(ViewState& state);
// Moves the paused replay by samples (negative: back), within 1 .. rowCount.
void stepReplay(ViewState& state, int samples, int rowCount);
// Doubles (direction 1) or halves (-1) the speed within its bounds.
void changeReplaySpeed(ViewState& state, int direction);
// One tick of the running replay: adds the speed's samples; past the last
// row it shows all of them for one tick, then starts again at 1. Returns
// true when it took a step (false while paused or waiting at slow speeds).
bool advanceReplay(ViewState& state, int rowCount);
// Whether the running replay shows its whole recording (or range): the
// step it stays there for.
bool replayAtItsEnd(const ViewState& state, int rowCount);

// "1 sample/tick", "4 samples/tick", "1/8 sample/tick".
void describeReplaySpeed(char* out, size_t capacity, int speed);

// The readout shown while the replay runs: "t = 12.346 s   sample 6174 of
// 30000   1 sample/tick = 0.40x real time", "   paused" added while paused.
// pace is the measured multiple of real time (replayPaceFigure); it is left
// out when 0.
void describeReplay(char* out, size_t capacity, const ViewState& state, double time,
                    long long sample, long long samples, double pace);

// The replay's pace as it runs, not as asked: frames that cannot keep up
// with the 5 ms ticks slow it down. Each tick passes the wall clock and the
// recording time the replay advanced (the clock is the caller's). The figure
// is the recording time advanced over the last second of wall clock divided
// by that wall time, known once a quarter second has been measured.
constexpr double PACE_WINDOW_SECONDS = 1.0;
constexpr double PACE_SHORTEST_SECONDS = 0.25;
constexpr int PACE_TICKS = 512; // room for a second of ticks (200)
struct ReplayPace {
    double wall[PACE_TICKS];     // the ticks' times, oldest at first
    double advanced[PACE_TICKS]; // recording seconds advanced up to each tick
    int first, count;
    int8_t speed;  // the speed measured
    double figure; // 0 while none is known
};
void measureReplayPace(ReplayPace& pace, const ViewState& state, double wallSeconds,
                       double advancedSeconds);
// The figure for the readout: 0 without one measured at the current speed.
double replayPaceFigure(const ReplayPace& pace, const ViewState& state);

// Dragging with the left button: horizontal movement turns the plot about
// the data's vertical axis (angleZ), vertical movement about the screen's
// horizontal axis (angleX).
constexpr float DRAG_DEGREES_PER_PIXEL = 0.5f;
void turnByDrag(ViewState& state, int dx, int dy);

// Keys 1, 2, 3, 4: the front (start), top, side and subject's views. Only
// the angles and the torsion mirror change; distance, torsion scale and
// switches stay. The subject's view looks as the subject does: positive
// horizontal to the right, vertical up, torsion toward the viewer.
constexpr int PRESET_SUBJECT = 4;
void setPresetView(ViewState& state, int preset);

// A view asked for on the command line: a preset (1 front, 2 top, 3 side,
// 4 subject, 0 none) or the three angles, a distance and a torsion scale (each left as
// it is while not given), and the switches it turns off.
enum HiddenPart : unsigned {
    HIDE_LEFT_EYE = 1,
    HIDE_RIGHT_EYE = 2,
    HIDE_DIFFERENCE = 4,
    HIDE_EDGES = 8,
    HIDE_CROSS = 16,
    HIDE_DRUM = 32,
    HIDE_HELP = 64,
    HIDE_LEGEND = 128, // vector figures draw the key to the colours unless hidden
};
struct ViewChoice {
    int preset;
    bool anglesGiven;
    float angles[3]; // angleX, angleY, angleZ in degrees
    bool distanceGiven;
    float distance;
    bool torsionScaleGiven;
    float torsionScale;
    unsigned hidden;   // HiddenPart bits
    bool orthographic; // --ortho
    bool legend;       // --legend: the key to the colours without the scale
};
// Applies choice over the state's start values.
void applyViewChoice(ViewState& state, const ViewChoice& choice);

// Frames are drawn at most FRAME_RATE_LIMIT a second by the clock: more
// than a screen shows would only heat the machine. next is the time
// (secondsNow()) from which the next frame may be drawn; frameDue says
// whether one may be drawn at now and, when it may, moves next on by one
// interval (from now where frames fell behind, so no burst follows), so
// that the 5 ms ticks
// give 60 frames a second on average rather than one every 20 ms.
constexpr double FRAME_RATE_LIMIT = 60;
struct FramePace {
    double next;
};
bool frameDue(FramePace& pace, double now);

// A frame is drawn only while something moves (the drum shown, the view
// turning by itself, the replay running) or for PICTURE_SETTLE_SECONDS
// after anything asked for the picture again: the frame that shows a
// change, the full frame after lighter ones, a kept picture after a resize.
constexpr double PICTURE_SETTLE_SECONDS = 0.5;
bool pictureMoving(const ViewState& state);

// The timer's steps (the drum, the turning view and the replay move by one
// a step): one for every TIMER_STEP_SECONDS of the clock. The timer wakes
// when a frame is due and takes the steps that passed since it last did,
// at most MAX_TIMER_STEPS_AT_ONCE (after a stall the picture goes on from
// where it was rather than racing). reached is the time up to which steps
// were taken; the first call takes one.
constexpr double TIMER_STEP_SECONDS = 0.005;
constexpr int MAX_TIMER_STEPS_AT_ONCE = 40;
struct StepClock {
    bool started;
    double reached;
};
int timerStepsDue(StepClock& clock, double now);

// While the view moves (turning by itself, a drag, the wheel or the zoom
// keys within the last VIEW_STILL_SECONDS) a renderer whose last full frame
// took longer than LIGHT_FRAME_ABOVE_SECONDS gets lighter frames: the paths
// without line smoothing. Once the view is still the full frame follows.
constexpr double VIEW_STILL_SECONDS = 0.15;
constexpr double KEEPING_HELD_AFTER_RESHAPE_SECONDS = 0.5;
constexpr double LIGHT_FRAME_ABOVE_SECONDS = 1.0 / 30;
bool lightFrameWanted(const ViewState& state, double sinceViewMoved, double lastFullFrameSeconds);
// The stride of the next light frame, from this one's and the time it took:
// as many times fewer rows as it was slower than a frame at FRAME_RATE_LIMIT
// (within 1 .. 64, growing at most fourfold at a time).
int nextLightFrameStride(int stride, double seconds);

// The time plot's height in a window of that height: its bottom third, or 0
// while it is hidden.
int timePlotHeight(int windowHeight, bool shown);

// Where the 3D picture is drawn (x, y, width, height from the bottom left):
// the whole window, or the part above the time plot.
void plotViewport(int viewport[4]);

// The projection's aspect: width over height, with a height of 0 taken as 1
// so a minimised window keeps a usable projection.
double viewAspect(int width, int height);

// "Go to time": seconds typed into the window's own status line. Digits, a
// comma or point and Backspace edit it; Return goes there (when the text
// reads as a number), ESC gives up.
constexpr int TIME_ENTRY_CAPACITY = 24;
struct TimeEntry {
    bool active;
    char text[TIME_ENTRY_CAPACITY];
};
enum class TimeEntryStep { Typed, Ignored, Go, Cancel };
void startTimeEntry(TimeEntry& entry);
TimeEntryStep typeIntoTimeEntry(TimeEntry& entry, unsigned char key);
// The seconds typed (a comma as a decimal point); false when the text holds
// no number.
bool timeEntrySeconds(const TimeEntry& entry, double& seconds);
