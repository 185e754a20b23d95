// The display lists that make up the picture: the eye curves, the axis cross,
// the edge markers and the label drum.
#pragma once

#include "analysis/analysis.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Compiles LIST_CURVES from the recording and the view's switches, torsion
// scale and build-up count.
void buildCurveList();

// Draws what LIST_CURVES holds, calling its blocks of 512 rows one by one
// with a flush after every curveBlocksPerFlush of them (0: LIST_CURVES
// itself, in one go). The frame draws the curves through this. Every 2048
// rows on llvmpipe: as fast as every 8192 while turning, a first frame 20 ms
// sooner and two thirds of the renderer's memory.
constexpr int DEFAULT_BLOCKS_PER_FLUSH = 4;
extern int curveBlocksPerFlush;
void drawCurves();

// Draws rows keptCount-1 .. count-1 of the shown curves directly, each
// part at its depth: what a picture of keptCount rows lacks for count rows.
// box receives the window pixels their points land on (x0, y0, x1, y1);
// false when that cannot be told (a point behind the eye).
bool drawCurveRows(int keptCount, int count, int box[4]);

// Clears the frame (or restores the picture kept from the last frame) and
// draws the edge markers and the curves under the plot transform. While
// the view stays as it was and the rows drawn only grow, the kept picture
// is restored and only the new rows are drawn on it, with the depth buffer
// keeping each curve part under the later ones: the pixels are those of a
// full redraw. Anything else draws everything anew.
void drawEdgesAndCurves();

// Whether frames keep their picture; off where a single frame is drawn.
extern bool pictureKeeping;
// The picture is kept in a buffer beside the window where the platform has
// one (keptPictureInBuffer says whether the latest frame did), else in a
// texture; keptBufferAllowed false keeps it in the texture.
extern bool keptBufferAllowed;
bool keptPictureInBuffer();

// Drops the kept picture: the next frame draws everything anew.
void forgetKeptPicture();

// What the latest LIST_CURVES holds: rows first .. count-1 with these
// switches. The version changes whenever the list shows anything but more
// rows than before (another recording or page included).
struct CurveContent {
    unsigned version;
    int first, count;
    uint8_t showLeftEye, showRightEye, showDifference, showGaps;
    float torsionScale;
};
extern CurveContent curveContent;

// The samples the latest LIST_CURVES draws: its rows, the eyes shown (the
// difference lines join both, so they count as both), whether gaps leave
// samples out, the torsion scale they were drawn with.
ShownSamples drawnSamples();

// The number of samples the latest LIST_CURVES draws (0 with both eyes and
// the difference lines hidden).
extern int curveSampleCount;

// Drops the compiled blocks of rows that buildCurveList keeps between builds;
// needed when the recording has been read anew.
void forgetCurveBlocks();

// A line the program adds at the bottom left, at height y (eye space, depth
// 50), broken where it would pass the window's edge or, beside it, the
// label drum (at double spaces first, then at spaces); lines stack upwards
// and are drawn by drawGatheredStatusText. Returns the height for the next
// text.
float drawStatusText(const char* text, float y);
// The three help lines and the fourth ("h - all keys and mouse") at the top
// left, in eye space at depth 50, in the current colour; the box they take
// in window pixels (x0, y0, x1, y1).
void drawHelpLines();
void helpLinesWindowBox(double box[4]);
// The top for an overlay whose columns start at left in the upper right:
// below the help lines, margin apart, where they are shown and reach it.
int topBelowHelpLines(int top, int left, int margin);

// Draws the lines drawStatusText gathered this frame: every backdrop, then
// every text.
void drawGatheredStatusText();
// The font of the texts the program adds: Times 10, Helvetica 12 in windows
// LEGIBLE_TEXT_FROM_HEIGHT pixels tall or more, Helvetica 18 in windows
// taller than 900; how far its letters reach below and above the baseline,
// and the step between lines, in pixels.
constexpr int LEGIBLE_TEXT_FROM_HEIGHT = 700;
void* addedTextFont();
int addedTextDescent();
int addedTextAscent();
int addedTextLineHeight();

