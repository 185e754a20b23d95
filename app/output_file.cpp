// Where snapshots and movies are written: never over the recording being
// read, never over a file of another kind unless asked, and always under a
// temporary name first, so that a failed write leaves the old file whole.
#include "app/app.h"

#include "platform/platform.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

bool startsWith(const unsigned char* bytes, size_t count, const char* magic, size_t length,
                size_t at = 0) {
    return count >= at + length && memcmp(bytes + at, magic, length) == 0;
}

// What the file's first bytes say it is.
// A snapshot's kinds: any PNG, and the vector figures' PDF, SVG and EPS as
// this program writes them (their first lines name gl2ps and Quelvist): a
// manuscript's PDF or a drawing's SVG is somebody's work.
bool looksLikePicture(const unsigned char* b, size_t n) {
    if (startsWith(b, n, "\x89PNG\r\n\x1a\n", 8)) return true;
    const std::string start(reinterpret_cast<const char*>(b), n);
    const bool vector = startsWith(b, n, "%PDF-", 5) || startsWith(b, n, "%!PS", 4) ||
                        start.find("<svg") != std::string::npos;
    return vector && start.find("GL2PS") != std::string::npos &&
           start.find("Quelvist") != std::string::npos;
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

} // namespace

const char* outputFileProblem(const char* path, OutputKind kind, bool force,
                              const char* recordingPath) {
    if (sameFile(path, recordingPath)) return "it is the recording being read; choose another name";
    if (isDirectory(path)) return "it is a folder";
    FILE* file = openFile(path, "rb");
    if (!file) return nullptr; // nothing there to lose
    unsigned char start[1024];
    const size_t count = fread(start, 1, sizeof start, file);
    fclose(file);
    const bool sameKind =
        kind == OutputKind::Picture ? looksLikePicture(start, count) : looksLikeVideo(start, count);
    if (count == 0 || sameKind || force) return nullptr;
    return kind == OutputKind::Picture
               ? "it exists and is not a picture (PNG, PDF, SVG, EPS); give --force to write over "
                 "it"
               : "it exists and is not a video; give --force to write over it";
}

bool giveItsName(const char* partial, const char* path, const char** problem) {
    const bool named = replaceFile(partial, path);
    removeOnInterrupt(nullptr);
    if (named) return true;
    *problem = "the picture could not be given its name";
    removeFile(partial);
    return false;
}

std::string temporaryNameBeside(const char* path) {
    const std::string name = path;
    const size_t separator = name.find_last_of("/\\");
    const size_t base = separator == std::string::npos ? 0 : separator + 1;
    size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot <= base) dot = name.size();
    // "talk.mp4" -> "talk.partial.mp4": the ending still says the format.
    for (int n = 1;; n++) {
        const std::string candidate =
            name.substr(0, dot) + ".partial" + (n > 1 ? std::to_string(n) : "") + name.substr(dot);
        if (!fileExists(candidate.c_str())) return candidate;
    }
}
