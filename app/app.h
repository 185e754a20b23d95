// The application shell: start-up, frame drawing, projection and snapshots.
#pragma once

#include "analysis/analysis.h"
#include "view/view.h"

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

// The plot's placement in the frame: distance, then the three angles.
void applyPlotTransform();

// What the command line asks for.
struct StartOptions {
    bool forceFullScreen;          // "-f" among the arguments
    bool showHelp;                 // "--help"
    const char* recordingArgument; // the argument not starting with '-', or null
    const char* snapshotPath;      // "--snapshot FILE": draw once, write a PNG, exit
    int width, height;             // "--size WxH" for the window, 300x300 otherwise
    double from, to;               // "--from", "--to": the Time range read
    const char* moviePath;         // "--movie FILE": render the replay to a video, exit
    int fps;                       // "--fps N", 30 otherwise
    double speed;                  // "--speed X" times real time, 1 otherwise
    char rotate;                   // "--rotate x|y|z", 0 otherwise
    bool movieOptionGiven;         // one of --fps, --speed, --rotate, --clock, --trail
    bool gaps;                     // "--gaps": paths broken at missing samples from the start
    bool force;                    // "--force": write over a file that is not a picture/video
    bool fit;                      // "--fit": the view fitted to the samples from the start
    bool plot;                     // "--plot": the time plot shown from the start
    bool scale;                    // "--scale": the scale shown from the start
    bool listing;                  // "--listing": the Listing view from the start
    bool report;                   // "--report": each eye's numbers on standard output
    const char* eventsPath;        // "--events FILE": the events as a tab-separated file
    AngleConvention convention;    // "--convention fick|helmholtz"
    AxisSigns signs;               // "--signs -h...": the file's axes flipped
    SaccadeSettings saccades;      // "--saccade-lambda", "--saccade-min-ms", ...
    double nystagmusLambda;        // "--nystagmus-lambda": the quick phases' threshold
    bool nystagmus;                // "--nystagmus": quick phases and slow-phase velocities shown
    bool mainSequence;             // "--main-sequence": the main-sequence panel shown
    ViewChoice viewChoice; // "--view", "--angles", "--distance", "--torsion-scale", "--hide"
    bool clean;            // "--clean": no help lines, no notices
    bool clock;            // "--clock": the movie's frames say their time
    bool trail;            // "--trail": the movie replays with the trail
    int jobs;              // "--jobs N": figures made at a time, 0 when not given
    bool displayGiven;     // GLUT's "-display"
    const char* problem;   // what is wrong with the arguments, or null
    // Every RECORDING given, in order; several only with --snapshot or --movie.
    std::vector<const char*> recordings;
    // The arguments without the recordings, "--" and --jobs: a run of one
    // recording of a batch repeats them.
    std::vector<const char*> runArguments;
};
// Reads the arguments through the options table; an argument beginning with
// '-' that is neither ours nor GLUT's, or a second recording outside
// --snapshot and --movie, is a problem.
StartOptions parseArguments(int argc, char** argv);
void printUsage();

// The output name for one recording: "{name}" becomes the recording's file
// name without its last ending, "{dir}" its folder as given ("." when none).
// Both / and \ separate folders.
std::string fillOutputName(const char* pattern, const char* recording);

// --snapshot or --movie with several recordings: each one drawn by a run of
// this program of its own, options.jobs (or the cores) at a time, a line per
// figure on standard output; returns the exit status.
int runBatch(const StartOptions& options);

// --report and --events: reads every page of the recording, writes each
// eye's numbers to standard output and the events to their file with its
// sidecar, and returns the exit status; needs no display.
int runReport(const StartOptions& options);

// The report's nystagmus and main-sequence columns (quick_phases,
// quick_phases_per_s, the median slow-phase velocities, the main
// sequence's Vmax and C), and the events table's quick_phase and
// slow_phase rows, gathered page by page. findPageNystagmus finds a page's
// quick and slow phases; nystagmusHandOver says where the page should hand
// over to the next (the end of each eye's last quick phase, when at least
// fewest): the slow phase after it runs past the page, so the next page
// finds it whole. addPageNystagmus adds the quick phases that begin in the
// page's own rows ownFirst .. ownEnd-1, the slow phases that begin in
// slowFirst .. slowEnd-1, the saccades it owns, and with holdRows keeps
// their rows for the events table; writePhaseRowsBefore writes the kept
// rows with onsets before onset (all of them with INFINITY).
// A number of the report or the events table: "n/a" where it does not
// exist, as BIDS files write it.
void writeReportNumber(FILE* out, double value, const char* format = "%.4f");
extern const char* const NYSTAGMUS_REPORT_COLUMNS;
extern const char* const NYSTAGMUS_EVENTS_COLUMNS; // after the events table's own
void findPageNystagmus(const RecordingTable& page, double lambda);
int nystagmusHandOver(int rows, int fewest);
void addPageNystagmus(const RecordingTable& page, int ownFirst, int ownEnd, int slowFirst,
                      int slowEnd, const EyeEvent* owned, int ownedCount, bool holdRows);
