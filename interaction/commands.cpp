// The numbered commands and the keyboard handlers.
#include "interaction/interaction.h"

#include "platform/platform.h"
#include "scene/scene.h"

#include <GL/freeglut.h>

#include <cstdio>

namespace {

HeldKey snapshotKey;

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
        state.distance -= 0.5f;
        break;
    case 11:
        state.torsionScale += 0.5f;
        break;
    case 12:
        state.torsionScale -= 0.5f;
        break;
    default:
        break;
    }
}

void applyCommand(int command) {
    applyCommandEffect(view, command);
    buildMenus();
    buildCurveList();
}

void onMenuPick(int value) {
    applyCommand(value);
    traceEvent("menu %d", value);
}

void onSpecialKey(int key, int, int) {
    applyCommand(key);
    traceEvent("key %s", specialKeyName(key));
}

const char* specialKeyName(int key) {
    static const char* const functionKeys[] = {"F1", "F2", "F3", "F4",  "F5",  "F6",
                                               "F7", "F8", "F9", "F10", "F11", "F12"};
    if (key >= GLUT_KEY_F1 && key <= GLUT_KEY_F12) return functionKeys[key - GLUT_KEY_F1];
    switch (key) {
    case GLUT_KEY_LEFT:
        return "Left";
    case GLUT_KEY_UP:
        return "Up";
    case GLUT_KEY_RIGHT:
        return "Right";
    case GLUT_KEY_DOWN:
        return "Down";
    case GLUT_KEY_PAGE_UP:
        return "Page_Up";
    case GLUT_KEY_PAGE_DOWN:
        return "Page_Down";
    case GLUT_KEY_HOME:
        return "Home";
    case GLUT_KEY_END:
        return "End";
    case GLUT_KEY_INSERT:
        return "Insert";
    default:
        return "special";
    }
}

const char* characterKeyName(unsigned char key, char* buffer, size_t capacity) {
    switch (key) {
    case 27:
        return "Escape";
    case ' ':
        return "space";
    case '\r':
        return "Return";
    case '\t':
        return "Tab";
    case 8:
        return "BackSpace";
    case 127:
        return "Delete";
    default:
        if (key > ' ' && key < 127)
            snprintf(buffer, capacity, "%c", key);
        else
            snprintf(buffer, capacity, "0x%02x", key);
        return buffer;
    }
}

KeyAction applyKeyEffect(ViewState& state, unsigned char key) {
    switch (key) {
    case 27:
        return KeyAction::Quit;
    case 'a':
        state.buildUpCount = state.buildUpCount == -1 ? 1 : -1;
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
    char buffer[8];
    switch (applyKeyEffect(view, key)) {
    case KeyAction::Quit:
        traceEvent("key %s", characterKeyName(key, buffer, sizeof buffer));
        endProcess(1);
    case KeyAction::RebuildCurves:
        buildCurveList();
        break;
    case KeyAction::Reset:
        buildCurveList();
        buildMenus();
        break;
    case KeyAction::Snapshot:
        // The next frame is written to a file; holding the key writes one.
        if (!isKeyRepeat(snapshotKey, framesShown)) snapshotRequested = true;
        break;
    case KeyAction::Nothing:
        break;
    }
    traceEvent("key %s", characterKeyName(key, buffer, sizeof buffer));
    glutPostRedisplay();
}

bool isKeyRepeat(const HeldKey& key, unsigned frame) {
    return key.released && key.releasedAtFrame == frame;
}

void onKeyUp(unsigned char key, int, int) {
    if (key != 's') return;
    snapshotKey.released = true;
    snapshotKey.releasedAtFrame = framesShown;
}
