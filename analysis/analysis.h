// Computation on the recording for the viewer's measuring tools, without
// GL: the view that fits the samples, the sample under the pointer, the
// steps of a scale. Every function takes plain numbers, so a test calls it
// with numbers computed by other means.
#pragma once

#include "recording/recording.h"
#include "view/view.h"

#include <cstddef>

// The plot's transform as the frame applies it: eye = R M (p - centre) -
// (0, 0, distance), R = Rx(angleX) Ry(angleY) Rz(angleZ), the rotations of
// glRotatef, M the torsion mirror of the subject's view (diag(1, -1, 1)) or
// none. p is (horizontal, torsionScale * torsion, vertical).
struct PlotPose {
    double angleX, angleY, angleZ; // degrees
    double centre[3];              // plot coordinates
    double distance;
    double torsionScale;
    bool mirrorTorsion = false;
};

// The projection the frame uses: gluPerspective(fovY, width / height, ...),
// or the parallel one as high as that perspective at the pose's distance.
struct PlotLens {
    double fovY; // degrees
    int width, height;
    bool orthographic = false;
};

// Which samples a tool looks at: rows first .. end-1 of the table, of the
// eyes shown.
struct ShownSamples {
    const RecordingTable* table;
    int first, end;
    bool leftEye, rightEye;
    bool skipMissing;        // leave out samples the gaps leave out
    double torsionScale = 1; // for picking: the scale the curves were drawn with
};

// R M p for the pose's angles and mirror (p in plot coordinates).
void rotatePlotPoint(const PlotPose& pose, const double p[3], double out[3]);

// Where a plot point lands in the window, in pixels from the bottom left, as
// GL would put it; false when it lies behind the eye.
bool projectPlotPoint(const PlotPose& pose, const PlotLens& lens, const double p[3], double& x,
                      double& y);

// The centre (plot coordinates) and distance that put the shown samples in
// the middle of the window, filling the given part of it (0.9: 90 %) at the
// pose's angles. False when no sample is shown (the pose is left as it was).
bool fitPlotPose(const ShownSamples& samples, const PlotLens& lens, double fill, PlotPose& pose);

// Moves the pose away (its distance grows by FIT_CLEARANCE_STEP at a time,
// at most FIT_CLEARANCE_STEPS times) until no shown sample lands within the
// window box (x0, y0, x1, y1 in pixels; the label drum's): a fitted view
// keeps the samples clear of it. False when it could not.
constexpr double FIT_CLEARANCE_STEP = 1.03;
constexpr int FIT_CLEARANCE_STEPS = 40;
bool keepSamplesClearOf(const ShownSamples& samples, const PlotLens& lens, const int box[4],
                        PlotPose& pose);

// Whether every shown sample lands inside the window.
bool allSamplesInView(const ShownSamples& samples, const PlotPose& pose, const PlotLens& lens);

// The pose of a view record, and a pose put back into it (angles and the
// torsion scale are the view's own and stay).
PlotPose plotPoseOf(const ViewState& state);
void setViewCentre(ViewState& state, const PlotPose& pose);

// Where a plot point lands in the window (pixels from the bottom left), as
// gluProject puts it; false when it lies behind the eye.
bool projectWithMatrices(const PlotProjection& frame, const double p[3], double& x, double& y);

// The shown sample (its row) with an eye nearest the window point (x, y,
// pixels from the bottom left), within radius pixels; -1 when there is none.
int nearestSample(const ShownSamples& samples, const PlotProjection& frame, double x, double y,
                  double radius);

// The picked sample's line: "sample 6108 (line 6114 of the file)  t = 12.346 s
// left H 3.21 V -1.05 T 0.42  right H 2.98 V -1.10 T 0.77  (deg)"; sample
// counts from 1 in the samples read, line from 1 in the file (0: not
// known, and not said); the torsion is as recorded.
void describePickedSample(char* out, size_t capacity, const RecordingTable& table, int row,
                          long long sample, long long line);

// The least and greatest horizontal, torsion (as recorded) and vertical
// positions of the shown samples; false when none is shown.
bool shownSampleRange(const ShownSamples& samples, double low[3], double high[3]);

