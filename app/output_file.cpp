// Every file the program writes comes through here: never over the
// recording being read, a folder, a device or a FIFO, never over a file of
// another kind unless asked, and always under a partial name made
// exclusively in the target's folder first, so that a failed or interrupted
// write leaves the old file whole and nothing beside it.
#include "app/app.h"

#include "platform/platform.h"
#include "recording/recording.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

bool startsWith(const unsigned char* bytes, size_t count, const char* magic, size_t length,
                size_t at = 0) {
    return count >= at + length && memcmp(bytes + at, magic, length) == 0;
}

// What the file's first bytes say it is.
// A snapshot's kinds as this program writes them: PNGs marked with its name,
// and the vector figures' PDF, SVG and EPS (their first lines name gl2ps and
// Quelvist): a manuscript's PDF, a drawing's SVG or another tool's PNG is
// somebody's work.
bool looksLikePicture(const unsigned char* b, size_t n) {
    const std::string start(reinterpret_cast<const char*>(b), n);
    // Its PNGs carry a Software text before the image data.
    if (startsWith(b, n, "\x89PNG\r\n\x1a\n", 8))
        return start.find(std::string("tEXtSoftware\0Quelvist", 21)) != std::string::npos;
    const bool vector = startsWith(b, n, "%PDF-", 5) || startsWith(b, n, "%!PS", 4) ||
                        start.find("<svg") != std::string::npos;
    // As gl2ps wrote it, or an EPS Ghostscript wrote again (with its title).
    const bool writer =
        start.find("GL2PS") != std::string::npos ||
        (startsWith(b, n, "%!PS", 4) && start.find("Ghostscript") != std::string::npos);
    return vector && writer && start.find("Quelvist") != std::string::npos;
}

// A PDF Ghostscript wrote again keeps the figure's information (its title
// "Quelvist: ...", gl2ps as its creator), near its end.
bool endsLikeOwnPdf(const char* path) {
    unsigned char end[8192];
    const long count = readEndOfFile(path, end, sizeof end);
    if (count <= 0) return false;
    const std::string tail(reinterpret_cast<const char*>(end), static_cast<size_t>(count));
    return tail.find("/Title(Quelvist: ") != std::string::npos &&
           tail.find("/Creator(GL2PS") != std::string::npos;
}

bool looksLikeVideo(const unsigned char* b, size_t n) {
    return startsWith(b, n, "ftyp", 4, 4) || startsWith(b, n, "moov", 4, 4) || // MP4, MOV
           startsWith(b, n, "mdat", 4, 4) || startsWith(b, n, "wide", 4, 4) ||
           startsWith(b, n, "\x1a\x45\xdf\xa3", 4) ||                         // MKV, WebM
           (startsWith(b, n, "RIFF", 4) && startsWith(b, n, "AVI ", 4, 8)) || // AVI
           startsWith(b, n, "GIF8", 4) || startsWith(b, n, "OggS", 4) ||
           startsWith(b, n, "FLV", 3) || startsWith(b, n, "\x30\x26\xb2\x75", 4) || // WMV
           startsWith(b, n, "\x00\x00\x01\xba", 4) ||                               // MPEG-PS
           (n >= 189 && b[0] == 0x47 && b[188] == 0x47);                            // MPEG-TS
}

// The table's first line, and the one it had before its positions' columns
// were named in full (start_h ... end_t).
bool looksLikeEvents(const unsigned char* b, size_t n) {
    static const char* const before =
        "onset\tduration\ttrial_type\teye\tamplitude_deg\tpeak_velocity_deg_s\tstart_h\tstart_v\t"
        "start_t\tend_h\tend_v\tend_t\n";
    // With --nystagmus the slow phases' columns follow the table's own.
    const std::string withPhases =
        std::string(EVENTS_HEADER, strlen(EVENTS_HEADER) - 1) + NYSTAGMUS_EVENTS_COLUMNS + "\n";
    return startsWith(b, n, EVENTS_HEADER, strlen(EVENTS_HEADER)) ||
           startsWith(b, n, withPhases.c_str(), withPhases.size()) ||
           startsWith(b, n, before, strlen(before));
}

