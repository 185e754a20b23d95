// A vector figure's fonts made to travel with it, by Ghostscript where it
// is installed: a PDF or EPS written again with its fonts embedded (what
// journals ask for), an SVG's texts drawn as outlines of the same fonts
// (SVG has no way to carry a font that every reader honours). Ghostscript
// runs as a child that reads from a pipe and writes only into a partial
// file made for it; the figure's name is given to nothing but a complete,
// checked file.
#include "app/app.h"

#include "platform/platform.h"
#include "scene/scene.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The name by which Ghostscript reaches a partial file: never taken as a
// device ("%pipe%...", "|...") or an option ("-..."), and for -sOutputFile
// with its '%' doubled (it would number pages there).
std::string ghostscriptName(const std::string& partial, bool outputFile) {
    const bool rooted =
        partial[0] == '/' || partial[0] == '\\' || (partial.size() > 1 && partial[1] == ':');
    std::string name = rooted ? "" : "./";
    for (char c : partial) {
        name += c;
        if (c == '%' && outputFile) name += '%';
    }
    return name;
}

// Latin-1 text as a PostScript string's inside.
std::string postScriptString(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '(' || c == ')' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char octal[8];
            snprintf(octal, sizeof octal, "\\%03o", c);
            out += octal;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// Feeds the file at path to the child's input; false when it cannot be
// read or the child stops reading.
bool feedFile(const char* path, FILE* input) {
    FILE* file = openFile(path, "rb");
    if (!file) return false;
    std::vector<char> block(1 << 16);
    bool fed = true;
    size_t n;
    while (fed && (n = fread(block.data(), 1, block.size(), file)) > 0)
        fed = fwrite(block.data(), 1, n, input) == n;
    fed = fed && !ferror(file);
    fclose(file);
    return fed;
}

bool readWholeFile(const char* path, std::string& out) {
    FILE* file = openFile(path, "rb");
    if (!file) return false;
    char block[1 << 16];
    size_t n;
    while ((n = fread(block, 1, sizeof block, file)) > 0)
        out.append(block, n);
    const bool read = !ferror(file);
    fclose(file);
    return read;
}

// PostScript that prints each text's glyph outline on a line of its own,
// "%Q <n> M x y L x y C x1 y1 x2 y2 x y Z", in points from the start of its
// baseline: (text) size /Font n outline. The font is set in Latin-1, as the
// program's texts are; other lines Ghostscript prints (a font substituted)
// do not begin with "%Q". (Latin-1's code 45 is a hyphen there, as in the
// bitmap fonts, not PostScript's minus.)
const char* const OUTLINE_PROGRAM =
    "/p { ( ) print 100 mul round 100 div =only } bind def\n"
    "/q { exch p p } bind def\n"
    "/latin1 { dup length dict begin { 1 index /FID ne { def } { pop pop } ifelse } forall\n"
    "  /Encoding ISOLatin1Encoding 256 array copy dup 45 /hyphen put def\n"
    "  currentdict end /QuelvistText exch definefont } bind def\n"
    "/outline { (%Q ) print =only findfont latin1 exch scalefont setfont\n"
    "  newpath 0 0 moveto true charpath\n"
    "  { ( M) print q } { ( L) print q } { ( C) print 6 -2 roll q 4 -2 roll q q }\n"
    "  { ( Z) print } pathforall (\\n) print } bind def\n";

const char* notStarted(const char* ghostscript) {
    static char text[4400];
    snprintf(text, sizeof text, "Ghostscript (%s) could not be started", ghostscript);
    return text;
}

} // namespace

bool findGhostscript(char* out, size_t capacity) {
    const char* wanted = getenv("QUELVIST_GHOSTSCRIPT");
    if (wanted && *wanted) return findProgram(wanted, out, capacity) && fileExists(out);
    // Its name on Linux and macOS, then its console programs on Windows.
    for (const char* name : {"gs", "gswin64c", "gswin32c"})
        if (findProgram(name, out, capacity)) return true;
    return false;
}

