// Snapshots: the PNG holds exactly the pixels of the frame.
#include "gl_support.h"
#include "recording_text.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
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

} // namespace

TEST(Snapshot, PngEqualsTheFramePixels) {
    startSceneWith(
        recordingText({{-12, -8, 1, 0.2f, 12, 8, -1, 0.9f}, {-4, 8, 0, 1, 4, -8, 2, 0.5f}}));
    for (auto [w, h] : {std::pair{300, 300}, std::pair{217, 143}}) {
        Frame frame = drawFrame(w, h); // also sets the window size the snapshot uses
        frame = drawFrame(w, h);
        std::string path = ::testing::TempDir() + "quelvist_snapshot.png";
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
