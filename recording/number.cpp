// Locale-independent decimal conversion with atof's prefix rules.
#include "recording/recording.h"

#include <charconv>
#include <clocale>
#include <cstdlib>
#include <locale.h>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The characters isspace() accepts in the C locale.
bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// strtod in the C locale, whatever locale the process has set (GTK sets the
// user's); only used for the rare values that overflow or underflow.
double strtodC(const char* text) {
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    return strtod_l(text, nullptr, cLocale);
}

} // namespace

double parseDecimalPrefix(const char* text, const char* end) {
    const char* s = text;
    while (s < end && isBlank(*s)) s++;
    bool negative = false;
    if (s < end && (*s == '+' || *s == '-')) {
        negative = *s == '-';
        s++;
    }
    const char* mantissa = s;
    int digits = 0;
    while (s < end && isDigit(*s)) s++, digits++;
    if (s < end && (*s == '.' || *s == ',')) {
        s++;
        while (s < end && isDigit(*s)) s++, digits++;
    }
    if (digits == 0) return 0.0;
    if (s < end && (*s == 'e' || *s == 'E')) {
        const char* t = s + 1;
        if (t < end && (*t == '+' || *t == '-')) t++;
        if (t < end && isDigit(*t)) {
            while (t < end && isDigit(*t)) t++;
            s = t;
        }
    }

    // A number is at most one line piece long, so it always fits here.
    char copy[RECORDING_LINE_BUFFER + 2];
    int n = 0;
    if (negative) copy[n++] = '-';
    for (const char* p = mantissa; p < s && n < RECORDING_LINE_BUFFER; p++)
        copy[n++] = *p == ',' ? '.' : *p;
    copy[n] = '\0';

    double value = 0.0;
    auto result = std::from_chars(copy, copy + n, value, std::chars_format::general);
    if (result.ec != std::errc()) value = strtodC(copy);
    return value;
}
