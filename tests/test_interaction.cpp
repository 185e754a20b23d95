// Command, key, menu-label and timer logic, without a window.
#include "interaction/interaction.h"

#include "app/app.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace {

ViewState started() {
    ViewState s;
    memset(&s, 0, sizeof s); // padding too: states are compared with memcmp
    setStartView(s);
    return s;
}

} // namespace

TEST(Commands, FunctionKeysToggleSwitches) {
    ViewState s = started();
    applyCommandEffect(s, 1);
    applyCommandEffect(s, 3);
    applyCommandEffect(s, 6);
    EXPECT_EQ(0, s.showLeftEye);
    EXPECT_EQ(1, s.showDifference);
    EXPECT_EQ(1, s.rotateX);
    applyCommandEffect(s, 1);
    EXPECT_EQ(1, s.showLeftEye);
    for (int c = 1; c <= 8; c++) {
        applyCommandEffect(s, c);
        applyCommandEffect(s, c);
    }
    EXPECT_EQ(1, s.showRightEye);
    EXPECT_EQ(1, s.showEdges);
    EXPECT_EQ(1, s.showCross);
    EXPECT_EQ(0, s.rotateY);
}

// Zooming in stops 2 units before the centre (nearer, the picture passes
// behind the viewer); the wheel's notches divide or multiply by 1.15. The
// torsion scale has no limit.
TEST(Commands, ZoomStopsBeforeTheCentreTorsionHasNoLimit) {
    ViewState s = started();
    for (int i = 0; i < 100; i++)
        applyCommandEffect(s, 10);
    EXPECT_EQ(2.0f, s.distance);
    applyCommandEffect(s, 9);
    applyCommandEffect(s, 9);
    EXPECT_EQ(3.0f, s.distance);
    zoomByWheel(s, 1);
    EXPECT_FLOAT_EQ(3 / 1.15f, s.distance);
    zoomByWheel(s, 5);
    EXPECT_EQ(2.0f, s.distance);
    zoomByWheel(s, -2);
    EXPECT_FLOAT_EQ(2 * 1.15f * 1.15f, s.distance);

    applyCommandEffect(s, 12);
    applyCommandEffect(s, 12);
    EXPECT_EQ(0.0f, s.torsionScale);
    applyCommandEffect(s, 12);
    EXPECT_EQ(-0.5f, s.torsionScale);
    applyCommandEffect(s, 11);
    EXPECT_EQ(0.0f, s.torsionScale);
}

// In the orthographic view (o) nothing passes behind the viewer: the wheel
// narrows the view on to 0.05 units; back in perspective the view comes out
// to 2 again. The subject's view (4) mirrors torsion, every other preset
// and r end the mirror.
TEST(Commands, OrthographicZoomAndTheSubjectsView) {
    ViewState s = started();
    applyCommandEffect(s, COMMAND_ORTHO);
    ASSERT_EQ(1, s.orthographic);
    zoomByWheel(s, 30); // 30 / 1.15^30 = 0.45
    EXPECT_NEAR(30 / std::pow(1.15, 30), s.distance, 1e-5);
    zoomByWheel(s, 100);
    EXPECT_EQ(NEAREST_ORTHO_DISTANCE, s.distance);
    applyCommandEffect(s, 9);
    applyCommandEffect(s, 10);
    EXPECT_NEAR(NEAREST_ORTHO_DISTANCE, s.distance, 1e-6);
    applyCommandEffect(s, 10);
    EXPECT_NEAR(NEAREST_ORTHO_DISTANCE, s.distance, 1e-6);
    applyCommandEffect(s, COMMAND_ORTHO);
    EXPECT_EQ(0, s.orthographic);
    EXPECT_EQ(NEAREST_DISTANCE, s.distance);
    EXPECT_EQ(COMMAND_VIEW_FIRST + 3, commandForKey('4'));
    applyCommandEffect(s, commandForKey('4'));
    EXPECT_EQ(1, s.mirrorTorsion);
    EXPECT_EQ(-90, s.angleX);
    EXPECT_EQ(0, s.angleY);
    applyCommandEffect(s, commandForKey('2'));
    EXPECT_EQ(0, s.mirrorTorsion);
    applyCommandEffect(s, commandForKey('4'));
    applyKeyEffect(s, 'r');
    EXPECT_EQ(0, s.mirrorTorsion);
}

