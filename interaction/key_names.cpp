// Names of keys as the event trace writes them (xdotool's names, so a test
// can match what it sent).
#include "interaction/interaction.h"

#include <GL/freeglut.h>

#include <cstdio>

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
    // freeglut reports the modifier keys themselves too.
    case GLUT_KEY_SHIFT_L:
        return "Shift_L";
    case GLUT_KEY_SHIFT_R:
        return "Shift_R";
    case GLUT_KEY_CTRL_L:
        return "Control_L";
    case GLUT_KEY_ALT_L:
        return "Alt_L";
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
    case '+':
        return "plus";
    case '-':
        return "minus";
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