// Scales. The multiples of step in [low, high], 0 included.
int tickCount(double low, double high, double step);
// The step, 1, 2 or 5 times a power of ten, that puts the most numbers on
// [low, high] without putting more than most there (0 for an empty span).
double chooseTickStep(double low, double high, int most);
// A number of a scale with as many decimals as its step has ("2.5", "-10").
void formatTickValue(char* out, size_t capacity, double value, double step);

// A text's box in window pixels.
struct LabelBox {
    double x0, y0, x1, y1;
};
bool boxesOverlap(const LabelBox& a, const LabelBox& b);
// Which boxes stay: the first reserved ones always, each later one when it
// overlaps none kept before it.
void keepApartLabels(const LabelBox* boxes, int count, int reserved, bool* kept);

// The part [from, to] of plot axis axis (0 horizontal, 1 torsion, 2
// vertical) between low and high that lands inside the frame's viewport;
// false when none does.
bool visibleAxisPart(const PlotProjection& frame, int axis, double low, double high, double& from,
                     double& to);

// The time plot. One pixel column of a trace: the least and greatest value
// of the samples whose time falls in it, the first and the last, and
// whether a missing sample came between it and the column drawn before.
struct TraceColumn {
    float low, high, first, last;
    uint8_t filled, brokenBefore;
};
// Reduces field (0 horizontal, 1 vertical, 2 torsion) of the eye whose
// columns start at eyeColumn (3 left, 10 right) over rows first .. end-1
// to columns pixel columns spanning the times t0 .. t1. Missing samples
// are left out and break the trace.
void decimateTrace(const RecordingTable& table, int first, int end, int eyeColumn, int field,
                   double t0, double t1, int columns, TraceColumn* out);
// The same for component (0 horizontal, 1 vertical, 2 cyclo) of the
// vergence; a sample missing in either eye breaks it.
void decimateVergence(const RecordingTable& table, int first, int end, int component, double t0,
                      double t1, int columns, TraceColumn* out);
// The row whose Time is nearest t (the first of equals); -1 when none.
int rowNearestTime(const RecordingTable& table, int first, int end, double t);
// Rows rowFirst .. rowEnd-1: from the first to the last whose Time lies
// between a and b (either order); false when none does.
bool rowsInTimeSpan(const RecordingTable& table, int first, int end, double a, double b,
                    int& rowFirst, int& rowEnd);

// Eye kinematics. The file's angles (horizontal positive right, vertical
// positive up, torsion positive clockwise as the subject sees it, each
// flipped where its sign is -1) in the order of rotation the recorder uses.
enum class AngleConvention { Fick, Helmholtz };
struct AxisSigns {
    int h, v, t; // +1 or -1
};
constexpr AxisSigns FILE_SIGNS = {1, 1, 1};

// The rotation vector r = tan(rho / 2) n (x forward, y left, z up) of the
// position h, v, t in degrees.
void rotationVectorOf(double h, double v, double t, AngleConvention convention,
                      const AxisSigns& signs, double r[3]);
// The same position's vectors under both conventions at once (the half
// angles' tangents are shared): [0] the convention given, [1] the other.
void rotationVectorsBoth(double h, double v, double t, AngleConvention convention,
                         const AxisSigns& signs, double r[2][3]);
// The rotation in degrees along r's axis, in the viewer's axes:
// (horizontal right, torsion, vertical up).
void rotationVectorDegrees(const double r[3], double out[3]);

// Listing's plane r_x = a + b r_y + c r_z, fitted by least squares; its
// thickness (root mean square of the residuals in degrees) and the primary
// position in degrees right and up in the file's signs. Not valid for
// fewer than 3 vectors or positions on a line; a recording's eye with fewer
// than LISTING_FEWEST_SAMPLES fixation samples gets no plane.
constexpr int LISTING_FEWEST_SAMPLES = 50;
struct ListingPlane {
    bool valid;
    bool noTorsion; // the eye's torsion is missing or 0 throughout: no plane
    int samples;
    double a, b, c;
    double thicknessDeg;
    double primaryRightDeg, primaryUpDeg;
    double trueRightDeg, trueUpDeg; // the same before the file's signs
    double residualSquares;         // what the thickness is made of so far
    long long residuals;
    double low[2], high[2]; // the extent of r_y and r_z over the residuals' vectors
};
ListingPlane fitListingPlane(const double (*vectors)[3], int count, const AxisSigns& signs);