void writePhaseRowsBefore(FILE* out, double onset);
void writeNystagmusColumns(int eye);
// The quick- and slow-phase rules in a line on standard error, to be cited,
// and a line for an eye whose quick phases were found without torsion.
void writeNystagmusRules(double lambda);

// The events table's sidecar: its name ("events.tsv" -> "events.json", any
// other name with ".json" added) and its text (BIDS JSON: every column with
// its units, the saccade rules, convention, signs, the sampling rate, lowest
// and highest over the pages, and this program's version).
std::string eventsSidecarName(const char* eventsPath);
std::string describeEventsTable(const StartOptions& options, const char* recording,
                                double lowestRate, double highestRate);
// The saccade rules in a line, to be cited: "saccades after Engbert &
// Kliegl (2003): lambda 6, at least 12 ms and 2 samples, at least 0 deg,
// runs less than 10 ms apart merged; samples at 500 Hz".
std::string describeSaccadeRules(const SaccadeSettings& settings, double lowestRate,
                                 double highestRate);

// The output module: every file the program writes (snapshot, figure,
// movie, events table, and so every output of a batch) is asked for here,
// never opened by its writer. It refuses the recording being read (however
// named: links, hard links), folders, devices, FIFOs, sockets, read-only
// files, and an existing file of another kind unless forced; it writes
// under a partial name made exclusively in the target's folder, renames it
// into place when complete, and removes it on failure or interrupt.
enum class OutputKind { Picture, Video, Events, EventsSidecar };
// --force: an existing file of another kind may be written over.
extern bool outputForced;
// Why path may not receive a file of kind (before anything is drawn or
// read), or null when it may.
const char* outputFileProblem(const char* path, OutputKind kind, bool force, const char* recording);
struct OutputFile {
    std::string target;  // the name given its file at the end (a link's file)
    std::string partial; // the file being written, beside the target
    FILE* stream;        // open on partial until finished or abandoned
    OutputKind kind;
};
// Checks path (outputFileProblem with outputForced and recordingPath) and
// creates its partial file; false with the reason in problem.
bool openOutputFile(const char* path, OutputKind kind, OutputFile& file, const char** problem);
// Closes the stream (a failed write shows there: the system's reason),
// checks the target once more and renames the partial file onto it; on
// failure the partial file is removed and problem says why.
bool finishOutputFile(OutputFile& file, const char** problem);
// Closes and removes the partial file after the writer's own failure.
void abandonOutputFile(OutputFile& file);
// The events table's first line, by which the program knows its own table,
// and the start of its sidecar (the description of its columns).
extern const char* const EVENTS_HEADER;
extern const char* const EVENTS_SIDECAR_START;

// Draws the current view into the back buffer and writes it to path as a
// PNG, under a temporary name first. On failure returns false with the
// reason in problem, and a file of that name is left as it was.
bool saveSnapshot(const char* path, const char** problem);

// Vector figures: a snapshot named .pdf, .svg or .eps (any case) is written
// by saveVectorFigure as lines, quads and text, the label drum as an image,
// under a temporary name first as saveSnapshot does.
bool isVectorFigureName(const char* path);
bool saveVectorFigure(const char* path, const char** problem);

// A figure's fonts, by Ghostscript (QUELVIST_GHOSTSCRIPT, else gs, or
// gswin64c / gswin32c as Windows names it): its program's full path;
// false when there is none.
bool findGhostscript(char* out, size_t capacity);
// The outlines of the texts collected for an SVG figure to target
// (vectorTextOutlines), in Ghostscript's fonts; false with problem.
bool outlineFigureTexts(const char* ghostscript, const char* target, const char** problem);
// The figure gl2ps wrote (drawn, under its partial name) written again by
// Ghostscript with its fonts embedded into a partial file of its own for
// path, which then takes the name; drawn is removed either way. An EPS gets
// title again. False with problem, and path left as it was, on failure.
bool embedFigureFonts(const char* ghostscript, const char* path, OutputFile& drawn, bool eps,
                      const std::string& title, const char** problem);
