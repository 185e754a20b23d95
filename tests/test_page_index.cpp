// The page index: a page, a sample's line and a file that grows read from
// the nearest noted line give exactly what reading the file whole gives.
#include "recording/recording.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

namespace {

RecordingTable whole;

std::string writeText(const std::string& name, const std::string& content,
                      const char* mode = "wb") {
    const std::string path = ::testing::TempDir() + "quelvist_index_" + name;
    FILE* f = fopen(path.c_str(), mode);
    fwrite(content.data(), 1, content.size(), f);
    fclose(f);
    return path;
}

// Rows of a tracker's export: decimal commas, a blank line now and then,
// an empty cell, a line longer than a piece (799 characters), Windows line
// ends on some, a clock that restarts once.
std::string rows(int from, int to) {
    std::string text;
    for (int i = from; i < to; i++) {
        char line[200];
        const double time = i < 90000 ? i * 0.002 : (i - 90000) * 0.002;
        snprintf(line, sizeof line,
                 "%.3f\t%d\t1\t%.3f\t%.3f\t\t0\t1\t0\t0\t%.3f\t-1,5\t0,25\t0\t1%s", time, i,
                 std::sin(i * 0.01), std::cos(i * 0.013), std::sin(i * 0.02),
                 i % 7 == 0 ? "\r\n" : "\n");
        for (char* c = line; *c; c++)
            if (*c == '.') *c = ',';
        text += line;
        if (i % 9973 == 0) text += "\n"; // a blank line: a sample
        if (i % 31337 == 0) text += "1,0\t" + std::string(900, '7') + "\n"; // two pieces
    }
    return text;
}

const std::string preamble =
    "Export\nSubject:\tP1\nTime\tn\tx\tLH\tLV\tLT\tc6\tLS\tc8\tc9\tRH\tRV\tRT\tc13\tRS\n";

// What reading the file whole from the first line gives for a page.
void readWhole(const char* path, const RecordingSelection& selection, RecordingExtent& extent) {
    forgetPageIndex();
    ASSERT_TRUE(loadRecording(path, whole, selection, &extent));
}

void expectSameTables(const RecordingTable& a, const RecordingTable& b, const char* what) {
    ASSERT_EQ(a.rowCount, b.rowCount) << what;
    EXPECT_EQ(0, memcmp(a.rows, b.rows, sizeof(RecordingRow) * a.rowCount)) << what;
    EXPECT_EQ(0, memcmp(a.missingFields, b.missingFields, sizeof(uint16_t) * a.rowCount)) << what;
    EXPECT_EQ(0, memcmp(a.times, b.times, sizeof(double) * a.rowCount)) << what;
}

} // namespace

TEST(PageIndex, PagesAndLinesAsReadWhole) {
    const std::string path = writeText("long.txt", preamble + rows(0, 130000));
    const double open = std::numeric_limits<double>::infinity();
    struct Case {
        RecordingSelection selection;
        long long pages[4];
        long long lines[4];
    };
    const Case cases[] = {
        {{-open, open, 0}, {0, 50000, 79999, 100000}, {0, 999, 1000, 129999}},
        {{100, 170, 0}, {0, 3000, 20000, 34999}, {0, 1, 4999, 29999}}, // 35000 of them
    };
    for (const Case& c : cases) {
        // The first read indexes the file; every later one starts at an entry.
        RecordingExtent first;
        forgetPageIndex();
        recordingSelection = c.selection;
        ASSERT_TRUE(readRecordingPage(path.c_str(), 0));
        first = recordingExtent;
        ASSERT_TRUE(pageIndex.valid);
        for (long long page : c.pages) {
            ASSERT_TRUE(readRecordingPage(path.c_str(), page)) << page;
            const RecordingExtent indexed = recordingExtent;
            EXPECT_TRUE(pageIndex.valid);
            RecordingSelection selection = c.selection;
            selection.firstSample = page;
            RecordingExtent extent;
            readWhole(path.c_str(), selection, extent);
            expectSameTables(recording, whole, ("page " + std::to_string(page)).c_str());
            EXPECT_EQ(0, memcmp(&extent, &indexed, sizeof extent)) << "page " << page;
            EXPECT_EQ(first.selectedSamples, extent.selectedSamples);
        }
        for (long long sample : c.lines) {
            char indexed[RECORDING_LINE_BUFFER], read[RECORDING_LINE_BUFFER];
            long long indexedLine = 0, readLine = 0;
            ASSERT_TRUE(readRecordingPage(path.c_str(), 0)); // indexed again
            ASSERT_TRUE(findSampleLine(path.c_str(), c.selection, sample, indexed, sizeof indexed,
                                       &indexedLine));
            forgetPageIndex();
            ASSERT_TRUE(
                findSampleLine(path.c_str(), c.selection, sample, read, sizeof read, &readLine));
            EXPECT_STREQ(read, indexed) << sample;
            EXPECT_EQ(readLine, indexedLine) << sample;
        }
    }
    recordingSelection = WHOLE_RECORDING;
}

