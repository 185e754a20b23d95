// What a vector figure (gl2ps) cannot take from OpenGL's feedback: the
// texts, which are bitmaps to OpenGL, and the line widths.
#include "scene/scene.h"

#include <GL/freeglut.h>
#include <gl2ps.h>

#include <string>

VectorText vectorFigureText = VectorText::None;

void setLineWidth(float width) {
    glLineWidth(width);
    if (vectorFigureText != VectorText::None) gl2psLineWidth(width);
}

void restoreVectorLineWidth() {
    if (vectorFigureText == VectorText::None) return;
    float width = 1;
    glGetFloatv(GL_LINE_WIDTH, &width);
    gl2psLineWidth(width);
}

namespace {

struct FontName {
    void* font;
    const char* name;
    short size; // points, one to a pixel: the bitmap's height
};

const FontName* fontNamed(void* font) {
    static const FontName fonts[] = {{GLUT_BITMAP_8_BY_13, "Courier", 13},
                                     {GLUT_BITMAP_9_BY_15, "Courier", 15},
                                     {GLUT_BITMAP_TIMES_ROMAN_10, "Times-Roman", 10},
                                     {GLUT_BITMAP_TIMES_ROMAN_24, "Times-Roman", 24},
                                     {GLUT_BITMAP_HELVETICA_10, "Helvetica", 10},
                                     {GLUT_BITMAP_HELVETICA_12, "Helvetica", 12},
                                     {GLUT_BITMAP_HELVETICA_18, "Helvetica", 18}};
    for (const FontName& f : fonts)
        if (f.font == font) return &f;
    return &fonts[5];
}

// The program's texts are Latin-1 (as the bitmap fonts draw them). gl2ps
// writes the string as it stands, so it is made safe here: SVG is XML in
// UTF-8; PDF and PostScript strings end at an unpaired parenthesis. PDF's
// standard fonts are set in Mac Roman, where the degree sign has another
// code; PostScript's standard encoding has none.
std::string encodedFor(const char* text, VectorText format) {
    std::string out;
    for (const char* p = text; *p; p++) {
        const auto c = static_cast<unsigned char>(*p);
        if (format != VectorText::Svg && (c == '(' || c == ')' || c == '\\')) {
            out += '\\';
            out += static_cast<char>(c);
        } else if (format == VectorText::PostScript && c == 0xB0) {
            out += " deg";
        } else if (format == VectorText::Svg) {
            if (c == '<')
                out += "&lt;";
            else if (c == '>')
                out += "&gt;";
            else if (c == '&')
                out += "&amp;";
            else if (c < 0x80)
                out += static_cast<char>(c);
            else
                out += static_cast<char>(0xC0 | (c >> 6)),
                    out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (format == VectorText::Pdf && c == 0xB0) {
            out += '\xA1';
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

} // namespace

void addVectorText(const char* text, void* font) {
    if (vectorFigureText == VectorText::None) return;
    const FontName* f = fontNamed(font);
    gl2psTextOpt(encodedFor(text, vectorFigureText).c_str(), f->name, f->size, GL2PS_TEXT_BL, 0);
}