TEST(Commands, OtherNumbersChangeNothing) {
    ViewState s = started();
    for (int c : {0, 14, 100, 101, 102, 103, 104, 105, -1})
        applyCommandEffect(s, c);
    ViewState fresh = started();
    EXPECT_EQ(0, memcmp(&s, &fresh, sizeof s));
}

TEST(Keys, BuildUpResetAndCase) {
    ViewState s = started();
    EXPECT_EQ(KeyAction::RebuildCurves, applyKeyEffect(s, 'a'));
    EXPECT_EQ(1, s.buildUpCount);
    EXPECT_EQ(KeyAction::RebuildCurves, applyKeyEffect(s, 'a'));
    EXPECT_EQ(-1, s.buildUpCount);

    EXPECT_EQ(KeyAction::Nothing, applyKeyEffect(s, 'A'));
    EXPECT_EQ(KeyAction::Nothing, applyKeyEffect(s, 'R'));
    EXPECT_EQ(KeyAction::Quit, applyKeyEffect(s, 27));

    // Reset brings back the view but leaves the show switches and the drum.
    applyCommandEffect(s, 6);
    applyCommandEffect(s, 2);
    applyCommandEffect(s, 10);
    applyCommandEffect(s, 11);
    applyKeyEffect(s, 'a');
    s.angleX = 12;
    s.angleY = 7;
    s.angleZ = 3;
    s.drumAngle = 45;
    EXPECT_EQ(KeyAction::Reset, applyKeyEffect(s, 'r'));
    EXPECT_EQ(0, s.rotateX);
    EXPECT_EQ(-90.0f, s.angleX);
    EXPECT_EQ(180.0f, s.angleY);
    EXPECT_EQ(0.0f, s.angleZ);
    EXPECT_EQ(30.0f, s.distance);
    EXPECT_EQ(1.0f, s.torsionScale);
    EXPECT_EQ(-1, s.buildUpCount);
    EXPECT_EQ(0, s.showRightEye);
    EXPECT_EQ(45.0f, s.drumAngle);
    EXPECT_STREQ("Rotate about X (F6)", menuLabel(s, 6));
}

TEST(MenuLabels, FollowTheSwitches) {
    ViewState s = started();
    const char* atStart[] = {"Hide left eye (F1)",  "Hide right eye (F2)", "Show differece (F3)",
                             "Hide edges (F4)",     "Hide cross (F5)",     "Rotate about X (F6)",
                             "Rotate about Y (F7)", "Rotate about Z (F8)", "Zoom out (F9)",
                             "Zoom in (F10)",       "Rise torison (F11)",  "Lower torsion (F12)"};
    for (int v = 1; v <= 12; v++)
        EXPECT_STREQ(atStart[v - 1], menuLabel(s, v)) << v;
    for (int c = 1; c <= 8; c++)
        applyCommandEffect(s, c);
    const char* flipped[] = {"Show left eye (F1)",       "Show right eye (F2)",
                             "Hide differece (F3)",      "Show Edges (F4)",
                             "Show cross (F5)",          "Stop rotate about X (F6)",
                             "Stop rotate about Y (F7)", "Stop rotate about Z (F8)"};
    for (int v = 1; v <= 8; v++)
        EXPECT_STREQ(flipped[v - 1], menuLabel(s, v)) << v;
}

