// The right-button pop-up menu. Its labels say what choosing an entry will
// do, so the whole set is rebuilt whenever a switch may have changed.
#include "interaction/interaction.h"

#include "platform/platform.h"
#include "recording/recording.h"

#include <GL/freeglut.h>

int menuIds[MENU_COUNT];

namespace {

// freeglut aborts the program when menus are created or destroyed while a
// menu is open (a function key pressed with the menu showing, say). Then
// the rebuild waits until the menu has closed.
bool menuOpen = false;
bool rebuildPending = false;

const char* pick(uint8_t flag, const char* whenSet, const char* whenClear) {
    return flag ? whenSet : whenClear;
}

int createSubmenu(int first, int last) {
    int id = glutCreateMenu(onMenuPick);
    for (int value = first; value <= last; value++)
        glutAddMenuEntry(menuLabel(view, value), value);
    return id;
}

void rebuildNow() {
    rebuildPending = false;
    void* keyboard = keyboardWindow(); // see giveKeyboardBack
    // Destroy by the identifiers kept: while a menu callback runs, GLUT's
    // current menu is the submenu that held the chosen entry.
    for (int& id : menuIds) {
        if (id) glutDestroyMenu(id);
        id = 0;
    }
    menuIds[0] = createSubmenu(1, 5);
    glutAddMenuEntry(menuLabel(view, COMMAND_GAPS), COMMAND_GAPS);
    glutAddMenuEntry(menuLabel(view, COMMAND_SCALE), COMMAND_SCALE);
    glutAddMenuEntry(menuLabel(view, COMMAND_PLOT), COMMAND_PLOT);
    glutAddMenuEntry(menuLabel(view, COMMAND_LISTING), COMMAND_LISTING);
    glutAddMenuEntry(menuLabel(view, COMMAND_EVENTS), COMMAND_EVENTS);
    glutAddMenuEntry(menuLabel(view, COMMAND_VERGENCE), COMMAND_VERGENCE);
    glutAddMenuEntry(menuLabel(view, COMMAND_ORTHO), COMMAND_ORTHO);
    glutAddMenuEntry(menuLabel(view, COMMAND_NYSTAGMUS), COMMAND_NYSTAGMUS);
    glutAddMenuEntry(menuLabel(view, COMMAND_MAIN_SEQUENCE), COMMAND_MAIN_SEQUENCE);
    menuIds[1] = createSubmenu(6, 8);
    menuIds[2] = createSubmenu(9, 10);
    menuIds[3] = createSubmenu(11, 12);
    // Paging is offered only for recordings longer than the table.
    const bool paged = recordingExtent.selectedSamples > RECORDING_CAPACITY;
    menuIds[4] = createSubmenu(REPLAY_START_STOP, paged ? REPLAY_PREVIOUS_PAGE : REPLAY_TRAIL);
    for (int value = REPLAY_GO_TO_TIME; value <= (paged ? REPLAY_LAST_PAGE : REPLAY_GO_TO_TIME);
         value++)
        glutAddMenuEntry(menuLabel(view, value), value);
    menuIds[6] = createSubmenu(COMMAND_VIEW_FIRST, COMMAND_VIEW_LAST);
    menuIds[5] = glutCreateMenu(onMenuPick);
    glutAddSubMenu("Show/Hide", menuIds[0]);
    glutAddSubMenu("Auto Rotate", menuIds[1]);
    glutAddSubMenu("Zoom", menuIds[2]);
    glutAddSubMenu("Torsion", menuIds[3]);
    glutAddSubMenu("Replay", menuIds[4]);
    glutAddMenuEntry(menuLabel(view, COMMAND_FIT), COMMAND_FIT);
    glutAddSubMenu("View", menuIds[6]);
    glutAddMenuEntry(menuLabel(view, COMMAND_OPEN), COMMAND_OPEN);
    glutAttachMenu(GLUT_RIGHT_BUTTON);
    giveKeyboardBack(keyboard);
}

} // namespace

