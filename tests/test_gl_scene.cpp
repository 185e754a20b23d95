// The frame around the paths: help text, axis cross, edge markers and the
// label drum, in feedback mode and in pixels.
#include "gl_support.h"
#include "recording_text.h"

#include "recording/recording.h"
#include "scene/scene.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isBackground(Rgb c) {
    return c.r == 178 && c.g == 178 && c.b == 178;
}

int countNotBackground(const Frame& f, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++)
            n += !isBackground(f.at(x, y));
    return n;
}

const std::string zeros = recordingText({{0, 0, 0, 0, 0, 0, 0, 0}});

std::array<double, 3> unOrtho(const std::array<float, 7>& v) {
    return {v[0] / 10.0 - 30, v[1] / 10.0 - 30, 30 - v[2] * 60.0};
}

} // namespace

TEST(HelpText, ShownInASquareWindowAndNotInANarrowOne) {
    startSceneWith(zeros);
    Frame square = drawFrame(300, 300);
    auto top = projectEyePoint(-30, 29, -50);
    int y = static_cast<int>(top[1]);
    EXPECT_GT(countNotBackground(square, 0, y - 4, 150, y + 10), 50);
    // Narrower than about 0.94 of the height, the lines start outside the view.
    Frame narrow = drawFrame(270, 300);
    EXPECT_EQ(0, countNotBackground(narrow, 0, y - 30, 270, 300));
}

// The help lines take one colour: white tinted by the texel at texture
// coordinate (0, 1), the mean of the image's corners (white when shipped).
TEST(HelpText, OneColourTheImageCornersTint) {
    startSceneWith(zeros);
    const int y = static_cast<int>(projectEyePoint(-30, 25.4f, -50)[1]);
    auto textColours = [&](const Frame& f) {
        std::map<std::array<int, 3>, int> colours;
        for (int row = y - 4; row < 300; row++)
            for (int x = 0; x < 150; x++)
                if (!isBackground(f.at(x, row)))
                    colours[{f.at(x, row).r, f.at(x, row).g, f.at(x, row).b}]++;
        return colours;
    };
    auto shipped = textColours(drawFrame());
    ASSERT_EQ(1u, shipped.size());
    EXPECT_EQ((std::array<int, 3>{255, 255, 255}), shipped.begin()->first);

    static unsigned char image[IMAGE_BYTES];
    const size_t last = IMAGE_SIZE - 1;
    for (size_t corner : {size_t{0}, last, last * IMAGE_SIZE, last * IMAGE_SIZE + last}) {
        const bool top = corner >= last * IMAGE_SIZE;
        image[corner * 3] = top ? 100 : 200;
        image[corner * 3 + 1] = top ? 50 : 100;
        image[corner * 3 + 2] = top ? 20 : 40;
    }
    setTextTint(image);
    auto tinted = textColours(drawFrame());
    memset(image, 255, sizeof image);
    setTextTint(image);
    ASSERT_EQ(1u, tinted.size());
    EXPECT_EQ((std::array<int, 3>{150, 75, 30}), tinted.begin()->first);
}

TEST(EmptyRecording, StillShowsEverythingButThePaths) {
    startSceneWith("Time\n");
    ASSERT_EQ(0, recording.rowCount);
    Frame f = drawFrame();
    EXPECT_TRUE(isBackground(f.at(2, 150)));
    // Help lines at the top left.
    EXPECT_GT(countNotBackground(f, 0, 260, 150, 300), 50);
    // The cross: black pixels on the vertical axis below the centre.
    auto bottom = projectPlotPoint(0, 0, 8);
    int black = 0;
    for (int dx = -1; dx <= 1; dx++) {
        Rgb c = f.at(static_cast<int>(bottom[0]) + dx, static_cast<int>(bottom[1]));
        black += c.r == 0 && c.g == 0 && c.b == 0;
    }
    EXPECT_GT(black, 0);
    // A marker cube at a corner of the inner ring, in its green.
    auto corner = projectPlotPoint(9, 0, 9);
    Rgb cube = f.at(static_cast<int>(corner[0]), static_cast<int>(corner[1]));
    EXPECT_EQ(128, cube.r);
    EXPECT_EQ(255, cube.g);
    // The drum at the lower right.
    auto drum = projectEyePoint(12, -15, -32 + 1.25);
    EXPECT_FALSE(isBackground(f.at(static_cast<int>(drum[0]), static_cast<int>(drum[1]))));
}

