// The command line: one table of options. Parsing, --help and the "did you
// mean" hint for a mistyped option all read it.
#include "app/app.h"

#include "recording/recording.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

char problemText[600]; // a problem's text made from the argument

// Takes an option's value (null for an option without one) into options;
// returns what is wrong with it, or null.
using TakeValue = const char* (*)(StartOptions& options, const char* value);

struct OptionRow {
    const char* name;
    const char* valueName; // null: the option takes no value
    const char* help;      // lines of the --help text, "\n" between them
    TakeValue take;
};

// A number with nothing after it; a decimal comma is taken as in recordings.
bool readNumber(const char* text, double& value) {
    const char* end = nullptr;
    value = parseDecimalPrefix(text, &end);
    return end != text && *end == '\0' && std::isfinite(value);
}

// A whole number from 1 to 16384, read with a range check.
bool readSide(const char* begin, const char* end, int& side) {
    auto result = std::from_chars(begin, end, side);
    return result.ec == std::errc() && result.ptr == end && side >= 1 && side <= 16384;
}

const char* takeSize(StartOptions& options, const char* value) {
    const char* x = strchr(value, 'x');
    if (!x || !readSide(value, x, options.width) || !readSide(x + 1, x + strlen(x), options.height))
        return "--size takes WIDTHxHEIGHT from 1x1 to 16384x16384, such as 800x600";
    return nullptr;
}

const char* takeSeconds(double& bound, const char* value) {
    return readNumber(value, bound) ? nullptr : "--from and --to take seconds, such as 12.5";
}

const char* takeFps(StartOptions& options, const char* value) {
    double number = 0;
    // Checked as a double: a value out of int's range must not be cast.
    if (!readNumber(value, number) || number < 1 || number > 240 || number != std::floor(number))
        return "--fps takes a whole number of frames per second from 1 to 240";
    options.fps = static_cast<int>(number);
    options.movieOptionGiven = true;
    return nullptr;
}

const char* takeJobs(StartOptions& options, const char* value) {
    double number = 0;
    if (!readNumber(value, number) || number < 1 || number > 256 || number != std::floor(number))
        return "--jobs takes a whole number of processes from 1 to 256";
    options.jobs = static_cast<int>(number);
    return nullptr;
}

const char* takeSpeed(StartOptions& options, const char* value) {
    double number = 0;
    if (!readNumber(value, number) || number <= 0 || number > 10000)
        return "--speed takes a multiple of real time above 0 and up to 10000, such as 0.5 or 4";
    options.speed = number;
    options.movieOptionGiven = true;
    return nullptr;
}

const char* takeRotate(StartOptions& options, const char* value) {
    if (strcmp(value, "x") != 0 && strcmp(value, "y") != 0 && strcmp(value, "z") != 0)
        return "--rotate takes x, y or z";
    options.rotate = value[0];
    options.movieOptionGiven = true;
    return nullptr;
}

const char* takeConvention(StartOptions& options, const char* value) {
    if (strcmp(value, "fick") == 0)
        options.convention = AngleConvention::Fick;
    else if (strcmp(value, "helmholtz") == 0)
        options.convention = AngleConvention::Helmholtz;
    else
        return "--convention takes fick or helmholtz";
    return nullptr;
}

// "-h", "-h-t", "+v": each axis named with the sign its values are taken with.
const char* takeSigns(StartOptions& options, const char* value) {
    const char* wrong = "--signs takes axes h, v, t each after + or -, such as -h or -h-t";
    AxisSigns signs = {1, 1, 1};
    if (!*value) return wrong;
    for (const char* p = value; *p; p += 2) {
        if ((p[0] != '-' && p[0] != '+') || !p[1]) return wrong;
        int* axis = p[1] == 'h'   ? &signs.h
                    : p[1] == 'v' ? &signs.v
                    : p[1] == 't' ? &signs.t
                                  : nullptr;
        if (!axis) return wrong;
        if (strchr(p + 2, p[1])) return wrong; // each axis once
        *axis = p[0] == '-' ? -1 : 1;
    }
    options.signs = signs;
    return nullptr;
}

// The saccade rules' values: finite numbers, the threshold above 0, the
// shortest duration and the smallest amplitude 0 or more.
const char* takeSaccadeLambda(StartOptions& options, const char* value) {
    double number = 0;
    if (!readNumber(value, number) || number <= 0)
        return "--saccade-lambda takes a multiple of the velocity spread above 0, such as 6 (the "
               "default)";
    options.saccades.lambda = number;
    return nullptr;
}

