// UTF-16 names kept as 8-bit strings without loss (WTF-8: UTF-8 that also
// carries unpaired surrogates as their own three-byte sequences; S. Sapin,
// "The WTF-8 encoding", 2016, section 4). A Windows file name may hold such
// a surrogate; strict UTF-8 would turn it into U+FFFD and the file could no
// longer be opened by its name.
#include "platform/platform.h"

namespace {

void appendCodePoint(unsigned long c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isHigh(unsigned long u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLow(unsigned long u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

} // namespace

std::string wtf8FromUtf16(const char16_t* units) {
    std::string out;
    for (size_t i = 0; units[i]; i++) {
        unsigned long u = units[i];
        if (isHigh(u) && isLow(units[i + 1])) {
            u = 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            i++;
        }
        appendCodePoint(u, out);
    }
    return out;
}

std::u16string utf16FromWtf8(const char* text) {
    std::u16string out;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        unsigned char b = *p;
        int length = b < 0x80             ? 1
                     : (b & 0xE0) == 0xC0 ? 2
                     : (b & 0xF0) == 0xE0 ? 3
                     : (b & 0xF8) == 0xF0 ? 4
                                          : 0;
        unsigned long c = length == 1   ? b
                          : length == 2 ? b & 0x1F
                          : length == 3 ? b & 0x0F
                                        : b & 0x07;
        int taken = 1;
        while (length > 1 && taken < length && (p[taken] & 0xC0) == 0x80) {
            c = (c << 6) | (p[taken] & 0x3F);
            taken++;
        }
        static const unsigned long least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (length == 0 || taken < length || c < least[length] || c > 0x10FFFF) {
            // Not a sequence of either encoding: one replacement character
            // for the bytes read, as the system's own conversion gives.
            out += u'\uFFFD';
            p += taken;
            continue;
        }
        p += taken;
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}