// The inner ring's nine cubes and the cross's labels, in pixels, where an
// independent projection puts them.
TEST(ReferenceFrame, RingAndLabelsInPixels) {
    startSceneWith(zeros);
    Frame f = drawFrame();
    for (int x : {-9, 0, 9}) {
        for (int z : {-9, 0, 9}) {
            if (x == 0 && z == 0) continue; // under the cross
            auto w = projectPlotPoint(x, 0, z);
            int green = 0;
            for (int dy = -1; dy <= 1; dy++)
                for (int dx = -1; dx <= 1; dx++) {
                    Rgb c = f.at(static_cast<int>(w[0]) + dx, static_cast<int>(w[1]) + dy);
                    green += c.r == 128 && c.g == 255 && c.b == 128;
                }
            EXPECT_GT(green, 0) << "cube at " << x << ", " << z;
        }
    }
    // Each label's text starts at its anchor and runs to the right, black.
    struct Anchor {
        double x, y, z;
        int width;
    };
    for (const Anchor& a : {Anchor{10, 0, 0, 96}, Anchor{0, 0, 10, 80}}) {
        auto w = projectPlotPoint(a.x, a.y, a.z);
        int x0 = static_cast<int>(w[0]), y0 = static_cast<int>(w[1]);
        int black = 0;
        for (int y = y0; y < y0 + 13; y++)
            for (int x = x0 + 16; x < x0 + a.width && x < 300; x++) {
                Rgb c = f.at(x, y);
                black += c.r == 0 && c.g == 0 && c.b == 0;
            }
        EXPECT_GT(black, 20) << "label at " << a.x << ", " << a.y << ", " << a.z;
        int before = 0;
        for (int y = y0; y < y0 + 13; y++)
            for (int x = x0 - 12; x < x0 - 2; x++) {
                Rgb c = f.at(x, y);
                before += c.r == 0 && c.g == 0 && c.b == 0;
            }
        EXPECT_LT(before, 4) << "nothing of the label left of its anchor";
    }
}

TEST(Cross, ThreeAxesAndSixLabels) {
    startSceneWith(zeros);
    loadPlotMatrices();
    auto items = feedbackOf(drawCross);
    std::vector<FeedbackItem> lines, bitmaps;
    for (auto& item : items)
        (item.token == GL_BITMAP_TOKEN ? bitmaps : lines).push_back(item);
    ASSERT_EQ(3u, lines.size());
    const double ends[3][2][3] = {
        {{-10, 0, 0}, {10, 0, 0}}, {{0, -10, 0}, {0, 10, 0}}, {{0, 0, -10}, {0, 0, 10}}};
    for (int i = 0; i < 3; i++) {
        for (int e = 0; e < 2; e++) {
            auto w = projectPlotPoint(ends[i][e][0], ends[i][e][1], ends[i][e][2]);
            EXPECT_NEAR(w[0], lines[i].vertices[e][0], 0.01);
            EXPECT_NEAR(w[1], lines[i].vertices[e][1], 0.01);
            EXPECT_EQ(0.0f, lines[i].vertices[e][3]); // black
        }
    }
    // One bitmap per character, 8 pixels apart, each label at its anchor.
    struct Label {
        double x, y, z;
        const char* text;
    };
    const Label labels[] = {{-10, 0, 0, "-"}, {10, 0, 0, "+ horizontal"}, {0, 10, 0, "+ torsion"},
                            {0, -10, 0, "-"}, {0, 0, 10, "+ vertical"},   {0, 0, -10, "-"}};
    size_t next = 0;
    for (const Label& label : labels) {
        auto anchor = projectPlotPoint(label.x, label.y, label.z);
        for (size_t c = 0; c < strlen(label.text); c++, next++) {
            ASSERT_LT(next, bitmaps.size());
            EXPECT_NEAR(anchor[0] + 8.0 * c, bitmaps[next].vertices[0][0], 0.01) << label.text;
            EXPECT_NEAR(anchor[1], bitmaps[next].vertices[0][1], 0.01) << label.text;
        }
    }
    EXPECT_EQ(next, bitmaps.size());
}

