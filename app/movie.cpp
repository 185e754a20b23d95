// Movies of the build-up replay: each frame is drawn as the viewer draws
// it, read back and fed raw through a pipe to ffmpeg, which encodes it.
// The file is written under a temporary name and renamed when ffmpeg has
// finished well, so a failed export leaves nothing that looks like a movie.
#include "app/app.h"

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

// "talk.mp4" -> "talk.partial.mp4": ffmpeg picks the format by the ending.
std::string temporaryName(const char* path) {
    std::string name = path;
    size_t dot = name.find_last_of('.');
    size_t separator = name.find_last_of("/\\");
    if (dot == std::string::npos || (separator != std::string::npos && dot < separator) ||
        dot == separator + 1)
        return name + ".partial";
    return name.substr(0, dot) + ".partial" + name.substr(dot);
}

void placeFrame(long long frame, const MovieSettings& movie, int rows, double samplesPerFrame) {
    view.buildUpCount = movieSamplesInFrame(frame, rows, samplesPerFrame);
    // The timer turns the drum and the view 0.5 degrees every 5 ms.
    const double turn = std::fmod(frame * ANGLE_PER_SECOND / movie.fps, 360.0);
    view.drumAngle = static_cast<float>(turn);
    // A turning view is drawn anew every frame, without keeping a picture.
    view.rotateX = movie.rotate == 'x';
    view.rotateY = movie.rotate == 'y';
    view.rotateZ = movie.rotate == 'z';
    if (movie.rotate == 'x') view.angleX = static_cast<float>(-90 - turn);
    if (movie.rotate == 'y') view.angleY = static_cast<float>(180 + turn);
    if (movie.rotate == 'z') view.angleZ = static_cast<float>(turn);
}

} // namespace

long long movieFrameCount(int rowCount, double samplesPerFrame) {
    if (rowCount <= 1) return 1;
    return static_cast<long long>(std::ceil((rowCount - 1) / samplesPerFrame - 1e-9)) + 1;
}

int movieSamplesInFrame(long long frame, int rowCount, double samplesPerFrame) {
    if (frame >= movieFrameCount(rowCount, samplesPerFrame) - 1) return rowCount > 0 ? rowCount : 1;
    const double samples = 1 + std::floor(frame * samplesPerFrame + 1e-9);
    return samples < rowCount ? static_cast<int>(samples) : rowCount;
}

bool writeMovie(const MovieSettings& movie, const char** problem) {
    const int width = windowWidth, height = windowHeight;
    const int rows = recording.rowCount;
    double rate = samplesPerSecond(recording);
    if (rate <= 0) {
        rate = TICKS_PER_SECOND; // as the viewer's replay: one sample every 5 ms
        fprintf(stderr,
                "quelvist: the Time column does not advance; the movie shows "
                "%.0f samples a second\n",
                rate * movie.speed);
    }
    const double samplesPerFrame = rate * movie.speed / movie.fps;
    const long long frames = movieFrameCount(rows, samplesPerFrame);
    if (frames > MOVIE_FRAME_LIMIT) {
        *problem = "the movie would have more than a million frames; give a higher --speed";
        return false;
    }

    const std::string partial = temporaryName(movie.path);
    char size[32], fps[16];
    snprintf(size, sizeof size, "%dx%d", width, height);
    snprintf(fps, sizeof fps, "%d", movie.fps);
    const char* ffmpeg = getenv("QUELVIST_FFMPEG");
    if (!ffmpeg || !*ffmpeg) ffmpeg = "ffmpeg";
    // GL reads rows bottom-up, hence the flip; yuv420p is what every player opens.
    const char* arguments[] = {ffmpeg,
                               "-hide_banner",
                               "-loglevel",
                               "error",
                               "-nostdin",
                               "-y",
                               "-f",
                               "rawvideo",
                               "-pix_fmt",
                               "rgb24",
                               "-video_size",
                               size,
                               "-framerate",
                               fps,
                               "-i",
                               "pipe:0",
                               "-vf",
                               "vflip",
                               "-pix_fmt",
                               "yuv420p",
                               partial.c_str(),
                               nullptr};
    ChildProcess encoder;
    if (!startChildProcess(arguments, encoder)) {
        *problem = "ffmpeg could not be started: install it (Debian: apt install ffmpeg) or set "
                   "QUELVIST_FFMPEG to the ffmpeg program";
        return false;
    }

    replayReadoutShown = false;
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    bool fed = true;
    for (long long frame = 0; frame < frames && fed; frame++) {
        placeFrame(frame, movie, rows, samplesPerFrame);
        buildCurveList();
        drawPicture();
        readBackBuffer(width, height, rgb.data());
        fed = fwrite(rgb.data(), 1, rgb.size(), encoder.input) == rgb.size();
        if (frame % 10 == 0 || frame == frames - 1)
            fprintf(stderr, "\rquelvist: frame %lld of %lld", frame + 1, frames);
    }
    fputc('\n', stderr);
    const bool encoded = finishChildProcess(encoder) && fed;
    if (!encoded || !replaceFile(partial.c_str(), movie.path)) {
        removeFile(partial.c_str());
        *problem = encoded ? "the movie could not be given its name"
                           : "ffmpeg could not write the movie (its message is above)";
        return false;
    }
    fprintf(stderr, "quelvist: wrote %s (%lld frames at %d per second)\n", movie.path, frames,
            movie.fps);
    return true;
}
