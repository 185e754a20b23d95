// The recording reader against files the tests write, and against the same
// rules written out literally with fgets/strtok/atof.
#include "literal_reader.h"
#include "platform/platform.h"
#include "recording/recording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <functional>
#include <string>
#include <filesystem>
#include <limits>
#include <vector>

namespace {

RecordingTable table;
RecordingTable reference;

std::string tempPath(const std::string& name) {
    return ::testing::TempDir() + "quelvist_" + name;
}

// With QUELVIST_SAVE_CORPUS set, every small case is also kept there as a
// seed for the fuzzer (tests/fuzz/corpus).
void keepForFuzzing(const std::string& content) {
    const char* dir = getenv("QUELVIST_SAVE_CORPUS");
    if (!dir || content.size() > 20000) return;
    std::string path = std::string(dir) + "/" + std::to_string(std::hash<std::string>{}(content));
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return;
    fwrite(content.data(), 1, content.size(), f);
    fclose(f);
}

std::string writeFile(const std::string& name, const std::string& content) {
    keepForFuzzing(content);
    std::string path = tempPath(name);
    FILE* f = fopen(path.c_str(), "wb");
    fwrite(content.data(), 1, content.size(), f);
    fclose(f);
    return path;
}

// Reads content with both readers, checks they agree bit for bit and
// returns the row count.
int readBoth(const std::string& content) {
    std::string path = writeFile("case.txt", content);
    EXPECT_TRUE(loadRecording(path.c_str(), table));
    loadRecordingLiterally(path.c_str(), reference);
    EXPECT_EQ(table.rowCount, reference.rowCount);
    EXPECT_EQ(0, memcmp(table.rows, reference.rows, sizeof(RecordingRow) * table.rowCount))
        << "fast and literal readers differ";
    EXPECT_EQ(
        0, memcmp(table.missingFields, reference.missingFields, sizeof(uint16_t) * table.rowCount))
        << "fast and literal readers find other missing fields";
    EXPECT_EQ(0, memcmp(table.times, reference.times, sizeof(double) * table.rowCount))
        << "fast and literal readers read other times";
    return table.rowCount;
}

const std::string header = "Time\tLeft\tRight\n";

} // namespace

TEST(Reader, DecimalCommasAndPointsAndSingleTabs) {
    ASSERT_EQ(1, readBoth(header + "1,5\t-2,25\t3\n"));
    EXPECT_FLOAT_EQ(1.5f, table.rows[0].col[0]);
    EXPECT_FLOAT_EQ(-2.25f, table.rows[0].col[1]);
    EXPECT_FLOAT_EQ(3.0f, table.rows[0].col[2]);
    EXPECT_EQ(0.0f, table.rows[0].col[3]);

    ASSERT_EQ(2, readBoth(header + "1.234,5\t7.5\n 0,25\t+4\n"));
    EXPECT_FLOAT_EQ(1.234f, table.rows[0].col[0]); // becomes 1.234.5
    EXPECT_FLOAT_EQ(7.5f, table.rows[0].col[1]);
    EXPECT_FLOAT_EQ(0.25f, table.rows[1].col[0]);
    EXPECT_FLOAT_EQ(4.0f, table.rows[1].col[1]);
}

TEST(Reader, TabsAtEitherEndAndEmptyFieldsShiftValuesLeft) {
    // Lines with another number of fields than the header's three.
    ASSERT_EQ(3, readBoth(header + "\t7\t8\t9\n1\t\t\t2\n5\t\t\t6\t\n"));
    EXPECT_EQ(7.0f, table.rows[0].col[0]);
    EXPECT_EQ(8.0f, table.rows[0].col[1]);
    EXPECT_EQ(1.0f, table.rows[1].col[0]);
    EXPECT_EQ(2.0f, table.rows[1].col[1]);
    EXPECT_EQ(6.0f, table.rows[2].col[1]);
    EXPECT_EQ(0.0f, table.rows[2].col[2]); // the line end after the tab
}

TEST(Reader, EmptyLinesStoreZeroRowsAndFinalLineEndAddsNone) {
    ASSERT_EQ(3, readBoth(header + "1\n\n2\n"));
    for (float v : table.rows[1].col)
        EXPECT_EQ(0.0f, v);
    EXPECT_EQ(2.0f, table.rows[2].col[0]);
    // Without a final line end the last line still counts once.
    ASSERT_EQ(2, readBoth(header + "1\n2"));
    EXPECT_EQ(2.0f, table.rows[1].col[0]);
}

TEST(Reader, HeaderRules) {
    EXPECT_EQ(0, readBoth("1\t2\n3\t4\n")); // no header at all
    EXPECT_EQ(0, readBoth("pre\namble\nTime\tx\n"));
    EXPECT_EQ(0, readBoth("pre\nTime"));
    EXPECT_EQ(1, readBoth("Timestamp\tx\n5\n"));
    EXPECT_EQ(0, readBoth("time\tx\n5\n")); // case-sensitive
    EXPECT_EQ(0, readBoth(""));
    // Preamble lines are skipped whatever they hold; a later "Time" line is data.
    ASSERT_EQ(2, readBoth("1\t2\n\tTime\nTime\n3\nTime\t9\n"));
    EXPECT_EQ(3.0f, table.rows[0].col[0]);
    EXPECT_EQ(0.0f, table.rows[1].col[0]);
    EXPECT_EQ(9.0f, table.rows[1].col[1]);
}

