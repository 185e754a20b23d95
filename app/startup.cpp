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

// GLUT's own options that take a value; glutInit removes them with it.
static bool isGlutOptionWithValue(const char* arg) {
    return strcmp(arg, "-display") == 0 || strcmp(arg, "-geometry") == 0;
}

static bool takesValue(const char* arg) {
    static const char* const options[] = {"--snapshot", "--size", "--from",  "--to",
                                          "--movie",    "--fps",  "--speed", "--rotate"};
    for (const char* option : options)
        if (strcmp(arg, option) == 0) return true;
    return false;
}

// A number with nothing after it; a decimal comma is taken as in recordings.
static bool readNumber(const char* text, double& value) {
    const char* end = nullptr;
    value = parseDecimalPrefix(text, &end);
    return end != text && *end == '\0';
}

// One option's value; the problem's text when it is wrong.
static const char* takeValue(StartOptions& options, const char* option, const char* value) {
    double number = 0;
    if (strcmp(option, "--snapshot") == 0) {
        options.snapshotPath = value;
    } else if (strcmp(option, "--movie") == 0) {
        options.moviePath = value;
    } else if (strcmp(option, "--size") == 0) {
        int w = 0, h = 0;
        char rest = 0;
        if (sscanf(value, "%dx%d%c", &w, &h, &rest) != 2 || w < 1 || h < 1 || w > 16384 ||
            h > 16384)
            return "--size takes WIDTHxHEIGHT, such as 800x600";
        options.width = w;
        options.height = h;
    } else if (strcmp(option, "--from") == 0 || strcmp(option, "--to") == 0) {
        if (!readNumber(value, number)) return "--from and --to take seconds, such as 12.5";
        (option[2] == 'f' ? options.from : options.to) = number;
    } else if (strcmp(option, "--fps") == 0) {
        if (!readNumber(value, number) || number != static_cast<int>(number) || number < 1 ||
            number > 240)
            return "--fps takes a whole number of frames per second from 1 to 240";
        options.fps = static_cast<int>(number);
        options.movieOptionGiven = true;
    } else if (strcmp(option, "--speed") == 0) {
        if (!readNumber(value, number) || number <= 0 || number > 10000)
            return "--speed takes a multiple of real time above 0, such as 0.5 or 4";
        options.speed = number;
        options.movieOptionGiven = true;
    } else if (strcmp(option, "--rotate") == 0) {
        if (strcmp(value, "x") != 0 && strcmp(value, "y") != 0 && strcmp(value, "z") != 0)
            return "--rotate takes x, y or z";
        options.rotate = value[0];
        options.movieOptionGiven = true;
    }
    return nullptr;
}

StartOptions parseArguments(int argc, char** argv) {
    StartOptions options = {};
    options.width = 300;
    options.height = 300;
    options.from = WHOLE_RECORDING.from;
    options.to = WHOLE_RECORDING.to;
    options.fps = 30;
    options.speed = 1;
    for (int i = 0; i < argc; i++) {
        const char* arg = argv[i];
        if (strcmp(arg, "-f") == 0) options.forceFullScreen = true;
        if (i == 0) continue;
        if (isGlutOptionWithValue(arg) || takesValue(arg)) {
            if (i + 1 >= argc) {
                options.problem = "an option needs a value";
                break;
            }
            const char* value = argv[++i]; // never a recording
            if (!isGlutOptionWithValue(arg)) options.problem = takeValue(options, arg, value);
            if (options.problem) break;
        } else if (strcmp(arg, "--help") == 0) {
            options.showHelp = true;
        } else if (strcmp(arg, "--gaps") == 0) {
            options.gaps = true;
        } else if (arg[0] != '-' && !options.recordingArgument) {
            options.recordingArgument = arg;
        }
    }
    if (options.problem) return options;
    if (options.snapshotPath && options.moviePath)
        options.problem = "--snapshot and --movie cannot be used together";
    else if ((options.snapshotPath || options.moviePath) && !options.recordingArgument)
        options.problem =
            options.moviePath ? "--movie needs a RECORDING" : "--snapshot needs a RECORDING";
    else if (options.movieOptionGiven && !options.moviePath)
        options.problem = "--fps, --speed and --rotate go with --movie";
    else if (options.moviePath && (options.width % 2 || options.height % 2))
        options.problem = "a movie's --size takes even numbers, such as 640x480";
    else if (!(options.from < options.to))
        options.problem = "--from must be less than --to";
    return options;
}