// Drawing in window pixels (0, 0 the bottom left) over the whole window,
// without depth test, texture or lighting; the state is restored by the end.
void beginWindowPixels();
void endWindowPixels();
// A dark rectangle of that opacity; texts the program adds stand on one.
constexpr float TEXT_BACKDROP_OPACITY = 0.6f;
void drawBackdrop(int x0, int y0, int x1, int y1, float opacity);
// A one-pixel outline just inside the box, in the current colour.
void drawBoxOutline(int x0, int y0, int x1, int y1);
// White text in the added font on its backdrop, baseline at (x, y), in
// window pixels (between beginWindowPixels and endWindowPixels).
void drawLabel(int x, int y, const char* text);

// The eye's perspective (the drum, the help lines and the status texts
// stand in it) and the plot's projection: the same, or in the orthographic
// view a parallel one as high as the perspective at the view's centre.
void setEyeProjection(int width, int height);
void setPlotProjection(int width, int height);

// Where the label drum can appear in the window, whichever way it has
// turned (x0, y0, x1, y1 in pixels), under the current projection.
bool drumWindowBox(int box[4]);

// Ticks and numbers in degrees along the axes of the cross, and the axes
// extended thinly over the samples' range, while view.showScale is set.
// Called under the plot transform, after framePlotProjection is taken.
void drawScale();

// The key to the colours ("left eye" with a blue line, "right eye" with a
// red one, "difference" with a grey one while F3 shows it, the Listing
// view's planes, the events' marks) in the plot's upper right corner, while
// the scale or --legend shows it (a vector figure sets showLegend) and
// --hide legend does not hide it; in window pixels. legendWindowBox gives
// the box it takes (x0, y0, x1, y1), false while none is drawn.
bool legendShown();
bool legendWindowBox(int box[4]);
void drawLegend();

// The main-sequence panel while view.showMainSequence is set: a square in
// the plot's upper right (below the key), its box and its log-log plotting
// area (x0, y0, x1, y1 in window pixels); false while none is drawn.
bool mainSequencePanel(int panel[4], int plot[4]);
void drawMainSequence();

// The time plot across the bottom of the window while view.showPlot is
// set: horizontal, vertical and torsion against Time, both eyes, a cursor
// at the replay's newest or the picked sample, the dragged range shaded.
void drawTimePlot();

// The page's events (pageEvents) while view.showEvents is set: saccades
// drawn with lines three times as wide, the samples around each blink
// marked; under the plot transform.
void drawEventMarks();

// The page's quick phases of nystagmus (pageNystagmus) while
// view.showNystagmus is set: drawn again with lines three times as wide in
// their eye's colour; under the plot transform.
void drawQuickPhaseMarks();

// Each eye's Listing's plane (listingPlanes) as a translucent surface in
// its colour, while view.showListing is set; under the plot transform.
void drawListingPlanes();

// Where the time plot's traces lie in the window (x0, y0, x1, y1 in window
// pixels from the bottom left) and the times at its left and right ends;
// false while it is hidden or has no time span.
struct TimePlotFrame {
    int x0, y0, x1, y1;
    double t0, t1;
};
bool timePlotFrame(TimePlotFrame& frame);
// The slow phase (its index in pageNystagmus.slow) whose dot in the
// slow-phase velocity strips lies within radius pixels of (x, y), window
// pixels from the bottom left; -1 where none does.
int velocityDotAt(int x, int y, double radius);

// Every key and mouse action in two columns over a dark backdrop, while
// view.showHelp is set; drawn last, in window pixels.
void drawHelpOverlay();

// The picked sample (view.pickedRow), under the plot transform: a cross at
// each eye in its colour and the grey line between them.
void drawPickMark();

// Bitmap text at a raster position: emits only GL commands, so a call made
// while a list is being compiled is recorded into it (but not into a vector
// figure: see vectorFigureText).
void drawText(float x, float y, float z, const char* text, void* font);

// Draws the glyphs of the 8 by 13, Times 10 and Helvetica 18 fonts into the
// back buffer, reads them back and keeps them in textures: the next font
// not yet tried (false when none is left; a few milliseconds each, so the
// frame does one a frame once the window shows), or all of them. Between
// frames only: the back buffer is left cleared. drawText then draws a text
// of such a font as textured quads on the pixels glBitmap would set, where
// it can (not into a list or a figure, nor textured or depth tested text),
// and drawKeptGlyphs says whether it did.
bool keepGlyphImagesOfNextFont();
void keepGlyphImages();
bool glyphImagesKept(void* font);
bool drawKeptGlyphs(const char* text, void* font);
// Texts drawn between beginTextBatch and endTextBatch, with nothing else
// drawn in between, are drawn together at the end: a change of state for
// each text costs more on software renderers than its letters.
// drawPendingGlyphs draws what waits (drawText does before a glBitmap).
void beginTextBatch();
void endTextBatch();
void drawPendingGlyphs();

