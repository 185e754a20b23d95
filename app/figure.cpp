// Vector figures: the view written as PDF, SVG or EPS by gl2ps, which takes
// the lines, quads and points from OpenGL's feedback; the texts and line
// widths come from the scene (vectorFigureText), the label drum as an image.
#include "app/app.h"

#include "platform/platform.h"
#include "recording/recording.h"
#include "scene/scene.h"

#include <GL/freeglut.h>
#include <gl2ps.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct VectorFormat {
    const char* ending;
    GLint gl2ps;
    VectorText text;
};
const VectorFormat vectorFormats[] = {{".pdf", GL2PS_PDF, VectorText::Pdf},
                                      {".svg", GL2PS_SVG, VectorText::Svg},
                                      {".eps", GL2PS_EPS, VectorText::PostScript}};

const VectorFormat* vectorFormatOf(const char* path) {
    const char* dot = strrchr(path, '.');
    if (!dot || strpbrk(dot, "/\\")) return nullptr;
    for (const VectorFormat& format : vectorFormats) {
        bool same = strlen(dot) == strlen(format.ending);
        for (size_t i = 0; same && dot[i]; i++)
            same = (dot[i] | 0x20) == format.ending[i];
        if (same) return &format;
    }
    return nullptr;
}

// The drum as it was drawn alone: the smallest box around it and its
// pixels (8-bit RGB, bottom row first), on the background.
struct DrumImage {
    int x, y, width, height;
    std::vector<unsigned char> rgb;
    const VectorFormat* format;
};
DrumImage drumImage;

std::string base64(const std::vector<unsigned char>& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const unsigned long n = (bytes[i] << 16) | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0) |
                                (i + 2 < bytes.size() ? bytes[i + 2] : 0);
        out += digits[(n >> 18) & 63];
        out += digits[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? digits[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? digits[n & 63] : '=';
    }
    return out;
}

// Draws the drum alone on the background and keeps the part of the window
// it covers.
void captureDrum(int width, int height) {
    drumImage = {};
    drawDrumAlone();
    std::vector<unsigned char> window(static_cast<size_t>(width) * height * 3);
    readBackBuffer(width, height, window.data());
    // The cleared colour as the frame buffer holds it, from the lower left
    // corner, which the drum (lower right) never reaches.
    unsigned char background[3];
    memcpy(background, window.data(), 3);
    int x0 = width, y0 = height, x1 = -1, y1 = -1;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            const unsigned char* p = &window[(static_cast<size_t>(y) * width + x) * 3];
            if (memcmp(p, background, 3) == 0) continue;
            x0 = std::min(x0, x), x1 = std::max(x1, x);
            y0 = std::min(y0, y), y1 = std::max(y1, y);
        }
    if (x1 < 0) return; // out of sight
    drumImage.x = x0, drumImage.y = y0;
    drumImage.width = x1 - x0 + 1, drumImage.height = y1 - y0 + 1;
    for (int y = y0; y <= y1; y++) {
        const unsigned char* row = &window[(static_cast<size_t>(y) * width + x0) * 3];
        drumImage.rgb.insert(drumImage.rgb.end(), row, row + drumImage.width * 3);
    }
}

// The recording's file name for the figure's title, in the characters every
// format takes as they stand (gl2ps writes the title unescaped): others, and
// anything past 80 characters, become '_'.
std::string titleOf(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; p++)
        if (*p == '/' || *p == '\\') name = p + 1;
    std::string title;
    for (const char* p = name; *p && title.size() < 80; p++)
        title += isalnum(static_cast<unsigned char>(*p)) || strchr(" ._+-", *p) ? *p : '_';
    return title;
}

} // namespace

bool isVectorFigureName(const char* path) {
    return vectorFormatOf(path) != nullptr;
}