void printUsage() {
    fputs("Usage: quelvist [-f] [--gaps] [--from SECONDS] [--to SECONDS] [RECORDING]\n"
          "       quelvist --snapshot FILE.png [--size WIDTHxHEIGHT] RECORDING\n"
          "       quelvist --movie FILE.mp4 [--fps N] [--speed X] [--size WxH]\n"
          "                [--rotate x|y|z] RECORDING\n"
          "\n"
          "Shows a binocular eye-movement recording in 3D.\n"
          "Without RECORDING a file dialog asks for it (Cancel reads test.txt\n"
          "from the working directory). The program then asks whether to run\n"
          "full screen.\n"
          "\n"
          "  -f                  full screen whatever the answer\n"
          "  --snapshot FILE     draw the start view once, write it to FILE as a\n"
          "                      PNG and exit, asking nothing\n"
          "  --size WxH          the window size for --snapshot and --movie\n"
          "                      (default 300x300)\n"
          "  --gaps              break each path where its eye's sample is missing\n"
          "                      (horizontal, vertical and torsion all 0), as key g\n"
          "  --from SECONDS      read only samples whose Time is SECONDS or later\n"
          "  --to SECONDS        read only samples whose Time is before SECONDS\n"
          "  --movie FILE        render the build-up replay from the first to the\n"
          "                      last sample into a video file with ffmpeg and exit\n"
          "  --fps N             the movie's frames per second (default 30)\n"
          "  --speed X           the movie's speed as a multiple of real time\n"
          "                      (default 1)\n"
          "  --rotate x|y|z      turn the movie's view about that axis, as F6..F8 do\n"
          "  --help              show this text and exit\n"
          "\n"
          "Keys:\n"
          "  F1..F5     show/hide left eye, right eye, difference lines, edges, cross\n"
          "  F6..F8     start/stop rotation about x, y, z\n"
          "  F9, F10    zoom out, zoom in\n"
          "  F11, F12   raise, lower the torsion scale\n"
          "  a          start/stop the build-up replay\n"
          "  Space      pause/resume the replay\n"
          "  Left/Right step the paused replay one sample back/forward (Shift: 10)\n"
          "  +, -       replay twice as fast, half as fast\n"
          "  t          show only the replay's last 2 seconds (trail) on/off\n"
          "  PgDn/PgUp  next/previous 50000 samples of a longer recording\n"
          "  g          break the paths at missing samples (blinks) on/off\n"
          "  1, 2, 3    front view (the start view), top view, side view\n"
          "  r          reset the view\n"
          "  s          save the view as quelvist-NNN.png in the working directory\n"
          "  ESC        quit\n"
          "Drag with the left mouse button to turn the plot, turn the wheel to zoom.\n"
          "The right mouse button opens a menu with the same commands.\n",
          stdout);
}

bool gapsAtStart;

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
    view.showGaps = gapsAtStart;
    glEnable(GL_TEXTURE_2D);
    glShadeModel(GL_SMOOTH);
    loadDrumTexture();
    buildCrossList();
    buildEdgeList();
    buildDrumList();
    readRecording(recordingPath);
    forgetCurveBlocks();
    buildCurveList();
    // The menus come after the first frame (onDisplay): freeglut opens a
    // window with a GL context of its own for every menu, which took a
    // quarter of the start-up, and nobody can open a menu before then.
    // Snapshots and movies need none.
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
static MovieSettings movieTarget;

// Snapshot and movie modes: the first display writes the file and the
// program ends.
static void onSnapshotDisplay() {
    const char* problem = nullptr;
    if (!saveSnapshot(snapshotTarget, &problem)) {
        fprintf(stderr, "quelvist: could not write %s: %s\n", snapshotTarget, problem);
        endProcess(2);
    }
    endProcess(0);
}

static void onMovieDisplay() {
    const char* problem = nullptr;
    if (!writeMovie(movieTarget, &problem)) {
        fprintf(stderr, "quelvist: could not write %s: %s\n", movieTarget.path, problem);
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
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowPosition(300, 200);
    glutInitWindowSize(300, 300);
    StartOptions options = parseArguments(argc, argv);
    stopOnProblem(options);

    gapsAtStart = options.gaps;
    recordingSelection.from = options.from;
    recordingSelection.to = options.to;
    if (options.snapshotPath || options.moviePath) {
        // Nothing is asked: no one may be there to answer.
        messagesOnTerminal = true;
        pictureKeeping = options.moviePath != nullptr; // a snapshot is one frame
        snapshotTarget = options.snapshotPath;
        movieTarget = {options.moviePath, options.fps, options.speed, options.rotate};
        takeRecordingArgument(options.recordingArgument);
        glutInitWindowSize(options.width, options.height);
        glutCreateWindow("Quelvist");
        glClearColor(0.7f, 0.7f, 0.7f, 1.0f);
        glutDisplayFunc(options.moviePath ? onMovieDisplay : onSnapshotDisplay);
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
    glutMouseFunc(onMouse);
    glutMotionFunc(onMotion);
    glutMenuStatusFunc(onMenuStatus);
    glutCloseFunc(onWindowClose);
    glutTimerFunc(TIMER_PERIOD_MS, onTimer, TIMER_TAG);
    initScene();
    glutMainLoop();
    return 0;
}