TEST(Timer, RotationsAndDrum) {
    ViewState s = started();
    EXPECT_FALSE(applyTimerStep(s, 100));
    EXPECT_EQ(0.5f, s.drumAngle);
    EXPECT_EQ(-90.0f, s.angleX);
    s.rotateX = s.rotateY = s.rotateZ = 1;
    for (int i = 0; i < 720; i++)
        applyTimerStep(s, 100);
    EXPECT_EQ(-450.0f, s.angleX); // the opposite sense
    EXPECT_EQ(540.0f, s.angleY);
    EXPECT_EQ(360.0f, s.angleZ);
    EXPECT_EQ(360.5f, s.drumAngle);
}

TEST(Timer, BuildUpReplayWraps) {
    ViewState s = started();
    s.buildUpCount = 1;
    EXPECT_TRUE(applyTimerStep(s, 3));
    EXPECT_EQ(2, s.buildUpCount);
    applyTimerStep(s, 3);
    EXPECT_EQ(3, s.buildUpCount); // the complete paths for one tick
    applyTimerStep(s, 3);
    EXPECT_EQ(1, s.buildUpCount);
    for (int rows : {0, 1}) {
        s.buildUpCount = 1;
        EXPECT_TRUE(applyTimerStep(s, rows));
        EXPECT_EQ(1, s.buildUpCount) << rows;
    }
    // Within a range of rows 10 .. 12 dragged in the time plot: it starts
    // at its first row, wraps to it, and steps stay in it.
    s = started();
    s.rangeFirst = 10;
    s.rangeEnd = 13;
    startOrStopReplay(s);
    EXPECT_EQ(11, s.buildUpCount);
    int counts[4];
    for (int& count : counts) {
        applyTimerStep(s, 100);
        count = s.buildUpCount;
    }
    EXPECT_EQ((std::vector<int>{12, 13, 11, 12}), std::vector<int>(counts, counts + 4));
    s.replayPaused = 1;
    stepReplay(s, -10, 100);
    EXPECT_EQ(11, s.buildUpCount);
    stepReplay(s, 10, 100);
    EXPECT_EQ(13, s.buildUpCount);
}

// Left alone, a float angle stuck at 2^23 would freeze the view after about a
// day of turning. The angle is brought back by whole turns long before that.
TEST(Timer, AnglesKeepTurningForever) {
    EXPECT_EQ(8388608.0f, 8388608.0f + 0.5f); // the freeze being avoided
    ViewState s = started();
    s.rotateY = 1;
    s.rotateX = 1;
    s.angleY = ANGLE_WRAP_BOUND - 1;
    s.angleX = -ANGLE_WRAP_BOUND + 1;
    s.drumAngle = ANGLE_WRAP_BOUND - 1;
    float previousY = s.angleY;
    for (int i = 0; i < 10; i++) {
        applyTimerStep(s, 0);
        float turned = std::fmod(std::fmod(s.angleY - previousY, 360.0f) + 360.0f, 360.0f);
        EXPECT_EQ(0.5f, turned) << "tick " << i;
        previousY = s.angleY;
    }
    EXPECT_LT(std::fabs(s.angleY), 360.0f);
    EXPECT_LT(std::fabs(s.angleX), 360.0f);
    EXPECT_LT(std::fabs(s.drumAngle), 360.0f);
    // The same orientation as without the wrap, to the last bit of a turn.
    EXPECT_EQ(std::fmod(ANGLE_WRAP_BOUND + 4.0f, 360.0f), s.angleY);
    EXPECT_EQ(std::fmod(-ANGLE_WRAP_BOUND - 4.0f, 360.0f), s.angleX);
    // Ordinary values are never touched.
    EXPECT_EQ(540.0f, keepAngleInRange(540.0f));
    EXPECT_EQ(-100000.5f, keepAngleInRange(-100000.5f));
}

// A minimised window reports a height of 0; the projection stays usable.
TEST(Projection, AspectOfAWindowWithoutHeight) {
    EXPECT_DOUBLE_EQ(1.0, viewAspect(300, 300));
    EXPECT_DOUBLE_EQ(1.5, viewAspect(300, 200));
    EXPECT_DOUBLE_EQ(300.0, viewAspect(300, 0));
    EXPECT_TRUE(std::isfinite(viewAspect(0, 0)));
}

