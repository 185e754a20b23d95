// Nystagmus and the main sequence against recordings made here from their
// definitions: the true quick phases, drifts and curve are known.
#include "analysis/analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

RecordingTable table;
QuickPhase quick[RECORDING_CAPACITY];
SlowPhase slow[RECORDING_CAPACITY];
EyeEvent events[MOST_EVENTS];

constexpr double PI = 3.14159265358979323846;

// The part of a raised-cosine movement done after fraction u of its time:
// velocity (1 - cos 2 pi u) / duration, its integral u - sin(2 pi u) / 2 pi.
double raisedCosine(double u) {
    return u - std::sin(2 * PI * u) / (2 * PI);
}

// Row i at time t with both eyes at (h, v, torsion) plus each component's
// own noise.
void setRow(int i, double t, const double p[3], std::normal_distribution<double>& noise,
            std::mt19937& random) {
    RecordingRow& row = table.rows[i];
    std::memset(&row, 0, sizeof row);
    row.col[0] = static_cast<float>(t);
    table.times[i] = t;
    table.missingFields[i] = 0;
    for (int column : {3, 10})
        for (int k = 0; k < 3; k++)
            row.col[column + k] = static_cast<float>(p[k] + noise(random));
}

// 250 Hz, 20 s: cycles (at most 40) of a 0.46 s slow phase drifting at
// drift (deg/s) and a 0.04 s raised-cosine quick phase undoing it, then
// fixation at 0 to the end; noise of noiseDeg on every component. The true
// onsets are the quick phases' first samples.
std::vector<int> makeNystagmus(const double drift[3], double noiseDeg, int cycles = 40) {
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0, noiseDeg);
    const double rate = 250, slowSeconds = 0.46, quickSeconds = 0.04;
    double jump[3];
    for (int k = 0; k < 3; k++)
        jump[k] = -drift[k] * slowSeconds;
    std::vector<int> onsets;
    table.rowCount = 5000;
    for (int i = 0; i < table.rowCount; i++) {
        const double t = i / rate;
        const int cycle = static_cast<int>(std::floor(t / 0.5 + 1e-9));
        const double within = t - 0.5 * cycle;
        double p[3];
        for (int k = 0; k < 3; k++) {
            p[k] = 0;
            if (cycle >= cycles)
                continue;
            else if (within < slowSeconds - 1e-9)
                p[k] = drift[k] * within;
            else
                p[k] = drift[k] * slowSeconds +
                       jump[k] * raisedCosine((within - slowSeconds) / quickSeconds);
        }
        setRow(i, t, p, noise, random);
    }
    for (int cycle = 0; cycle < cycles; cycle++)
        onsets.push_back(static_cast<int>(std::lround((0.5 * cycle + slowSeconds) * rate)));
    return onsets;
}

// The check recording: H -2, V 0, T +5 deg/s (quick phases H +0.92, T
// -2.3 deg), noise 0.03 deg; without the horizontal part on request.
std::vector<int> makeNystagmus(bool horizontal) {
    const double drift[3] = {horizontal ? -2.0 : 0.0, 0, 5};
    return makeNystagmus(drift, 0.03);
}

// The quick phases of one eye matched to the true onsets within 2 samples:
// the F1 score of the matching.
double onsetF1(const std::vector<int>& truth, int eye, int count) {
    std::vector<bool> used(truth.size(), false);
    int hits = 0, found = 0;
    for (int k = 0; k < count; k++) {
        if (quick[k].eye != eye) continue;
        found++;
        for (size_t j = 0; j < truth.size(); j++)
            if (!used[j] && std::abs(quick[k].firstRow - truth[j]) <= 2) {
                used[j] = true;
                hits++;
                break;
            }
    }
    const double precision = found ? 1.0 * hits / found : 0, recall = 1.0 * hits / truth.size();
    return precision + recall > 0 ? 2 * precision * recall / (precision + recall) : 0;
}

// The table's quick and slow phases at the default threshold.
void findPhases(QuickPhaseRule& rule, int& count, int& slowCount) {
    count = findQuickPhases(table, 0, table.rowCount, NYSTAGMUS_LAMBDA, quick, RECORDING_CAPACITY,
                            &rule);
    slowCount = findSlowPhases(table, 0, table.rowCount, quick, count, slow, RECORDING_CAPACITY);
}

} // namespace

