// Names kept through the 8-bit form: every UTF-16 name comes back unchanged,
// valid UTF-8 is the same in both forms, broken bytes read as U+FFFD. The
// files being written: partial names, what a name stands for, its identity.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

TEST(Wtf8, Utf16NamesComeBackUnchanged) {
    struct Case {
        std::u16string units;
        std::string bytes;
    } cases[] = {
        {u"rec.txt", "rec.txt"},
        {u"\u0395\u03BB\u03BB\u03B7\u03BD\u03B9\u03BA\u03AC", "Ελληνικά"},
        {u"\U0001F441.txt", "\xF0\x9F\x91\x81.txt"}, // a pair: one 4-byte code point
        {std::u16string(u"a") + char16_t(0xD800) + u"b", "a\xED\xA0\x80"
                                                         "b"},      // lone high
        {std::u16string(u"a") + char16_t(0xDC00), "a\xED\xB0\x80"}, // lone low at the end
        {std::u16string(1, char16_t(0xDC00)) + char16_t(0xD800),
         "\xED\xB0\x80\xED\xA0\x80"}, // reversed pair
    };
    for (const Case& c : cases) {
        EXPECT_EQ(wtf8FromUtf16(c.units.c_str()), c.bytes);
        EXPECT_EQ(utf16FromWtf8(c.bytes.c_str()), c.units);
    }
}

TEST(Wtf8, BrokenBytesReadAsReplacementCharacters) {
    struct Case {
        const char* bytes;
        std::u16string units;
    } cases[] = {
        {"a\xFF"
         "b",
         u"a\uFFFD"
         "b"},
        {"\xC3", u"\uFFFD"}, // cut short at the end
        {"\xE2\x82"
         "x",
         u"\uFFFDx"},                    // cut short before a plain letter
        {"\xC0\xAF", u"\uFFFD"},         // an over-long '/'
        {"\xF4\x90\x80\x80", u"\uFFFD"}, // past U+10FFFF
    };
    for (const Case& c : cases)
        EXPECT_EQ(utf16FromWtf8(c.bytes), c.units) << c.bytes;
}

TEST(Extensions, WholeWordsOnly) {
    struct Case {
        const char* list;
        bool listed;
    } cases[] = {
        {"GLX_EXT_swap_control", true},
        {"GLX_ARB_a GLX_EXT_swap_control GLX_ARB_b", true},
        {"GLX_EXT_swap_control_tear GLX_MESA_swap_control", false}, // a longer name
        {"XGLX_EXT_swap_control", false},
        {"", false},
        {nullptr, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.listed, extensionListed(c.list, "GLX_EXT_swap_control"))
            << (c.list ? c.list : "null");
}

// The output module's files: partial names nobody can foresee that keep
// their ending, made in the target's folder; a name's identity.
namespace {

std::string outputFolder(const char* name) {
    const std::filesystem::path folder = std::filesystem::path(::testing::TempDir()) / name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder.generic_string();
}

} // namespace

TEST(OutputFiles, PartialNamesKeepTheEndingAndAreNew) {
    const std::string folder = outputFolder("quelvist_partials");
    const std::string longStem(250, 'n');
    struct Case {
        std::string name, start, ending;
    } cases[] = {
        {"talk.mp4", "talk.partial-", ".mp4"}, {"fig.1.pdf", "fig.1.partial-", ".pdf"},
        {"out", "out.partial-", ""},           {".hidden", ".hidden.partial-", ""},
        {longStem + ".png", "nnnn", ".png"}, // cut to the system's longest name
    };
    for (const Case& c : cases) {
        const std::string target = folder + "/" + c.name;
        std::string first, second;
        FILE* a = createPartialFile(target.c_str(), first);
        FILE* b = createPartialFile(target.c_str(), second);
        ASSERT_TRUE(a && b) << c.name << ": " << strerror(errno);
        fclose(a);
        fclose(b);
        removeOnInterrupt(nullptr);
        const std::filesystem::path made(first);
        const std::string name = made.filename().string();
        EXPECT_NE(first, second) << c.name;
        EXPECT_EQ(folder, made.parent_path().generic_string()) << c.name;
        EXPECT_EQ(0, name.rfind(c.start, 0)) << name;
        // "<stem>.partial-<6 random letters><ending>"
        ASSERT_GE(name.size(), c.ending.size() + 15) << name;
        const size_t end = name.size() - c.ending.size();
        EXPECT_EQ(c.ending, name.substr(end)) << name;
        EXPECT_EQ(".partial-", name.substr(end - 15, 9)) << name;
        EXPECT_LE(name.size(), 255u) << name;
        EXPECT_TRUE(std::filesystem::is_regular_file(made)) << name;
        EXPECT_EQ(0u, std::filesystem::file_size(made)) << name;
        EXPECT_FALSE(std::filesystem::exists(target)) << "the target itself is not made";
        removeFile(first.c_str());
        removeFile(second.c_str());
    }
}

TEST(OutputFiles, WhatANameStandsFor) {
    const std::string folder = outputFolder("quelvist_kinds");
    const std::string file = folder + "/old.png", locked = folder + "/locked.png";
    for (const std::string& name : {file, locked}) {
        FILE* f = fopen(name.c_str(), "wb");
        ASSERT_NE(nullptr, f);
        fputs("abc", f);
        fclose(f);
    }
    std::filesystem::permissions(locked,
                                 std::filesystem::perms::owner_write |
                                     std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    struct Case {
        std::string path;
        PathKind kind;
        bool writable;
        long start; // readStartOfFile's count
    } cases[] = {
        {folder + "/new.png", PathKind::Missing, true, -1},
        {folder + "/none/new.png", PathKind::Missing, true, -1},
        {folder, PathKind::Folder, true, -1},
        {file, PathKind::File, true, 3},
        {locked, PathKind::File, false, 3},
    };
    for (const Case& c : cases) {
        bool writable = !c.writable;
        EXPECT_EQ(c.kind, pathKind(c.path.c_str(), &writable)) << c.path;
        EXPECT_EQ(c.writable, writable) << c.path;
        unsigned char bytes[8];
        EXPECT_EQ(c.start, readStartOfFile(c.path.c_str(), bytes, sizeof bytes)) << c.path;
    }
    std::filesystem::permissions(locked, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
}

TEST(OutputFiles, OneFileHoweverItIsSpelt) {
    const std::string folder = outputFolder("quelvist_identity");
    std::filesystem::create_directories(folder + "/a/sub");
    struct Case {
        std::string first, second;
        bool same;
    } cases[] = {
        {"/a/x.png", "/a//x.png", true},
        {"/a/x.png", "/a/./x.png", true},
        {"/a/x.png", "/a/sub/../x.png", true},
        {"/a/new/x.png", "/a//new/./x.png", true}, // a folder not made yet
        {"/a/x.png", "/a/y.png", false},
        {"/a/x.png", "/a/sub/x.png", false},
        {"/a/new/x.png", "/a/x.png", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.same, outputIdentity((folder + c.first).c_str()) ==
                              outputIdentity((folder + c.second).c_str()))
            << c.first << " and " << c.second;
}