TEST(Trace, KeyNamesAsXdotoolSendsThem) {
    char buffer[8];
    const std::pair<unsigned char, const char*> characters[] = {
        {27, "Escape"}, {'a', "a"},     {'A', "A"}, {' ', "space"},
        {'+', "plus"},  {'-', "minus"}, {1, "0x01"}};
    for (auto [key, name] : characters)
        EXPECT_STREQ(name, characterKeyName(key, buffer, sizeof buffer));
    EXPECT_STREQ("F1", specialKeyName(1));
    EXPECT_STREQ("F12", specialKeyName(12));
    EXPECT_STREQ("Page_Down", specialKeyName(105));
    EXPECT_STREQ("Shift_L", specialKeyName(0x70)); // freeglut reports modifiers too
}

// The s key's presses, releases and repeats as the system reports them:
// files written per sequence. A press is {character, 0}, a special key
// {0, code}, a release {-character, 0}.
TEST(HeldKey, OneFilePerPress) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, int>> events;
        int files;
    };
    const std::pair<int, int> s = {'s', 0}, up = {-'s', 0};
    const Case cases[] = {
        {"held: repeats are presses", {s, s, s, s, up}, 1},
        {"five presses", {s, up, s, up, s, up, s, up, s, up}, 5},
        {"let go as S or Ctrl+S", {s, {-'S', 0}, s, {-('s' & 0x1f), 0}, s}, 3},
        {"Shift while held", {s, {0, GLUT_KEY_SHIFT_L}, {'S', 0}, s, up}, 1},
        {"Shift+s writes nothing", {{'S', 0}, {-'S', 0}}, 0},
        {"F9 took the repeat (release lost)", {s, {0, GLUT_KEY_F9}, s}, 2},
        {"a took the repeat", {s, {'a', 0}, s}, 2},
    };
    for (const Case& c : cases) {
        HeldKey key = {};
        int files = 0;
        for (auto [character, special] : c.events) {
            if (character < 0)
                releaseKey(key, static_cast<unsigned char>(-character));
            else
                files += pressKey(key, static_cast<unsigned char>(character), special);
        }
        EXPECT_EQ(c.files, files) << c.what;
    }
}

// The replay's controls as the keys and the Replay menu apply them.
TEST(Replay, PauseStepSpeedAndTrail) {
    ViewState s = started();
    struct Step {
        int command;
        int stepSamples;
        int32_t count; // buildUpCount afterwards
        uint8_t paused;
        int8_t speed;
    };
    const Step steps[] = {
        {REPLAY_PAUSE, 1, -1, 0, 0},      // nothing to pause while the replay is off
        {REPLAY_FORWARD, 1, -1, 0, 0},    // nor to step
        {REPLAY_START_STOP, 1, 1, 0, 0},  //
        {REPLAY_FORWARD, 1, 1, 0, 0},     // steps only while paused
        {REPLAY_PAUSE, 1, 1, 1, 0},       //
        {REPLAY_FORWARD, 10, 11, 1, 0},   // Shift+Right
        {REPLAY_BACK, 1, 10, 1, 0},       //
        {REPLAY_BACK, 10, 1, 1, 0},       // never below 1
        {REPLAY_FORWARD, 10, 11, 1, 0},   //
        {REPLAY_FORWARD, 10, 20, 1, 0},   // nor past the last row (20 rows)
        {REPLAY_FASTER, 1, 20, 1, 1},     //
        {REPLAY_SLOWER, 1, 20, 1, 0},     //
        {REPLAY_PAUSE, 1, 20, 0, 0},      //
        {REPLAY_START_STOP, 1, -1, 0, 0}, // off, and not paused when started again
    };
    for (const Step& step : steps) {
        applyReplayEffect(s, step.command, step.stepSamples, 20);
        EXPECT_EQ(step.count, s.buildUpCount) << "after command " << step.command;
        EXPECT_EQ(step.paused, s.replayPaused) << "after command " << step.command;
        EXPECT_EQ(step.speed, s.replaySpeed) << "after command " << step.command;
    }
    for (int i = 0; i < 20; i++)
        changeReplaySpeed(s, 1);
    EXPECT_EQ(REPLAY_FASTEST, s.replaySpeed);
    for (int i = 0; i < 20; i++)
        changeReplaySpeed(s, -1);
    EXPECT_EQ(REPLAY_SLOWEST, s.replaySpeed);
    EXPECT_FALSE(applyReplayEffect(s, REPLAY_TRAIL, 1, 8)); // the full plot has no trail
    EXPECT_EQ(1, s.showTrail);
    resetViewMotion(s);
    EXPECT_EQ(0, s.replaySpeed);
    EXPECT_EQ(1, s.showTrail); // a display switch, kept like the show switches
}