TEST(Nystagmus, QuickAndSlowPhasesOfTheCheckRecording) {
    const std::vector<int> onsets = makeNystagmus(true);
    QuickPhaseRule rule;
    int count, slowCount;
    findPhases(rule, count, slowCount);
    for (int eye = 0; eye < 2; eye++) {
        EXPECT_TRUE(rule.torsionUsed[eye]);
        EXPECT_GE(onsetF1(onsets, eye, count), 0.95) << eye;
        const NystagmusSummary s = summariseNystagmus(table, 0, table.rowCount, eye, quick, count,
                                                      slow, slowCount, rule.torsionUsed[eye]);
        EXPECT_EQ(40, s.quickPhases) << eye;
        EXPECT_NEAR(2.0, s.quickPhasesPerSecond, 0.05);
        EXPECT_NEAR(-2.0, s.spv[0], 0.10);
        EXPECT_NEAR(0.0, s.spv[1], 0.10);
        EXPECT_NEAR(5.0, s.spv[2], 0.10);
        char line[300];
        describeNystagmus(line, sizeof line, eye, s, FILE_SIGNS);
        EXPECT_NE(nullptr, strstr(line, "2.0 quick phases/s")) << line;
        EXPECT_NE(nullptr, strstr(line, "right-beating, upper pole beating toward the left ear"))
            << line;
        // With the file's horizontal and torsion flipped, the words turn.
        describeNystagmus(line, sizeof line, eye, s, {-1, 1, -1});
        EXPECT_NE(nullptr, strstr(line, "left-beating, upper pole beating toward the right ear"))
            << line;
    }
    // Slow phases lie between the quick phases, at least 50 ms long.
    for (int k = 0; k < slowCount; k++)
        EXPECT_GE(slow[k].end - slow[k].start + 1 / 250.0, SLOW_PHASE_SHORTEST_SECONDS - 1e-9);
}

// Without the horizontal part the saccade detector (on H and V) sees
// nothing; the quick phases, found on torsion too, are all there.
TEST(Nystagmus, PurelyTorsionalQuickPhasesAreFound) {
    const std::vector<int> onsets = makeNystagmus(false);
    int saccades = 0;
    const int events =
        detectEyeEvents(table, 0, table.rowCount, DEFAULT_SACCADE_SETTINGS, ::events, MOST_EVENTS);
    for (int k = 0; k < events; k++)
        saccades += ::events[k].kind == EventKind::Saccade;
    EXPECT_EQ(0, saccades);
    const int count =
        findQuickPhases(table, 0, table.rowCount, NYSTAGMUS_LAMBDA, quick, RECORDING_CAPACITY);
    for (int eye = 0; eye < 2; eye++)
        EXPECT_GE(onsetF1(onsets, eye, count), 0.95) << eye;
    EXPECT_EQ(80, count);
}

// A slow phase faster than lambda sigma: a brisk nystagmus, or a recorder
// with little noise. Every slow-phase sample then drifts faster than the
// threshold, and where the nystagmus stops, the fixation after it differs
// from the drift by as much; neither is a quick phase. The quick phases
// found are those made, and the slow-phase velocity the drift.
TEST(Nystagmus, SlowPhasesFasterThanTheThresholdAreNotQuickPhases) {
    struct Case {
        const char* name;
        double drift[3];
        double noiseDeg;
        int cycles; // then fixation to the end
    };
    const Case cases[] = {{"brisk, 15 deg/s left", {-15, 0, 0}, 0.03, 40},
                          {"brisk, 8 deg/s down, 10 deg/s torsion", {0, -8, 10}, 0.05, 40},
                          {"quiet recorder", {-2, 0, 5}, 0.003, 40},
                          {"brisk, then fixation from 15 s", {-15, 0, 0}, 0.03, 30},
                          {"quiet, then fixation from 15 s", {-2, 0, 5}, 0.003, 30}};
    for (const Case& c : cases) {
        const std::vector<int> onsets = makeNystagmus(c.drift, c.noiseDeg, c.cycles);
        QuickPhaseRule rule;
        int count, slowCount;
        findPhases(rule, count, slowCount);
        for (int eye = 0; eye < 2; eye++) {
            EXPECT_GE(onsetF1(onsets, eye, count), 0.95) << c.name << ", eye " << eye;
            const NystagmusSummary s =
                summariseNystagmus(table, 0, table.rowCount, eye, quick, count, slow, slowCount,
                                   rule.torsionUsed[eye]);
            EXPECT_EQ(c.cycles, s.quickPhases) << c.name;
            for (int k = 0; k < count; k++)
                EXPECT_LT(quick[k].duration, 0.1) << c.name << " at " << quick[k].onset;
            for (int k = 0; k < 3; k++)
                EXPECT_NEAR(c.drift[k], s.spv[k], 0.1 + 0.01 * std::fabs(c.drift[k]))
                    << c.name << ", component " << k;
        }
    }
}