const char* takeNystagmusLambda(StartOptions& options, const char* value) {
    double number = 0;
    if (!readNumber(value, number) || !(number > 0) || !std::isfinite(number))
        return "--nystagmus-lambda takes a multiple of the velocity spread above 0, such as 6 (the "
               "default)";
    options.nystagmusLambda = number;
    return nullptr;
}

const char* takeSaccadeMinMs(StartOptions& options, const char* value) {
    double number = 0;
    if (!readNumber(value, number) || number < 0)
        return "--saccade-min-ms takes the shortest saccade in milliseconds, 0 or more, such as 12 "
               "(the default)";
    options.saccades.shortestSeconds = number / 1000;
    return nullptr;
}

const char* takeSaccadeMinAmplitude(StartOptions& options, const char* value) {
    double number = 0;
    if (!readNumber(value, number) || number < 0)
        return "--saccade-min-amplitude takes the smallest saccade in degrees, 0 or more, such as "
               "0.5 (the default 0 keeps every one)";
    options.saccades.smallestAmplitudeDeg = number;
    return nullptr;
}

const char* takeView(StartOptions& options, const char* value) {
    const char* const names[] = {"front", "top", "side", "subject"};
    for (int i = 0; i < PRESET_SUBJECT; i++)
        if (strcmp(value, names[i]) == 0) {
            options.viewChoice.preset = i + 1;
            return nullptr;
        }
    return "--view takes front, top, side or subject";
}

// An item of a comma-separated list, without the spaces around it.
std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// "AX,AY,AZ": three numbers with a point as their decimal mark.
const char* takeAngles(StartOptions& options, const char* value) {
    const char* wrong = "--angles takes three angles in degrees (within +-1000000), such as "
                        "-90,180,30";
    std::string text = value;
    float* angles = options.viewChoice.angles;
    size_t start = 0;
    for (int i = 0; i < 3; i++) {
        const size_t comma = text.find(',', start);
        if ((comma == std::string::npos) != (i == 2)) return wrong;
        double number = 0;
        if (!readNumber(trimmed(text.substr(start, comma - start)).c_str(), number) ||
            std::fabs(number) > 1e6)
            return wrong;
        angles[i] = static_cast<float>(number);
        start = comma + 1;
    }
    options.viewChoice.anglesGiven = true;
    return nullptr;
}

const char* takeDistance(StartOptions& options, const char* value) {
    double number = 0;
    if (!readNumber(value, number) || number < NEAREST_DISTANCE || number > 100000)
        return "--distance takes a distance from 2 to 100000 (the start view's is 30)";
    options.viewChoice.distanceGiven = true;
    options.viewChoice.distance = static_cast<float>(number);
    return nullptr;
}

const char* takeTorsionScale(StartOptions& options, const char* value) {
    double number = 0;
    if (!readNumber(value, number) || std::fabs(number) > 1000)
        return "--torsion-scale takes a factor from -1000 to 1000, such as 2.5 (the start "
               "view's is 1)";
    options.viewChoice.torsionScaleGiven = true;
    options.viewChoice.torsionScale = static_cast<float>(number);
    return nullptr;
}

// "left,cross": the parts named, each once or more.
const char* takeHide(StartOptions& options, const char* value) {
    static const struct {
        const char* name;
        unsigned bit;
    } parts[] = {
        {"left", HIDE_LEFT_EYE}, {"right", HIDE_RIGHT_EYE}, {"difference", HIDE_DIFFERENCE},
        {"edges", HIDE_EDGES},   {"cross", HIDE_CROSS},     {"drum", HIDE_DRUM},
        {"help", HIDE_HELP},     {"legend", HIDE_LEGEND}};
    std::string text = value;
    size_t start = 0;
    do {
        const size_t comma = text.find(',', start);
        const std::string name = trimmed(text.substr(start, comma - start));
        unsigned bit = 0;
        for (const auto& part : parts)
            if (name == part.name) bit = part.bit;
        if (!bit) {
            snprintf(problemText, sizeof problemText,
                     "--hide knows no part \"%.100s\": it takes a list of left, right, difference, "
                     "edges, cross, drum, help, legend, such as left,drum",
                     name.c_str());
            return problemText;
        }
        options.viewChoice.hidden |= bit;
        start = comma == std::string::npos ? comma : comma + 1;
    } while (start != std::string::npos);
    return nullptr;
}