TEST(Replay, TicksAtEachSpeed) {
    struct Case {
        int speed;
        int32_t from;
        int ticks;
        int32_t to;
        bool atEnd;
        int32_t rangeFirst = -1, rangeEnd = -1;
    };
    const Case cases[] = {
        {0, 1, 5, 6, false},               // one sample a tick, as without the controls
        {-3, 1, 7, 1, false},              // one sample every 8 ticks
        {-3, 1, 8, 2, false},              //
        {8, 1, 2, 513, false},             // 256 a tick
        {8, 49900, 1, 50000, true},        // the whole recording for one tick...
        {8, 49900, 2, 1, false},           // ...then from the start
        {2, 810, 1, 814, true, 496, 814},  // a range: its end for one tick...
        {2, 810, 2, 497, false, 496, 814}, // ...then its first sample
    };
    for (const Case& c : cases) {
        ViewState s = started();
        s.buildUpCount = c.from;
        s.replaySpeed = static_cast<int8_t>(c.speed);
        s.rangeFirst = c.rangeFirst;
        s.rangeEnd = c.rangeEnd;
        for (int i = 0; i < c.ticks; i++)
            applyTimerStep(s, 50000);
        EXPECT_EQ(c.to, s.buildUpCount) << "speed " << c.speed << " from " << c.from;
        EXPECT_EQ(c.atEnd, replayAtItsEnd(s, 50000)) << "speed " << c.speed << " from " << c.from;
    }
    ViewState s = started();
    s.buildUpCount = 5;
    s.replayPaused = 1;
    EXPECT_FALSE(applyTimerStep(s, 50000));
    EXPECT_EQ(5, s.buildUpCount);
}

TEST(Replay, Readout) {
    ViewState s = started();
    s.buildUpCount = 6174;
    char text[200];
    describeReplay(text, sizeof text, s, 12.346, 6174, 30000, 0.4);
    EXPECT_STREQ("t = 12.346 s   sample 6174 of 30000   1 sample/tick = 0.40x real time", text);
    s.replaySpeed = -3;
    s.replayPaused = 1;
    describeReplay(text, sizeof text, s, 1, 2, 3, 0.05);
    EXPECT_STREQ("t = 1.000 s   sample 2 of 3   1/8 sample/tick = 0.05x real time   paused", text);
    s.replaySpeed = 2;
    s.replayPaused = 0;
    describeReplay(text, sizeof text, s, 0, 1, 1, 0); // not measured yet, or Time does not advance
    EXPECT_STREQ("t = 0.000 s   sample 1 of 1   4 samples/tick", text);
}

