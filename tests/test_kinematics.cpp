// Rotation vectors and Listing's plane against values computed
// independently of this program.
#include "analysis/analysis.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
constexpr double PI = 3.14159265358979323846;
}

TEST(Kinematics, FickAndHelmholtzRotationVectors) {
    double r[3], degrees[3];
    rotationVectorOf(20, 10, 2, AngleConvention::Fick, FILE_SIGNS, r);
    EXPECT_NEAR(0.002028, r[0], 1e-6);
    EXPECT_NEAR(-0.090542, r[1], 1e-6);
    EXPECT_NEAR(-0.174753, r[2], 1e-6);
    // Horizontal right, torsion, vertical up: the torsion drops to 0.23.
    rotationVectorDegrees(r, degrees);
    EXPECT_NEAR(19.7725, degrees[0], 1e-4);
    EXPECT_NEAR(0.2294, degrees[1], 1e-4);
    EXPECT_NEAR(10.2444, degrees[2], 1e-4);
    // A single turn is the same in both orders; flipped signs mirror it.
    double fick[3], helmholtz[3], flipped[3];
    rotationVectorOf(0, 15, 0, AngleConvention::Fick, FILE_SIGNS, fick);
    rotationVectorOf(0, 15, 0, AngleConvention::Helmholtz, FILE_SIGNS, helmholtz);
    rotationVectorOf(0, -15, 0, AngleConvention::Fick, {1, -1, 1}, flipped);
    for (int k = 0; k < 3; k++) {
        EXPECT_NEAR(fick[k], helmholtz[k], 1e-12);
        EXPECT_NEAR(fick[k], flipped[k], 1e-12);
    }
    // Helmholtz differs in the sign of t_theta t_phi in r_x and the denominator.
    rotationVectorOf(20, 10, 2, AngleConvention::Helmholtz, FILE_SIGNS, helmholtz);
    const double a = std::tan(-10 * PI / 180), b = std::tan(-5 * PI / 180),
                 c = std::tan(1 * PI / 180);
    EXPECT_NEAR((c + a * b) / (1 - a * b * c), helmholtz[0], 1e-12);
}

// Nine Fick positions of an eye that obeys Listing's law with its primary
// position 6 deg right and 10 deg up.
TEST(Kinematics, ListingPlaneOfAnEyeThatObeysTheLaw) {
    const double positions[9][3] = {{6, 30, 0.525409},
                                    {21.31015, 23.662382, 5.014662},
                                    {26.283559, 9.391286, 3.976587},
                                    {20.035778, -4.300917, 1.232173},
                                    {6, -10, 0.525409},
                                    {-8.035778, -4.300917, -0.181356},
                                    {-14.283559, 9.391286, -2.92577},
                                    {-9.31015, 23.662382, -3.963845},
                                    {6, 10, 0.525409}};
    double vectors[9][3];
    for (int i = 0; i < 9; i++)
        rotationVectorOf(positions[i][0], positions[i][1], positions[i][2], AngleConvention::Fick,
                         FILE_SIGNS, vectors[i]);
    const ListingPlane plane = fitListingPlane(vectors, 9, FILE_SIGNS);
    ASSERT_TRUE(plane.valid);
    EXPECT_NEAR(0.052006, plane.b, 1e-6);
    EXPECT_NEAR(-0.087727, plane.c, 1e-6);
    EXPECT_NEAR(0, plane.thicknessDeg, 1e-4);
    EXPECT_NEAR(6.000, plane.primaryRightDeg, 1e-3);
    EXPECT_NEAR(10.000, plane.primaryUpDeg, 1e-3);
    // The export with horizontal positive left: the same eye, in its signs.
    for (int i = 0; i < 9; i++)
        rotationVectorOf(-positions[i][0], positions[i][1], positions[i][2], AngleConvention::Fick,
                         {-1, 1, 1}, vectors[i]);
    const ListingPlane mirrored = fitListingPlane(vectors, 9, {-1, 1, 1});
    EXPECT_NEAR(-6.000, mirrored.primaryRightDeg, 1e-3);
    EXPECT_NEAR(10.000, mirrored.primaryUpDeg, 1e-3);
    // Two positions give no plane.
    EXPECT_FALSE(fitListingPlane(vectors, 2, FILE_SIGNS).valid);
}