TEST(Edges, EighteenOutwardCubesOnTwoRings) {
    startSceneWith(zeros);
    loadOrthoMatrices();
    glDisable(GL_CULL_FACE); // every face, to check which way each one points
    auto items = feedbackOf(LIST_EDGES);
    glEnable(GL_CULL_FACE);
    std::map<std::pair<int, int>, double> areaByCentre;
    for (const auto& item : items) {
        ASSERT_EQ(GL_POLYGON_TOKEN, item.token);
        std::array<double, 3> centroid{};
        for (const auto& v : item.vertices) {
            auto p = unOrtho(v);
            for (int k = 0; k < 3; k++)
                centroid[k] += p[k] / item.vertices.size();
        }
        // The cube this face belongs to: the nearest point of the rings.
        int cx = static_cast<int>(std::lround(centroid[0])),
            cz = static_cast<int>(std::lround(centroid[2]));
        EXPECT_NEAR(0.0, std::fabs(centroid[1]) > 0.21 ? 1 : 0, 0.0);
        // Normal by the winding (counter-clockwise front), area by its length.
        auto a = unOrtho(item.vertices[0]);
        std::array<double, 3> n{};
        for (size_t k = 1; k + 1 < item.vertices.size(); k++) {
            auto b = unOrtho(item.vertices[k]), c = unOrtho(item.vertices[k + 1]);
            double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
            double w[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
            n[0] += (u[1] * w[2] - u[2] * w[1]) / 2;
            n[1] += (u[2] * w[0] - u[0] * w[2]) / 2;
            n[2] += (u[0] * w[1] - u[1] * w[0]) / 2;
        }
        double outward = n[0] * (centroid[0] - cx) + n[1] * centroid[1] + n[2] * (centroid[2] - cz);
        EXPECT_GT(outward, 0) << "face at " << centroid[0] << "," << centroid[1] << ","
                              << centroid[2] << " faces inwards";
        areaByCentre[{cx, cz}] += std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    }
    std::map<std::pair<int, int>, double> expected;
    for (int d : {9, 25})
        for (int x : {-d, 0, d})
            for (int z : {-d, 0, d})
                expected[{x, z}] += 6 * 0.16;
    ASSERT_EQ(expected.size(), areaByCentre.size()); // 17 places, the origin twice
    for (const auto& [centre, area] : expected)
        EXPECT_NEAR(area, areaByCentre[centre], 1e-3) << centre.first << "," << centre.second;
}

TEST(Drum, FacesCarryTheirStripsAndCapsNoCoordinates) {
    startSceneWith(zeros);
    loadOrthoMatrices();
    glDisable(GL_CULL_FACE);
    glTexCoord2f(0.25f, 0.5f); // what the caps inherit
    auto items = feedbackOf(LIST_DRUM, GL_3D_COLOR_TEXTURE);
    glEnable(GL_CULL_FACE);
    GLfloat matrix[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
    for (int i = 0; i < 16; i++)
        EXPECT_NEAR(i % 5 == 0 ? 1 : 0, matrix[i], 1e-6) << i;

    int capVertices = 0;
    std::map<int, int> stripVertices; // strip -> vertices seen on its face
    for (const auto& item : items) {
        float tMin = 1;
        for (const auto& v : item.vertices)
            tMin = std::min(tMin, v[4]);
        for (const auto& v : item.vertices) {
            auto p = unOrtho(v);
            if (std::fabs(std::fabs(p[0]) - 5) < 1e-3 && item.vertices.size() >= 3 &&
                std::fabs(unOrtho(item.vertices[0])[0] - unOrtho(item.vertices[1])[0]) < 1e-3 &&
                std::fabs(unOrtho(item.vertices[1])[0] - unOrtho(item.vertices[2])[0]) < 1e-3) {
                capVertices++;
                EXPECT_FLOAT_EQ(0.25f, v[3]);
                EXPECT_FLOAT_EQ(0.5f, v[4]);
                continue;
            }
            // A face vertex: s is 0 at x = -5 and 0.78125 at x = 5.
            EXPECT_NEAR(p[0] < 0 ? 0 : 0.78125, v[3], 1e-5);
            int strip = static_cast<int>(std::floor(tMin * 4 + 1e-4));
            // The face of strip i lies where its quarter turns put it.
            double angle = (strip + 1) * M_PI / 2;
            double ny = -std::sin(angle), nz = std::cos(angle); // outward direction
            EXPECT_NEAR(1.25, p[1] * ny + p[2] * nz, 1e-3) << "strip " << strip;
            stripVertices[std::min(strip, 3)]++;
        }
    }
    EXPECT_GT(capVertices, 0);
    EXPECT_EQ(4u, stripVertices.size());
}

// At drumAngle 0 strip 3 faces the viewer, upright and fully lit; the face on
// top gets only the ambient light.
TEST(DrumFrame, StripThreeFacesTheViewerUpright) {
    startSceneWith(zeros);
    unsigned char image[IMAGE_BYTES];
    ASSERT_EQ(IMAGE_BYTES, readImageFile("images.dat", image));
    Frame f = drawFrame();
    auto texel = [&](double s, double t) {
        int x = std::min(127, static_cast<int>(s * 128));
        int y = std::min(127, static_cast<int>(t * 128));
        const unsigned char* p = &image[(y * 128 + x) * 3];
        return Rgb{p[0], p[1], p[2]};
    };
    int matches = 0, flippedMatches = 0, samples = 0;
    for (double u = 0.05; u < 0.96; u += 0.05) {
        for (double v = 0.1; v < 0.91; v += 0.1) {
            // Face point: x from -5 to 5, y from -1.25 to 1.25, in front (z 1.25).
            auto w = projectEyePoint(12 + (u - 0.5) * 10, -15 + (v - 0.5) * 2.5, -32 + 1.25);
            Rgb got = f.at(static_cast<int>(w[0]), static_cast<int>(w[1]));
            Rgb want = texel(u * 0.78125, 0.75 + v * 0.25);
            Rgb flipped = texel(u * 0.78125, 1.0 - v * 0.25);
            auto close = [&](Rgb a) {
                return std::abs(a.r - got.r) + std::abs(a.g - got.g) + std::abs(a.b - got.b) < 60;
            };
            matches += close(want);
            flippedMatches += close(flipped);
            samples++;
        }
    }
    EXPECT_GT(matches, samples * 8 / 10);
    EXPECT_LT(flippedMatches, matches);

    // The drum lies below the eye, so its top face shows above the front one.
    auto top = projectEyePoint(12, -15 + 1.25, -32 - 0.3);
    Rgb dark = f.at(static_cast<int>(top[0]), static_cast<int>(top[1]));
    EXPECT_LT(dark.r + dark.g + dark.b, 3 * 20) << "only the ambient term";
}

// The corner texels are white, so the tint leaves the paths' true colours
// after the drum has run, and a missing image changes nothing either.
TEST(DrumFrame, TintIsNeutralWithTheShippedAndWithAMissingImage) {
    std::vector<Sample> rows = {{-12, -8, 0, 1, 0, 0, 0, 0}, {-4, -8, 0, 1, 0, 0, 0, 0}};
    auto pathIsPureBlue = [&]() {
        drawFrame();
        Frame f = drawFrame(); // the second frame is drawn after the drum ran
        auto w = projectPlotPoint(-8, 0, -8);
        for (int dy = -1; dy <= 1; dy++) {
            Rgb c = f.at(static_cast<int>(w[0]), static_cast<int>(w[1]) + dy);
            if (c.r == 0 && c.g == 0 && c.b == 255) return true;
        }
        return false;
    };
    startSceneWith(recordingText(rows));
    view.showRightEye = 0;
    buildCurveList();
    EXPECT_TRUE(pathIsPureBlue());

    char here[4096];
    ASSERT_TRUE(getcwd(here, sizeof here));
    std::string empty = ::testing::TempDir() + "quelvist_noimage";
    mkdir(empty.c_str(), 0700);
    ASSERT_EQ(0, chdir(empty.c_str()));
    char found[4200];
    bool anywhere = findImageFile(found, sizeof found);
    startSceneWith(recordingText(rows));
    ASSERT_EQ(0, chdir(here));
    if (anywhere) GTEST_SKIP() << "an installed images.dat exists: " << found;
    view.showRightEye = 0;
    buildCurveList();
    EXPECT_TRUE(pathIsPureBlue());
}

TEST(DrumImage, ShortOrMissingFilesLeaveWhite) {
    unsigned char image[IMAGE_BYTES];
    std::string path = ::testing::TempDir() + "quelvist_short.dat";
    FILE* f = fopen(path.c_str(), "wb");
    fwrite("\x01\x02\x03\x04", 1, 4, f);
    fclose(f);
    EXPECT_EQ(4u, readImageFile(path.c_str(), image));
    EXPECT_EQ(1, image[0]);
    EXPECT_EQ(4, image[3]);
    EXPECT_EQ(255, image[4]);
    EXPECT_EQ(255, image[IMAGE_BYTES - 1]);
    EXPECT_EQ(0u, readImageFile("/nonexistent/images.dat", image));
    EXPECT_EQ(255, image[0]);
}

// Texts drawn from the kept glyphs set exactly the pixels freeglut's glBitmap
// letters set: every character of each font, raster positions on and off
// whole pixels, perspective and eye-space positions, texts running out of
// the window or out of a viewport that is only part of it, and positions
// outside the view (nothing drawn).
TEST(KeptGlyphs, SamePixelsAsBitmapLetters) {
    startSceneWith(zeros);
    onReshape(300, 300);
    keepGlyphImages();
    std::string every;
    for (int c = 1; c < 256; c++)
        every += static_cast<char>(c);
    struct Case {
        void* font;
        const char* text; // nullptr: every character, broken into rows
        float x, y, z;
        bool perspective; // the plot's matrices, else window pixels
        int viewport[4];
        float colour[3];
    } cases[] = {
        {GLUT_BITMAP_8_BY_13, nullptr, 3, 280, 0, false, {0, 0, 300, 300}, {0, 0, 0}},
        {GLUT_BITMAP_TIMES_ROMAN_10, nullptr, 3.5f, 280.49f, 0, false, {0, 0, 300, 300}, {1, 1, 1}},
        {GLUT_BITMAP_HELVETICA_18,
         nullptr,
         2.99f,
         270.51f,
         0,
         false,
         {0, 0, 300, 300},
         {0.9f, 0.8f, 0.3f}},
        {GLUT_BITMAP_8_BY_13, "+ horizontal", 10, 0, 0, true, {0, 0, 300, 300}, {0, 0, 0}},
        {GLUT_BITMAP_8_BY_13, "+ vertical", 0, 0, 10, true, {0, 0, 300, 300}, {0, 0, 0}},
        {GLUT_BITMAP_8_BY_13, "-", 0, -10, 0, true, {0, 0, 300, 300}, {0, 0, 0}},
        {GLUT_BITMAP_8_BY_13,
         "a hair under a pixel",
         20.99995f,
         150.99996f,
         0,
         false,
         {0, 0, 300, 300},
         {0, 0, 0}},
        {GLUT_BITMAP_TIMES_ROMAN_10,
         "runs out of the window on the right side",
         250.7f,
         100.2f,
         0,
         false,
         {0, 0, 300, 300},
         {1, 0, 0}},
        {GLUT_BITMAP_HELVETICA_18,
         "out of its viewport",
         150.25f,
         102,
         0,
         false,
         {0, 100, 300, 200},
         {0, 0, 1}},
        {GLUT_BITMAP_TIMES_ROMAN_10,
         "left of the view",
         -0.5f,
         50,
         0,
         false,
         {0, 0, 300, 300},
         {0, 0, 0}},
        {GLUT_BITMAP_8_BY_13, "behind the eye", 0, 0, 200, true, {0, 0, 300, 300}, {0, 0, 0}},
    };
    for (void* font : {GLUT_BITMAP_8_BY_13, GLUT_BITMAP_TIMES_ROMAN_10, GLUT_BITMAP_HELVETICA_18})
        ASSERT_TRUE(glyphImagesKept(font));
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    for (const Case& c : cases) {
        auto draw = [&](bool kept) {
            glViewport(0, 0, 300, 300);
            glClear(GL_COLOR_BUFFER_BIT);
            glViewport(c.viewport[0], c.viewport[1], c.viewport[2], c.viewport[3]);
            glMatrixMode(GL_PROJECTION);
            glLoadIdentity();
            glMatrixMode(GL_MODELVIEW);
            glLoadIdentity();
            if (c.perspective) {
                onReshape(300, 300);
                applyPlotTransform();
            } else {
                glMatrixMode(GL_PROJECTION);
                glOrtho(c.viewport[0], c.viewport[0] + c.viewport[2], c.viewport[1],
                        c.viewport[1] + c.viewport[3], -1, 1);
                glMatrixMode(GL_MODELVIEW);
            }
            glColor3fv(c.colour);
            std::string text = c.text ? c.text : every;
            const int perRow = c.font == GLUT_BITMAP_HELVETICA_18 ? 16 : 32;
            for (size_t at = 0; at < text.size(); at += perRow) {
                const std::string row = text.substr(at, perRow);
                const float y = c.y - static_cast<float>(at / perRow) * 20;
                if (kept) {
                    drawText(c.x, y, c.z, row.c_str(), c.font);
                } else {
                    glRasterPos3f(c.x, y, c.z);
                    for (unsigned char letter : row)
                        glutBitmapCharacter(c.font, letter);
                }
            }
            glFinish();
            std::vector<unsigned char> pixels(300 * 300 * 4);
            glReadPixels(0, 0, 300, 300, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
            return pixels;
        };
        const auto bitmap = draw(false), kept = draw(true);
        int differ = 0, drawn = 0;
        for (size_t i = 0; i < bitmap.size(); i += 4) {
            differ += memcmp(&bitmap[i], &kept[i], 3) != 0;
            drawn += bitmap[i] != 178 || bitmap[i + 1] != 178;
        }
        const std::string what = c.text ? c.text : "every character";
        EXPECT_EQ(0, differ) << what << " (" << drawn << " pixels drawn)";
        const bool outside = what == "left of the view" || what == "behind the eye";
        EXPECT_EQ(!outside, drawn > 0) << what;
    }
    glEnable(GL_TEXTURE_2D);
    onReshape(300, 300);
}
