// Start-up: the command line, the dialogs, the window and the scene.
#include "app/app.h"

#include "interaction/interaction.h"
#include "platform/platform.h"
#include "recording/recording.h"
#include "scene/scene.h"

#include <GL/freeglut.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

char recordingPath[RECORDING_PATH_CAPACITY] = "test.txt";

// GLUT's own options that take a value; glutInit removes them with it.
static bool isGlutOptionWithValue(const char* arg) {
    return strcmp(arg, "-display") == 0 || strcmp(arg, "-geometry") == 0;
}

StartOptions parseArguments(int argc, char** argv) {
    StartOptions options = {false, false, nullptr, nullptr, 300, 300, nullptr};
    for (int i = 0; i < argc; i++) {
        const char* arg = argv[i];
        if (strcmp(arg, "-f") == 0) options.forceFullScreen = true;
        if (i == 0) continue;
        if (isGlutOptionWithValue(arg)) {
            if (i + 1 >= argc) {
                options.problem = "an option needs a value";
                break;
            }
            i++; // the value is GLUT's, never a recording
        } else if (strcmp(arg, "--help") == 0) {
            options.showHelp = true;
        } else if (strcmp(arg, "--snapshot") == 0 || strcmp(arg, "--size") == 0) {
            if (i + 1 >= argc) {
                options.problem = "an option needs a value";
                break;
            }
            const char* value = argv[++i];
            if (strcmp(arg, "--snapshot") == 0) {
                options.snapshotPath = value;
            } else {
                int w = 0, h = 0;
                char rest = 0;
                if (sscanf(value, "%dx%d%c", &w, &h, &rest) != 2 || w < 1 || h < 1 || w > 16384 ||
                    h > 16384) {
                    options.problem = "--size takes WIDTHxHEIGHT, such as 800x600";
                    break;
                }
                options.width = w;
                options.height = h;
            }
        } else if (arg[0] != '-' && !options.recordingArgument) {
            options.recordingArgument = arg;
        }
    }
    if (!options.problem && options.snapshotPath && !options.recordingArgument)
        options.problem = "--snapshot needs a RECORDING";
    return options;
}

void printUsage() {
    fputs("Usage: quelvist [-f] [RECORDING]\n"
          "       quelvist --snapshot FILE.png [--size WIDTHxHEIGHT] RECORDING\n"
          "\n"
          "Shows a binocular eye-movement recording in 3D.\n"
          "Without RECORDING a file dialog asks for it (Cancel reads test.txt\n"
          "from the working directory). The program then asks whether to run\n"
          "full screen.\n"
          "\n"
          "  -f                  full screen whatever the answer\n"
          "  --snapshot FILE     draw the start view once, write it to FILE as a\n"
          "                      PNG and exit, asking nothing\n"
          "  --size WxH          the window size for --snapshot (default 300x300)\n"
          "  --help              show this text and exit\n"
          "\n"
          "Keys:\n"
          "  F1..F5     show/hide left eye, right eye, difference lines, edges, cross\n"
          "  F6..F8     start/stop rotation about x, y, z\n"
          "  F9, F10    zoom out, zoom in\n"
          "  F11, F12   raise, lower the torsion scale\n"
          "  a          start/stop the build-up replay\n"
          "  r          reset the view\n"
          "  s          save the view as quelvist-NNN.png in the working directory\n"
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
        } else {
            glutSetWindowTitle("Quelvist"); // GLUT names its game-mode window "FREEGLUT"
        }
        glutSetCursor(GLUT_CURSOR_NONE);
    } else {
        glutCreateWindow("Quelvist");
    }
}

// Closing the window ends the process through GLUT, with status 0.
static void onWindowClose() {
    traceExit(0);
}

static const char* snapshotTarget;

// Snapshot mode: the first frame is written to the file and the program ends.
static void onSnapshotDisplay() {
    const char* problem = nullptr;
    if (!saveSnapshot(snapshotTarget, &problem)) {
        fprintf(stderr, "quelvist: could not write %s: %s\n", snapshotTarget, problem);
        endProcess(2);
    }
    endProcess(0);
}

static void takeRecordingArgument(const char* path) {
    if (strlen(path) >= RECORDING_PATH_CAPACITY) reportUnreadableRecording(path);
    strcpy(recordingPath, path);
}

static void stopOnProblem(const StartOptions& options) {
    if (!options.problem) return;
    fprintf(stderr, "quelvist: %s (see quelvist --help)\n", options.problem);
    endProcess(2);
}

int runViewer(int argc, char** argv) {
    openTrace();
    argv = programArguments(argc, argv);
    // Help and mistakes in the arguments are answered before GLUT needs a display.
    StartOptions early = parseArguments(argc, argv);
    if (early.showHelp) {
        printUsage();
        endProcess(0);
    }
    stopOnProblem(early);

    glutInitWarningFunc(onGlutWarning);
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    glutInitWindowPosition(300, 200);
    glutInitWindowSize(300, 300);
    StartOptions options = parseArguments(argc, argv);
    stopOnProblem(options);

    if (options.snapshotPath) {
        messagesOnTerminal = true;
        snapshotTarget = options.snapshotPath;
        takeRecordingArgument(options.recordingArgument);
        glutInitWindowSize(options.width, options.height);
        glutCreateWindow("Quelvist");
        glClearColor(0.7f, 0.7f, 0.7f, 1.0f);
        glutDisplayFunc(onSnapshotDisplay);
        glutReshapeFunc(onReshape);
        initScene();
        glutMainLoop();
        return 0;
    }

    if (options.recordingArgument)
        takeRecordingArgument(options.recordingArgument);
    else
        chooseRecordingFile(recordingPath, RECORDING_PATH_CAPACITY);
    bool fullScreen = askFullScreen() || options.forceFullScreen;
    openWindow(fullScreen);
    viewerWindow = glutGetWindow();
    glClearColor(0.7f, 0.7f, 0.7f, 1.0f);

    glutDisplayFunc(onDisplay);
    glutIdleFunc(onDisplay);
    glutReshapeFunc(onReshape);
    glutKeyboardFunc(onKey);
    glutKeyboardUpFunc(onKeyUp);
    glutSpecialFunc(onSpecialKey);
    glutMenuStatusFunc(onMenuStatus);
    glutCloseFunc(onWindowClose);
    glutTimerFunc(TIMER_PERIOD_MS, onTimer, TIMER_TAG);
    initScene();
    glutMainLoop();
    return 0;
}