bool looksLikeEventsSidecar(const unsigned char* b, size_t n) {
    return startsWith(b, n, EVENTS_SIDECAR_START, strlen(EVENTS_SIDECAR_START));
}

} // namespace

bool outputForced;

const char* outputFileProblem(const char* path, OutputKind kind, bool force,
                              const char* recording) {
    std::string target;
    if (!followOwnLinks(path, target))
        return "it is a link that another user made in a shared folder";
    if (sameFile(path, recording) || sameFile(target.c_str(), recording))
        return "it is the recording being read; choose another name";
    bool writable = true;
    switch (pathKind(target.c_str(), &writable)) {
    case PathKind::Missing:
        return nullptr; // nothing there to lose
    case PathKind::Folder:
        return "it is a folder";
    case PathKind::Special:
        return "it is a device, a pipe or a socket, not a file; name a file";
    case PathKind::File:
    case PathKind::Unknown:
        break;
    }
    if (!writable) return "it is read-only; make it writable to write over it";
    unsigned char start[1024];
    const long count = readStartOfFile(target.c_str(), start, sizeof start);
    if (count == 0 || force) return nullptr;
    const size_t n = count < 0 ? 0 : static_cast<size_t>(count);
    switch (kind) {
    case OutputKind::Picture:
        if (count > 0 && looksLikePicture(start, n)) return nullptr;
        if (startsWith(start, n, "%PDF-", 5) && endsLikeOwnPdf(target.c_str())) return nullptr;
        return "it exists and is not a picture this program wrote (PNG, PDF, SVG, EPS); give "
               "--force to write over it";
    case OutputKind::Video:
        if (count > 0 && looksLikeVideo(start, n)) return nullptr;
        return "it exists and is not a video; give --force to write over it";
    case OutputKind::Events:
        if (count > 0 && looksLikeEvents(start, n)) return nullptr;
        return "it exists and is not an events table of this program; give --force to write "
               "over it";
    case OutputKind::EventsSidecar:
        if (count > 0 && looksLikeEventsSidecar(start, n)) return nullptr;
        return "it exists and is not an events table's description by this program; give "
               "--force to write over it";
    }
    return nullptr;
}

bool openOutputFile(const char* path, OutputKind kind, OutputFile& file, const char** problem) {
    file = {};
    file.kind = kind;
    if ((*problem = outputFileProblem(path, kind, outputForced, recordingPath))) return false;
    followOwnLinks(path, file.target);
    file.stream = createPartialFile(file.target.c_str(), file.partial);
    if (!file.stream) {
        *problem = strerror(errno);
        return false;
    }
    return true;
}

void abandonOutputFile(OutputFile& file) {
    if (file.stream) fclose(file.stream);
    file.stream = nullptr;
    if (!file.partial.empty()) {
        removeFile(file.partial.c_str());
        forgetOnInterrupt(file.partial.c_str());
    }
    file.partial.clear();
}

bool finishOutputFile(OutputFile& file, const char** problem) {
    int error = 0;
    if (file.stream) {
        errno = 0;
        if (fflush(file.stream) != 0 || ferror(file.stream)) error = errno ? errno : EIO;
        if (fclose(file.stream) != 0 && !error) error = errno ? errno : EIO;
        file.stream = nullptr;
    }
    // What stands at the name now, which may have changed while the file
    // was written.
    *problem = error
                   ? strerror(error)
                   : outputFileProblem(file.target.c_str(), file.kind, outputForced, recordingPath);
    if (!*problem && !replaceFile(file.partial.c_str(), file.target.c_str()))
        *problem = strerror(errno ? errno : EIO);
    if (*problem) {
        abandonOutputFile(file);
        return false;
    }
    forgetOnInterrupt(file.partial.c_str());
    file.partial.clear();
    return true;
}
