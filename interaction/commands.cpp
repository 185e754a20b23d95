// The numbered commands and the keyboard handlers.
#include "interaction/interaction.h"

#include "platform/platform.h"
#include "scene/scene.h"

#include <GL/freeglut.h>

#include <cstdio>

namespace {

HeldKey snapshotKey;
unsigned snapshotsWaiting;

// The s key as the release may report it: with Shift (or Caps Lock) as S,
// with Ctrl as its control character.
bool isSKey(unsigned char character) {
    return character == 's' || character == 'S' || character == ('s' & 0x1f);
}

// Keys the system's repeat passes over on X11.
bool isModifierKey(int specialKey) {
    return specialKey == GLUT_KEY_NUM_LOCK ||
           (specialKey >= GLUT_KEY_SHIFT_L && specialKey <= GLUT_KEY_SUPER_R);
}

void toggle(uint8_t& flag) {
    flag = 1 - flag;
}

} // namespace

void applyCommandEffect(ViewState& state, int command) {
    switch (command) {
    case 1:
        toggle(state.showLeftEye);
        break;
    case 2:
        toggle(state.showRightEye);
        break;
    case 3:
        toggle(state.showDifference);
        break;
    case 4:
        toggle(state.showEdges);
        break;
    case 5:
        toggle(state.showCross);
        break;
    case 6:
        toggle(state.rotateX);
        break;
    case 7:
        toggle(state.rotateY);
        break;
    case 8:
        toggle(state.rotateZ);
        break;
    case 9:
        state.distance += 0.5f;
        break;
    case 10:
        // Never through the centre: the picture would vanish behind the viewer.
        if (state.distance - 0.5f >= nearestDistance(state)) state.distance -= 0.5f;
        break;
    case 11:
        state.torsionScale += 0.5f;
        break;
    case 12:
        state.torsionScale -= 0.5f;
        break;
    case COMMAND_GAPS:
        toggle(state.showGaps);
        break;
    case COMMAND_SCALE:
        toggle(state.showScale);
        break;
    case COMMAND_PLOT:
        toggle(state.showPlot);
        break;
    case COMMAND_LISTING:
        toggle(state.showListing);
        break;
    case COMMAND_EVENTS:
        toggle(state.showEvents);
        break;
    case COMMAND_VERGENCE:
        toggle(state.showVergence);
        break;
    case COMMAND_ORTHO:
        toggleOrthographic(state);
        break;
    case COMMAND_NYSTAGMUS:
        toggle(state.showNystagmus);
        break;
    case COMMAND_MAIN_SEQUENCE:
        toggle(state.showMainSequence);
        break;
    case COMMAND_VIEW_FIRST ... COMMAND_VIEW_LAST:
        setPresetView(state, command - COMMAND_VIEW_FIRST + 1);
        break;
    default:
        break;
    }
}

void applyCommand(int command) {
    if (command == COMMAND_OPEN) {
        openAnotherRecording();
        return;
    }
    if (command == COMMAND_FIT) fitViewToSamples();
    applyCommandEffect(view, command);
    if (command == COMMAND_LISTING) applyListingView();
    if (view.showEvents) refreshPageEvents();
    if (view.showNystagmus || view.showMainSequence) refreshPageNystagmus();
    buildMenus();
    buildCurveList();
}

void onMenuPick(int value) {
    useViewerWindow();
    touchPicture();
    endStartViewNotice();
    if (isReplayCommand(value))
        applyReplayCommand(value);
    else
        applyCommand(value);
    traceEvent("menu %d", value);
}

void onSpecialKey(int key, int, int) {
    touchPicture();
    endStartViewNotice();
    pressKey(snapshotKey, 0, key);
    if (key == GLUT_KEY_F9 || key == GLUT_KEY_F10) viewMovedAt = secondsNow();
    if (int command = replayCommandForSpecialKey(key)) {
        const bool shift = glutGetModifiers() & GLUT_ACTIVE_SHIFT;
        applyReplayCommand(command, shift ? REPLAY_BIG_STEP : 1);
    } else {
        applyCommand(key);
    }
    traceEvent("key %s", specialKeyName(key));
}

