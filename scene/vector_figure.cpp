// What a vector figure (gl2ps) cannot take from OpenGL's feedback: the
// texts, which are bitmaps to OpenGL, and the line widths.
#include "scene/scene.h"

#include "view/view.h"

#include <GL/freeglut.h>
#include <gl2ps.h>

#include <cstdio>
#include <cstring>
#include <string>

VectorText vectorFigureText = VectorText::None;
bool vectorFontsEmbedded = false;
bool collectVectorTexts = false;
std::vector<VectorTextOutline> vectorTextOutlines;

void setLineWidth(float width) {
    glLineWidth(width);
    if (vectorFigureText != VectorText::None) gl2psLineWidth(width);
}

void setPointSize(float size) {
    glPointSize(size);
    if (vectorFigureText != VectorText::None) gl2psPointSize(size);
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
    const char* name;    // PostScript's standard font, which every reader stands in for
    const char* ownName; // Ghostscript's own (URW's) font of that design, which it embeds
    short size;          // points, one to a pixel: the bitmap's height
};

// Ghostscript leaves the standard fonts out of an EPS whatever it is told;
// asked for its own fonts by their names, it embeds them.
const FontName* fontNamed(void* font) {
    static const char* const mono = "NimbusMonoPS-Regular";
    static const char* const roman = "NimbusRoman-Regular";
    static const char* const sans = "NimbusSans-Regular";
    static const FontName fonts[] = {{GLUT_BITMAP_8_BY_13, "Courier", mono, 13},
                                     {GLUT_BITMAP_9_BY_15, "Courier", mono, 15},
                                     {GLUT_BITMAP_TIMES_ROMAN_10, "Times-Roman", roman, 10},
                                     {GLUT_BITMAP_TIMES_ROMAN_24, "Times-Roman", roman, 24},
                                     {GLUT_BITMAP_HELVETICA_10, "Helvetica", sans, 10},
                                     {GLUT_BITMAP_HELVETICA_12, "Helvetica", sans, 12},
                                     {GLUT_BITMAP_HELVETICA_18, "Helvetica", sans, 18}};
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

const VectorTextOutline* outlineOf(const FontName& f, const char* text) {
    for (const VectorTextOutline& o : vectorTextOutlines)
        if (o.font == f.ownName && o.size == f.size && o.text == text) return &o;
    return nullptr;
}

// An SVG text as its outline, where the text would stand: the raster
// position (gl2ps's page has the window's size, y from its top) and its
// colour. The words stay in the file as the outline's title.
void addTextOutline(const VectorTextOutline& o, const char* text) {
    GLboolean valid = GL_FALSE;
    glGetBooleanv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
    if (!valid) return;
    GLfloat at[4], colour[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, at);
    glGetFloatv(GL_CURRENT_RASTER_COLOR, colour);
    auto byte = [](float c) {
        return static_cast<int>(c <= 0 ? 0 : c >= 1 ? 255 : c * 255 + 0.5f);
    };
    char head[200];
    snprintf(head, sizeof head,
             "<path transform=\"matrix(1 0 0 -1 %g %g)\" fill=\"#%02x%02x%02x\" d=\"", at[0],
             windowHeight - at[1], byte(colour[0]), byte(colour[1]), byte(colour[2]));
    const std::string element =
        head + o.outline + "\"><title>" + encodedFor(text, VectorText::Svg) + "</title></path>";
    gl2psSpecial(GL2PS_SVG, element.c_str());
}

} // namespace

void addVectorText(const char* text, void* font) {
    const FontName* f = fontNamed(font);
    if (vectorFigureText == VectorText::None) {
        if (collectVectorTexts && !outlineOf(*f, text))
            vectorTextOutlines.push_back({f->ownName, f->size, text, "", false});
        return;
    }
    if (vectorFigureText == VectorText::Svg) {
        const VectorTextOutline* o = outlineOf(*f, text);
        if (o && !o->outline.empty()) {
            addTextOutline(*o, text);
            return;
        }
        if (o && o->found) return; // a text of blanks: nothing to draw
    }
    const bool embedded = vectorFontsEmbedded && vectorFigureText != VectorText::Svg;
    gl2psTextOpt(encodedFor(text, vectorFigureText).c_str(), embedded ? f->ownName : f->name,
                 f->size, GL2PS_TEXT_BL, 0);
}