TEST(Reader, OverLongLinesAreReadInPiecesOf799) {
    // Before the header: the second piece of a long line can be the header.
    std::string preamble(799, 'x');
    ASSERT_EQ(1, readBoth(preamble + "Time\n4\n"));
    EXPECT_EQ(4.0f, table.rows[0].col[0]);
    // A preamble piece that does not begin with "Time" is skipped.
    std::string longPreamble(900, 'y');
    longPreamble += "Time\n4\n";
    EXPECT_EQ(0, readBoth(longPreamble));

    // After the header: every piece becomes a row of its own.
    std::string longLine;
    while (longLine.size() < 799)
        longLine += "1\t";
    longLine.resize(799);                             // ends in "1"
    ASSERT_EQ(2, readBoth(header + longLine + "\n")); // the "\n" is a piece too
    EXPECT_EQ(1.0f, table.rows[0].col[0]);
    for (float v : table.rows[1].col)
        EXPECT_EQ(0.0f, v);
    ASSERT_EQ(2, readBoth(header + longLine + "25\t3\n"));
    EXPECT_EQ(25.0f, table.rows[1].col[0]);
    EXPECT_EQ(3.0f, table.rows[1].col[1]);
    // The rest of an over-long header line is a data row.
    ASSERT_EQ(2, readBoth("Time" + std::string(795, '\t') + "8\t9\n1\n"));
    EXPECT_EQ(8.0f, table.rows[0].col[0]);
}

TEST(Reader, OnlyFifteenColumnsAreKept) {
    std::string line;
    for (int i = 1; i <= 20; i++)
        line += std::to_string(i) + "\t";
    ASSERT_EQ(1, readBoth(header + line + "\n"));
    for (int i = 0; i < RECORDING_COLUMNS; i++)
        EXPECT_EQ(i + 1.0f, table.rows[0].col[i]);
}

TEST(Reader, StopsAtTheTableSize) {
    std::string content = header;
    for (int i = 0; i < RECORDING_CAPACITY + 17; i++)
        content += std::to_string(i) + "\n";
    ASSERT_EQ(RECORDING_CAPACITY, readBoth(content));
    EXPECT_EQ(49999.0f, table.rows[RECORDING_CAPACITY - 1].col[0]);
}

TEST(Reader, WindowsLineEnds) {
    ASSERT_EQ(2, readBoth("pre\r\nTime\tx\r\n1,5\t2\r\n\r\n"));
    EXPECT_EQ(1.5f, table.rows[0].col[0]);
    EXPECT_EQ(2.0f, table.rows[0].col[1]);
    EXPECT_EQ(0.0f, table.rows[1].col[0]);
}

TEST(Reader, NumberPrefixes) {
    ASSERT_EQ(1, readBoth(header + "1,5e3\t2E-2\t1e\t1e+\t3x\t-\t.5\t5.\t0x1p3\tinf\t-nan\t1inf\t"
                                   "-0x10\t,25\tabc\n"));
    const float* c = table.rows[0].col;
    EXPECT_EQ(1500.0f, c[0]);
    EXPECT_FLOAT_EQ(0.02f, c[1]);
    EXPECT_EQ(1.0f, c[2]);
    EXPECT_EQ(1.0f, c[3]);
    EXPECT_EQ(3.0f, c[4]);
    EXPECT_EQ(0.0f, c[5]);
    EXPECT_EQ(0.5f, c[6]);
    EXPECT_EQ(5.0f, c[7]);
    EXPECT_EQ(0.0f, c[8]);
    EXPECT_EQ(0.0f, c[9]);
    EXPECT_EQ(0.0f, c[10]);
    EXPECT_EQ(1.0f, c[11]);
    EXPECT_TRUE(c[12] == 0.0f && std::signbit(c[12])); // "-0"
    EXPECT_EQ(0.25f, c[13]);
    EXPECT_EQ(0.0f, c[14]);
}

TEST(Reader, OutOfRangeValues) {
    ASSERT_EQ(1, readBoth(header + "1e400\t-1e400\t1e-400\t1e39\t-1e-400\t4e-320\t" +
                          std::string(320, '9') + "\t0," + std::string(350, '0') + "1\n"));
    const float* c = table.rows[0].col;
    EXPECT_TRUE(std::isinf(c[0]) && c[0] > 0);
    EXPECT_TRUE(std::isinf(c[1]) && c[1] < 0);
    EXPECT_EQ(0.0f, c[2]);
    EXPECT_TRUE(std::isinf(c[3]));
    EXPECT_TRUE(c[4] == 0.0f && std::signbit(c[4]));
    EXPECT_EQ(0.0f, c[5]);
    EXPECT_TRUE(std::isinf(c[6]));
    EXPECT_EQ(0.0f, c[7]);
}