namespace {

RecordingTable table;

} // namespace

// 500 Hz, 2 s, both eyes fixating with a small deterministic tremor; a 10
// degree saccade (horizontal 8, vertical 6) over 40 ms from 1.000 s in both
// eyes; the left eye lost for 100 ms from 1.5 s (a blink), the right for
// 600 ms from 0.2 s (a loss).
TEST(Kinematics, SaccadesBlinksAndLosses) {
    table = {};
    table.rowCount = 1000;
    for (int i = 0; i < 1000; i++) {
        const double t = i / 500.0;
        float* c = table.rows[i].col;
        c[0] = static_cast<float>(t);
        table.times[i] = t;
        const double tremor = 0.01 * std::sin(i * 2.1) + 0.01 * std::cos(i * 0.7);
        const double s = t < 1 ? 0 : t >= 1.04 ? 1 : (1 - std::cos(PI * (t - 1) / 0.04)) / 2;
        for (int column : {3, 10}) {
            c[column] = static_cast<float>(2 + 8 * s + tremor);
            c[column + 1] = static_cast<float>(-1 + 6 * s - tremor);
            c[column + 2] = 0.5f;
        }
        if (t >= 1.5 && t < 1.6) c[3] = c[4] = c[5] = 0;
        if (t >= 0.2 && t < 0.8) c[10] = c[11] = c[12] = 0;
    }
    EXPECT_NEAR(500, medianSampleRate(table, 0, 1000), 1e-9); // from the times as written
    static EyeEvent events[64];
    const int count = detectEyeEvents(table, 0, 1000, DEFAULT_SACCADE_SETTINGS, events, 64);
    ASSERT_EQ(4, count);
    // In order of onset: the right eye's loss, the saccades, the blink.
    EXPECT_EQ(EventKind::Loss, events[0].kind);
    EXPECT_EQ(1, events[0].eye);
    EXPECT_NEAR(0.2 - 0.01, events[0].onset, 1e-4);
    EXPECT_NEAR(0.6 + 0.02, events[0].duration, 1e-4);
    for (int e : {1, 2}) {
        EXPECT_EQ(EventKind::Saccade, events[e].kind);
        EXPECT_TRUE(events[e].binocular);
        EXPECT_NEAR(1.0, events[e].onset, 0.002) << e; // within one sample
        EXPECT_NEAR(10, events[e].amplitudeDeg, 0.1) << e;
        // Peak velocity of the cosine profile: 10 pi / (2 * 0.04) = 392.7 deg/s.
        EXPECT_NEAR(392.7, events[e].peakVelocity, 392.7 * 0.05) << e;
    }
    EXPECT_EQ(EventKind::Blink, events[3].kind);
    EXPECT_EQ(0, events[3].eye);
    EXPECT_NEAR(1.5 - 0.01, events[3].onset, 1e-4);
    EXPECT_NEAR(0.1 + 0.02, events[3].duration, 1e-4);
    EXPECT_NEAR(2 + 8, events[3].start[0], 0.05); // the sample before the blink
}