const OptionRow optionTable[] = {
    {"-f", nullptr, "full screen whatever the answer",
     [](StartOptions& o, const char*) -> const char* {
         o.forceFullScreen = true;
         return nullptr;
     }},
    {"--snapshot", "FILE",
     "draw the start view once, write it to FILE and exit,\nasking nothing: a PNG, or vectors for "
     "a name ending\nin .pdf, .svg or .eps (--snapshot fig1.pdf)",
     [](StartOptions& o, const char* v) -> const char* {
         o.snapshotPath = v;
         return *v ? nullptr : "--snapshot needs a file name";
     }},
    {"--size", "WxH", "the window size for --snapshot and --movie\n(default 300x300)", takeSize},
    {"--force", nullptr,
     "let --snapshot, --movie or --events write over an\nexisting file that is not a picture "
     "of this program,\na video or an events table",
     [](StartOptions& o, const char*) -> const char* {
         o.force = true;
         return nullptr;
     }},
    {"--fit", nullptr, "start with the view fitted to the samples, as key f",
     [](StartOptions& o, const char*) -> const char* {
         o.fit = true;
         return nullptr;
     }},
    {"--gaps", nullptr,
     "break each path where its eye's sample is missing\n(positions all 0, empty or not a "
     "number), as key g",
     [](StartOptions& o, const char*) -> const char* {
         o.gaps = true;
         return nullptr;
     }},
    {"--plot", nullptr,
     "show the time plot (horizontal, vertical, torsion\nagainst Time) under the 3D view, as key p",
     [](StartOptions& o, const char*) -> const char* {
         o.plot = true;
         return nullptr;
     }},
    {"--scale", nullptr, "show the scale in degrees along the cross, as key k",
     [](StartOptions& o, const char*) -> const char* {
         o.scale = true;
         return nullptr;
     }},
    {"--listing", nullptr,
     "show the eye positions as rotation vectors with each\neye's Listing's plane, as key l",
     [](StartOptions& o, const char*) -> const char* {
         o.listing = true;
         return nullptr;
     }},
    {"--view", "front|top|side|subject",
     "start with the front, top, side or subject's view, as\nkeys 1 to 4; the subject's has "
     "horizontal to the right,\nvertical up and torsion toward the viewer (--view top)",
     takeView},
    {"--ortho", nullptr,
     "draw the plot in parallel projection, as key o: every\nsample at the scale of the view's "
     "centre, so values read\noff the scale whatever their depth",
     [](StartOptions& o, const char*) -> const char* {
         o.viewChoice.orthographic = true;
         return nullptr;
     }},
    {"--legend", nullptr,
     "draw the key to the colours (which path is which eye),\nas the scale (--scale) and vector "
     "figures do",
     [](StartOptions& o, const char*) -> const char* {
         o.viewChoice.legend = true;
         return nullptr;
     }},
    {"--angles", "AX,AY,AZ",
     "start with the plot turned by these angles in degrees\nabout x, y and z (the front view "
     "is -90,180,0)",
     takeAngles},
    {"--distance", "D",
     "start with the eye this far from the view's centre\n(30 by default; --distance 45)",
     takeDistance},
    {"--torsion-scale", "S",
     "start with torsion drawn S times larger (1 by default;\nF11/F12 change it by 0.5; "
     "--torsion-scale 2.5)",
     takeTorsionScale},
    {"--hide", "LIST",
     "start without these parts: left, right, difference,\nedges, cross, drum, help, legend "
     "(e.g. --hide left,drum)",
     takeHide},
    {"--clean", nullptr,
     "leave out the help lines and every notice: only the\ndata and its frame, for figures "
     "(--clean --hide drum)",
     [](StartOptions& o, const char*) -> const char* {
         o.clean = true;
         return nullptr;
     }},
    {"--report", nullptr,
     "write each eye's samples, events and Listing's plane\nas tab-separated lines and exit, "
     "without a window",
     [](StartOptions& o, const char*) -> const char* {
         o.report = true;
         return nullptr;
     }},
    {"--events", "FILE",
     "write the saccades, blinks and losses of the whole\nrecording to FILE (tab-separated, "
     "BIDS style) and\nits description to FILE.json, and exit",
     [](StartOptions& o, const char* v) -> const char* {
         o.eventsPath = v;
         return *v ? nullptr : "--events needs a file name";
     }},
    {"--convention", "fick|helmholtz", "the order the recorder's angles turn in (default fick)",
     takeConvention},
    {"--signs", "-h-v-t", "flip the file's axes, e.g. -h where horizontal is\npositive to the left",
     takeSigns},
    {"--saccade-lambda", "L",
     "saccades where the velocity passes L times its spread\n(Engbert & Kliegl 2003; default 6), "
     "for key e,\n--report and --events",
     takeSaccadeLambda},
    {"--saccade-min-ms", "M",
     "saccades last at least M milliseconds (default 12;\nnever fewer than 2 samples)",
     takeSaccadeMinMs},
    {"--saccade-min-amplitude", "DEG",
     "leave out saccades smaller than DEG degrees\n(default 0: every one)",
     takeSaccadeMinAmplitude},
    {"--nystagmus", nullptr,
     "mark the quick phases of nystagmus and show each slow\nphase's velocity under the time "
     "plot, as key n;\nwith --events, add the quick and slow phases' rows",
     [](StartOptions& o, const char*) -> const char* {
         o.nystagmus = true;
         return nullptr;
     }},
    {"--main-sequence", nullptr,
     "show the main sequence (peak velocity against\namplitude, log-log, with the fitted curve), "
     "as key m",
     [](StartOptions& o, const char*) -> const char* {
         o.mainSequence = true;
         return nullptr;
     }},
    {"--nystagmus-lambda", "L",
     "quick phases of nystagmus where the velocity of\nhorizontal, vertical and torsion together "
     "passes L\ntimes its spread (default 6), for key n, --report and\n--events",
     takeNystagmusLambda},
    {"--from", "SECONDS", "read only samples whose Time is SECONDS or later",
     [](StartOptions& o, const char* v) { return takeSeconds(o.from, v); }},
    {"--to", "SECONDS", "read only samples whose Time is before SECONDS",
     [](StartOptions& o, const char* v) { return takeSeconds(o.to, v); }},
    {"--movie", "FILE",
     "render the build-up replay from the first to the\nlast sample into a video file with "
     "ffmpeg and exit",
     [](StartOptions& o, const char* v) -> const char* {
         o.moviePath = v;
         return *v ? nullptr : "--movie needs a file name";
     }},
    {"--jobs", "N",
     "with several recordings, draw N at a time, each in a\nprocess of its own (default: one per "
     "core; --jobs 4)",
     takeJobs},
    {"--fps", "N", "the movie's frames per second (default 30)", takeFps},
    {"--speed", "X", "the movie's speed as a multiple of real time\n(default 1)", takeSpeed},
    {"--rotate", "x|y|z", "turn the movie's view about that axis, as F6..F8 do", takeRotate},
    {"--clock", nullptr,
     "write the newest sample's time (t = 12.35 s) in the\nlower left of every movie frame",
     [](StartOptions& o, const char*) -> const char* {
         o.clock = true;
         o.movieOptionGiven = true;
         return nullptr;
     }},
    {"--trail", nullptr,
     "replay the movie with the trail: only the last 2\nseconds drawn, as key T (--movie talk.mp4 "
     "--trail)",
     [](StartOptions& o, const char*) -> const char* {
         o.trail = true;
         o.movieOptionGiven = true;
         return nullptr;
     }},
    {"--help", nullptr, "show this text and exit",
     [](StartOptions& o, const char*) -> const char* {
         o.showHelp = true;
         return nullptr;
     }},
};