const char* menuLabel(const ViewState& s, int value) {
    switch (value) {
    case 1:
        return pick(s.showLeftEye, "Hide left eye (F1)", "Show left eye (F1)");
    case 2:
        return pick(s.showRightEye, "Hide right eye (F2)", "Show right eye (F2)");
    case 3:
        return pick(s.showDifference, "Hide differece (F3)", "Show differece (F3)");
    case 4:
        return pick(s.showEdges, "Hide edges (F4)", "Show Edges (F4)");
    case 5:
        return pick(s.showCross, "Hide cross (F5)", "Show cross (F5)");
    case 6:
        return pick(s.rotateX, "Stop rotate about X (F6)", "Rotate about X (F6)");
    case 7:
        return pick(s.rotateY, "Stop rotate about Y (F7)", "Rotate about Y (F7)");
    case 8:
        return pick(s.rotateZ, "Stop rotate about Z (F8)", "Rotate about Z (F8)");
    case 9:
        return "Zoom out (F9)";
    case 10:
        return "Zoom in (F10)";
    case 11:
        return "Rise torison (F11)";
    case 12:
        return "Lower torsion (F12)";
    case COMMAND_GAPS:
        return pick(s.showGaps, "Join paths over gaps (g)", "Break paths at gaps (g)");
    case COMMAND_FIT:
        return "Fit view (f)";
    case COMMAND_SCALE:
        return pick(s.showScale, "Hide scale (k)", "Show scale (k)");
    case COMMAND_PLOT:
        return pick(s.showPlot, "Hide time plot (p)", "Show time plot (p)");
    case COMMAND_LISTING:
        return pick(s.showListing, "Hide Listing view (l)", "Show Listing view (l)");
    case COMMAND_EVENTS:
        return pick(s.showEvents, "Hide events (e)", "Show events (e)");
    case COMMAND_VERGENCE:
        return pick(s.showVergence, "Hide vergence (v)", "Show vergence (v)");
    case COMMAND_ORTHO:
        return pick(s.orthographic, "Perspective view (o)", "Orthographic view (o)");
    case COMMAND_NYSTAGMUS:
        return pick(s.showNystagmus, "Hide nystagmus (n)", "Nystagmus (n)");
    case COMMAND_MAIN_SEQUENCE:
        return pick(s.showMainSequence, "Hide main sequence (m)", "Main sequence (m)");
    case COMMAND_OPEN:
        // Three dots: the menus' bitmap fonts have no ellipsis character.
        return "Open recording... (Ctrl+O)";
    case COMMAND_VIEW_FIRST:
        return "Front view (1)";
    case COMMAND_VIEW_FIRST + 1:
        return "Top view (2)";
    case COMMAND_VIEW_FIRST + 2:
        return "Side view (3)";
    case COMMAND_VIEW_FIRST + 3:
        return "Subject's view (4)";
    case REPLAY_START_STOP:
        return pick(s.buildUpCount != -1, "Stop build-up (a)", "Start build-up (a)");
    case REPLAY_PAUSE:
        return pick(s.replayPaused, "Resume (Space)", "Pause (Space)");
    case REPLAY_BACK:
        return "Step back (Left)";
    case REPLAY_FORWARD:
        return "Step forward (Right)";
    case REPLAY_FASTER:
        return "Faster (+)";
    case REPLAY_SLOWER:
        return "Slower (-)";
    case REPLAY_TRAIL:
        return pick(s.showTrail, "Hide trail (T)", "Show trail (T)");
    case REPLAY_NEXT_PAGE:
        return "Next page (PgDn)";
    case REPLAY_PREVIOUS_PAGE:
        return "Previous page (PgUp)";
    case REPLAY_GO_TO_TIME:
        return "Go to time... (t)";
    case REPLAY_FIRST_PAGE:
        return "First page (Home)";
    case REPLAY_LAST_PAGE:
        return "Last page (End)";
    default:
        return "";
    }
}

void buildMenus() {
    if (menuOpen) {
        rebuildPending = true;
        return;
    }
    rebuildNow();
}

void onMenuStatus(int status, int, int) {
    touchPicture();
    menuOpen = status == GLUT_MENU_IN_USE;
    holdCursorForMenu(menuOpen);
}

void rebuildPendingMenus() {
    if (rebuildPending && !menuOpen) rebuildNow();
}