// The same fit over vectors that do not fit in memory at once (every page
// of a long recording): sums in a first pass, the plane from them, then
// each vector's residual in a second pass for the thickness.
struct PlaneSums {
    long long n;
    double x, y, z, yy, zz, yz, xy, xz;
    long long withoutTorsion; // fixation samples left out: torsion not measured
    long long torsionNonZero; // vectors whose torsion was not 0
};
void addToPlaneSums(PlaneSums& sums, const double r[3]);
ListingPlane planeFromSums(const PlaneSums& sums, const AxisSigns& signs);
void addResidual(ListingPlane& plane, const double r[3]);

// Horizontal vergence H_L - H_R (convergence positive), vertical V_R - V_L
// and cyclovergence T_R - T_L of one row of the table, each with its axis's
// sign (a file with horizontal positive left converges negatively).
void vergenceOf(const float* row, const AxisSigns& signs, double out[3]);

// Events. Saccades after Engbert & Kliegl 2003 (Vision Res. 43): lambda 6,
// at least 12 ms and 2 samples, runs less than 10 ms apart merged (the
// threshold, the shortest run and the smallest amplitude can be set: see
// SaccadeSettings). Runs of
// missing samples, widened by 10 ms each side, are blinks from 50 to 500 ms
// and losses otherwise; they and their margins are never saccades. Both
// rules are decided in samples at the median interval's rate: a run of k
// samples lasts k/f, a gap of g samples between two runs (g+1)/f. A step
// where Time does not increase (a clock that restarts, a blank line) ends
// every run and margin: nothing is joined across it, and no event starts
// before the first sample of its stretch or ends after the last (which
// lasts 1/f, as every sample does). Rows without a written Time (blank
// lines) are missing samples but no event.
constexpr double SACCADE_LAMBDA = 6;
constexpr double SACCADE_SHORTEST_SECONDS = 0.012;
// What a researcher may choose (--saccade-lambda, --saccade-min-ms,
// --saccade-min-amplitude): Engbert and Kliegl's multiple of the velocity
// spread, the shortest saccade (never fewer than 2 samples) and the
// smallest amplitude kept (0 keeps every one).
struct SaccadeSettings {
    double lambda;
    double shortestSeconds;
    double smallestAmplitudeDeg;
};
constexpr SaccadeSettings DEFAULT_SACCADE_SETTINGS = {SACCADE_LAMBDA, SACCADE_SHORTEST_SECONDS, 0};
// The viewer's (key e, the Listing view's fixations), from the command line.
extern SaccadeSettings saccadeSettings;
constexpr double SACCADE_MERGE_SECONDS = 0.010;
constexpr double BLINK_MARGIN_SECONDS = 0.010;
constexpr double BLINK_SHORTEST_SECONDS = 0.050;
constexpr double BLINK_LONGEST_SECONDS = 0.500;
enum class EventKind : uint8_t { Saccade, Blink, Loss };
// Each event of an eye takes a row of its own and one between it and the
// next: a page holds at most rows / 2 + 1 of each eye's.
constexpr int MOST_EVENTS = RECORDING_CAPACITY + 2;
struct EyeEvent {
    EventKind kind;
    uint8_t eye; // 0 left, 1 right (2 both, once merged)
    bool binocular;
    int firstRow, endRow;              // the rows it covers
    int spanFirst, spanEnd;            // the same with its margins
    double onset, duration;            // seconds, from the Time column
    double amplitudeDeg, peakVelocity; // NaN where they do not exist
    float start[3], end[3];            // horizontal, vertical, torsion; NaN where none
};

// An eye's position (its first column) at a row: NaN throughout for row -1,
// torsion NaN where it was not measured.
void eyePositionAt(const RecordingTable& table, int row, int column, float p[3]);