// GLUT's own options; glutInit takes them (and the value of the first two)
// out of the arguments.
const char* const glutOptionsWithValue[] = {"-display", "-geometry"};
const char* const glutFlags[] = {"-iconic", "-direct", "-indirect", "-gldebug", "-sync"};

bool isOneOf(const char* arg, const char* const* names, size_t count) {
    for (size_t i = 0; i < count; i++)
        if (strcmp(arg, names[i]) == 0) return true;
    return false;
}

const OptionRow* findOption(const char* name, size_t length) {
    for (const OptionRow& row : optionTable)
        if (strlen(row.name) == length && strncmp(row.name, name, length) == 0) return &row;
    return nullptr;
}

// Edits (insert, delete, replace, swap of neighbours) between a and b.
size_t editDistance(const std::string& a, const std::string& b) {
    std::string::size_type n = a.size(), m = b.size();
    std::vector<size_t> before(m + 1, 0), previous(m + 1, 0), current(m + 1, 0);
    for (size_t j = 0; j <= m; j++)
        previous[j] = j;
    for (size_t i = 1; i <= n; i++) {
        current[0] = i;
        for (size_t j = 1; j <= m; j++) {
            size_t best = std::min(previous[j] + 1, current[j - 1] + 1);
            best = std::min(best, previous[j - 1] + (a[i - 1] != b[j - 1]));
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                best = std::min(best, before[j - 2] + 1);
            current[j] = best;
        }
        before = previous;
        previous = current;
    }
    return previous[m];
}

