// What is the same on every system: the event trace, the clock, the end
// of the process and the last line of a run's output.
#include "platform/platform.h"

#include <chrono>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

bool messagesOnTerminal = false;

namespace {

FILE* traceFile; // null unless QUELVIST_TRACE names a file

} // namespace

void openTrace() {
    const char* path = getenv("QUELVIST_TRACE");
    if (path && *path && !traceFile) traceFile = openFile(path, "a");
}

void traceEvent(const char* format, ...) {
    if (!traceFile) return;
    va_list args;
    va_start(args, format);
    vfprintf(traceFile, format, args);
    va_end(args);
    fputc('\n', traceFile);
    fflush(traceFile);
}

bool extensionListed(const char* list, const char* name) {
    const size_t length = strlen(name);
    for (const char* at = list; at && (at = strstr(at, name)); at += length)
        if ((at == list || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0')) return true;
    return false;
}

double secondsNow() {
    using Clock = std::chrono::steady_clock;
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

void traceExit(int status) {
    static bool traced;
    if (traced) return;
    traced = true;
    traceEvent("exit %d", status);
}

void endProcess(int status) {
    traceExit(status);
    releaseDisplayForFigures(status);
    exit(status);
}

void lastLineOf(char* text, char* out, size_t capacity) {
    // A movie's progress ends its lines in "\r".
    char* end = text + strlen(text);
    while (end > text && (end[-1] == '\n' || end[-1] == '\r' || end[-1] == ' '))
        *--end = '\0';
    char* begin = end;
    while (begin > text && begin[-1] != '\n' && begin[-1] != '\r')
        begin--;
    snprintf(out, capacity, "%s", begin);
}