TEST(Reader, NulBytesEndTheLineAsAStringWould) {
    std::string content = header + "1\t2";
    content += '\0';
    content += "\t3\n4\n";
    ASSERT_EQ(2, readBoth(content));
    EXPECT_EQ(2.0f, table.rows[0].col[1]);
    EXPECT_EQ(0.0f, table.rows[0].col[2]);
    EXPECT_EQ(4.0f, table.rows[1].col[0]);
}

TEST(Reader, RandomNumbersRoundExactlyAsAtof) {
    std::mt19937 random(12345);
    std::string content = header;
    auto digits = [&](int n) {
        std::string s;
        for (int i = 0; i < n; i++)
            s += static_cast<char>('0' + random() % 10);
        return s;
    };
    for (int row = 0; row < 4000; row++) {
        for (int col = 0; col < 15; col++) {
            std::string field;
            if (random() % 2) field += '-';
            field += digits(1 + random() % 20);
            if (random() % 3) field += (random() % 2 ? ',' : '.') + digits(random() % 25);
            if (random() % 4 == 0)
                field += "e" + std::to_string(static_cast<int>(random() % 700) - 350);
            content += field + (col < 14 ? "\t" : "\n");
        }
    }
    EXPECT_EQ(4000, readBoth(content));
}

TEST(Reader, SameNumbersUnderAGermanLocale) {
    // The name on Linux, then on Windows.
    ASSERT_TRUE(setlocale(LC_ALL, "de_DE.UTF-8") || setlocale(LC_ALL, "German_Germany.1252"))
        << "the de_DE.UTF-8 locale is missing: run tools/setup.sh";
    std::string path = writeFile("german.txt", header + "1.5\t2,5\t-3.25e1\n");
    EXPECT_TRUE(loadRecording(path.c_str(), table));
    setlocale(LC_ALL, "C");
    ASSERT_EQ(1, table.rowCount);
    EXPECT_EQ(1.5f, table.rows[0].col[0]);
    EXPECT_EQ(2.5f, table.rows[0].col[1]);
    EXPECT_EQ(-32.5f, table.rows[0].col[2]);
}

TEST(Reader, UnreadablePaths) {
    EXPECT_FALSE(loadRecording(tempPath("does-not-exist.txt").c_str(), table));
    EXPECT_FALSE(loadRecording(::testing::TempDir().c_str(), table)); // a directory
    EXPECT_EQ(0, table.rowCount);
}

// The shipped sample and the large generated recording read the same with
// both readers; the generated files' paths come from the environment.
TEST(Reader, SampleAndLargeRecordingsMatchTheLiteralReader) {
    for (const char* variable : {"QUELVIST_SAMPLE", "QUELVIST_LARGE_RECORDING"}) {
        const char* path = getenv(variable);
        if (!path) {
            ADD_FAILURE() << variable << " is not set";
            continue;
        }
        ASSERT_TRUE(loadRecording(path, table)) << path;
        loadRecordingLiterally(path, reference);
        EXPECT_GT(table.rowCount, 20000);
        EXPECT_EQ(table.rowCount, reference.rowCount);
        EXPECT_EQ(0, memcmp(table.rows, reference.rows, sizeof(RecordingRow) * table.rowCount));
    }
}

// Files from other programs and damaged exports: the reader never crashes,
// always agrees with the literal reading, and gives the rows the rules give.
TEST(HostileFiles, RandomBinaryData) {
    std::mt19937 random(99);
    std::string content(1 << 20, '\0');
    for (char& c : content)
        c = static_cast<char>(random());
    readBoth(content); // no header: whatever it holds, both agree
    content.replace(1000, 5, "\nTime");
    EXPECT_GT(readBoth(content), 0);
}

TEST(HostileFiles, OneTenMegabyteLine) {
    std::string line;
    line.reserve(10 << 20);
    while (line.size() < (10u << 20))
        line += "12,5\t-3\t";
    int rows = readBoth(header + line + "\n");
    EXPECT_EQ(static_cast<int>((line.size() + 1 + 798) / 799), rows); // pieces of 799
}

TEST(HostileFiles, ManyLinesWithoutHeader) {
    std::string content;
    for (int i = 0; i < 200000; i++)
        content += "1,5\t2\t3\n";
    EXPECT_EQ(0, readBoth(content));
}

TEST(HostileFiles, BytesThatAreNotUtf8) {
    ASSERT_EQ(2, readBoth(header + "\xff\xfe"
                                   "5\t7\x80\t\xc3\xa9"
                                   "3\n\x80\x81\x82\n"));
    EXPECT_EQ(0.0f, table.rows[0].col[0]);
    EXPECT_EQ(7.0f, table.rows[0].col[1]);
    EXPECT_EQ(0.0f, table.rows[0].col[2]);
}