// Samples per second from the median interval of the Time column; 0 when
// it does not advance.
double medianSampleRate(const RecordingTable& table, int first, int end);
// The velocity (degrees per second) of the field at column, row by row;
// NaN where it cannot be told.
void eyeVelocity(const RecordingTable& table, int first, int end, int column, double rate,
                 double* out);
// Both eyes' saccades, blinks and losses over rows first .. end-1, in
// order of onset, saccades as settings ask; returns how many were written
// (at most capacity).
int detectEyeEvents(const RecordingTable& table, int first, int end,
                    const SaccadeSettings& settings, EyeEvent* out, int capacity);

// Why an eye of the latest detectEyeEvents got no saccades though it has
// velocities: one component's velocity never varies, so that Engbert and
// Kliegl's threshold, by the median and by the mean, would be 0.
enum class SaccadeTrouble : uint8_t { None, FlatHorizontal, FlatVertical };
extern SaccadeTrouble saccadeTrouble[2];
// The sampling rate the latest detectEyeEvents decided by (0 when Time
// never advanced): a caller that needs it too need not take the median again.
extern double eventsSampleRate;
// "its vertical velocity never varies (the saccade threshold would be 0)".
const char* describeSaccadeTrouble(SaccadeTrouble trouble);

// The rows of an eye (its first column) that are missing or lie within
// BLINK_MARGIN_SECONDS of a missing run (never across a step where Time
// does not increase): out[i] true for rows first .. end-1.
void markMissingMargins(const RecordingTable& table, int first, int end, int column, double rate,
                        bool* out);

// Engbert & Kliegl's velocity spread of v[first .. end-1] where usable[i]:
// sqrt(median(v^2) - median(v)^2), or where that is 0, as their own code
// falls back, sqrt(mean(v^2) - mean(v)^2). NaN when no velocity is usable.
double velocitySpread(const double* v, const bool* usable, int first, int end);

// Which rows of an eye are fixation samples: present, and outside its
// saccades, blinks and losses (with their margins).
void markFixationRows(const RecordingTable& table, int first, int end, const EyeEvent* events,
                      int count, int eye, bool* fixation);

// The events as a file lists them: a saccade (or a blink, or a loss) of
// one eye that overlaps one of the same kind of the other eye becomes one
// event of both eyes (eye 2), spanning both, its amplitude, peak velocity
// and positions the two eyes' mean. Returns how many were written.
int mergeBinocularEvents(const EyeEvent* events, int count, EyeEvent* out, int capacity);

// The convention and signs the viewer and the report read the file with
// (--convention, --signs).
struct KinematicsSettings {
    AngleConvention convention;
    AxisSigns signs;
};
extern KinematicsSettings kinematicsSettings;

// The fixation samples (fixation[i]) of one eye over rows first .. end-1,
// as rotation vectors under the settings' convention ([0]) and the other
// ([1]): added to sums in pass 0, their residuals to planes that are valid
// in pass 1. A sample whose torsion was not measured is left out of the fit.
// planeOfFixations is the plane of such sums: not valid below
// LISTING_FEWEST_SAMPLES, nor where no sample's torsion was measured and
// other than 0 (noTorsion), its samples counted either way.
void addFixationVectors(const RecordingTable& table, int first, int end, int eye,
                        const bool* fixation, const KinematicsSettings& settings, int pass,
                        PlaneSums sums[2], ListingPlane planes[2]);
ListingPlane planeOfFixations(const PlaneSums& sums, const AxisSigns& signs);
// The residuals of fixation positions kept as (h, v, t) triples, count of
// them, under the settings' convention and the other: the second pass of
// addFixationVectors over positions kept from the first instead of the
// table.
void addFixationResiduals(const float* positions, long long count,
                          const KinematicsSettings& settings, ListingPlane planes[2]);

// Each eye's Listing's plane over the fixation samples of rows first ..
// end-1 (outside the saccades found as saccades asks): planes[eye][0]
// under the settings' convention, [eye][1] under the other one (thickness
// included; not valid below LISTING_FEWEST_SAMPLES).
void fitPagePlanes(const RecordingTable& table, int first, int end,
                   const KinematicsSettings& settings, const SaccadeSettings& saccades,
                   ListingPlane planes[2][2]);

