// Snapshots: the PNG holds exactly the pixels of the frame.
#include "gl_support.h"
#include "recording_text.h"

#include <gtest/gtest.h>
#include <png.h>

#include "interaction/interaction.h"
#include "scene/scene.h"

#include <GL/freeglut.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Reads an 8-bit RGB PNG into bottom-up rows, as GL reads pixels.
bool readPng(const std::string& path, int& width, int& height, std::vector<unsigned char>& rgb) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    rgb.resize(PNG_IMAGE_SIZE(image));
    // A negative stride stores the last row first.
    return png_image_finish_read(&image, nullptr, rgb.data(), -width * 3, nullptr) != 0;
}

// Makes the test window width x height (the screen's size for full screen).
void resizeTestWindow(int width, int height) {
    glutPositionWindow(0, 0);
    glutReshapeWindow(width, height);
    for (int i = 0;
         i < 2000 && (glutGet(GLUT_WINDOW_WIDTH) != width || glutGet(GLUT_WINDOW_HEIGHT) != height);
         i++)
        glutMainLoopEvent();
    ASSERT_EQ(width, glutGet(GLUT_WINDOW_WIDTH));
    ASSERT_EQ(height, glutGet(GLUT_WINDOW_HEIGHT));
    // The driver gives the back buffer its new size at a swap.
    glutSwapBuffers();
    glutMainLoopEvent();
}

// Pixels where the frame and the PNG differ, and how many of them lie in
// the label bar's box.
struct Difference {
    int pixels, inBar;
};

Difference compareWithPng(const Frame& frame, const std::vector<unsigned char>& png) {
    int bar[4] = {0, 0, 0, 0};
    drumWindowBox(bar);
    Difference d = {0, 0};
    for (int y = 0; y < frame.height; y++)
        for (int x = 0; x < frame.width; x++) {
            const size_t at = (static_cast<size_t>(y) * frame.width + x) * 3;
            if (memcmp(&frame.rgb[at], &png[at], 3) == 0) continue;
            d.pixels++;
            d.inBar += x >= bar[0] && x < bar[2] && y >= bar[1] && y < bar[3];
        }
    return d;
}

} // namespace

// The viewer's settled frame, once every font's glyphs are kept and the
// picture is kept (in the buffer beside the window, and in the texture),
// equals a snapshot made by the program of the same view, pixel for pixel,
// the label bar included: whatever bound a texture of its own gives the
// bar's back. At 300x300 and at the screen's size.
TEST(Snapshot, SettledViewerFrameEqualsTheProgramsSnapshot) {
    std::ifstream in("test.txt", std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    ASSERT_GT(content.str().size(), 1000u) << "the sample recording, from the data folder";
    const int screen[2] = {glutGet(GLUT_SCREEN_WIDTH), glutGet(GLUT_SCREEN_HEIGHT)};
    for (auto [w, h] : {std::pair{300, 300}, std::pair{screen[0], screen[1]}}) {
        const std::string png =
            ::testing::TempDir() + "quelvist_settled_" + std::to_string(w) + ".png";
        const std::string command = std::string(QUELVIST_BINARY) + " --snapshot " + png +
                                    " --force --size " + std::to_string(w) + "x" +
                                    std::to_string(h) + " test.txt";
        ASSERT_EQ(0, system(command.c_str())) << command;
        int width = 0, height = 0;
        std::vector<unsigned char> expected;
        ASSERT_TRUE(readPng(png, width, height, expected));
        ASSERT_EQ(w, width);
        resizeTestWindow(w, h);
        for (bool buffer : {true, false}) {
            keptBufferAllowed = buffer;
            startSceneWith(content.str());
            onReshape(w, h);
            keepGlyphImages();
            drawFrame(w, h);
            endStartViewNotice(); // as a key does; snapshots never show it
            // The drum turns while the picture is kept and drawn back.
            for (int turn = 0; turn < 6; turn++) {
                view.drumAngle = 15.0f * turn;
                drawFrame(w, h);
            }
            EXPECT_EQ(buffer, keptPictureInBuffer());
            view.drumAngle = 0;
            const Difference d = compareWithPng(drawFrame(w, h), expected);
            EXPECT_EQ(0, d.pixels) << w << "x" << h << (buffer ? " buffer" : " texture") << ": "
                                   << d.inBar << " of them in the bar's box";
        }
    }
    keptBufferAllowed = true;
    resizeTestWindow(300, 300);
    onReshape(300, 300);
}

TEST(Snapshot, PngEqualsTheFramePixels) {
    startSceneWith(
        recordingText({{-12, -8, 1, 0.2f, 12, 8, -1, 0.9f}, {-4, 8, 0, 1, 4, -8, 2, 0.5f}}));
    for (auto [w, h] : {std::pair{300, 300}, std::pair{217, 143}}) {
        Frame frame = drawFrame(w, h); // also sets the window size the snapshot uses
        frame = drawFrame(w, h);
        std::string path = ::testing::TempDir() + "quelvist_snapshot.png";
        if (w == 300) unlink(path.c_str()); // another build's may lie there; its own it renews
        const char* problem = nullptr;
        ASSERT_TRUE(saveSnapshot(path.c_str(), &problem)) << problem;
        int width = 0, height = 0;
        std::vector<unsigned char> rgb;
        ASSERT_TRUE(readPng(path, width, height, rgb));
        EXPECT_EQ(w, width);
        EXPECT_EQ(h, height);
        EXPECT_TRUE(rgb == frame.rgb) << "PNG pixels differ from the frame at " << w << "x" << h;
    }
}

TEST(Snapshot, UnwritablePlacesAreReported) {
    startSceneWith(recordingText({{-12, -8, 1, 0.2f, 12, 8, -1, 0.9f}}));
    drawFrame(30, 20);
    const char* problem = nullptr;
    EXPECT_FALSE(saveSnapshot("/nonexistent-dir/x.png", &problem));
    ASSERT_NE(nullptr, problem);
    EXPECT_STRNE("", problem);
    problem = nullptr;
    const unsigned char rgb[3] = {1, 2, 3};
    FILE* full = fopen("/dev/full", "wb"); // a full disk
    ASSERT_NE(nullptr, full);
    EXPECT_FALSE(writePng(full, 1, 1, rgb, &problem));
    fclose(full);
    EXPECT_NE(nullptr, problem);
}

TEST(Snapshot, NewNamesNeverOverwrite) {
    char here[4096];
    ASSERT_TRUE(getcwd(here, sizeof here));
    std::string dir = ::testing::TempDir() + "quelvist_names";
    mkdir(dir.c_str(), 0700);
    ASSERT_EQ(0, chdir(dir.c_str()));
    unlink("quelvist-001.png");
    unlink("quelvist-002.png");
    char name[64];
    ASSERT_TRUE(nextSnapshotName(name, sizeof name));
    EXPECT_STREQ("quelvist-001.png", name);
    fclose(fopen(name, "w"));
    ASSERT_TRUE(nextSnapshotName(name, sizeof name));
    EXPECT_STREQ("quelvist-002.png", name);
    // In another folder (the Pictures folder), whose name ends in a separator.
    mkdir("pictures", 0700);
    unlink("pictures/quelvist-001.png");
    ASSERT_TRUE(nextSnapshotName(name, sizeof name, "pictures/"));
    EXPECT_STREQ("pictures/quelvist-001.png", name);
    EXPECT_FALSE(nextSnapshotName(name, 20, "pictures/")) << "a name that does not fit";
    unlink("quelvist-001.png");
    ASSERT_EQ(0, chdir(here));
}