// The measured pace: ticks every interval seconds, each advancing the
// recording by advance seconds (a 500 Hz recording: 0.002 a sample).
TEST(Replay, PaceIsMeasuredOverTheLastSecond) {
    static ReplayPace pace; // static: too large for a test's stack on Windows
    ViewState s = started();
    s.buildUpCount = 1;
    double now = 100;
    // Every n-th tick advances (slow speeds wait for their sample).
    auto run = [&](double seconds, double interval, double advance, int every = 1) {
        for (int tick = 1; tick * interval <= seconds + 1e-9; tick++, now += interval)
            measureReplayPace(pace, s, now, tick % every ? 0 : advance);
        return replayPaceFigure(pace, s);
    };
    struct Case {
        const char* what;
        int speed;
        double seconds, interval, advance;
        int every;
        double figure;
    };
    const Case cases[] = {
        {"not yet a quarter second", 0, 0.2, 0.005, 0.002, 1, 0},
        {"1 sample a tick, ticks on time", 0, 2, 0.005, 0.002, 1, 0.4},
        {"256 a tick, frames of 27 ms", 8, 2, 0.027, 0.512, 1, 0.512 / 0.027},
        {"then ticks on time: the last second counts", 8, 1.5, 0.005, 0.512, 1, 102.4},
        {"1/8 sample a tick", -3, 2, 0.005, 0.002, 8, 0.05},
    };
    for (const Case& c : cases) {
        s.replaySpeed = static_cast<int8_t>(c.speed);
        EXPECT_NEAR(c.figure, run(c.seconds, c.interval, c.advance, c.every), 0.01) << c.what;
    }
    s.replaySpeed = 0;
    run(1, 0.005, 0.002);
    s.replayPaused = 1;
    EXPECT_NEAR(0.4, run(30, 0.005, 0), 0.01) << "paused: the figure measured last stays";
    s.replayPaused = 0;
    EXPECT_NEAR(0.4, run(0.1, 0.01, 0.002), 0.01) << "resumed: the pause is not measured";
    EXPECT_NEAR(0.2, run(2, 0.01, 0.002), 0.01);
    s.replaySpeed = 1;
    EXPECT_EQ(0, replayPaceFigure(pace, s)) << "another speed: nothing until it is measured";
    s.replaySpeed = 0;
    s.buildUpCount = -1;
    run(0.1, 0.01, 0);
    s.buildUpCount = 1;
    EXPECT_EQ(0, replayPaceFigure(pace, s)) << "a replay started again is measured again";
}

TEST(IdleCursor, ShowsWhileTheMouseIsInUse) {
    EXPECT_TRUE(cursorShows(10, 8.01, false));
    EXPECT_FALSE(cursorShows(10, 8, false)) << "2 s after the mouse was last used";
    EXPECT_TRUE(cursorShows(10, 1, true)) << "a button down or the menu open";
    EXPECT_FALSE(cursorShows(0, -IDLE_CURSOR_SECONDS, false)) << "at start";
}

