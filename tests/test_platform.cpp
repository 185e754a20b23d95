// Names kept through the 8-bit form: every UTF-16 name comes back unchanged,
// valid UTF-8 is the same in both forms, broken bytes read as U+FFFD.
#include "platform/platform.h"

#include <gtest/gtest.h>

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
