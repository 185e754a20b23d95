// Movies of the build-up replay: each frame is drawn as the viewer draws
// it, read back and fed raw through a pipe to ffmpeg, which encodes it.
// The file is written under a temporary name and renamed when ffmpeg has
// finished well, so a failed export leaves nothing that looks like a movie.
#include "app/app.h"

#include "interaction/interaction.h"
#include "platform/platform.h"
#include "recording/recording.h"
#include "scene/scene.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Beyond this the export would run for days; the user is asked for a speed.
constexpr long long MOVIE_FRAME_LIMIT = 1000000;

bool equalIgnoringCase(const char* a, const char* b) {
    for (; *a && *b; a++, b++)
        if ((*a | 0x20) != (*b | 0x20)) return false;
    return *a == *b;
}

// ffmpeg writes into the file made for it, whose name says nothing, so the
// format is always named: the one ffmpeg picks for the ending, MP4 for any
// other name.
const char* videoFormatOf(const char* path) {
    static const char* const formats[][2] = {
        {".mp4", "mp4"}, {".m4v", "mp4"}, {".mov", "mov"},  {".mkv", "matroska"}, {".webm", "webm"},
        {".avi", "avi"}, {".gif", "gif"}, {".mpg", "mpeg"}, {".mpeg", "mpeg"},    {".ts", "mpegts"},
        {".ogv", "ogg"}, {".flv", "flv"}, {".wmv", "asf"},  {".3gp", "3gp"}};
    const char* dot = strrchr(path, '.');
    if (!dot || strpbrk(dot, "/\\")) return "mp4";
    for (const auto& format : formats)
        if (equalIgnoringCase(dot, format[0])) return format[1];
    return "mp4";
}

// Frame number frame of the page, number movieFrame of the whole movie.
// The view turns from the angles it started at (first).
void placeFrame(long long frame, long long movieFrame, const MovieSettings& movie, int rows,
                double samplesPerFrame, const ViewState& first) {
    view.buildUpCount = movieSamplesInFrame(frame, rows, samplesPerFrame);
    // The timer turns the drum and the view 0.5 degrees every 5 ms.
    const double turn = std::fmod(movieFrame * ANGLE_PER_SECOND / movie.fps, 360.0);
    view.drumAngle = static_cast<float>(turn);
    // A turning view is drawn anew every frame, without keeping a picture.
    view.rotateX = movie.rotate == 'x';
    view.rotateY = movie.rotate == 'y';
    view.rotateZ = movie.rotate == 'z';
    if (movie.rotate == 'x') view.angleX = static_cast<float>(first.angleX - turn);
    if (movie.rotate == 'y') view.angleY = static_cast<float>(first.angleY + turn);
    if (movie.rotate == 'z') view.angleZ = static_cast<float>(first.angleZ + turn);
}

} // namespace

long long movieFrameCount(int rowCount, double samplesPerFrame) {
    if (rowCount <= 1) return 1;
    // Counted as a double: a tiny speed must not overflow the conversion.
    const double frames = std::ceil((rowCount - 1) / samplesPerFrame - 1e-9) + 1;
    return frames < 1e15 ? static_cast<long long>(frames) : 1000000000000000LL;
}

// Samples a second over the whole selection (every page), so that the
// pages of one movie run at one speed; 0 when Time does not advance.
static double selectionRate(const RecordingExtent& extent) {
    const double span = static_cast<double>(extent.lastTime) - extent.firstTime;
    return extent.selectedSamples > 1 && span > 0 ? (extent.selectedSamples - 1) / span : 0;
}

// The samples on each page of the selection, for the frame count.
static long long pageRows(const RecordingExtent& extent, long long start) {
    const long long left = extent.selectedSamples - start;
    return left < RECORDING_CAPACITY ? left : RECORDING_CAPACITY;
}

int movieSamplesInFrame(long long frame, int rowCount, double samplesPerFrame) {
    if (frame >= movieFrameCount(rowCount, samplesPerFrame) - 1) return rowCount > 0 ? rowCount : 1;
    const double samples = 1 + std::floor(frame * samplesPerFrame + 1e-9);
    return samples < rowCount ? static_cast<int>(samples) : rowCount;
}