// The rules a study sets: three saccades of the left eye at 500 Hz with
// cosine profiles, (size, duration) = (0.6 deg, 16 ms), (3 deg, 30 ms),
// (12 deg, 50 ms), between fixations with a tremor of 0.01 deg. Their
// peak velocities, pi A / (2 D): 59, 157 and 377 deg/s.
TEST(Kinematics, SaccadeRulesAsSet) {
    table = {};
    table.rowCount = 1500;
    struct Jump {
        double at, size, seconds;
    } jumps[] = {{0.5, 0.6, 0.016}, {1.2, 3, 0.030}, {2.0, 12, 0.050}};
    for (int i = 0; i < table.rowCount; i++) {
        const double t = i / 500.0;
        float* c = table.rows[i].col;
        c[0] = static_cast<float>(t);
        table.times[i] = t;
        double h = 1;
        for (const Jump& j : jumps)
            h += t < j.at                ? 0
                 : t >= j.at + j.seconds ? j.size
                                         : j.size * (1 - std::cos(PI * (t - j.at) / j.seconds)) / 2;
        c[3] = static_cast<float>(h + 0.01 * std::sin(i * 2.1));
        c[4] = static_cast<float>(1 + 0.01 * std::cos(i * 0.7));
        c[5] = 0.5f;
    }
    struct Case {
        SaccadeSettings settings;
        int saccades; // found: the jumps from firstKept on
        int firstKept;
    };
    const Case cases[] = {
        {DEFAULT_SACCADE_SETTINGS, 3, 0},
        {{6, 0.012, 1}, 2, 1},   // the smallest left out
        {{6, 0.012, 3.5}, 1, 2}, // and the middle one
        {{6, 0.040, 0}, 1, 2},   // only the longest lasts 40 ms above threshold
        {{1e6, 0.012, 0}, 0, 3}, // a threshold no velocity reaches
    };
    static EyeEvent events[64];
    for (const Case& c : cases) {
        const int count = detectEyeEvents(table, 0, table.rowCount, c.settings, events, 64);
        int saccades = 0;
        for (int e = 0; e < count; e++) {
            if (events[e].kind != EventKind::Saccade || events[e].eye != 0) continue;
            const Jump& j = jumps[c.firstKept + saccades++];
            EXPECT_NEAR(j.size, events[e].amplitudeDeg, 0.05) << c.settings.smallestAmplitudeDeg;
            EXPECT_NEAR(PI * j.size / (2 * j.seconds), events[e].peakVelocity,
                        0.1 * PI * j.size / (2 * j.seconds));
        }
        EXPECT_EQ(c.saccades, saccades) << c.settings.lambda << " " << c.settings.shortestSeconds
                                        << " " << c.settings.smallestAmplitudeDeg;
    }
}

// The Listing view's table and readouts.
TEST(Kinematics, ListingViewTableAndReadout) {
    table = {};
    table.rowCount = 2;
    float* c = table.rows[0].col;
    c[3] = 20, c[4] = 10, c[5] = 2;
    c[10] = c[11] = c[12] = 0; // missing: stays as it is
    table.rows[1].col[3] = 1;
    convertToRotationDegrees(table, {AngleConvention::Fick, FILE_SIGNS});
    EXPECT_NEAR(19.7725, c[3], 1e-4);
    EXPECT_NEAR(10.2444, c[4], 1e-4);
    EXPECT_NEAR(0.2294, c[5], 1e-4);
    EXPECT_EQ(0, c[10]);
    ListingPlane plane = {};
    plane.valid = true;
    plane.samples = 4212;
    plane.b = 0.052006;
    plane.c = -0.087727;
    plane.trueRightDeg = -6; // the readout names true directions
    plane.trueUpDeg = 10;
    plane.thicknessDeg = 0.954;
    char text[200];
    describeListingPlane(text, sizeof text, 0, plane);
    EXPECT_STREQ("left: primary position 6.0\xB0 left 10.0\xB0 up, thickness 0.95\xB0 (4212 "
                 "fixation samples)",
                 text);
    // The normal (1, -b, -c) leans atan(sqrt(b^2 + c^2)) = 5.823 deg from forward.
    EXPECT_NEAR(5.823, planeAngleDeg(plane, ListingPlane{}), 1e-3);
    plane.valid = false;
    plane.samples = 12;
    describeListingPlane(text, sizeof text, 1, plane);
    EXPECT_STREQ("right: too few fixation samples (12)", text);
}