// Bad input: no nystagmus, a gap, one eye alone, torsion not measured.
TEST(Nystagmus, QuietGapsOneEyeAndNoTorsion) {
    struct Case {
        const char* name;
        bool quiet;       // fixation noise only
        bool gap;         // both eyes lost for 0.2 s from 5 s on
        bool leftOnly;    // the right eye's quick phases removed (held still)
        bool noTorsion;   // torsion 0 throughout
        int quickPerEye;  // quick phases each eye keeps
        bool torsionLost; // torsion cells empty from 8 s on
    };
    const Case cases[] = {{"quiet", true, false, false, false, 0, false},
                          {"gap", false, true, false, false, 39, false},
                          {"left eye alone", false, false, true, false, 0, false},
                          {"no torsion", false, false, false, true, 40, false},
                          {"torsion lost from 8 s", false, false, false, false, 40, true}};
    for (const Case& c : cases) {
        makeNystagmus(true);
        std::mt19937 random(3);
        std::normal_distribution<double> noise(0, 0.03);
        for (int i = 0; i < table.rowCount; i++) {
            float* col = table.rows[i].col;
            if (c.quiet)
                for (int k : {3, 4, 5, 10, 11, 12})
                    col[k] = static_cast<float>(noise(random));
            if (c.leftOnly)
                for (int k : {10, 11, 12})
                    col[k] = static_cast<float>(1 + noise(random));
            if (c.noTorsion) col[5] = col[12] = 0;
            // An empty cell reads as 0 and is marked missing.
            if (c.torsionLost && i >= 2000) {
                col[5] = col[12] = 0;
                table.missingFields[i] |= 1u << 5 | 1u << 12;
            }
            // A gap over the quick phase at 9.96 s: it ends that slow phase.
            if (c.gap && i >= 2480 && i < 2500)
                for (int k : {3, 4, 5, 10, 11, 12})
                    col[k] = 0;
        }
        QuickPhaseRule rule;
        int count, slowCount;
        findPhases(rule, count, slowCount);
        const NystagmusSummary s = summariseNystagmus(table, 0, table.rowCount, 0, quick, count,
                                                      slow, slowCount, rule.torsionUsed[0]);
        EXPECT_EQ(c.quickPerEye, s.quickPhases) << c.name;
        char line[300];
        describeNystagmus(line, sizeof line, 0, s, FILE_SIGNS);
        if (c.quickPerEye == 0) {
            EXPECT_TRUE(std::isnan(s.spv[0])) << c.name;
            EXPECT_NE(nullptr, strstr(line, "no nystagmus found")) << c.name << ": " << line;
        }
        if (c.noTorsion) {
            EXPECT_FALSE(rule.torsionUsed[0]);
            EXPECT_NE(nullptr, strstr(line, "no torsion")) << line;
            EXPECT_NEAR(-2.0, s.spv[0], 0.10);
        }
        if (c.torsionLost) {
            // The quick phases while torsion was measured tell its beating;
            // the later ones, from empty cells, have no torsion to tell.
            EXPECT_TRUE(rule.torsionUsed[0]);
            EXPECT_NEAR(5.0, s.spv[2], 0.10);
            EXPECT_NE(nullptr, strstr(line, "upper pole beating toward the left ear")) << line;
        }
        // No quick phase spans a missing sample, no slow phase either.
        for (int k = 0; k < count; k++)
            for (int i = quick[k].firstRow; i < quick[k].endRow; i++)
                EXPECT_FALSE(eyeSampleMissing(table, i, quick[k].eye ? 10 : 3)) << c.name;
        for (int k = 0; k < slowCount; k++)
            for (int i = slow[k].firstRow; i < slow[k].endRow; i++)
                EXPECT_FALSE(eyeSampleMissing(table, i, slow[k].eye ? 10 : 3)) << c.name;
    }
}