TEST(HostileFiles, PathsOfEveryKind) {
    // A dangling symbolic link cannot be opened.
    std::string link = tempPath("dangling.txt");
    std::error_code ignored;
    std::filesystem::remove(link, ignored);
    std::filesystem::create_symlink("/nonexistent/recording.txt", link, ignored);
    EXPECT_FALSE(loadRecording(link.c_str(), table));

    // '%' in a name is just a character.
    std::string percent = writeFile("%s%n%x.txt", header + "4\n");
    EXPECT_TRUE(loadRecording(percent.c_str(), table));
    EXPECT_EQ(1, table.rowCount);

    // A path of 4000 characters is used whole.
    std::string dir = ::testing::TempDir() + "quelvist_long";
    std::filesystem::create_directory(dir, ignored);
    while (dir.size() < 3700) {
        dir += "/" + std::string(200, 'd');
        std::filesystem::create_directory(dir, ignored);
    }
    std::string path = dir + "/" + std::string(3990 - dir.size(), 'r') + ".txt";
    ASSERT_EQ(3995u, path.size());
    FILE* f = openFile(path.c_str(), "w");
    ASSERT_NE(nullptr, f);
    fputs("Time\n1\n2\n", f);
    fclose(f);
    EXPECT_TRUE(loadRecording(path.c_str(), table));
    EXPECT_EQ(2, table.rowCount);
    // The same path cut at 259 characters would name nothing.
    EXPECT_FALSE(loadRecording(path.substr(0, 259).c_str(), table));
}

// A file longer than the table is read a page at a time; the whole file is
// counted, and the notice says which part the table holds.
TEST(Paging, PagesThroughALongRecording) {
    const char* path = getenv("QUELVIST_LARGE_RECORDING"); // 120000 samples at 500 Hz
    ASSERT_TRUE(path);
    struct Page {
        long long start;
        int rows;
        float firstTime, lastTime;
        long long next, previous;
    };
    const Page pages[] = {{0, 50000, 0.0f, 99.998f, 50000, 0},
                          {50000, 50000, 100.0f, 199.998f, 100000, 0},
                          {100000, 20000, 200.0f, 239.998f, 100000, 50000}};
    for (const Page& page : pages) {
        RecordingExtent extent;
        RecordingSelection selection = WHOLE_RECORDING;
        selection.firstSample = page.start;
        ASSERT_TRUE(loadRecording(path, table, selection, &extent));
        EXPECT_EQ(page.rows, table.rowCount) << page.start;
        EXPECT_EQ(120000, extent.selectedSamples);
        EXPECT_EQ(page.firstTime, table.rows[0].col[0]) << page.start;
        EXPECT_EQ(page.lastTime, table.rows[table.rowCount - 1].col[0]) << page.start;
        if (table.rowCount < RECORDING_CAPACITY) { // the row after stays zero
            EXPECT_EQ(0.0f, table.rows[table.rowCount].col[0]);
        }
        EXPECT_EQ(page.next, neighbourPageStart(extent, 1));
        EXPECT_EQ(page.previous, neighbourPageStart(extent, -1));
    }
    RecordingExtent extent;
    loadRecording(path, table, WHOLE_RECORDING, &extent);
    char text[200];
    EXPECT_TRUE(describeRecordingPage(text, sizeof text, extent, table));
    EXPECT_STREQ(
        "samples 1-50000 of 120000 (0.000-99.998 s of 239.998 s)  PgDn/PgUp: next/previous", text);
    loadRecording(path, table, {10.0, 20.0, 0}, &extent);
    EXPECT_FALSE(describeRecordingPage(text, sizeof text, extent, table)); // a range that fits
    EXPECT_STREQ("", text);
}

// --from and --to keep the samples whose Time lies in [from, to), in file order.
TEST(Paging, TimeRangeKeepsSamplesInside) {
    const std::string path =
        writeFile("range.txt", header + "1\t11\n3\t33\n2\t22\n5\t55\n4,5\t45\n\n-1\t-11\ninf\t9\n");
    struct Case {
        double from, to;
        std::vector<float> values; // column 1 of the rows kept
    };
    const double none = std::numeric_limits<double>::infinity();
    const Case cases[] = {{2, 5, {33, 22, 45}},
                          {-none, 3, {11, 22, 0, -11, 9}}, // "inf" reads as 0 from "i"
                          {4.5, none, {55, 45}},
                          {100, 200, {}}};
    for (const Case& c : cases) {
        RecordingExtent extent;
        ASSERT_TRUE(loadRecording(path.c_str(), table, {c.from, c.to, 0}, &extent));
        ASSERT_EQ(static_cast<int>(c.values.size()), table.rowCount) << c.from << " " << c.to;
        for (int i = 0; i < table.rowCount; i++)
            EXPECT_EQ(c.values[i], table.rows[i].col[1]) << c.from << " row " << i;
        EXPECT_EQ(table.rowCount, extent.selectedSamples);
        for (int i = table.rowCount; i < 8; i++)
            EXPECT_EQ(0.0f, table.rows[i].col[1]); // rows read and dropped are cleared
    }
}