void drawDrumImage() {
    if (drumImage.rgb.empty()) return;
    beginWindowPixels();
    glRasterPos2i(drumImage.x, drumImage.y);
    if (drumImage.format->gl2ps == GL2PS_SVG) {
        // gl2ps embeds images in SVG only when built with libpng, which
        // Debian's is not: the image is written here, as a PNG in the page.
        std::vector<unsigned char> png;
        if (encodePngInMemory(drumImage.width, drumImage.height, drumImage.rgb.data(), png)) {
            char head[200];
            snprintf(head, sizeof head,
                     "<image x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" "
                     "xlink:href=\"data:image/png;base64,",
                     drumImage.x, windowHeight - drumImage.y - drumImage.height, drumImage.width,
                     drumImage.height);
            gl2psSpecial(GL2PS_SVG, (head + base64(png) + "\"/>").c_str());
        }
    } else {
        std::vector<float> rgb(drumImage.rgb.begin(), drumImage.rgb.end());
        for (float& c : rgb)
            c /= 255;
        gl2psDrawPixels(drumImage.width, drumImage.height, 0, 0, GL_RGB, GL_FLOAT, rgb.data());
    }
    endWindowPixels();
}

bool saveVectorFigure(const char* path, const char** problem) {
    const VectorFormat* format = vectorFormatOf(path);
    const int width = windowWidth, height = windowHeight;
    if (!format || width < 1 || height < 1) {
        *problem = format ? "the window has no area" : "not a PDF, SVG or EPS name";
        return false;
    }
    // The fonts go with the figure where Ghostscript is installed; the texts
    // are then set in its fonts, and an SVG's collected to be outlined.
    static char ghostscript[4096];
    const bool embedding = findGhostscript(ghostscript, sizeof ghostscript);
    const bool outlining = embedding && format->text == VectorText::Svg;
    vectorFontsEmbedded = embedding;
    vectorTextOutlines.clear();
    // Laid out as the picture (a fit, the scale's room) before the drum is
    // taken apart from it.
    collectVectorTexts = outlining;
    drawPicture();
    collectVectorTexts = false;
    if (view.showDrum) captureDrum(width, height);
    drumImage.format = format;

    OutputFile output;
    if (!openOutputFile(path, OutputKind::Picture, output, problem)) return false;
    if (outlining && !outlineFigureTexts(ghostscript, output.target.c_str(), problem)) {
        abandonOutputFile(output);
        return false;
    }
    FILE* file = output.stream;
    GLint viewport[4] = {0, 0, width, height};
    // Room for every segment's feedback at once; doubled while it overflows.
    GLint buffer = std::max(1 << 22, recording.rowCount * 64);
    GLint state = GL2PS_OVERFLOW;
    const std::string title = "Quelvist: " + titleOf(recordingPath);
    errno = 0;
    int writeError = 0;
    while (state == GL2PS_OVERFLOW && buffer < (1 << 30)) {
        // In drawing order, as the picture is painted (no depth test).
        gl2psBeginPage(title.c_str(), "Quelvist", viewport, format->gl2ps, GL2PS_NO_SORT,
                       GL2PS_DRAW_BACKGROUND | GL2PS_SILENT, GL_RGBA, 0, nullptr, 0, 0, 0, buffer,
                       file, output.partial.c_str());
        gl2psEnable(GL2PS_BLEND);
        gl2psBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        gl2psLineWidth(1);
        vectorFigureText = format->text;
        drawPicture();
        vectorFigureText = VectorText::None;
        state = gl2psEndPage();
        if (ferror(file) && !writeError) writeError = errno ? errno : EIO;
        buffer *= 2;
    }
    drumImage = {};
    const bool drawn = state == GL2PS_SUCCESS || state == GL2PS_NO_FEEDBACK;
    // gl2ps does not say why a write failed; the first failing write left
    // its reason in errno ("No space left on device").
    const int error = ferror(file) ? writeError : 0;
    if (!drawn || error) {
        *problem = !drawn ? "the figure could not be laid out" : strerror(error ? error : EIO);
        abandonOutputFile(output);
        return false;
    }
    if (embedding && !outlining)
        return embedFigureFonts(ghostscript, path, output, format->gl2ps == GL2PS_EPS, title,
                                problem);
    if (!finishOutputFile(output, problem)) return false;
    // A figure that works, and a word on how to make its fonts travel.
    if (!embedding) {
        char notice[600];
        describeFontsNotEmbedded(notice, sizeof notice, path, format->gl2ps == GL2PS_SVG);
        fprintf(stderr, "quelvist: %s\n", notice);
    }
    return true;
}