// "these angles fit Listing's law better as Helmholtz angles: --convention
// helmholtz" (or as Fick angles) when every eye with a plane is thinner by
// more than a fifth under the other convention; false otherwise.
bool describeConventionHint(char* out, size_t capacity, const ListingPlane planes[2][2],
                            AngleConvention convention);

// The planes the Listing view shows: [eye][0] under the settings'
// convention, [eye][1] under the other one.
extern ListingPlane listingPlanes[2][2];

// The table turned into rotation vectors in degrees, in place, for the
// Listing view: each present eye sample's horizontal, vertical and torsion
// become those of 2 atan|r| r/|r| (horizontal right, vertical up); missing
// samples stay as they are.
void convertToRotationDegrees(RecordingTable& table, const KinematicsSettings& settings);

// "left: primary position 6.0 deg right 10.0 deg up, thickness 0.95 deg
// (4212 fixation samples)" (with the degree sign of the bitmap fonts'
// Latin-1), "left: no torsion recorded", or "left: too few fixation
// samples (12)".
void describeListingPlane(char* out, size_t capacity, int eye, const ListingPlane& plane);
// The angle between two planes' normals (1, -b, -c), in degrees.
double planeAngleDeg(const ListingPlane& a, const ListingPlane& b);

// The events of the page shown, for the picture and the time plot: found
// on the file's numbers, for the table version they were found for.
struct PageEvents {
    unsigned recordingVersion;
    bool found;
    int count;
    EyeEvent events[MOST_EVENTS];
};
extern PageEvents pageEvents;

// Nystagmus: quick phases found on all three components, the slow phases
// between them and their slow-phase velocity (SPV).
// Quick phases per eye: Engbert & Kliegl's rule with each component's
// centred median spread sigma = sqrt(median((v - median v)^2)) (the mean's
// where that is 0), a sample a candidate where (vH/etaH)^2 + (vV/etaV)^2 +
// (vT/etaT)^2 > 1, eta = lambda sigma, and the same for v - median v; runs
// of at least 3 samples, merged when less than 10 ms apart; missing samples
// and 10 ms round them are never candidates. A component whose spread is 0
// (torsion not measured) takes no part. A quick phase of one eye alone is
// kept only where the other eye is missing.
constexpr double NYSTAGMUS_LAMBDA = 6;
constexpr int QUICK_PHASE_FEWEST_SAMPLES = 3;
constexpr double QUICK_PHASE_MERGE_SECONDS = 0.010;
// Slow phases: the stretches of present samples between a quick phase and
// the next quick phase or gap (or a gap and the next quick phase), 10 ms
// trimmed from each end, at least 50 ms long. Their SPV per component is
// the least-squares slope of position against Time, degrees per second.
constexpr double SLOW_PHASE_TRIM_SECONDS = 0.010;
constexpr double SLOW_PHASE_SHORTEST_SECONDS = 0.050;
// A component beats in a direction where its quick phases' median
// displacement passes this.
constexpr double BEATING_SMALLEST_DEG = 0.5;

struct QuickPhase {
    uint8_t eye;
    int firstRow, endRow; // the rows of its run
    int fromRow, toRow;   // the samples before and after it, where Time runs on
    double onset, duration;
    double displacement[3]; // H, V, T: row toRow minus row fromRow (T NaN where not measured)
    double peakVelocity;    // the run's greatest sqrt(vH^2 + vV^2 + vT^2), torsion where used
};
struct SlowPhase {
    uint8_t eye;
    int firstRow, endRow; // the trimmed rows its SPV is fitted to
    double start, end;    // their first and last Time
    double spv[3];        // degrees per second; NaN where a component has too few samples
};
// What the quick-phase rule used of an eye: whether its torsion took part;
// and the rate it decided by, which findSlowPhases then takes as it is.
struct QuickPhaseRule {
    bool torsionUsed[2];
    double rate;
};

// Both eyes' quick phases over rows first .. end-1 in order of onset;
// returns how many were written (at most capacity).
int findQuickPhases(const RecordingTable& table, int first, int end, double lambda, QuickPhase* out,
                    int capacity, QuickPhaseRule* rule = nullptr);