std::string lowerCase(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

const char* unknownOption(const char* arg) {
    std::string name = arg;
    if (name.rfind("--", 0) == 0) name = name.substr(0, name.find('='));
    const OptionRow* nearest = nullptr;
    size_t nearestDistance = 3; // further than two edits is no suggestion
    // The start of a longer name ("--torsion" for --torsion-scale).
    for (const OptionRow& row : optionTable)
        if (name.size() >= 4 && strncmp(row.name, name.c_str(), name.size()) == 0) {
            nearest = &row;
            nearestDistance = 0;
        }
    for (const OptionRow& row : optionTable) {
        const size_t distance = editDistance(lowerCase(name), row.name);
        // Half a name changed is another name ("-x" is not "-f").
        if (distance < nearestDistance && 2 * distance < strlen(row.name)) {
            nearest = &row;
            nearestDistance = distance;
        }
    }
    if (nearest)
        snprintf(problemText, sizeof problemText, "unknown option %.400s (did you mean %s?)",
                 name.c_str(), nearest->name);
    else
        snprintf(problemText, sizeof problemText, "unknown option %.400s", name.c_str());
    return problemText;
}

const char* optionProblem(const char* format, const char* name) {
    snprintf(problemText, sizeof problemText, format, name);
    return problemText;
}

// The option at argv[i], "--name value" or "--name=value"; i moves past its
// value.
void parseOption(StartOptions& options, int argc, char** argv, int& i) {
    const char* arg = argv[i];
    const char* equals = strncmp(arg, "--", 2) == 0 ? strchr(arg, '=') : nullptr;
    const size_t length = equals ? static_cast<size_t>(equals - arg) : strlen(arg);
    const OptionRow* row = findOption(arg, length);
    if (!row) {
        options.problem = unknownOption(arg);
    } else if (!row->valueName) {
        options.problem = equals ? optionProblem("%.400s takes no value", row->name)
                                 : row->take(options, nullptr);
    } else if (equals) {
        options.problem = row->take(options, equals + 1);
    } else if (i + 1 >= argc || findOption(argv[i + 1], strlen(argv[i + 1]))) {
        // "--snapshot --gaps rec.txt": the option's value is missing.
        options.problem = optionProblem("%.400s needs a value", row->name);
    } else {
        options.problem = row->take(options, argv[++i]);
    }
}

} // namespace

std::string fillOutputName(const char* pattern, const char* recording) {
    const std::string path = recording;
    const size_t separator = path.find_last_of("/\\");
    const std::string folder = separator == std::string::npos ? "."
                               : separator == 0               ? path.substr(0, 1)
                                                              : path.substr(0, separator);
    std::string name = separator == std::string::npos ? path : path.substr(separator + 1);
    // The last ending only ("a.b.txt" is "a.b"); a leading dot names a file.
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    std::string out;
    for (const char* p = pattern; *p;) {
        if (strncmp(p, "{name}", 6) == 0) {
            out += name;
            p += 6;
        } else if (strncmp(p, "{dir}", 5) == 0) {
            out += folder;
            p += 5;
        } else {
            out += *p++;
        }
    }
    return out;
}

