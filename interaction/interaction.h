// Everything that changes the view: the numbered commands (function keys and
// menu entries), the character keys, the pop-up menu and the animation timer.
#pragma once

#include "recording/recording.h"
#include "view/view.h"

#include <cstddef>

// Command numbers equal GLUT's function-key codes: F1 is 1 ... F12 is 12.
// The gaps switch (key g, no function key) is command 13.
constexpr int COMMAND_COUNT = 12;
constexpr int COMMAND_GAPS = 13;
constexpr int COMMAND_FIT = 14;           // key f, the main menu's "Fit view (f)"
constexpr int COMMAND_SCALE = 15;         // key k, in Show/Hide
constexpr int COMMAND_PLOT = 16;          // key p, in Show/Hide
constexpr int COMMAND_LISTING = 17;       // key l, in Show/Hide
constexpr int COMMAND_EVENTS = 18;        // key e, in Show/Hide
constexpr int COMMAND_VERGENCE = 19;      // key v, in Show/Hide
constexpr int COMMAND_ORTHO = 20;         // key o, in Show/Hide
constexpr int COMMAND_NYSTAGMUS = 40;     // key n, in Show/Hide
constexpr int COMMAND_MAIN_SEQUENCE = 41; // key m, in Show/Hide
constexpr int COMMAND_OPEN = 30;          // Ctrl+O, the main menu's "Open recording... (Ctrl+O)"
// Keys 1 to 4, the View menu: the front, top, side and subject's views.
constexpr int COMMAND_VIEW_FIRST = 31;
constexpr int COMMAND_VIEW_LAST = COMMAND_VIEW_FIRST + PRESET_SUBJECT - 1;
constexpr int TIMER_TAG = 2;
constexpr int TIMER_PERIOD_MS = 5;
constexpr float ANGLE_STEP = 0.5f;

// An angle whose magnitude passes this is brought back by whole turns; below
// it every value the timer produces is exact, so ordinary runs are untouched.
constexpr float ANGLE_WRAP_BOUND = 360.0f * 2048;

// GLUT handlers.
void applyCommand(int command);
void onMenuPick(int value);
void onSpecialKey(int key, int x, int y);
void onKey(unsigned char key, int x, int y);
void onKeyUp(unsigned char key, int x, int y);
void onTimer(int value);
void onMouse(int button, int state, int x, int y);
void onMotion(int x, int y);
void onPassiveMotion(int x, int y);
void onMenuStatus(int status, int x, int y);

// Full screen hides the pointer: it shows while the mouse moves (with or
// without a button down), while a button is held or the menu is open, and
// hides again IDLE_CURSOR_SECONDS after; traced as "cursor shown" and
// "cursor hidden". A window keeps its pointer: nothing changes there.
constexpr double IDLE_CURSOR_SECONDS = 2;
void hideCursorWhenIdle();         // at start-up, once full screen
void updateIdleCursor(double now); // each tick: hides the pointer when it is due
void holdCursorForMenu(bool open);
// Whether the pointer shows at now (secondsNow()) after the mouse last moved
// at movedAt; held: a button is down or the menu open.
bool cursorShows(double now, double movedAt, bool held);

// The replay's measured pace, kept by the timer.
extern ReplayPace replayPace;

// Makes the viewer's window and its GL context current. GLUT calls the
// idle, timer and menu handlers with whatever it handled last, a menu's
// window or context included; drawing or compiling lists there would go to
// the menu (which then shows black).
void useViewerWindow();

// Called by the timer at the end of every wake: the application's frame (it
// draws one when due); returns the seconds until the next frame is due,
// when the timer wakes again. Null until set (the timer then wakes every
// step).
extern double (*frameOfTick)();

// When something last asked for the picture to be drawn again (a key, the
// mouse, a menu, the window's new size, GLUT asking for it to be painted),
// in secondsNow() time: frames go on for PICTURE_SETTLE_SECONDS after.
extern double pictureTouchedAt;
void touchPicture();

// When the view last moved by hand (a drag that turned it, the wheel, F9 or
// F10), in secondsNow() time; the frame draws lighter while it moves.
extern double viewMovedAt;

// (Re)creates the pop-up menus from the view's switches and attaches the
// main menu to the right button, destroying the previous build.
void buildMenus();

// Carries out a rebuild that had to wait for an open menu to close; called
// from the timer, outside any menu callback.
void rebuildPendingMenus();

// The replay's commands, from the keys (a, Space, Left, Right, +, -, T,
// Page_Down, Page_Up, t, Home, End) and the "Replay" menu, whose entries carry these
// values. Shift with Left or Right steps by REPLAY_BIG_STEP samples.
enum ReplayCommand {
    REPLAY_START_STOP = 21,
    REPLAY_PAUSE,
    REPLAY_BACK,
    REPLAY_FORWARD,
    REPLAY_FASTER,
    REPLAY_SLOWER,
    REPLAY_TRAIL,
    REPLAY_NEXT_PAGE,
    REPLAY_PREVIOUS_PAGE,
    REPLAY_LAST = REPLAY_PREVIOUS_PAGE,
    // Added later, past the values the other commands took.
    REPLAY_GO_TO_TIME = 42, // t: "Go to time..." in the status line
    REPLAY_FIRST_PAGE,      // Home
    REPLAY_LAST_PAGE,       // End
};
// The time being typed after t, drawn in the status line while active.
extern TimeEntry timeEntry;
// A key while the time is being typed: edits it, goes there on Return.
void typeTime(unsigned char key);
constexpr int REPLAY_BIG_STEP = 10;
bool isReplayCommand(int value);
int replayCommandForKey(unsigned char key);
int replayCommandForSpecialKey(int key);
void applyReplayCommand(int command, int stepSamples = 1);