// The median slow-phase velocity is a number to publish: for an even count
// the mean of the middle two, as statistics packages have it.
TEST(Nystagmus, MedianSlowPhaseVelocity) {
    struct Case {
        std::vector<double> horizontal; // the left eye's slow phases
        double median;
    };
    const Case cases[] = {{{-1, -4, -2, -3}, -2.5}, {{-3, -1, -2}, -2}, {{5, -1}, 2}, {{-7}, -7}};
    table.rowCount = 100;
    for (int i = 0; i < table.rowCount; i++) {
        const double p[3] = {0, 0, 0};
        std::mt19937 random(1);
        std::normal_distribution<double> noise(0, 0.01);
        setRow(i, i / 100.0, p, noise, random);
    }
    QuickPhase q = {};
    for (const Case& c : cases) {
        std::vector<SlowPhase> phases;
        for (double v : c.horizontal) {
            SlowPhase s = {};
            s.spv[0] = v;
            phases.push_back(s);
        }
        SlowPhase other = {}; // the right eye's, left out
        other.eye = 1;
        other.spv[0] = 100;
        phases.push_back(other);
        const NystagmusSummary s =
            summariseNystagmus(table, 0, table.rowCount, 0, &q, 1, phases.data(),
                               static_cast<int>(phases.size()), true);
        EXPECT_DOUBLE_EQ(c.median, s.spv[0]) << c.horizontal.size() << " slow phases";
    }
}

// 60 horizontal saccades of 1 to 30 deg at 500 Hz, each a raised cosine
// whose peak is 500 (1 - e^(-A/14)) deg/s (so lasting 2 A / peak), 300 ms
// of fixation between them: the fit finds Vmax 500 and C 14 again.
TEST(MainSequence, FitsTheCurveTheSaccadesWereMadeBy) {
    std::mt19937 random(11);
    std::normal_distribution<double> noise(0, 0.01);
    const double rate = 500;
    int i = 0;
    double h = -15, t = 0;
    auto hold = [&](double seconds) {
        for (double end = t + seconds; t < end - 1e-9; t += 1 / rate) {
            const double p[3] = {h, 0, 0};
            setRow(i++, t, p, noise, random);
        }
    };
    hold(0.3);
    for (int k = 0; k < 60; k++) {
        const double amplitude = 1 + 29.0 * k / 59;
        const double peak = 500 * (1 - std::exp(-amplitude / 14));
        const double duration = 2 * amplitude / peak;
        const double direction = k % 2 ? -1 : 1, from = h;
        const double start = t;
        for (; t < start + duration - 1e-9; t += 1 / rate) {
            const double p[3] = {
                from + direction * amplitude * raisedCosine((t - start) / duration), 0, 0};
            setRow(i++, t, p, noise, random);
        }
        h = from + direction * amplitude;
        hold(0.3);
    }
    table.rowCount = i;
    const int count =
        detectEyeEvents(table, 0, table.rowCount, DEFAULT_SACCADE_SETTINGS, events, MOST_EVENTS);
    std::vector<double> amplitudes, peaks;
    for (int k = 0; k < count; k++)
        if (events[k].kind == EventKind::Saccade && events[k].eye == 0) {
            amplitudes.push_back(events[k].amplitudeDeg);
            peaks.push_back(events[k].peakVelocity);
        }
    EXPECT_EQ(60u, amplitudes.size());
    const MainSequence fit =
        fitMainSequence(amplitudes.data(), peaks.data(), static_cast<int>(amplitudes.size()));
    ASSERT_TRUE(fit.valid);
    EXPECT_NEAR(500, fit.vmax, 25);
    EXPECT_NEAR(14, fit.c, 1.5);
    // Below five saccades there is no fit.
    EXPECT_FALSE(fitMainSequence(amplitudes.data(), peaks.data(), 4).valid);
    // Saccades of 0.3 to 2.5 deg only, their peaks 10 % apart from the curve:
    // all before its bend, they fix Vmax / C (about 36) but neither alone.
    std::normal_distribution<double> scatter(1, 0.1);
    std::vector<double> small, smallPeaks;
    for (int k = 0; k < 40; k++) {
        small.push_back(0.3 + 2.2 * k / 39);
        smallPeaks.push_back(500 * (1 - std::exp(-small.back() / 14)) * scatter(random));
    }
    const MainSequence before =
        fitMainSequence(small.data(), smallPeaks.data(), static_cast<int>(small.size()));
    EXPECT_FALSE(before.valid) << before.vmax << " " << before.c;
    EXPECT_EQ(40, before.saccades);
}