StartOptions parseArguments(int argc, char** argv) {
    StartOptions options = {};
    options.width = 300;
    options.height = 300;
    options.from = WHOLE_RECORDING.from;
    options.to = WHOLE_RECORDING.to;
    options.fps = 30;
    options.speed = 1;
    options.signs = FILE_SIGNS;
    options.saccades = DEFAULT_SACCADE_SETTINGS;
    options.nystagmusLambda = NYSTAGMUS_LAMBDA;
    bool optionsEnded = false; // after "--" every argument is a recording
    for (int i = 1; i < argc && !options.problem; i++) {
        const char* arg = argv[i];
        if (!optionsEnded && strcmp(arg, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        if (arg[0] != '-' || optionsEnded) {
            options.recordings.push_back(arg);
            if (!options.recordingArgument) options.recordingArgument = arg;
            continue;
        }
        const int first = i;
        if (isOneOf(arg, glutOptionsWithValue, 2)) {
            if (++i >= argc) options.problem = optionProblem("%.400s needs a value", arg);
            options.displayGiven = options.displayGiven || strcmp(arg, "-display") == 0;
            // Its value is GLUT's, never a recording.
        } else if (!isOneOf(arg, glutFlags, 5)) {
            parseOption(options, argc, argv, i);
        }
        if (strncmp(arg, "--jobs", 6) == 0 && (arg[6] == '\0' || arg[6] == '=')) continue;
        for (int k = first; k <= i && k < argc; k++)
            options.runArguments.push_back(argv[k]);
    }
    if (options.problem) return options;
    const bool figures = options.snapshotPath || options.moviePath;
    const char* output = options.moviePath ? options.moviePath : options.snapshotPath;
    if (options.recordings.size() > 1 && !figures)
        options.problem = optionProblem("only one RECORDING can be given; %.400s is a second one",
                                        options.recordings[1]);
    else if (options.recordings.size() > 1 && !strstr(output, "{name}"))
        options.problem = options.moviePath
                              ? "with several recordings the output name must contain {name}, "
                                "such as movies/{name}.mp4"
                              : "with several recordings the output name must contain {name}, "
                                "such as figures/{name}.png";
    else if (options.jobs && !figures)
        options.problem = "--jobs goes with --snapshot or --movie";
    else if (options.snapshotPath && options.moviePath)
        options.problem = "--snapshot and --movie cannot be used together";
    else if ((options.report || options.eventsPath) && (options.snapshotPath || options.moviePath))
        options.problem = "--report and --events go without --snapshot and --movie";
    else if ((options.report || options.eventsPath) && !options.recordingArgument)
        options.problem = "--report and --events need a RECORDING";
    else if ((options.snapshotPath || options.moviePath) && !options.recordingArgument)
        options.problem =
            options.moviePath ? "--movie needs a RECORDING" : "--snapshot needs a RECORDING";
    else if (options.movieOptionGiven && !options.moviePath)
        options.problem = "--fps, --speed, --rotate, --clock and --trail go with --movie";
    else if (options.force && !options.snapshotPath && !options.moviePath && !options.eventsPath)
        options.problem = "--force goes with --snapshot, --movie or --events";
    else if (options.moviePath && (options.width % 2 || options.height % 2))
        options.problem = "a movie's --size takes even numbers, such as 640x480";
    else if (options.viewChoice.preset && options.viewChoice.anglesGiven)
        options.problem = "--view and --angles cannot be used together";
    else if (options.viewChoice.distanceGiven && options.fit)
        options.problem = "--distance and --fit cannot be used together: the fit chooses the "
                          "distance";
    else if (!(options.from < options.to))
        options.problem = "--from must be less than --to";
    return options;
}

void printUsage() {
    fputs("Usage: quelvist [-f] [--fit] [--gaps] [--plot] [--scale] [--listing]\n"
          "                [--convention C] [--signs -h-v-t] [--from SECONDS]\n"
          "                [--to SECONDS] [VIEW] [RECORDING]\n"
          "       quelvist --snapshot FILE.png|.pdf|.svg|.eps [--size WIDTHxHEIGHT]\n"
          "                [--force] [VIEW] [--fit] [--gaps] [--plot] [--scale]\n"
          "                [--listing] [--convention C] [--signs -h-v-t] [--jobs N]\n"
          "                RECORDING...\n"
          "       quelvist [--report] [--events FILE.tsv [--nystagmus]] [--force]\n"
          "                [--convention fick|helmholtz] [--signs -h-v-t]\n"
          "                [--saccade-lambda L] [--saccade-min-ms M]\n"
          "                [--saccade-min-amplitude DEG] [--nystagmus-lambda L]\n"
          "                [--from SECONDS] [--to SECONDS] RECORDING\n"
          "       quelvist --movie FILE.mp4 [--fps N] [--speed X] [--size WxH]\n"
          "                [--rotate x|y|z] [--clock] [--trail] [VIEW] [--force]\n"
          "                [--jobs N] RECORDING...\n"
          "  VIEW: [--view front|top|side|subject | --angles AX,AY,AZ] [--distance D]\n"
          "        [--torsion-scale S] [--ortho] [--legend] [--hide LIST] [--clean]\n"
          "        [--nystagmus] [--main-sequence]\n"
          "\n"
          "Shows a binocular eye-movement recording in 3D.\n"
          "Without RECORDING a file dialog asks for it (Cancel reads test.txt\n"
          "from the working directory). The program then asks whether to run\n"
          "full screen; there the pointer shows only while the mouse is in use.\n"
          "An option's value may also follow an equals sign (--speed=4).\n"
          "With several recordings the output name holds {name} (the recording's\n"
          "file name without its ending) and may hold {dir} (its folder):\n"
          "  quelvist --snapshot 'figures/{name}.png' study/*.txt\n"
          "Without a display (DISPLAY unset) snapshots and movies draw on a\n"
          "private Xvfb.\n"
          "\n",
          stdout);
    for (const OptionRow& row : optionTable) {
        char head[40];
        snprintf(head, sizeof head, "  %s%s%s", row.name, row.valueName ? " " : "",
                 row.valueName ? row.valueName : "");
        // A long name stands on a line of its own.
        if (strlen(head) >= 22)
            printf("%s\n%22s", head, "");
        else
            printf("%-22s", head);
        for (const char* line = row.help; *line;) {
            const char* end = strchr(line, '\n');
            const int length = end ? static_cast<int>(end - line) : static_cast<int>(strlen(line));
            printf("%.*s\n", length, line);
            line += length + (end ? 1 : 0);
            if (*line) printf("%22s", "");
        }
    }
    fputs("\n"
          "Keys:\n"
          "  F1..F5     show/hide left eye, right eye, difference lines, edges, cross\n"
          "  F6..F8     start/stop rotation about x, y, z\n"
          "  F9, F10    zoom out, zoom in\n"
          "  F11, F12   raise, lower the torsion scale\n"
          "  a          start/stop the build-up replay\n"
          "  Space      pause/resume the replay\n"
          "  Left/Right step the paused replay one sample back/forward (Shift: 10)\n"
          "  +, -       replay twice as fast, half as fast\n"
          "  T          show only the replay's last 2 seconds (trail) on/off\n"
          "  t          go to a time: type the seconds, Return (ESC: cancel)\n"
          "  PgDn/PgUp  next/previous 50000 samples of a longer recording\n"
          "  Home/End   the first/last 50000 samples of a longer recording\n"
          "  g          break the paths at missing samples (blinks) on/off\n"
          "  f          fit the view to the samples drawn\n"
          "  k          a scale in degrees along the axes of the cross on/off\n"
          "  p          the time plot under the 3D view on/off\n"
          "  l          the Listing view: rotation vectors and each eye's plane on/off\n"
          "  e          saccades drawn wide, blinks marked, both shaded in the time plot\n"
          "  v          the time plot's vergence strip (H_L-H_R, V_R-V_L, T_R-T_L) on/off\n"
          "  1, 2, 3    front view (the start view), top view, side view\n"
          "  4          the subject's view: horizontal right, vertical up, torsion toward you\n"
          "  n          nystagmus: quick phases, slow-phase velocities, a line per eye\n"
          "  m          the main sequence (peak velocity against amplitude)\n"
          "  o          orthographic view (parallel projection) on/off\n"
          "  Ctrl+O     open another recording (the view stays)\n"
          "  h          all keys and mouse actions (h or ESC closes the list)\n"
          "  r          reset the view\n"
          "  s          save the view as quelvist-NNN.png in the working directory\n"
          "             (in the Pictures folder where that takes no file)\n"
          "  ESC        quit\n"
          "Drag with the left mouse button to turn the plot, turn the wheel to zoom\n"
          "(1.15 times a notch). Click a sample to pick it: its positions are shown\n"
          "and its line of the file is printed; Left/Right then move the pick.\n"
          "In the time plot a click picks the sample at that time, and dragging\n"
          "selects a range of times: the 3D view then draws only those samples\n"
          "(r or a click in the plot draws them all again).\n"
          "The right mouse button opens a menu with the same commands.\n",
          stdout);
}
