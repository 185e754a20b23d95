// Pictures of the view as PNG files, for figures.
#include "app/app.h"

#include "interaction/interaction.h"
#include "platform/platform.h"

#include <GL/freeglut.h>
#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// libpng's output, a file or memory, keeping the system's reason for a
// failed write.
struct PngOutput {
    FILE* file;
    int error;
    std::vector<unsigned char>* memory; // used instead of file when set
};

void writeToFile(png_structp png, png_bytep data, size_t length) {
    auto* out = static_cast<PngOutput*>(png_get_io_ptr(png));
    if (out->memory) {
        out->memory->insert(out->memory->end(), data, data + length);
        return;
    }
    if (fwrite(data, 1, length, out->file) != length) {
        out->error = errno;
        png_error(png, "write failed");
    }
}

void flushFile(png_structp png) {
    auto* out = static_cast<PngOutput*>(png_get_io_ptr(png));
    if (out->file && fflush(out->file) != 0) {
        out->error = errno;
        png_error(png, "write failed");
    }
}

// The reason is given by the caller, once; libpng would print its own.
void onPngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

} // namespace

// Encodes into out; false when libpng gave up (out.error says why when a
// write failed).
static bool encodePng(PngOutput& out, int width, int height, const unsigned char* rgb) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngError, onPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &out, writeToFile, flushFile);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // The mark by which a later run knows the file as one of its own
    // pictures, which it may write over without --force.
    png_text software = {};
    software.compression = PNG_TEXT_COMPRESSION_NONE;
    software.key = const_cast<char*>("Software");
    software.text = const_cast<char*>("Quelvist");
    png_set_text(png, info, &software, 1);
    png_write_info(png, info);
    // GL reads bottom-up; PNG rows run top-down.
    for (int y = height - 1; y >= 0; y--)
        png_write_row(png, const_cast<png_bytep>(rgb + static_cast<size_t>(y) * width * 3));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool encodePngInMemory(int width, int height, const unsigned char* rgb,
                       std::vector<unsigned char>& png) {
    static PngOutput out; // static: it must survive libpng's longjmp unchanged
    png.clear();
    out = {nullptr, 0, &png};
    return encodePng(out, width, height, rgb);
}

bool writePng(FILE* file, int width, int height, const unsigned char* rgb, const char** problem) {
    static PngOutput out;
    out = {file, 0, nullptr};
    if (!encodePng(out, width, height, rgb)) {
        *problem = out.error ? strerror(out.error) : "the PNG could not be encoded";
        return false;
    }
    errno = 0;
    if (fflush(file) == 0 && !ferror(file)) return true;
    *problem = strerror(errno ? errno : EIO);
    return false;
}

void readBackBuffer(int width, int height, unsigned char* rgb) {
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb);
}

bool saveSnapshot(const char* path, const char** problem) {
    const int width = windowWidth, height = windowHeight;
    if (width < 1 || height < 1) {
        *problem = "the window has no area";
        return false;
    }
    drawPicture();
    glFinish();
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    readBackBuffer(width, height, rgb.data());
    OutputFile file;
    if (!openOutputFile(path, OutputKind::Picture, file, problem)) return false;
    if (!writePng(file.stream, width, height, rgb.data(), problem)) {
        abandonOutputFile(file);
        return false;
    }
    return finishOutputFile(file, problem);
}

bool nextSnapshotName(char* name, size_t capacity, const char* folder) {
    for (int n = 1; n < 100000; n++) {
        const int length = snprintf(name, capacity, "%squelvist-%03d.png", folder, n);
        if (length < 0 || static_cast<size_t>(length) >= capacity) return false;
        if (!fileExists(name)) return true;
    }
    return false;
}

void describeSnapshotOutcome(char* out, size_t capacity, const char* path, const char* problem) {
    if (problem)
        snprintf(out, capacity, "could not save %s: %s", path, problem);
    else
        snprintf(out, capacity, "saved %s", path);
}

namespace {

constexpr size_t PATH_CAPACITY = 4200;
char messageText[PATH_CAPACITY + 200];
double messageEnd; // secondsNow() when the line goes; 0 while none is shown
bool messageEndArmed;

// A frame is drawn when the line is due to go, even if nothing else happens.
void onSnapshotMessageEnd(int) {
    const double left = messageEnd - secondsNow();
    if (left > 0) {
        glutTimerFunc(static_cast<unsigned>(left * 1000) + 1, onSnapshotMessageEnd, 0);
        return;
    }
    messageEndArmed = false;
    useViewerWindow();
    glutPostRedisplay();
    traceEvent("message gone");
}

} // namespace

const char* snapshotMessage(double now) {
    return now < messageEnd ? messageText : nullptr;
}

void saveViewToNewFile() {
    messageEnd = 0; // the picture is the view, without the line of an earlier file
    char name[64], folder[4096], pictures[PATH_CAPACITY];
    const char* problem = "too many snapshots in this directory";
    const char* path = name;
    bool saved = nextSnapshotName(name, sizeof name) && saveSnapshot(name, &problem);
    // Where the working directory takes no file (a program started from the
    // Start menu works in Program Files), the user's Pictures folder does.
    if (!saved) {
        fprintf(stderr, "quelvist: could not write a snapshot: %s\n", problem);
        if (windowWidth > 0 && windowHeight > 0 && picturesFolder(folder, sizeof folder) &&
            nextSnapshotName(pictures, sizeof pictures, folder)) {
            path = pictures;
            saved = saveSnapshot(pictures, &problem);
            if (!saved) fprintf(stderr, "quelvist: could not write %s: %s\n", pictures, problem);
        }
    }
    if (saved) {
        printf("%s\n", path);
        fflush(stdout);
    }
    describeSnapshotOutcome(messageText, sizeof messageText, path, saved ? nullptr : problem);
    traceEvent("message %s", messageText);
    messageEnd = secondsNow() + SNAPSHOT_MESSAGE_SECONDS;
    if (!messageEndArmed) {
        messageEndArmed = true;
        glutTimerFunc(static_cast<unsigned>(SNAPSHOT_MESSAGE_SECONDS * 1000) + 1,
                      onSnapshotMessageEnd, 0);
    }
}