bool writeMovie(const MovieSettings& movie, const char** problem) {
    const int width = windowWidth, height = windowHeight;
    // A long recording is filmed page after page; the build-up starts again
    // with each page, as in the viewer.
    const RecordingExtent extent = recordingExtent;
    double rate = selectionRate(extent);
    if (rate <= 0) {
        rate = TICKS_PER_SECOND; // as the viewer's replay: one sample every 5 ms
        fprintf(stderr,
                "quelvist: the Time column does not advance; the movie shows "
                "%.0f samples a second\n",
                rate * movie.speed);
    }
    const double samplesPerFrame = rate * movie.speed / movie.fps;
    long long frames = 0;
    for (long long start = 0; start < extent.selectedSamples || start == 0;
         start += RECORDING_CAPACITY) {
        frames += movieFrameCount(static_cast<int>(pageRows(extent, start)), samplesPerFrame);
        if (frames > MOVIE_FRAME_LIMIT) {
            *problem = "the movie would have more than a million frames; give a higher --speed";
            return false;
        }
    }

    char size[32], fps[16];
    snprintf(size, sizeof size, "%dx%d", width, height);
    snprintf(fps, sizeof fps, "%d", movie.fps);
    const char* wanted = getenv("QUELVIST_FFMPEG");
    if (!wanted || !*wanted) wanted = "ffmpeg";
    static char ffmpeg[4096];
    const char* notStarted = "ffmpeg could not be started: install it (Debian: apt install ffmpeg) "
                             "or set QUELVIST_FFMPEG to the ffmpeg program";
    if (!findProgram(wanted, ffmpeg, sizeof ffmpeg)) {
        *problem = notStarted;
        return false;
    }
    OutputFile file;
    if (!openOutputFile(movie.path, OutputKind::Video, file, problem)) return false;
    // "file:" keeps the name a file name, whatever it holds.
    const std::string output = "file:" + childOutputName(file.partial.c_str());
    fprintf(stderr, "quelvist: encoding with %s\n", ffmpeg);
    // GL reads rows bottom-up, hence the flip; yuv420p is what every player opens.
    // -xerror: without it ffmpeg ends with 0 when the trailer cannot be
    // written (a full disk), and a broken movie would be given its name.
    // -y: the file is there already, made empty for it.
    std::vector<const char*> arguments = {
        ffmpeg, "-hide_banner", "-loglevel", "error", "-nostdin",    "-xerror",  "-y",
        "-f",   "rawvideo",     "-pix_fmt",  "rgb24", "-video_size", size,       "-framerate",
        fps,    "-i",           "pipe:0",    "-vf",   "vflip",       "-pix_fmt", "yuv420p"};
    arguments.insert(arguments.end(), {"-f", videoFormatOf(movie.path), output.c_str(), nullptr});
    ChildProcess encoder;
    if (!startChildProcess(arguments.data(), encoder, file.stream)) {
        abandonOutputFile(file);
        *problem = notStarted;
        return false;
    }

    replayReadoutShown = false;
    view.showTrail = movie.trail;
    const ViewState first = view;
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    bool fed = true, pageRead = true;
    long long movieFrame = 0;
    for (long long start = 0; fed && pageRead && (start < extent.selectedSamples || start == 0);
         start += RECORDING_CAPACITY) {
        if (start != recordingExtent.firstSample) {
            pageRead = readRecordingPage(recordingPath, start);
            forgetCurveBlocks();
            if (!pageRead) break;
            listingPageRead(); // the Listing view's vectors for this page too
        }
        const int rows = recording.rowCount;
        const long long pageFrames = movieFrameCount(rows, samplesPerFrame);
        for (long long frame = 0; frame < pageFrames && fed; frame++, movieFrame++) {
            placeFrame(frame, movieFrame, movie, rows, samplesPerFrame, first);
            buildCurveList();
            drawPicture();
            readBackBuffer(width, height, rgb.data());
            fed = fwrite(rgb.data(), 1, rgb.size(), encoder.input) == rgb.size();
            if (movieFrame % 10 == 0 || movieFrame == frames - 1)
                fprintf(stderr, "\rquelvist: frame %lld of %lld", movieFrame + 1, frames);
        }
    }
    fputc('\n', stderr);
    const bool encoded = finishChildProcess(encoder) && fed && pageRead;
    if (!encoded) {
        abandonOutputFile(file);
        *problem = !pageRead ? "the recording could not be read again for its next page"
                             : "ffmpeg could not write the movie (its message is above)";
        return false;
    }
    if (!finishOutputFile(file, problem)) return false;
    fprintf(stderr, "quelvist: wrote %s (%lld frames at %d per second)\n", movie.path, movieFrame,
            movie.fps);
    return true;
}
