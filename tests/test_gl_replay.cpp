// LIST_CURVES assembled from cached blocks, and the frame that calls the
// blocks one by one with flushes between them, must draw exactly what the
// list compiled in one go from the table draws, at every count the replay
// passes.
#include "gl_support.h"

#include "interaction/interaction.h"
#include "recording/recording.h"
#include "scene/scene.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <initializer_list>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

// The first row of a 2-second trail ending at row n-1, found from the end.
int trailFrom(int n) {
    int first = n - 1;
    while (first > 0 && recording.rows[n - 1].col[0] - recording.rows[first - 1].col[0] < 2.0)
        first--;
    return first;
}

// The curve list written out in one piece, straight from the table.
void buildCurveListInOnePiece() {
    glNewList(LIST_CURVES, GL_COMPILE);
    int n = view.buildUpCount != -1 ? view.buildUpCount : recording.rowCount;
    const int from = view.showTrail && view.buildUpCount != -1 ? trailFrom(n) : 0;
    float s = view.torsionScale;
    // A strip of one vertex draws nothing: it is not drawn at all (llvmpipe
    // would make a dot of it).
    const bool strips = n - from > 1;
    if (view.showLeftEye && strips) {
        glBegin(GL_LINE_STRIP);
        for (int i = from; i < n; i++) {
            const float* c = recording.rows[i].col;
            glColor3f(1 - c[7], 1 - c[7], 1);
            glVertex3f(c[3], s * c[5], c[4]);
        }
        glEnd();
    }
    if (view.showRightEye && strips) {
        glBegin(GL_LINE_STRIP);
        for (int i = from; i < n; i++) {
            const float* c = recording.rows[i].col;
            glColor3f(1, 1 - c[14], 1 - c[14]);
            glVertex3f(c[10], s * c[12], c[11]);
        }
        glEnd();
    }
    if (view.showDifference) {
        glColor3f(0.3f, 0.3f, 0.3f);
        glLineWidth(0.5f);
        glBegin(GL_LINES);
        for (int i = from; i < n; i++) {
            const float* c = recording.rows[i].col;
            glVertex3f(c[3], s * c[5], c[4]);
            glVertex3f(c[10], s * c[12], c[11]);
        }
        glEnd();
    }
    glEndList();
}

int differingPixels(const Frame& a, const Frame& b) {
    int n = 0;
    for (size_t i = 0; i < a.rgb.size(); i += 3)
        n += a.rgb[i] != b.rgb[i] || a.rgb[i + 1] != b.rgb[i + 1] || a.rgb[i + 2] != b.rgb[i + 2];
    return n;
}