// The slow phases between those quick phases, in order; at most capacity.
int findSlowPhases(const RecordingTable& table, int first, int end, const QuickPhase* quick,
                   int quickCount, SlowPhase* out, int capacity,
                   const QuickPhaseRule* rule = nullptr);

// The time rows first .. end-1 cover: each row lasts until the next where
// Time increases, the last of a stretch one interval (1 / rate); rows
// without a written Time (blank lines) add nothing.
double coveredSeconds(const RecordingTable& table, int first, int end, double rate);

// The median of values[0 .. count-1], the mean of the middle two for an
// even count, as statistics packages give it; reorders the values. NaN
// for none.
double medianValue(double* values, int count);

// One eye's numbers: its quick phases per second of the rows' time, the
// median SPV of each component over its slow phases (NaN with none), and
// the beating direction of each component (+1, -1 in the file's signs,
// 0 where the median displacement stays within BEATING_SMALLEST_DEG).
struct NystagmusSummary {
    int quickPhases, slowPhases;
    double quickPhasesPerSecond;
    double spv[3];
    int beating[3];
    bool torsionUsed;
};
NystagmusSummary summariseNystagmus(const RecordingTable& table, int first, int end, int eye,
                                    const QuickPhase* quick, int quickCount, const SlowPhase* slow,
                                    int slowCount, bool torsionUsed);

// "left: 2.0 quick phases/s, SPV H -2.0 V 0.0 T 5.0 °/s, right-beating,
// upper pole beating toward the left ear" (UTF-8); "left: no nystagmus
// found" without quick phases (Latin-1, as the viewer's fonts draw it); the words follow the file's
// axes turned by signs (positive horizontal right, vertical up, torsion clockwise as the subject
// sees it), and "(on H and V: no torsion)" where torsion took no part.
void describeNystagmus(char* out, size_t capacity, int eye, const NystagmusSummary& summary,
                       const AxisSigns& signs);

// The main sequence (Baloh et al. 1975): peak velocity V = Vmax (1 -
// exp(-A / C)) against amplitude A, fitted by nonlinear least squares on
// the velocities from Vmax = the largest peak and C = 10 degrees; not valid
// below MAIN_SEQUENCE_FEWEST saccades, where the fit does not settle, or
// where C's standard error passes MAIN_SEQUENCE_LARGEST_ERROR times C (the
// saccades all lie before the curve's bend, so only Vmax / C is known).
constexpr int MAIN_SEQUENCE_FEWEST = 5;
constexpr double MAIN_SEQUENCE_LARGEST_ERROR = 0.5;
struct MainSequence {
    bool valid;
    int saccades;
    double vmax, c;
};
MainSequence fitMainSequence(const double* amplitudeDeg, const double* peakVelocity, int count);

// The page's nystagmus and main sequence, as the viewer shows them (keys n
// and m), found on the file's numbers when the table changes.
struct PageNystagmus {
    unsigned recordingVersion;
    bool found;
    int quickCount, slowCount;
    QuickPhase quick[RECORDING_CAPACITY / 2 + 2];
    SlowPhase slow[RECORDING_CAPACITY / 2 + 2];
    NystagmusSummary summary[2];
    MainSequence mainSequence[2];
};
extern PageNystagmus pageNystagmus;
// Fills record from rows first .. end-1 of table (the saccades for the
// main sequence from events, count of them).
void analysePageNystagmus(const RecordingTable& table, int first, int end, double lambda,
                          const EyeEvent* events, int count, PageNystagmus& record);

// The main-sequence panel's axes: amplitude 0.1 to 50 degrees across, peak
// velocity 10 to 1000 degrees per second up, both logarithmic. Where (a,
// v) lands in the plotting area box (x0, y0, x1, y1, window pixels from the
// bottom left); false outside the axes' ranges.
constexpr double MAIN_SEQUENCE_AMPLITUDES[2] = {0.1, 50};
constexpr double MAIN_SEQUENCE_VELOCITIES[2] = {10, 1000};
bool mainSequencePoint(const int box[4], double amplitude, double velocity, double& x, double& y);
