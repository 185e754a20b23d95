// Start-up: the command line, the dialogs, the window and the scene.
#include "app/app.h"

#include "app/dialogs.h"
#include "interaction/interaction.h"
#include "recording/recording.h"
#include "scene/scene.h"

#include <GL/freeglut.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

StartOptions parseArguments(int argc, char** argv) {
    StartOptions options = {false, false, nullptr};
    for (int i = 0; i < argc; i++) {
        if (strcmp(argv[i], "-f") == 0) options.forceFullScreen = true;
        if (i == 0) continue;
        if (strcmp(argv[i], "--help") == 0) options.showHelp = true;
        if (argv[i][0] != '-' && !options.recordingArgument) options.recordingArgument = argv[i];
    }
    return options;
}

void printUsage() {
    fputs("Usage: quelvist [-f] [RECORDING]\n"
          "\n"
          "Shows a binocular eye-movement recording in 3D.\n"
          "Without RECORDING a file dialog asks for it (Cancel reads test.txt\n"
          "from the working directory). The program then asks whether to run\n"
          "full screen.\n"
          "\n"
          "  -f         full screen whatever the answer\n"
          "  --help     show this text and exit\n"
          "\n"
          "Keys:\n"
          "  F1..F5     show/hide left eye, right eye, difference lines, edges, cross\n"
          "  F6..F8     start/stop rotation about x, y, z\n"
          "  F9, F10    zoom out, zoom in\n"
          "  F11, F12   raise, lower the torsion scale\n"
          "  a          start/stop the build-up replay\n"
          "  r          reset the view\n"
          "  ESC        quit\n"
          "The right mouse button opens a menu with the same commands.\n",
          stdout);
}

void initScene() {
    // A directional light fixed relative to the viewer: set while the
    // modelview matrix is the identity.
    const float diffuse[] = {1, 1, 1, 1};
    const float position[] = {1, 1, 2, 0};
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glEnable(GL_LIGHT0);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    glGenLists(4); // the lists use the fixed numbers 1 to 4
    setStartView(view);
    glEnable(GL_TEXTURE_2D);
    glShadeModel(GL_SMOOTH);
    loadDrumTexture();
    buildCrossList();
    buildEdgeList();
    buildDrumList();
    readRecording(recordingPath);
    forgetCurveBlocks();
    buildCurveList();
    buildMenus();
}

// The window title doubles as the game-mode string, which names no mode;
// freeglut warns about that on every full-screen start. Other warnings pass.
static void onGlutWarning(const char* format, va_list args) {
    if (strstr(format, "game mode string")) return;
    fputs("freeglut: ", stderr);
    vfprintf(stderr, format, args);
    fputc('\n', stderr);
}

static void openWindow(bool fullScreen) {
    if (fullScreen) {
        glutGameModeString("Quelvist");
        if (glutGameModeGet(GLUT_GAME_MODE_POSSIBLE)) glutEnterGameMode();
        // Where the display cannot change its mode, game mode opens no window;
        // a full-screen window stands in for it.
        if (!glutGameModeGet(GLUT_GAME_MODE_ACTIVE)) {
            glutCreateWindow("Quelvist");
            glutPositionWindow(0, 0);
            glutFullScreen();
        }
        glutSetCursor(GLUT_CURSOR_NONE);
    } else {
        glutCreateWindow("Quelvist");
    }
}

int runViewer(int argc, char** argv) {
    glutInitWarningFunc(onGlutWarning);
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    glutInitWindowPosition(300, 200);
    glutInitWindowSize(300, 300);
    StartOptions options = parseArguments(argc, argv);
    if (options.showHelp) {
        printUsage();
        exit(0);
    }

    if (options.recordingArgument) {
        if (strlen(options.recordingArgument) >= RECORDING_PATH_CAPACITY)
            reportUnreadableRecording(options.recordingArgument);
        strcpy(recordingPath, options.recordingArgument);
    } else {
        chooseRecordingFile(recordingPath, RECORDING_PATH_CAPACITY);
    }
    bool fullScreen = askFullScreen() || options.forceFullScreen;
    openWindow(fullScreen);
    glClearColor(0.7f, 0.7f, 0.7f, 1.0f);

    glutDisplayFunc(onDisplay);
    glutIdleFunc(onDisplay);
    glutReshapeFunc(onReshape);
    glutKeyboardFunc(onKey);
    glutSpecialFunc(onSpecialKey);
    glutMenuStatusFunc(onMenuStatus);
    glutTimerFunc(TIMER_PERIOD_MS, onTimer, TIMER_TAG);
    initScene();
    glutMainLoop();
    return 0;
}
