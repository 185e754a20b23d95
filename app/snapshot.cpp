// Pictures of the view as PNG files, for figures.
#include "app/app.h"

#include "platform/platform.h"

#include <GL/gl.h>
#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// libpng's output, keeping the system's reason for a failed write.
struct PngOutput {
    FILE* file;
    int error;
};

void writeToFile(png_structp png, png_bytep data, size_t length) {
    auto* out = static_cast<PngOutput*>(png_get_io_ptr(png));
    if (fwrite(data, 1, length, out->file) != length) {
        out->error = errno;
        png_error(png, "write failed");
    }
}

void flushFile(png_structp png) {
    auto* out = static_cast<PngOutput*>(png_get_io_ptr(png));
    if (fflush(out->file) != 0) {
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

bool writePng(const char* path, int width, int height, const unsigned char* rgb,
              const char** problem) {
    static PngOutput out; // static: it must survive libpng's longjmp unchanged
    out = {openFile(path, "wb"), 0};
    if (!out.file) {
        *problem = strerror(errno);
        return false;
    }
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngError, onPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fclose(out.file);
        *problem = out.error ? strerror(out.error) : "the PNG could not be encoded";
        return false;
    }
    png_set_write_fn(png, &out, writeToFile, flushFile);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    // GL reads bottom-up; PNG rows run top-down.
    for (int y = height - 1; y >= 0; y--)
        png_write_row(png, const_cast<png_bytep>(rgb + static_cast<size_t>(y) * width * 3));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    errno = 0;
    bool written = fflush(out.file) == 0 && !ferror(out.file);
    int error = errno;
    if (fclose(out.file) != 0) {
        written = false;
        if (!error) error = errno;
    }
    if (!written) *problem = strerror(error ? error : EIO);
    return written;
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
    const std::string partial = temporaryNameBeside(path);
    if (!writePng(partial.c_str(), width, height, rgb.data(), problem)) {
        removeFile(partial.c_str());
        return false;
    }
    if (!replaceFile(partial.c_str(), path)) {
        *problem = "the picture could not be given its name";
        removeFile(partial.c_str());
        return false;
    }
    return true;
}

bool nextSnapshotName(char* name, size_t capacity) {
    for (int n = 1; n < 100000; n++) {
        snprintf(name, capacity, "quelvist-%03d.png", n);
        if (!fileExists(name)) return true;
    }
    return false;
}

void saveViewToNewFile() {
    char name[64];
    const char* problem = "too many snapshots in this directory";
    if (nextSnapshotName(name, sizeof name) && saveSnapshot(name, &problem)) {
        printf("%s\n", name);
        fflush(stdout);
    } else {
        fprintf(stderr, "quelvist: could not write a snapshot: %s\n", problem);
    }
}