TEST(Batch, OutputNamesFilledPerRecording) {
    struct Case {
        const char* pattern;
        const char* recording;
        const char* expected;
    };
    const Case cases[] = {
        {"figures/{name}.png", "rec1.txt", "figures/rec1.png"},
        {"{name}.png", "a.b.txt", "a.b.png"}, // only the last ending goes
        {"{name}.png", "noending", "noending.png"},
        {"{dir}/{name}.png", "study.v2/rec", "study.v2/rec.png"}, // a dot in the folder stays
        {"{dir}/{name}.png", "rec.txt", "./rec.png"},
        {"{dir}/{name}.png", "/data/s1/rec.txt", "/data/s1/rec.png"},
        {"{dir}/{name}.png", "/rec.txt", "//rec.png"},
        {"{dir}\\{name}.png", "C:\\study\\s 1\\rec.2.txt", "C:\\study\\s 1\\rec.2.png"},
        {"out/{name}.png", "../s.1/.hidden", "out/.hidden.png"},
        {"{name}-{name}.mp4", "x.txt", "x-x.mp4"},
        {"plain.png", "rec.txt", "plain.png"},
        {"{nam}{dir", "a/b.txt", "{nam}{dir"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, fillOutputName(c.pattern, c.recording))
            << c.pattern << " with " << c.recording;
}

TEST(Batch, SeveralRecordingsOnlyForFiguresWithTheirName) {
    struct Case {
        std::vector<const char*> args;
        const char* problem; // part of the message, or null
    };
    const Case cases[] = {
        {{"q", "--snapshot", "f/{name}.png", "a.txt", "b.txt"}, nullptr},
        {{"q", "--movie={name}.mp4", "--jobs", "3", "a.txt", "b.txt"}, nullptr},
        {{"q", "--snapshot", "f.png", "a.txt", "b.txt"}, "must contain {name}"},
        {{"q", "a.txt", "b.txt"}, "only one RECORDING can be given; b.txt"},
        {{"q", "--report", "a.txt", "b.txt"}, "only one RECORDING"},
        {{"q", "--jobs", "2", "a.txt"}, "--jobs goes with --snapshot or --movie"},
        {{"q", "--snapshot", "{name}.png", "--jobs", "0", "a.txt"}, "--jobs takes"},
        {{"q", "--snapshot", "{name}.png", "--jobs=257", "a.txt"}, "--jobs takes"},
        {{"q", "--snapshot", "{name}.png", "--jobs", "1.5", "a.txt"}, "--jobs takes"},
    };
    for (const Case& c : cases) {
        std::vector<char*> argv;
        for (const char* a : c.args)
            argv.push_back(const_cast<char*>(a));
        const StartOptions options = parseArguments(static_cast<int>(argv.size()), argv.data());
        if (!c.problem)
            EXPECT_EQ(nullptr, options.problem) << c.args[1];
        else
            EXPECT_TRUE(options.problem && strstr(options.problem, c.problem))
                << c.args[1] << ": " << (options.problem ? options.problem : "no problem");
    }
}

TEST(Batch, EachRunRepeatsTheOptionsWithoutRecordingsAndJobs) {
    const char* args[] = {"q", "--snapshot", "f/{name}.png", "a.txt", "--jobs",
                          "2", "--size",     "64x48",        "--",    "-b.txt"};
    const StartOptions options = parseArguments(10, const_cast<char**>(args));
    ASSERT_EQ(nullptr, options.problem);
    const std::vector<std::string> run(options.runArguments.begin(), options.runArguments.end());
    EXPECT_EQ((std::vector<std::string>{"--snapshot", "f/{name}.png", "--size", "64x48"}), run);
    const std::vector<std::string> recordings(options.recordings.begin(), options.recordings.end());
    EXPECT_EQ((std::vector<std::string>{"a.txt", "-b.txt"}), recordings);
}

TEST(FramePace, SixtyFramesASecondFromFiveMillisecondTicks) {
    FramePace pace = {};
    int frames = 0;
    for (int tick = 0; tick < 1000; tick++) // 5 s of ticks
        frames += frameDue(pace, tick * 0.005);
    EXPECT_NEAR(frames, 300, 1);
    // A frame that fell far behind is followed by one interval, not a burst.
    FramePace late = {10.0};
    EXPECT_TRUE(frameDue(late, 12.0));
    EXPECT_FALSE(frameDue(late, 12.005));
    EXPECT_TRUE(frameDue(late, 12.0 + 1 / FRAME_RATE_LIMIT));
}

// Waking for frames at uneven times, the timer takes 200 steps a second in
// all, none lost to rounding; after a stall it takes at most 40 and goes on
// from there.
TEST(TimerSteps, TwoHundredASecondWhenWokenForFrames) {
    StepClock clock = {};
    int steps = timerStepsDue(clock, 100.0);
    EXPECT_EQ(1, steps);
    double now = 100.0;
    for (int wake = 0; wake < 300; wake++) { // 5 s of frames 14 to 20 ms apart
        now += 0.014 + 0.002 * (wake % 4);
        steps += timerStepsDue(clock, now);
    }
    EXPECT_NEAR(steps, 1 + (now - 100.0) * 200, 1);
    EXPECT_EQ(0, timerStepsDue(clock, now)); // no time passed
    EXPECT_EQ(MAX_TIMER_STEPS_AT_ONCE, timerStepsDue(clock, now + 3.0));
    EXPECT_EQ(2, timerStepsDue(clock, now + 3.0 + 0.0101));
}

TEST(Frames, OnlyWhileSomethingMoves) {
    ViewState still = {};
    still.buildUpCount = -1; // no replay
    EXPECT_FALSE(pictureMoving(still));
    ViewState drum = still, turning = still, replay = still, paused = still;
    drum.showDrum = 1;
    turning.rotateZ = 1;
    replay.buildUpCount = 5;
    paused.buildUpCount = 5;
    paused.replayPaused = 1;
    EXPECT_TRUE(pictureMoving(drum));
    EXPECT_TRUE(pictureMoving(turning));
    EXPECT_TRUE(pictureMoving(replay));
    EXPECT_FALSE(pictureMoving(paused));
}

TEST(LightFrames, OnlyWhileTheViewMovesOnASlowRenderer) {
    ViewState still = {}, turning = {};
    turning.rotateY = 1;
    struct Case {
        const ViewState* state;
        double sinceMoved, lastFull;
        bool light;
    } cases[] = {
        {&turning, 10, 0.070, true}, {&turning, 10, 0.020, false}, // fast renderers: always full
        {&still, 0.10, 0.070, true}, {&still, 0.16, 0.070, false}, // 150 ms still: full again
        {&still, 10, 0.500, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(lightFrameWanted(*c.state, c.sinceMoved, c.lastFull), c.light)
            << c.sinceMoved << " " << c.lastFull;
    // Fewer rows as the light frame is slower than 1/60 s, at most fourfold
    // at a time, within 1 .. 64.
    EXPECT_EQ(nextLightFrameStride(1, 0.070 / 3), 2);
    EXPECT_EQ(nextLightFrameStride(2, 0.030), 4);
    EXPECT_EQ(nextLightFrameStride(4, 0.005), 2);
    EXPECT_EQ(nextLightFrameStride(1, 1.0), 4);
    EXPECT_EQ(nextLightFrameStride(32, 0.1), 64);
}

// Typing a time: digits, one comma or point, a leading minus and Backspace
// edit the text; Return goes only where it reads as a number; ESC gives up.
TEST(TimeEntry, KeysEditGoAndCancel) {
    struct Case {
        const char* keys;
        TimeEntryStep last;
        const char* text;
        double seconds; // NaN: no number
    };
    const Case cases[] = {
        {"201,5\r", TimeEntryStep::Go, "201,5", 201.5},
        {"12.25\r", TimeEntryStep::Go, "12.25", 12.25},
        {"1,2,3.4", TimeEntryStep::Typed, "1,234", 1.234}, // one decimal point only
        {"-3\r", TimeEntryStep::Go, "-3", -3},
        {"3-", TimeEntryStep::Ignored, "3", 3},
        {"ab7", TimeEntryStep::Typed, "7", 7},
        {"45\b", TimeEntryStep::Typed, "4", 4},
        {"\b", TimeEntryStep::Ignored, "", NAN},
        {",\r", TimeEntryStep::Ignored, ",", NAN}, // Return without a number stays
        {"9\x1b", TimeEntryStep::Cancel, "9", 9},
        {"12345678901234567890123456789", TimeEntryStep::Ignored, "12345678901234567890123", 0},
    };
    for (const Case& c : cases) {
        TimeEntry entry;
        startTimeEntry(entry);
        TimeEntryStep step = TimeEntryStep::Ignored;
        for (const char* k = c.keys; *k; k++)
            step = typeIntoTimeEntry(entry, static_cast<unsigned char>(*k));
        EXPECT_EQ(c.last, step) << c.keys;
        EXPECT_STREQ(c.text, entry.text) << c.keys;
        EXPECT_EQ(step == TimeEntryStep::Typed || step == TimeEntryStep::Ignored, entry.active)
            << c.keys;
        double seconds = 0;
        const bool number = timeEntrySeconds(entry, seconds);
        EXPECT_EQ(!std::isnan(c.seconds), number) << c.keys;
        if (number && c.seconds != 0) {
            EXPECT_DOUBLE_EQ(c.seconds, seconds) << c.keys;
        }
    }
}