// Fit: centres the view on the samples drawn and sets the distance so that
// they fill about 90 % of the window, at the current angles. With --fit the
// first frame that has a window fits (applyPendingFit, called by the frame).
extern bool fitPending;
void fitViewToSamples();
void applyPendingFit();

// "Part of the recording lies outside the view: f fits it" while the view
// is still the start view, nothing has been done yet and some samples fell
// outside it; null otherwise. Keys, clicks and menu picks end it.
const char* startViewNotice();
void endStartViewNotice();

// "these angles fit Listing's law better as Helmholtz angles: --convention
// helmholtz" (or Fick) when the page's fixations say so; null otherwise, and
// once a key, click or menu pick has followed it. Fitted after the first
// frame, once per page.
const char* conventionHint();

// Picks the drawn sample nearest the window point (GLUT's coordinates)
// within 10 pixels, or clears the pick; traces "pick N" or "pick none" and
// prints the sample's line of the file.
void pickAt(int x, int y);
// Moves the pick by step samples within the page while no replay runs;
// false when there is nothing to move.
bool movePick(int step);
// The picked sample (from 1, in the samples read) and its line of the file
// (from 1), as the latest pick found it; line 0 when the file no longer
// has it.
struct PickedLine {
    long long sample, line;
};
extern PickedLine pickedLine;

// The Listing view: makes the table hold rotation vectors in degrees while
// view.showListing is set (fitting each eye's plane to the page as read,
// into listingPlanes) and the file's numbers otherwise; listingPageRead
// after a new page has been read.
void applyListingView();
void listingPageRead();
// The page's numbers as the file has them, whichever view is shown.
const RecordingTable& fileNumbers();

// Finds the page's saccades, blinks and losses (pageEvents) when the table
// has changed since they were found; traces "events N".
void refreshPageEvents();

// Finds the page's quick and slow phases and main sequence (pageNystagmus)
// when the table has changed since, with the events they need; traces
// "nystagmus N" (the quick phases of both eyes).
extern double nystagmusLambda; // --nystagmus-lambda
void refreshPageNystagmus();

// A click at (x, y) (GLUT's coordinates) in the main-sequence panel picks
// the onset of the saccade whose dot lies nearest, within
// MAIN_SEQUENCE_PICK_PIXELS; true when the panel holds the click.
constexpr double MAIN_SEQUENCE_PICK_PIXELS = 6;
bool pickInMainSequence(int x, int y);

// Sets the pick to row (-1: none) and announces it as pickAt does.
void pickRow(int row);

// The time plot's mouse: whether a press at (x, y) (GLUT's coordinates)
// falls in the panel; a click there picks the sample at that time (on a
// slow phase's dot, the slow phase's middle sample) and clears the range;
// dragging from x0 to x selects the range of times
// between them (done: the button went up), traced as "range A B" in
// samples of the file, or "range none" when cleared.
bool timePlotHolds(int x, int y);
void clickTimePlot(int x, int y);
void dragTimePlot(int x0, int x, bool done);
void clearTimePlotRange();

// Ctrl+O: asks for a recording with the system's file dialog and shows it
// instead of the one shown, keeping the view's angles, distance and
// switches, fitting it again where it had been fitted, clearing the range
// and the pick; the window's title names the file. A file that cannot be
// read (or holds no samples) leaves the old one shown and the window's
// notice says why. Traced as "opened N" (its rows), "open failed" or
// "open cancelled".
constexpr unsigned char KEY_CTRL_O = 'o' & 0x1f;
void openAnotherRecording();

// Pure effects, callable without GL or GLUT.
void applyCommandEffect(ViewState& state, int command);

enum class KeyAction { Quit, RebuildCurves, Reset, Snapshot, Nothing };
KeyAction applyKeyEffect(ViewState& state, unsigned char key);

// The keys that carry out a numbered command as its menu entry does
// (g, f, k, p, l, e, v, o, 1 to 4); 0 for other keys.
int commandForKey(unsigned char key);

// A replay command's effect on the view (paging aside); true when the
// curves must be rebuilt.
bool applyReplayEffect(ViewState& state, int command, int stepSamples, int rowCount);

// One timer tick; returns true when the curves must be rebuilt.
bool applyTimerStep(ViewState& state, int rowCount);

// The label of menu entry value (1 to 12, and the replay commands) for the
// given switches.
const char* menuLabel(const ViewState& state, int value);

float keepAngleInRange(float angle);

// The s key's hold, followed through key events in the order the system
// reports them: a held key repeats as further presses and is released once
// (Windows does so, X11 is asked to at start-up). A press while s is down is
// a repeat. A press of another key ends the hold as the system's repeat
// moves to that key, which also mends a release that went to another
// window; modifiers do not (X11 goes on repeating s). Presses pass their
// character, or 0 and the GLUT code of a special key.
struct HeldKey {
    bool down;
};
// True for a new press of s (not Shift+s, not a repeat).
bool pressKey(HeldKey& s, unsigned char character, int specialKey);
void releaseKey(HeldKey& s, unsigned char character);

// A file asked for with s; presses quicker than frames wait their turn, one
// file per frame, handed on by the timer.
void requestSnapshot();
void passOnWaitingSnapshot();

// Names of keys as the event trace writes them: "F1".."F12", "Left",
// "Page_Up"..., "Escape", "space", or the character itself.
const char* specialKeyName(int key);
const char* characterKeyName(unsigned char key, char* buffer, size_t capacity);

// Identifiers of the menus of the latest build, for tests: the five
// submenus in creation order, then the main menu, then the View submenu
// (which the main menu lists after "Fit view (f)", followed by "Open
// recording... (Ctrl+O)"); 0 before the first build.
constexpr int MENU_COUNT = 7;
extern int menuIds[MENU_COUNT];
