// The numbered commands and the keyboard handlers.
#include "interaction/interaction.h"

#include "scene/scene.h"

#include <GL/freeglut.h>

#include <cstdio>
#include <cstdlib>

namespace {

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

void onSpecialKey(int key, int, int) {
    applyCommand(key);
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

// Writes the view to the next free quelvist-NNN.png and says which.
static void saveViewToNewFile() {
    char name[64];
    const char* problem = "too many snapshots in this directory";
    if (nextSnapshotName(name, sizeof name) && saveSnapshot(name, &problem)) {
        printf("%s\n", name);
        fflush(stdout);
    } else {
        fprintf(stderr, "quelvist: could not write a snapshot: %s\n", problem);
    }
}

void onKey(unsigned char key, int, int) {
    switch (applyKeyEffect(view, key)) {
    case KeyAction::Quit:
        exit(1);
    case KeyAction::RebuildCurves:
        buildCurveList();
        break;
    case KeyAction::Reset:
        buildCurveList();
        buildMenus();
        break;
    case KeyAction::Snapshot:
        saveViewToNewFile();
        break;
    case KeyAction::Nothing:
        break;
    }
    glutPostRedisplay();
}