namespace {

const std::string exportHeader = "Time\tc1\tc2\tLH\tLV\tLT\tc6\tLS\tc8\tc9\tRH\tRV\tRT\tc13\tRS\n";

// One sample as an exporter writes it: fifteen cells, any of them text.
std::string exportLine(const char* time, const char* left[3], const char* right[3]) {
    return std::string(time) + "\t0\t0\t" + left[0] + "\t" + left[1] + "\t" + left[2] +
           "\t0\t0,5\t0\t0\t" + right[0] + "\t" + right[1] + "\t" + right[2] + "\t0\t0,5\n";
}

std::string utf16(const std::string& text, bool littleEndian) {
    std::string out = littleEndian ? "\xff\xfe" : "\xfe\xff";
    for (char c : text) {
        out += littleEndian ? c : '\0';
        out += littleEndian ? '\0' : c;
    }
    return out;
}

} // namespace

// Files from real exports: empty cells, NaN cells, preambles with "Time" in
// them, byte-order marks, and files that hold no samples at all, each with
// the line that says why.
TEST(Reader, ExportsAsTrackersWriteThem) {
    const char* eye[3] = {"1,5", "-2", "0,25"};
    const char* empty[3] = {"", "", ""};
    const char* nan[3] = {"NaN", "nan", "0,5"};
    const std::string rightOnly =
        exportHeader + exportLine("0,000", empty, eye) + exportLine("0,004", empty, eye);
    const std::string blink = exportHeader + exportLine("0,000", eye, eye) +
                              exportLine("0,004", empty, empty) + exportLine("0,008", eye, eye);
    const std::string oneEyeNan = exportHeader + exportLine("0,000", nan, eye);
    const std::string preamble = "Time of recording:\t10:42:17\nSubject\tS01\n\n" + exportHeader +
                                 exportLine("0,000", eye, eye) + exportLine("0,004", eye, eye);
    const char* noTorsion[3] = {"1,5", "-2", "NaN"};
    const char* noHorizontal[3] = {"", "-2", "0,25"};
    std::string trailingTab = exportLine("0,000", noHorizontal, eye);
    trailingTab.insert(trailingTab.size() - 1, "\t");
    struct Case {
        const char* name;
        std::string content;
        int rows;
        float rightH;                               // row 0's column 10
        std::vector<int> leftMissing, rightMissing; // per row
        const char* trouble;
    };
    const Case cases[] = {
        {"right eye only", rightOnly, 2, 1.5f, {1, 1}, {0, 0}, ""},
        {"blink as empty cells", blink, 3, 1.5f, {0, 1, 0}, {0, 1, 0}, ""},
        {"NaN in the left eye only", oneEyeNan, 1, 1.5f, {1}, {0}, ""},
        {"preamble line beginning with Time", preamble, 2, 1.5f, {0, 0}, {0, 0}, ""},
        {"preamble Time line over a line beginning with a number",
         "Time of recording:\t10:42:17\n2 eyes, 500 Hz\n" + exportHeader +
             exportLine("0,000", eye, eye),
         1,
         1.5f,
         {0},
         {0},
         ""},
        {"preamble Time line, a blank line, the header",
         "Time of recording:\n\n" + exportHeader + exportLine("0,000", eye, eye),
         1,
         1.5f,
         {0},
         {0},
         ""},
        {"torsion not tracked",
         exportHeader + exportLine("0,000", noTorsion, eye),
         1,
         1.5f,
         {0},
         {0},
         ""},
        {"empty cell and a tab before the line end",
         exportHeader + trailingTab,
         1,
         1.5f,
         {1},
         {0},
         ""},
        {"header and rows with a tab before the line end",
         "Time\tc1\tc2\tLH\tLV\tLT\tc6\tLS\tc8\tc9\tRH\tRV\tRT\tc13\tRS\t\n" + trailingTab,
         1,
         1.5f,
         {1},
         {0},
         ""},
        {"an empty last column (Event) and an empty Marker",
         exportHeader.substr(0, exportHeader.size() - 1) + "\tEvent\n" +
             "0,000\t0\t0\t1,5\t-2\t0,25\t0\t0,5\t\t0\t1,5\t-2\t0,25\t0\t0,5\t\n" +
             "0,004\t0\t0\t\t\t\t0\t0,5\t\t0\t1,5\t-2\t0,25\t0\t0,5\tstart\n",
         2,
         1.5f,
         {0, 1},
         {0, 0},
         ""},
        {"too few columns",
         "Time\tHor\tVer\n0\t1\t2\n0.01\t1\t2\n",
         2,
         0,
         {},
         {},
         "No samples: the eye columns start at column 4; this file has 3 columns"},
        {"UTF-8 byte-order mark", "\xef\xbb\xbf" + preamble, 2, 1.5f, {0, 0}, {0, 0}, ""},
        {"UTF-16 little-endian", utf16(preamble, true), 2, 1.5f, {0, 0}, {0, 0}, ""},
        {"UTF-16 big-endian", utf16(preamble, false), 2, 1.5f, {0, 0}, {0, 0}, ""},
        {"empty file", "", 0, 0, {}, {}, "No samples: the file is empty"},
        {"header, no rows",
         exportHeader,
         0,
         0,
         {},
         {},
         "No samples: no line follows the Time line"},
        {"no header", "1\t2\n3\t4\n", 0, 0, {}, {}, "No samples: no line begins with Time"},
        {"lower-case header",
         "time\tx\n1\t2\n",
         0,
         0,
         {},
         {},
         "No samples: no line begins with Time (one begins with time)"},
        {"UTF-16 without mark",
         utf16(preamble, true).substr(2),
         0,
         0,
         {},
         {},
         "This file is UTF-16 text; save it as UTF-8 or ANSI text"},
        {"comma-separated",
         "Time,LH,LV\n0.0,1.5,2\n0.1,1.5,2\n",
         0,
         0,
         {},
         {},
         "No samples: the columns are separated by commas, not tabs; export tab-separated text"},
        {"semicolon-separated",
         "Time;LH;LV\n0,0;1,5;2\n",
         0,
         0,
         {},
         {},
         "No samples: the columns are separated by semicolons, not tabs; export tab-separated "
         "text"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool marked = c.content.size() >= 2 && (c.content[0] & 0xfe) == 0xfe;
        RecordingExtent extent;
        const std::string path = writeFile("export.txt", c.content);
        if (marked) {
            ASSERT_TRUE(loadRecording(path.c_str(), table, WHOLE_RECORDING, &extent));
        } else {
            readBoth(c.content);
            loadRecording(path.c_str(), table, WHOLE_RECORDING, &extent);
        }
        ASSERT_EQ(c.rows, table.rowCount);
        char text[200];
        EXPECT_EQ(*c.trouble != 0,
                  describeRecordingTrouble(text, sizeof text, extent, WHOLE_RECORDING));
        EXPECT_STREQ(c.trouble, text);
        if (!c.rows || *c.trouble) continue;
        EXPECT_EQ(c.rightH, table.rows[0].col[10]);
        EXPECT_EQ(-2.0f, table.rows[0].col[11]);
        EXPECT_EQ(0.5f, table.rows[0].col[14]); // the columns after the gap stay put
        for (int i = 0; i < c.rows; i++) {
            EXPECT_EQ(c.leftMissing[i], eyeSampleMissing(table, i, 3)) << "row " << i;
            EXPECT_EQ(c.rightMissing[i], eyeSampleMissing(table, i, 10)) << "row " << i;
        }
    }
}

// Preamble lines above a real header change nothing of what is read, and the
// line of a picked sample is the line the reader read, whatever lies above.
TEST(Reader, PreambleAboveTheSampleChangesNothing) {
    const char* sample = getenv("QUELVIST_SAMPLE");
    ASSERT_TRUE(sample);
    FILE* f = fopen(sample, "rb");
    ASSERT_TRUE(f);
    std::string text;
    char buffer[65536];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, f)) > 0;)
        text.append(buffer, n);
    fclose(f);
    static RecordingTable plain;
    ASSERT_TRUE(loadRecording(sample, plain));
    const std::string firstRow =
        text.substr(text.find("\n0,000") + 1,
                    text.find('\n', text.find("\n0,000") + 1) - text.find("\n0,000") - 1);
    for (const std::string& above :
         {std::string("Time of recording:\t10:42:17\n2 eyes, 500 Hz\n"),
          std::string("Time of recording:\n\n"), std::string("Time\n\n")}) {
        SCOPED_TRACE(above);
        const std::string path = writeFile("preamble.txt", above + text);
        ASSERT_TRUE(loadRecording(path.c_str(), table));
        ASSERT_EQ(plain.rowCount, table.rowCount);
        EXPECT_EQ(0, memcmp(plain.rows, table.rows, sizeof(RecordingRow) * plain.rowCount));
        char line[RECORDING_LINE_BUFFER];
        ASSERT_TRUE(findSampleLine(path.c_str(), WHOLE_RECORDING, 0, line, sizeof line));
        EXPECT_EQ(firstRow, line);
    }
}

