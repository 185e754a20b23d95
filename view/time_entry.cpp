// Typing a time into the status line: what each key does to the text.
#include "view/view.h"

#include "platform/platform.h"

#include <cmath>
#include <cstring>

void startTimeEntry(TimeEntry& entry) {
    entry.active = true;
    entry.text[0] = '\0';
}

TimeEntryStep typeIntoTimeEntry(TimeEntry& entry, unsigned char key) {
    const size_t length = strlen(entry.text);
    double seconds;
    switch (key) {
    case 27:
        entry.active = false;
        return TimeEntryStep::Cancel;
    case '\r':
    case '\n':
        if (!timeEntrySeconds(entry, seconds)) return TimeEntryStep::Ignored;
        entry.active = false;
        return TimeEntryStep::Go;
    case 8:   // Backspace
    case 127: // Delete, as some systems send Backspace
        if (length == 0) return TimeEntryStep::Ignored;
        entry.text[length - 1] = '\0';
        return TimeEntryStep::Typed;
    default:
        break;
    }
    const bool digit = key >= '0' && key <= '9';
    const bool point = (key == ',' || key == '.') && !strpbrk(entry.text, ",.");
    const bool sign = key == '-' && length == 0; // a clock that starts before 0
    if (!(digit || point || sign) || length + 1 >= TIME_ENTRY_CAPACITY)
        return TimeEntryStep::Ignored;
    entry.text[length] = static_cast<char>(key);
    entry.text[length + 1] = '\0';
    return TimeEntryStep::Typed;
}

bool timeEntrySeconds(const TimeEntry& entry, double& seconds) {
    char text[TIME_ENTRY_CAPACITY];
    bool digits = false;
    for (size_t i = 0; i < sizeof text; i++) {
        const char c = entry.text[i];
        text[i] = c == ',' ? '.' : c;
        digits |= c >= '0' && c <= '9';
        if (!c) break;
    }
    if (!digits) return false;
    // Only digits, one point and a leading minus can be in the text, read
    // with a point whatever the user's locale.
    seconds = strtodC(text);
    return std::isfinite(seconds);
}