bool outlineFigureTexts(const char* ghostscript, const char* target, const char** problem) {
    if (vectorTextOutlines.empty()) return true;
    // What Ghostscript prints goes to a partial file beside the figure,
    // read and removed at once.
    std::string printed;
    FILE* output = createPartialFile(target, printed);
    if (!output) {
        *problem = strerror(errno);
        return false;
    }
    std::string program = OUTLINE_PROGRAM;
    for (size_t i = 0; i < vectorTextOutlines.size(); i++) {
        const VectorTextOutline& o = vectorTextOutlines[i];
        program += "(" + postScriptString(o.text) + ") " + std::to_string(o.size) + " /" + o.font +
                   " " + std::to_string(i) + " outline\n";
    }
    const std::string stdoutName =
        "-sstdout=" + ghostscriptName(childOutputName(printed.c_str()), false);
    const char* arguments[] = {ghostscript,        "-q",      "-dSAFER",
                               "-dNODISPLAY",      "-dBATCH", "-dNOPAUSE",
                               stdoutName.c_str(), "-",       nullptr};
    ChildProcess child;
    const bool started = startChildProcess(arguments, child, output);
    bool done = started;
    if (started) {
        done = fwrite(program.data(), 1, program.size(), child.input) == program.size();
        done = finishChildProcess(child) && done;
    }
    fclose(output);
    std::string lines;
    done = readWholeFile(printed.c_str(), lines) && done;
    removeFile(printed.c_str());
    forgetOnInterrupt(printed.c_str());
    size_t outlined = 0;
    for (size_t at = 0; done && at < lines.size();) {
        size_t end = lines.find('\n', at);
        if (end == std::string::npos) end = lines.size();
        const std::string line = lines.substr(at, end - at);
        at = end + 1;
        char* rest = nullptr;
        if (line.rfind("%Q ", 0) != 0) continue;
        const unsigned long index = strtoul(line.c_str() + 3, &rest, 10);
        if (index >= vectorTextOutlines.size() || rest == line.c_str() + 3) continue;
        VectorTextOutline& o = vectorTextOutlines[index];
        o.outline = rest + strspn(rest, " ");
        // A moveto alone (a text of blanks) draws nothing.
        if (o.outline.find_first_of("LCZ") == std::string::npos) o.outline.clear();
        o.found = true;
        outlined++;
    }
    if (!done || outlined < vectorTextOutlines.size()) {
        *problem = started ? "Ghostscript could not draw the texts' outlines (its message is above)"
                           : notStarted(ghostscript);
        return false;
    }
    return true;
}

bool embedFigureFonts(const char* ghostscript, const char* path, OutputFile& drawn, bool eps,
                      const std::string& title, const char** problem) {
    if (fflush(drawn.stream) != 0 || ferror(drawn.stream)) {
        *problem = strerror(errno ? errno : EIO);
        abandonOutputFile(drawn);
        return false;
    }
    OutputFile embedded;
    if (!openOutputFile(path, OutputKind::Picture, embedded, problem)) {
        abandonOutputFile(drawn);
        return false;
    }
    const std::string outputName =
        "-sOutputFile=" + ghostscriptName(childOutputName(embedded.partial.c_str()), true);
    // The drum's image kept as it is (no JPEG, no resampling); pages never
    // turned; Ghostscript's own fonts embedded (the texts name them).
    std::vector<const char*> arguments = {ghostscript,
                                          "-q",
                                          "-dSAFER",
                                          "-dBATCH",
                                          "-dNOPAUSE",
                                          eps ? "-sDEVICE=eps2write" : "-sDEVICE=pdfwrite",
                                          "-dEmbedAllFonts=true",
                                          "-dSubsetFonts=true",
                                          "-dAutoRotatePages=/None",
                                          "-dAutoFilterColorImages=false",
                                          "-dDownsampleColorImages=false"};
    // Flate is PDF's; PostScript level 2, as eps2write writes it, has LZW.
    // Read from a pipe, an EPS is drawn on the default paper (Letter or A4)
    // and cut to it unless its own bounding box is taken as the page.
    if (eps) arguments.insert(arguments.end(), {"-dColorImageFilter=/LZWEncode", "-dEPSCrop"});
    if (!eps)
        arguments.insert(arguments.end(),
                         {"-dColorImageFilter=/FlateEncode", "-dCompatibilityLevel=1.4"});
    arguments.insert(arguments.end(), {outputName.c_str(), "-", nullptr});
    ChildProcess child;
    const bool started = startChildProcess(arguments.data(), child, embedded.stream);
    bool done = started;
    if (started) {
        done = feedFile(drawn.partial.c_str(), child.input);
        done = finishChildProcess(child) && done;
    }
    abandonOutputFile(drawn); // gl2ps's figure, read
    // Ghostscript's EPS has no title: it gets the figure's again, by which
    // this program knows it for its own (the stream still stands at the
    // start; the file only grows). A PDF keeps its title and creator.
    unsigned char start[8] = {};
    const char* magic = eps ? "%!PS" : "%PDF-";
    done = done && readStartOfFile(embedded.partial.c_str(), start, sizeof start) >= 5 &&
           memcmp(start, magic, strlen(magic)) == 0;
    std::string written;
    if (done && eps) done = readWholeFile(embedded.partial.c_str(), written);
    if (done && eps) {
        const size_t lineEnd = written.find('\n');
        written.insert(lineEnd == std::string::npos ? written.size() : lineEnd + 1,
                       "%%Title: " + title + "\n");
        done = fseek(embedded.stream, 0, SEEK_SET) == 0 &&
               fwrite(written.data(), 1, written.size(), embedded.stream) == written.size();
    }
    if (!done) {
        abandonOutputFile(embedded);
        *problem = started ? "Ghostscript could not embed the figure's fonts (its message is above)"
                           : notStarted(ghostscript);
        return false;
    }
    return finishOutputFile(embedded, problem);
}

void describeFontsNotEmbedded(char* out, size_t capacity, const char* path, bool svg) {
    snprintf(out, capacity,
             "%s: %s (Ghostscript was not found): another computer may draw its texts in other "
             "fonts%s. Install Ghostscript (Debian and Ubuntu: apt install ghostscript; Windows: "
             "see the README) or set QUELVIST_GHOSTSCRIPT to its program, then write the figure "
             "again",
             path, svg ? "its texts are not outlines" : "its fonts are not embedded",
             svg ? "" : ", and a journal may refuse it");
}