// A picked sample's line number is the file's, as an editor counts lines:
// preamble, header, blank rows (samples too), CRLF ends, a range chosen.
TEST(Reader, SampleLineNumberIsTheFilesLine) {
    struct Case {
        const char* name;
        std::string above; // preamble and header
        const char* end;   // each line's end
        bool blankRow;     // a blank line after the third sample
        RecordingSelection selection;
        long long sample;   // of those the selection keeps, from 0
        const char* marker; // what stands only in that sample's line
    };
    const Case cases[] = {
        {"header first", header, "\n", false, WHOLE_RECORDING, 0, "\t100\t"},
        {"preamble, CRLF", "Export 3\r\nSubject\r\n\r\nTime\tn\r\n", "\r\n", false, WHOLE_RECORDING,
         5, "\t105\t"},
        {"after a blank row", "Time of recording:\n" + header, "\n", true, WHOLE_RECORDING, 5,
         "\t104\t"},
        {"from 0.02 s", header, "\n", false, {0.02, WHOLE_RECORDING.to, 0}, 1, "\t103\t"},
    };
    for (const Case& c : cases) {
        std::string content = c.above;
        for (int i = 0; i < 8; i++) {
            content +=
                "0.0" + std::to_string(i) + "\t" + std::to_string(100 + i) + "\t0\t1\t2" + c.end;
            if (c.blankRow && i == 2) content += c.end;
        }
        const std::string path = writeFile("lines.txt", content);
        const size_t at = content.find(c.marker);
        const long long expected = std::count(content.begin(), content.begin() + at, '\n') + 1;
        char line[RECORDING_LINE_BUFFER];
        long long number = -1;
        ASSERT_TRUE(findSampleLine(path.c_str(), c.selection, c.sample, line, sizeof line, &number))
            << c.name;
        EXPECT_NE(nullptr, strstr(line, c.marker)) << c.name << ": " << line;
        EXPECT_EQ(expected, number) << c.name;
    }
}

