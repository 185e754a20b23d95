// Locale-independent decimal conversion with atof's prefix rules.
#include "recording/recording.h"

#include "platform/platform.h"

#include <charconv>
#include <cstdint>
#include <cstdlib>

namespace {

bool isDigit(char c) {
    return static_cast<unsigned char>(c - '0') < 10;
}

constexpr double powersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The general case: the number's text, ',' read as '.', converted with
// correct rounding.
double convertSlowly(bool negative, const char* mantissa, const char* end) {
    // A number is at most one line piece long, so it always fits here.
    char copy[RECORDING_LINE_BUFFER + 2];
    int n = 0;
    if (negative) copy[n++] = '-';
    for (const char* p = mantissa; p < end && n < RECORDING_LINE_BUFFER; p++)
        copy[n++] = *p == ',' ? '.' : *p;
    copy[n] = '\0';
    double value = 0.0;
    auto result = std::from_chars(copy, copy + n, value, std::chars_format::general);
    // Values that overflow or underflow: strtod's answer (inf, 0, denormals).
    if (result.ec != std::errc()) value = strtodC(copy);
    return value;
}

} // namespace

double parseDecimalPrefix(const char* text, const char** stop) {
    const char* s = text;
    // The field ends at a tab or at the end of the string; neither is a
    // digit, a sign, a point or white space that may be skipped, so every
    // scan below stops there by itself.
    while (*s == ' ' || *s == '\n' || *s == '\v' || *s == '\f' || *s == '\r')
        s++;
    bool negative = false;
    if (*s == '+' || *s == '-') negative = *s++ == '-';
    const char* mantissa = s;
    uint64_t digits = 0;
    while (isDigit(*s))
        digits = digits * 10 + (*s++ - '0');
    int count = static_cast<int>(s - mantissa);
    int scale = 0;
    if (*s == '.' || *s == ',') {
        const char* fraction = ++s;
        while (isDigit(*s))
            digits = digits * 10 + (*s++ - '0');
        scale = static_cast<int>(s - fraction);
        count += scale;
    }
    if (count == 0) {
        if (stop) *stop = text;
        return 0.0;
    }
    int exponent = 0;
    if (*s == 'e' || *s == 'E') {
        const char* t = s + 1;
        bool negativeExponent = false;
        if (*t == '+' || *t == '-') negativeExponent = *t++ == '-';
        if (isDigit(*t)) {
            for (; isDigit(*t); t++)
                if (exponent < 100000) exponent = exponent * 10 + (*t - '0');
            if (negativeExponent) exponent = -exponent;
            s = t;
        }
    }
    if (stop) *stop = s;

    // Clinger's fast path: a mantissa below 2^53 and a power of ten up to 22
    // are exact doubles, so one multiplication or division rounds correctly,
    // as strtod does. (Up to 19 digits the accumulated mantissa is exact.)
    int power = exponent - scale;
    if (count <= 19 && digits <= (uint64_t{1} << 53) && power >= -22 && power <= 22) {
        double value = static_cast<double>(digits);
        value = power < 0 ? value / powersOfTen[-power] : value * powersOfTen[power];
        return negative ? -value : value;
    }
    return convertSlowly(negative, mantissa, s);
}