// "fig.pdf: its fonts are not embedded (Ghostscript was not found): ...
// Install Ghostscript ... then write the figure again" (for an SVG: its
// texts are not outlines).
void describeFontsNotEmbedded(char* out, size_t capacity, const char* path, bool svg);
// The frame's part: the drum alone on the background (its image is taken
// from that), and the drum's image in the figure in its place.
void drawDrumAlone();
void drawDrumImage();

// rgb (as writePng takes it) as the bytes of a PNG file.
bool encodePngInMemory(int width, int height, const unsigned char* rgb,
                       std::vector<unsigned char>& png);

// Reads the back buffer's width x height pixels into rgb as 8-bit RGB
// triples, bottom row first, rows packed without padding.
void readBackBuffer(int width, int height, unsigned char* rgb);

// Writes rgb (width x height, bottom row first, as GL reads) to file as an
// 8-bit RGB PNG with the top row first, flushed; on failure the problem is
// the system's reason ("No space left on device"). The file stays open.
bool writePng(FILE* file, int width, int height, const unsigned char* rgb, const char** problem);

// The first name quelvist-NNN.png not yet taken in folder (the working
// directory by default; otherwise ending in a separator), folder included.
bool nextSnapshotName(char* name, size_t capacity, const char* folder = "");

// Draws the view into the next free quelvist-NNN.png and prints its name;
// where the working directory takes no file, into the Pictures folder (its
// full path printed). Either way a line says so in the window for
// SNAPSHOT_MESSAGE_SECONDS (snapshotMessage).
void saveViewToNewFile();
constexpr double SNAPSHOT_MESSAGE_SECONDS = 3;
// "saved quelvist-001.png", "could not save quelvist-001.png: Permission
// denied" (problem null when saved).
void describeSnapshotOutcome(char* out, size_t capacity, const char* path, const char* problem);
// The line about the latest snapshot while it is due at now (secondsNow()),
// or null.
const char* snapshotMessage(double now);

// Start-up: dialogs, window, handlers, scene; never returns.
int runViewer(int argc, char** argv);

// Sets the OpenGL state and start view, loads the texture, compiles the
// lists and reads the recording. The viewer's menus are built after its
// first frame.
void initScene();

// --gaps: the start view breaks the paths at missing samples.
extern bool gapsAtStart;
extern bool plotAtStart;                           // --plot
extern bool scaleAtStart;                          // --scale
extern bool listingAtStart;                        // --listing
extern bool nystagmusAtStart, mainSequenceAtStart; // --nystagmus, --main-sequence

// Movies of the build-up replay, encoded by ffmpeg (QUELVIST_FFMPEG names
// another program). Draws into the current window, which must have the
// movie's size; shows its progress on the terminal. On failure returns false
// with the reason in problem and leaves no file at path.
struct MovieSettings {
    const char* path;
    int fps;
    double speed; // times real time
    char rotate;  // 'x', 'y', 'z' or 0
    bool trail;   // only the last TRAIL_SECONDS drawn, as key t
};
bool writeMovie(const MovieSettings& movie, const char** problem);

// The movie's schedule: how many frames, and the samples drawn in frame k,
// for a replay that adds samplesPerFrame samples a frame. The last frame
// draws all rows.
long long movieFrameCount(int rowCount, double samplesPerFrame);
int movieSamplesInFrame(long long frame, int rowCount, double samplesPerFrame);

// The replay's readout is drawn while the replay runs (not in movies); the
// notice of which page of a long recording is shown, in the viewer only.
extern bool replayReadoutShown;
extern bool pageNoticeShown;

// The view the command line asked for (applied at start, its drum and help
// lines left out for the whole run); --clean: no help lines, no notices,
// no replay readout; --clock: the newest sample's time on every frame.
extern ViewChoice viewChoiceAtStart;
extern bool cleanView;
extern bool movieClockShown;

// Draws the whole picture into the back buffer; showFrameWhenDue, called
// by the timer, draws and shows it when a frame is due (onDisplay, GLUT's
// display callback, leaves drawing to it) and returns the seconds until
// the next one is.
void drawPicture();
void onDisplay();
double showFrameWhenDue();
void onReshape(int width, int height);