std::string sample() {
    std::ifstream in("test.txt", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Compares the frame as the program builds it with the one-piece list.
void expectSameAsOnePiece(const std::string& what) {
    buildCurveList();
    Frame blocks = drawFrame();
    buildCurveListInOnePiece();
    curveBlocksPerFlush = 0; // the frame calls LIST_CURVES itself
    Frame whole = drawFrame();
    curveBlocksPerFlush = DEFAULT_BLOCKS_PER_FLUSH;
    EXPECT_EQ(0, differingPixels(blocks, whole)) << what;
    buildCurveList();
}

} // namespace

TEST(Replay, BlocksDrawTheSamePictureAsOnePiece) {
    startSceneWith(sample());
    ASSERT_EQ(30000, recording.rowCount);
    // A turned view, so torsion shows too.
    view.angleX = -60;
    view.angleY = 150;
    view.angleZ = 20;
    view.distance = 45;
    drawFrame(); // the drum's texture coordinate, current from the first frame on
    for (int difference : {0, 1}) {
        view.showDifference = difference;
        for (int count : {1, 2, 511, 512, 513, 514, 1024, 1025, 1026, 7777, 29999, 30000, -1}) {
            view.buildUpCount = count;
            expectSameAsOnePiece("count " + std::to_string(count) + " difference " +
                                 std::to_string(difference));
        }
    }
    // Switches and the torsion scale changed while blocks are cached.
    view.buildUpCount = 20000;
    for (int command : {1, 11, 11, 2, 12, 3, 1, 2}) {
        applyCommandEffect(view, command);
        expectSameAsOnePiece("after command " + std::to_string(command));
    }
}

// Samples far apart, so that a segment lost or doubled where a trail meets
// a block shows.
std::string jumpyRecording(int rows) {
    std::string text = "Time\n";
    char line[200];
    for (int i = 0; i < rows; i++) {
        const double a = i * 2.4;
        snprintf(line, sizeof line,
                 "%.3f\t0\t0\t%.3f\t%.3f\t%.3f\t0\t0.5\t0\t0\t%.3f\t%.3f\t1\t0\t0.5\n", i / 500.0,
                 15 * cos(a), 15 * sin(a), 3 * sin(a * 0.7), 14 * cos(a + 1), 14 * sin(a + 1));
        text += line;
    }
    return text;
}

TEST(Replay, TrailDrawsTheLastTwoSecondsAsOnePieceWould) {
    startSceneWith(jumpyRecording(3000));
    drawFrame();
    view.showTrail = 1;
    for (int difference : {0, 1}) {
        view.showDifference = difference;
        // The trail starts before any whole block, inside one, on a block's first row.
        for (int count : {1, 600, 1000, 1001, 1025, 1512, 1537, 1538, 3000}) {
            view.buildUpCount = count;
            expectSameAsOnePiece("trail to " + std::to_string(count) + " difference " +
                                 std::to_string(difference));
        }
    }
}

// Each count drawn onto the kept picture of the count before equals the
// frame drawn anew.
static void expectGrowingAsFullRedraw(std::initializer_list<int> counts) {
    for (int count : counts) {
        view.buildUpCount = count;
        buildCurveList();
        Frame grown = drawFrame();
        forgetKeptPicture();
        Frame full = drawFrame();
        EXPECT_EQ(0, differingPixels(grown, full)) << "count " << count;
    }
}

// The counts grown one kept picture after another, as a running replay
// grows them, end in the frame drawn anew.
static void expectGrownInStepsAsFullRedraw(std::initializer_list<int> counts) {
    for (int count : counts) {
        view.buildUpCount = count;
        buildCurveList();
        drawFrame();
    }
    Frame grown = drawFrame();
    forgetKeptPicture();
    EXPECT_EQ(0, differingPixels(grown, drawFrame())) << "grown in steps to " << view.buildUpCount;
}

// With gaps and difference lines, each frame drawn onto the kept picture
// equals the frame drawn anew; lost samples (runs of them too) break the
// paths alike in both.
TEST(Replay, GrowingWithGapsDrawsAsAFullRedraw) {
    std::string text = jumpyRecording(3000);
    // Every 7th sample of the left eye lost, every 11th of both.
    size_t line = text.find('\n') + 1;
    for (int i = 0; line < text.size(); i++) {
        size_t end = text.find('\n', line);
        std::string row = text.substr(line, end - line);
        if (i % 7 == 3 || i % 11 == 5) {
            std::vector<std::string> fields;
            for (size_t a = 0, b; a <= row.size(); a = b + 1) {
                b = row.find('\t', a);
                if (b == std::string::npos) b = row.size();
                fields.push_back(row.substr(a, b - a));
            }
            for (int c : {3, 4, 5})
                fields[c] = "0";
            if (i % 11 == 5)
                for (int c : {10, 11, 12})
                    fields[c] = "0";
            row.clear();
            for (size_t f = 0; f < fields.size(); f++)
                row += fields[f] + (f + 1 < fields.size() ? "\t" : "");
            text.replace(line, end - line, row);
            end = text.find('\n', line);
        }
        line = end + 1;
    }
    startSceneWith(text);
    view.showGaps = 1;
    view.showDifference = 1;
    view.buildUpCount = 1;
    drawFrame(); // the drum's texture coordinate, current from the first frame on
    expectGrowingAsFullRedraw(
        {1, 2, 3, 4, 9, 10, 11, 12, 40, 512, 513, 520, 1000, 1025, 1100, 2999, 3000});
}

TEST(Replay, TicksGrowThePathsAsAFullBuildWould) {
    startSceneWith(sample());
    view.showDifference = 1;
    view.buildUpCount = 1;
    buildCurveList();
    for (int tick = 1; tick <= 1600; tick++) {
        if (applyTimerStep(view, recording.rowCount)) buildCurveList();
        if (tick % 400 == 0 || tick == 511 || tick == 512 || tick == 1023)
            expectSameAsOnePiece("tick " + std::to_string(tick));
    }
    // The wrap back to one row after the last.
    view.buildUpCount = recording.rowCount;
    applyTimerStep(view, recording.rowCount);
    EXPECT_EQ(1, view.buildUpCount);
    expectSameAsOnePiece("after the wrap");
}

// With the time plot under it, the 3D picture has the upper two thirds of
// the window: the kept picture is that part alone, drawn back in place,
// whether it is kept in the buffer beside the window (here a GLX pbuffer)
// or in the texture (as on Windows). Zoomed in, the paths run past the top
// of that part, where the new rows' box must still reach.
TEST(Replay, GrowingAboveTheTimePlotDrawsAsAFullRedraw) {
    startSceneWith(jumpyRecording(3000));
    const float start = view.distance;
    for (bool buffer : {true, false}) {
        keptBufferAllowed = buffer;
        for (float distance : {start, start / 2}) {
            view.distance = distance;
            for (int plot : {1, 0}) {
                view.showPlot = plot;
                view.buildUpCount = 1;
                drawFrame();
                expectGrowingAsFullRedraw({2, 40, 513, 1100, 3000});
                expectGrownInStepsAsFullRedraw({2, 300, 600, 900, 1200, 1500, 1800, 2400, 3000});
                EXPECT_EQ(buffer, keptPictureInBuffer()) << "plot " << plot;
            }
        }
    }
    view.distance = start;
    keptBufferAllowed = true;
}
