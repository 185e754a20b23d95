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

bool gapsAtStart;
bool plotAtStart;
bool scaleAtStart;
bool listingAtStart;
bool nystagmusAtStart, mainSequenceAtStart;

// The file a snapshot or figure run writes; null in the viewer.
static const char* snapshotTarget;

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
    applyViewChoice(view, viewChoiceAtStart);
    if (cleanView) view.showHelpLines = 0;
    view.showGaps = gapsAtStart;
    view.showPlot = plotAtStart;
    view.showScale = scaleAtStart;
    view.showListing = listingAtStart;
    view.showNystagmus = nystagmusAtStart;
    view.showMainSequence = mainSequenceAtStart;
    // A vector figure carries the key to its colours unless --hide legend.
    if (snapshotTarget && isVectorFigureName(snapshotTarget)) view.showLegend = 1;
    glEnable(GL_TEXTURE_2D);
    glShadeModel(GL_SMOOTH);
    loadDrumTexture();
    buildEdgeList();
    buildDrumList();
    // The texture coordinate and normal the drum's list leaves, which every
    // later frame starts from (its end caps take them): the first frame, the
    // one a snapshot writes, is drawn as the settled viewer draws.
    glTexCoord2f(0, 1);
    glNormal3f(1, 1, 1);
    readRecording(recordingPath);
    applyListingView();
    if (view.showNystagmus || view.showMainSequence) refreshPageNystagmus();
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

static MovieSettings movieTarget;
static int askedWidth, askedHeight;

// A system may give a smaller window than asked (Windows keeps windows
// within the screen); a file of another size than asked is never written.
static void stopUnlessAskedSize(const char* path) {
    if (windowWidth == askedWidth && windowHeight == askedHeight) return;
    fprintf(stderr,
            "quelvist: could not write %s: the window could only be %dx%d here, not the %dx%d "
            "asked for; give a smaller --size\n",
            path, windowWidth, windowHeight, askedWidth, askedHeight);
    endProcess(2);
}

// Snapshot and movie modes: the first display writes the file and the
// program ends.
static void onSnapshotDisplay() {
    stopUnlessAskedSize(snapshotTarget);
    const char* problem = nullptr;
    const bool saved = isVectorFigureName(snapshotTarget)
                           ? saveVectorFigure(snapshotTarget, &problem)
                           : saveSnapshot(snapshotTarget, &problem);
    if (!saved) {
        fprintf(stderr, "quelvist: could not write %s: %s\n", snapshotTarget, problem);
        endProcess(2);
    }
    // The figure carries no notices: that it shows only the first page of a
    // long recording is said on the terminal.
    char page[400];
    if (describeRecordingPage(page, sizeof page, recordingExtent, recording)) {
        if (char* keys = strstr(page, "  PgDn")) *keys = '\0';
        fprintf(stderr, "quelvist: %s: the figure shows only %s; --from and --to choose others\n",
                recordingPath, page);
    }
    endProcess(0);
}

static void onMovieDisplay() {
    stopUnlessAskedSize(movieTarget.path);
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
    kinematicsSettings = {early.convention, early.signs};
    saccadeSettings = early.saccades;
    // The report needs no display: it is written before GLUT starts.
    if (early.report || early.eventsPath) endProcess(runReport(early));
    if ((early.snapshotPath || early.moviePath) && early.recordings.size() > 1)
        endProcess(runBatch(early));
    // Figures need no one at a screen: without one, a private display.
    char displayProblem[600];
    if ((early.snapshotPath || early.moviePath) && !early.displayGiven &&
        !ensureDisplayForFigures(early.width, early.height, displayProblem,
                                 sizeof displayProblem)) {
        fprintf(stderr, "quelvist: %s\n", displayProblem);
        endProcess(2);
    }

    glutInitWarningFunc(onGlutWarning);
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowPosition(300, 200);
    glutInitWindowSize(300, 300);
    StartOptions options = parseArguments(argc, argv);
    stopOnProblem(options);

    gapsAtStart = options.gaps;
    plotAtStart = options.plot;
    scaleAtStart = options.scale;
    listingAtStart = options.listing;
    nystagmusAtStart = options.nystagmus;
    mainSequenceAtStart = options.mainSequence;
    nystagmusLambda = options.nystagmusLambda;
    viewChoiceAtStart = options.viewChoice;
    cleanView = options.clean;
    movieClockShown = options.clock;
    fitPending = options.fit;
    recordingSelection.from = options.from;
    recordingSelection.to = options.to;
    if (options.snapshotPath || options.moviePath) {
        // Nothing is asked: no one may be there to answer.
        messagesOnTerminal = true;
        pictureKeeping = options.moviePath != nullptr; // a snapshot is one frame
        static std::string filledTarget;               // the name with {name} and {dir} filled in
        filledTarget = fillOutputName(options.moviePath ? options.moviePath : options.snapshotPath,
                                      options.recordingArgument);
        const char* target = filledTarget.c_str();
        snapshotTarget = target;
        movieTarget = {target, options.fps, options.speed, options.rotate, options.trail};
        outputForced = options.force;
        if (const char* problem = outputFileProblem(
                target, options.moviePath ? OutputKind::Video : OutputKind::Picture, options.force,
                options.recordingArgument)) {
            fprintf(stderr, "quelvist: will not write %s: %s\n", target, problem);
            endProcess(2);
        }
        takeRecordingArgument(options.recordingArgument);
        pageNoticeShown = false; // figures show the data, not the keys that page
        askedWidth = options.width;
        askedHeight = options.height;
        glutInitWindowSize(options.width, options.height);
        glutCreateWindow("Quelvist");
        glClearColor(0.7f, 0.7f, 0.7f, 1.0f);
        glutDisplayFunc(options.moviePath ? onMovieDisplay : onSnapshotDisplay);
        glutReshapeFunc(onReshape);
        initScene();
        // A file that holds no samples gives no figure: its reason, status 2.
        char trouble[400];
        if (describeRecordingTrouble(trouble, sizeof trouble, recordingExtent,
                                     recordingSelection)) {
            fprintf(stderr, "quelvist: %s: %s\n", recordingPath, trouble);
            endProcess(2);
        }
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
    reportKeyRepeatsAsPresses(); // one press of s, one file
    // Never more frames than the display shows; the clock caps them at 60 a
    // second anyway (frameDue), where the driver cannot wait for the display.
    traceEvent("swap interval %d", limitFramesToRefresh() ? 1 : 0);
    glClearColor(0.7f, 0.7f, 0.7f, 1.0f);

    glutDisplayFunc(onDisplay);
    frameOfTick = showFrameWhenDue;
    glutReshapeFunc(onReshape);
    glutKeyboardFunc(onKey);
    glutKeyboardUpFunc(onKeyUp);
    glutSpecialFunc(onSpecialKey);
    glutMouseFunc(onMouse);
    glutMotionFunc(onMotion);
    glutMenuStatusFunc(onMenuStatus);
    if (fullScreen) {
        glutPassiveMotionFunc(onPassiveMotion);
        hideCursorWhenIdle();
    }
    glutCloseFunc(onWindowClose);
    glutTimerFunc(TIMER_PERIOD_MS, onTimer, TIMER_TAG);
    initScene();
    glutMainLoop();
    return 0;
}