int commandForKey(unsigned char key) {
    static const struct {
        unsigned char key;
        int command;
    } letters[] = {{'g', COMMAND_GAPS},           {'f', COMMAND_FIT},
                   {'k', COMMAND_SCALE},          {'p', COMMAND_PLOT},
                   {'l', COMMAND_LISTING},        {'e', COMMAND_EVENTS},
                   {'v', COMMAND_VERGENCE},       {'o', COMMAND_ORTHO},
                   {'1', COMMAND_VIEW_FIRST},     {'2', COMMAND_VIEW_FIRST + 1},
                   {'3', COMMAND_VIEW_FIRST + 2}, {'4', COMMAND_VIEW_FIRST + 3},
                   {KEY_CTRL_O, COMMAND_OPEN},    {'n', COMMAND_NYSTAGMUS},
                   {'m', COMMAND_MAIN_SEQUENCE}};
    for (const auto& letter : letters)
        if (letter.key == key) return letter.command;
    return 0;
}

KeyAction applyKeyEffect(ViewState& state, unsigned char key) {
    switch (key) {
    case 27:
        // ESC closes the help instead of quitting while it is open.
        if (state.showHelp) {
            state.showHelp = 0;
            return KeyAction::Nothing;
        }
        return KeyAction::Quit;
    case 'h':
        state.showHelp = 1 - state.showHelp;
        return KeyAction::Nothing;
    case 'a':
        startOrStopReplay(state);
        return KeyAction::RebuildCurves;
    case 'r':
        resetViewMotion(state);
        return KeyAction::Reset;
    case 's':
        return KeyAction::Snapshot;
    default:
        return KeyAction::Nothing;
    }
}

void onKey(unsigned char key, int, int) {
    touchPicture();
    endStartViewNotice();
    char buffer[8];
    if (timeEntry.active) { // every key goes to the time being typed
        typeTime(key);
        traceEvent("key %s", characterKeyName(key, buffer, sizeof buffer));
        glutPostRedisplay();
        return;
    }
    const int replayCommand = replayCommandForKey(key);
    const bool ranged = view.rangeFirst >= 0;
    const int letterCommand = replayCommand ? 0 : commandForKey(key);
    const KeyAction action =
        replayCommand || letterCommand ? KeyAction::Nothing : applyKeyEffect(view, key);
    if (ranged && view.rangeFirst < 0) traceEvent("range none"); // r draws every sample again
    const bool newPress = pressKey(snapshotKey, key, 0);
    if (replayCommand) applyReplayCommand(replayCommand);
    if (letterCommand) applyCommand(letterCommand);
    switch (action) {
    case KeyAction::Quit:
        traceEvent("key %s", characterKeyName(key, buffer, sizeof buffer));
        endProcess(1);
    case KeyAction::RebuildCurves: // the a key: the Replay menu's label changes too
    case KeyAction::Reset:
        buildCurveList();
        buildMenus();
        break;
    case KeyAction::Snapshot:
        // Holding the key writes one file.
        if (newPress) requestSnapshot();
        break;
    case KeyAction::Nothing:
        break;
    }
    traceEvent("key %s", characterKeyName(key, buffer, sizeof buffer));
    glutPostRedisplay();
}

void onKeyUp(unsigned char key, int, int) {
    touchPicture();
    releaseKey(snapshotKey, key);
}

bool pressKey(HeldKey& s, unsigned char character, int specialKey) {
    if (isSKey(character)) {
        const bool newPress = !s.down;
        s.down = true;
        return newPress && character == 's';
    }
    if (character || !isModifierKey(specialKey)) s.down = false;
    return false;
}

void releaseKey(HeldKey& s, unsigned char character) {
    if (isSKey(character)) s.down = false;
}

void requestSnapshot() {
    // The next frame writes the file.
    if (snapshotRequested)
        snapshotsWaiting++;
    else
        snapshotRequested = true;
}

void passOnWaitingSnapshot() {
    if (!snapshotsWaiting || snapshotRequested) return;
    snapshotsWaiting--;
    snapshotRequested = true;
}