// A range holds exactly the samples whose Time as written lies in it.
TEST(Paging, RangeBoundsAreTheWrittenTimes) {
    std::string content = header;
    for (int i = 0; i < 1000; i++) { // 500 Hz, three decimals, as exports write it
        char line[40];
        snprintf(line, sizeof line, "%d.%03d\t%d\t0\t1\t2\n", i * 2 / 1000, i * 2 % 1000, i);
        content += line;
    }
    const std::string path = writeFile("500hz.txt", content);
    struct Case {
        double from, to;
        int rows;
        float first; // column 1 of the first row: the sample number
    };
    const double open = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {0.7, 0.8, 50, 350}, {-open, 0.01, 5, 0}, {0.01, 0.012, 1, 5}, {1.998, open, 1, 999}};
    for (const Case& c : cases) {
        RecordingExtent extent;
        loadRecording(path.c_str(), table, {c.from, c.to, 0}, &extent);
        EXPECT_EQ(c.rows, table.rowCount) << c.from << " " << c.to;
        EXPECT_EQ(c.first, table.rows[0].col[1]) << c.from << " " << c.to;
    }
    RecordingExtent extent;
    const RecordingSelection late = {1000, open, 0};
    loadRecording(path.c_str(), table, late, &extent);
    char text[200];
    ASSERT_TRUE(describeRecordingTrouble(text, sizeof text, extent, late));
    EXPECT_STREQ("No samples between 1000 s and the end (the recording ends at 1.998 s)", text);
}

// Paging keeps what is shown when the file has gone, and goes to the last
// page there is when the file has become shorter.
TEST(Paging, FileGoneOrShorterBetweenPages) {
    std::string content = header;
    for (int i = 0; i < 120000; i++)
        content += std::to_string(i) + "\t1\n";
    const std::string path = writeFile("paged.txt", content);
    recordingSelection = WHOLE_RECORDING;
    ASSERT_TRUE(readRecordingPage(path.c_str(), 50000));
    const RecordingExtent shown = recordingExtent;
    ASSERT_EQ(50000.0f, recording.rows[0].col[0]);

    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    EXPECT_FALSE(readRecordingPage(path.c_str(), 100000));
    EXPECT_EQ(0, memcmp(&shown, &recordingExtent, sizeof shown));
    EXPECT_EQ(50000.0f, recording.rows[0].col[0]);
    EXPECT_EQ(50000, recording.rowCount);
    EXPECT_NE(nullptr, strstr(recordingPageNotice, "again"));
    std::filesystem::remove(path);

    std::string shorter = header;
    for (int i = 0; i < 30000; i++)
        shorter += std::to_string(i) + "\t2\n";
    writeFile("paged.txt", shorter);
    EXPECT_TRUE(readRecordingPage(path.c_str(), 100000));
    EXPECT_STREQ("", recordingPageNotice);
    EXPECT_EQ(30000, recording.rowCount);
    EXPECT_EQ(0.0f, recording.rows[0].col[0]);
    EXPECT_EQ(2.0f, recording.rows[29999].col[1]);
    EXPECT_EQ(0.0f, recording.rows[30000].col[1]); // the longer page's rows are gone
    EXPECT_EQ(0, recordingExtent.firstSample);
    EXPECT_EQ(30000, recordingExtent.selectedSamples);
}