// A recording still being written: the index reads on from its last whole
// line (a half-written line included later); a file written anew, longer
// or of the same size, is indexed anew.
TEST(PageIndex, FileThatGrowsOrIsWrittenAnew) {
    std::string text = preamble + rows(0, 60000) + "120,000\t60000\t1\t0,5";
    const std::string path = writeText("growing.txt", text);
    forgetPageIndex();
    recordingSelection = WHOLE_RECORDING;
    ASSERT_TRUE(readRecordingPage(path.c_str(), 0));
    const long long before = recordingExtent.selectedSamples;
    // The half-written line ends, more lines follow.
    writeText("growing.txt", "\t0,5\t\t0\t1\t0\t0\t1\t1\t1\t0\t1\n" + rows(60001, 125000), "ab");
    RecordingSelection selection = WHOLE_RECORDING;
    RecordingExtent extent;
    // The finished line's page, and pages from the entries noted on.
    for (long long page : {100000, 60000, 55000}) {
        ASSERT_TRUE(readRecordingPage(path.c_str(), page));
        const RecordingExtent grown = recordingExtent;
        EXPECT_GT(grown.selectedSamples, before);
        selection.firstSample = page;
        readWhole(path.c_str(), selection, extent);
        expectSameTables(recording, whole, ("after growing, page " + std::to_string(page)).c_str());
        EXPECT_EQ(0, memcmp(&extent, &grown, sizeof extent));
        if (page == 100000) { // the index is whole again: read on from there
            ASSERT_TRUE(readRecordingPage(path.c_str(), 0));
        }
    }

    // Written anew: other values, the same length, then longer.
    ASSERT_TRUE(readRecordingPage(path.c_str(), 50000));
    std::string anew = preamble + rows(0, 125000);
    for (char& c : anew)
        if (c == '1') c = '2';
    for (int longer = 0; longer < 2; longer++) {
        writeText("growing.txt", anew + (longer ? rows(0, 100) : ""));
        ASSERT_TRUE(readRecordingPage(path.c_str(), 50000));
        const RecordingExtent shown = recordingExtent;
        readWhole(path.c_str(), selection, extent);
        selection.firstSample = 50000;
        readWhole(path.c_str(), selection, extent);
        expectSameTables(recording, whole, longer ? "written anew, longer" : "written anew");
        EXPECT_EQ(shown.selectedSamples, extent.selectedSamples);
    }
    std::filesystem::remove(path);
}

// Entries beyond the table's room: the step doubles and every other entry
// goes, so that entry k stays the line of sample k * step.
TEST(PageIndex, FullIndexKeepsEveryOtherEntry) {
    beginPageIndex("x", WHOLE_RECORDING, 0);
    const long long notes = 5LL * PAGE_INDEX_CAPACITY / 2;
    for (long long k = 0; k < notes; k++)
        notePageIndexLine(k * PAGE_INDEX_FIRST_STEP, k * 100, k, k + 3, k * 0.5, k * 0.5);
    EXPECT_EQ(4 * PAGE_INDEX_FIRST_STEP, pageIndex.step);
    ASSERT_GT(pageIndex.count, PAGE_INDEX_CAPACITY / 2);
    for (int k = 0; k < pageIndex.count; k++)
        ASSERT_EQ(k * 4 * 100, pageIndex.entries[k].offset) << k;
    long long selected = -1;
    const PageIndexEntry* entry =
        pageIndexEntryBefore(4 * PAGE_INDEX_FIRST_STEP * 10 + 3, &selected);
    ASSERT_NE(nullptr, entry);
    EXPECT_EQ(4 * PAGE_INDEX_FIRST_STEP * 10, selected);
    EXPECT_EQ(40 * 100, entry->offset);
    // Time 20.2: entry 10 has 20 (sample 40000 x 0.5 / 1000), 11 has 22.
    EXPECT_EQ(4 * PAGE_INDEX_FIRST_STEP * 10, pageIndexSampleBeforeTime(20.2));
    EXPECT_EQ(0, pageIndexSampleBeforeTime(-1));
    forgetPageIndex();
}