// While a vector figure is written (gl2ps between its page's start and end)
// this says how its texts are encoded; None otherwise. Texts drawn then are
// added to the figure as text at the raster position, and setLineWidth gives
// the figure the width too. A list compiled earlier brings neither along.
enum class VectorText { None, Pdf, Svg, PostScript };
extern VectorText vectorFigureText;
void addVectorText(const char* text, void* font);
// Where Ghostscript makes a figure's fonts travel with it (embedded in a
// PDF or EPS, outlines in an SVG) the texts are set in its own fonts,
// named as it names them; otherwise in PostScript's standard fonts, for
// which every reader has a stand-in of its own.
extern bool vectorFontsEmbedded;
// An SVG figure's texts as outlines: while collectVectorTexts holds,
// drawing outside a figure adds every text drawn, once, with its font
// (Ghostscript's name) and size in points; outline is then filled in, the
// glyphs' path in SVG's syntax (points, y up, from the start of the
// baseline), and found says so (an outline of blanks is empty). An SVG
// figure draws each text that has one as that path; others as text.
struct VectorTextOutline {
    const char* font;
    int size;
    std::string text; // Latin-1, as drawn
    std::string outline;
    bool found;
};
extern bool collectVectorTexts;
extern std::vector<VectorTextOutline> vectorTextOutlines;
void setLineWidth(float width);
void setPointSize(float size);
void restoreVectorLineWidth();

// Set by the frame while the view moves on a slow renderer: the paths are
// drawn without smoothing from every lightFrameStride-th row, and the
// picture is not kept.
extern bool lightFrame;
extern int lightFrameStride;
// Set by the frame for a while after the window changed size: the picture
// is drawn whole and not kept. A window just made full screen may not have
// its new size yet (Wine resizes the drawable later), and a picture read
// back then would be kept black.
extern bool keepingHeld;
// The curves' rows (as the list holds them) drawn at once, every stride-th
// row and the last of each strip.
void drawCurvesThinned(int stride);

// Black axes 20 units long with labels at their ends.
void drawCross();

// Compiles LIST_EDGES: two square rings of small cubes, spacings 9 and 25.
void buildEdgeList();
void drawEdgeSquare();
void drawEdgeCube();
void drawEdgeRing(float spacing);

constexpr int IMAGE_SIZE = 128;
constexpr size_t IMAGE_BYTES = IMAGE_SIZE * IMAGE_SIZE * 3;

// Reserves the texture names, reads images.dat and defines the texture.
void loadDrumTexture();

// Compiles LIST_DRUM: the bar with an end cap at each end and one image strip
// on each long face.
void buildDrumList();

// Reads up to IMAGE_BYTES of path into image; whatever does not arrive stays
// white, so a missing or short file leaves the picture's colours untouched.
// Returns the number of bytes read.
size_t readImageFile(const char* path, unsigned char* image);

// Where images.dat is looked for, in order: the working directory, the
// executable's directory, ../share/quelvist beside it, then the data
// directory the program was built for. Writes the
// first existing candidate to out and returns true, or false if none exists.
bool findImageFile(char* out, size_t capacity);

// The colour of the help lines: white tinted by the texel that textured
// text would take at the current texture coordinate (0, 1) once the drum
// has been drawn. Bitmap text is drawn untextured in this colour, because
// some drivers texture each glyph across the image instead.
extern float textTint[3];
void setTextTint(const unsigned char* image);

// The texture name that stays bound for the whole run.
extern unsigned drumTexture[2];
// Binds the bar's texture again. Whatever binds a texture of its own (kept
// glyphs, the kept picture) calls this when done: the frame's drawing, the
// bar and everything tinted by the current texture coordinate, relies on it.
// Restoring the binding through glPopAttrib is not enough: Mesa's llvmpipe
// was seen to leave the last bound texture in place.
void bindDrumTexture();