// Another recording replaces the one shown only when it has samples; its
// first page is read whatever the old selection was, and the path becomes
// its. Otherwise everything stays and the reason names both files.
TEST(Paging, AnotherRecordingReplacesOnlyWithSamples) {
    std::string first = header, second = header;
    for (int i = 0; i < 60000; i++)
        first += std::to_string(i) + "\t1\t0\t3\n";
    for (int i = 0; i < 100; i++)
        second += std::to_string(i) + "\t0\t0\t2\n";
    const std::string one = writeFile("first.txt", first), two = writeFile("second.txt", second);
    const std::string bad = writeFile("two-columns.txt", "Time\tx\n0\t1\n");
    const std::string noTime = writeFile("no-time.txt", "Subject 7\n0\t1\t2\t3\n");
    const std::string semicolons = writeFile("semicolons.txt", "Time;a;b;c\n0;1;2;3\n");
    const std::string empty = writeFile("empty.txt", "");
    recordingSelection = WHOLE_RECORDING;
    recordingSelection.from = 5;
    snprintf(recordingPath, RECORDING_PATH_CAPACITY, "%s", one.c_str());
    ASSERT_TRUE(readRecordingPage(one.c_str(), 50000));
    struct Case {
        std::string path;
        bool opens;
        const char* why; // a part of the reason
        int rows;
        float lastColumn3;
    };
    const Case cases[] = {{two, true, "", 100, 2},
                          {bad, false, "No samples: the eye columns start at column 4", 100, 2},
                          {noTime, false, "No samples: no line begins with Time", 100, 2},
                          {semicolons, false, "separated by semicolons", 100, 2},
                          {empty, false, "No samples: the file is empty", 100, 2},
                          {"/nonexistent/x.txt", false, "Could not open", 100, 2},
                          {one, true, "", 50000, 3}};
    for (const Case& c : cases) {
        char why[400] = "x";
        const std::string before = recordingPath;
        EXPECT_EQ(c.opens, openOtherRecording(c.path.c_str(), why, sizeof why)) << c.path;
        EXPECT_NE(nullptr, strstr(why, c.why)) << why;
        EXPECT_EQ(c.opens ? c.path : before, std::string(recordingPath));
        if (!c.opens) {
            EXPECT_NE(nullptr, strstr(why, (before + " stays").c_str())) << why;
        }
        EXPECT_EQ(c.rows, recording.rowCount) << c.path;
        EXPECT_EQ(c.lastColumn3, recording.rows[recording.rowCount - 1].col[3]);
        if (recording.rowCount < RECORDING_CAPACITY) { // no rows left over
            EXPECT_EQ(0.0f, recording.rows[recording.rowCount].col[3]);
        }
        EXPECT_EQ(0, recordingExtent.firstSample);
        EXPECT_EQ(0.0f, recording.rows[0].col[0]); // from the start, not from 5 s
    }
}

// The trail goes back from the newest sample while the times lie within the
// window and run forwards.
TEST(Paging, TrailEndsWhereTimeRunsBackwards) {
    struct Case {
        const char* name;
        std::vector<float> times;
        int start; // trailStart over all rows, 2 s
    };
    const Case cases[] = {
        {"steady", {0, 0.5f, 1, 1.5f, 2, 2.5f}, 2},
        {"clock restarted", {50, 51, 52, 53, 0, 0.5f, 1}, 4},
        {"stray line with time 0 is the newest", {8, 8.5f, 9, 0}, 3},
        {"after a stray line", {7.5f, 8, 8.5f, 0, 9, 9.5f}, 4},
        {"one sample", {3}, 0},
    };
    for (const Case& c : cases) {
        RecordingTable& rows = table;
        const int count = static_cast<int>(c.times.size());
        for (int i = 0; i < count; i++)
            rows.rows[i].col[0] = c.times[i];
        rows.rowCount = count;
        EXPECT_EQ(c.start, trailStart(rows, count, 2.0)) << c.name;
    }
}

// Long UTF-16 files read as their UTF-8 text, to the last sample; a file
// aligned with doubled tabs throughout is read by runs of tabs; times past
// 16384 s are still compared as written.
TEST(Reader, LongUnicodeAlignedAndLateFiles) {
    std::string text = "Time\tLH\tLV\n";
    for (int i = 0; i < 36866; i++)
        text += std::to_string(i) + "\t" + std::to_string(i % 7) + ",5\t1\n";
    readBoth(text);
    static RecordingTable plain; // 3 MB: too large for a thread's stack on Windows
    plain = table;
    for (bool little : {true, false}) {
        RecordingExtent extent;
        const std::string path = writeFile("long16.txt", utf16(text, little));
        ASSERT_TRUE(loadRecording(path.c_str(), table, WHOLE_RECORDING, &extent));
        ASSERT_EQ(36866, table.rowCount) << little;
        EXPECT_EQ(0, memcmp(plain.rows, table.rows, sizeof(RecordingRow) * table.rowCount));
    }

    ASSERT_EQ(1, readBoth("Time\t\tLH\t\tLV\n0,5\t\t1\t\t2\n"));
    EXPECT_EQ(1.0f, table.rows[0].col[1]);
    EXPECT_EQ(2.0f, table.rows[0].col[2]);

    std::string late = "Time\tx\n";
    for (int i = 0; i < 1000; i++) // 1000 Hz, seconds of the day
        late += "20000." + std::to_string(1000 + i).substr(1) + "\t1\n";
    const std::string path = writeFile("late.txt", late);
    loadRecording(path.c_str(), table, {20000.5, 20000.6, 0});
    EXPECT_EQ(100, table.rowCount);
}
