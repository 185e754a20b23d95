// The events table's sidecar (FILE.json beside FILE.tsv, as BIDS has it):
// every column with its units, and how the events were found, so that the
// table can be read and cited without this program at hand.
#include "app/app.h"

#include "analysis/analysis.h"
#include "recording/recording.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#ifndef QUELVIST_VERSION
#define QUELVIST_VERSION "unknown"
#endif

// The sidecar's first line and the start of its second, by which the
// program knows its own.
const char* const EVENTS_SIDECAR_START = "{\n  \"GeneratedBy\": [{\"Name\": \"Quelvist\"";

namespace {

// A JSON string: quotes, backslashes and control characters escaped, bytes
// that are not UTF-8 (a file name from another system) as U+FFFD.
std::string jsonString(const std::string& text) {
    std::string out = "\"";
    const auto* p = reinterpret_cast<const unsigned char*>(text.c_str());
    const auto* end = p + text.size();
    while (p < end) {
        const unsigned char c = *p;
        int length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        bool valid = length > 0 && p + length <= end;
        for (int k = 1; valid && k < length; k++)
            valid = (p[k] & 0xC0) == 0x80;
        if (!valid) {
            out += "\xEF\xBF\xBD";
            p++;
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            p++;
        } else if (c < 0x20) {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
            p++;
        } else {
            out.append(reinterpret_cast<const char*>(p), length);
            p += length;
        }
    }
    return out + "\"";
}

std::string number(double value) {
    if (!std::isfinite(value)) return "null";
    char text[40];
    snprintf(text, sizeof text, "%.10g", value);
    return text;
}

// A column: its description and units.
std::string column(const char* name, const std::string& description, const char* units) {
    return std::string("  \"") + name + "\": {\"Description\": " + jsonString(description) +
           ", \"Units\": \"" + units + "\"},\n";
}

const char* fileName(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; p++)
        if (*p == '/' || *p == '\\') name = p + 1;
    return name;
}

// "500 Hz", "499.9-500.1 Hz", or "an unknown rate" when Time never advanced.
std::string describeRates(double lowest, double highest) {
    if (!(lowest > 0)) return "an unknown rate";
    char text[80];
    if (std::fabs(highest - lowest) <= 1e-9 * highest)
        snprintf(text, sizeof text, "%.6g Hz", lowest);
    else
        snprintf(text, sizeof text, "%.6g-%.6g Hz", lowest, highest);
    return text;
}

} // namespace

std::string eventsSidecarName(const char* eventsPath) {
    std::string name = eventsPath;
    const size_t n = name.size();
    const size_t separator = name.find_last_of("/\\");
    const bool tsv =
        n > 4 && name[n - 4] == '.' && (separator == std::string::npos || separator < n - 4) &&
        (name[n - 3] | 0x20) == 't' && (name[n - 2] | 0x20) == 's' && (name[n - 1] | 0x20) == 'v';
    if (tsv) name.resize(n - 4);
    return name + ".json";
}

std::string describeSaccadeRules(const SaccadeSettings& s, double lowestRate, double highestRate) {
    char text[300];
    snprintf(text, sizeof text,
             "saccades after Engbert & Kliegl (2003): lambda %.10g, at least %.10g ms and 2 "
             "samples, at least %.10g deg, runs less than %.10g ms apart merged; samples at %s",
             s.lambda, s.shortestSeconds * 1000, s.smallestAmplitudeDeg,
             SACCADE_MERGE_SECONDS * 1000, describeRates(lowestRate, highestRate).c_str());
    return text;
}

std::string describeEventsTable(const StartOptions& o, const char* recording, double lowestRate,
                                double highestRate) {
    static const char* const axes[3][2] = {{"positive right", "positive left"},
                                           {"positive up", "positive down"},
                                           {"positive clockwise as the subject sees it",
                                            "positive counterclockwise as the subject sees it"}};
    const int signs[3] = {o.signs.h, o.signs.v, o.signs.t};
    const char* const names[3] = {"horizontal", "vertical", "torsion"};
    std::string json = EVENTS_SIDECAR_START;
    const bool phases = o.nystagmus;
    json += ", \"Version\": \"" QUELVIST_VERSION "\", \"Description\": " +
            jsonString(phases ? "saccades, blinks, losses of tracking and the quick and slow "
                                "phases of nystagmus found in an eye-movement recording: "
                                "quelvist --events --nystagmus"
                              : "saccades, blinks and losses of tracking found in an eye-movement "
                                "recording: quelvist --events") +
            "}],\n";
    json += "  \"Recording\": " + jsonString(fileName(recording)) + ",\n";
    json += column("onset",
                   "When the event begins, from the recording's Time column: a saccade's first "
                   "sample; a blink or loss 10 ms before its first missing sample (not before the "
                   "first sample of its stretch of increasing Time)",
                   "s");
    json += column("duration",
                   std::string("How long the event lasts: its samples times the sampling "
                               "interval (1 / SamplingFrequency); a blink or loss with 10 ms on "
                               "each side") +
                       (phases ? "; a slow phase without the 10 ms trimmed at each end" : ""),
                   "s");
    json += "  \"trial_type\": {\"Description\": \"The kind of event\", \"Levels\": {"
            "\"saccade\": " +
            jsonString("a run of samples whose velocity passes the threshold of "
                       "SaccadeDetection") +
            ", \"blink\": " +
            jsonString("missing samples lasting 50 to 500 ms, their 10 ms margins included") +
            ", \"loss\": " +
            jsonString("missing samples lasting less than 50 ms or more than 500 ms: tracking "
                       "lost") +
            (phases ? ", \"quick_phase\": " +
                          jsonString("a quick phase of nystagmus: a run of samples whose velocity "
                                     "passes the threshold of NystagmusDetection") +
                          ", \"slow_phase\": " +
                          jsonString("a slow phase of nystagmus: the samples between a quick "
                                     "phase and the next quick phase or missing sample (or a "
                                     "missing sample and the next quick phase), 10 ms trimmed "
                                     "at each end, at least 50 ms long")
                    : "") +
            "}},\n";
    json += "  \"eye\": {\"Description\": \"Whose event it is\", \"Levels\": {\"left\": \"the "
            "left eye's\", \"right\": \"the right eye's\", \"both\": " +
            jsonString("events of the same kind of the two eyes that overlap: one event "
                       "spanning both, its amplitude, peak velocity and positions the two eyes' "
                       "mean" +
                       std::string(phases ? " (quick and slow phases are always one eye's)" : "")) +
            "}},\n";
    json += column("amplitude_deg",
                   std::string("A saccade's size: sqrt(dH^2 + dV^2) between its first and last "
                               "sample's horizontal and vertical positions (torsion left out)") +
                       (phases ? "; a quick phase's: sqrt(dH^2 + dV^2 + dT^2) between the "
                                 "samples before and after it (torsion where the quick phases "
                                 "were found on it); n/a for blinks, losses and slow phases"
                               : "; n/a for blinks and losses"),
                   "deg");
    json += column("peak_velocity_deg_s",
                   std::string("A saccade's greatest speed sqrt(vH^2 + vV^2), velocities from "
                               "five samples (Engbert & Kliegl 2003, eq. 1)") +
                       (phases ? "; a quick phase's sqrt(vH^2 + vV^2 + vT^2); n/a for blinks, "
                                 "losses and slow phases"
                               : "; n/a for blinks and losses"),
                   "deg/s");
    for (int end = 0; end < 2; end++)
        for (int axis = 0; axis < 3; axis++) {
            const std::string name = std::string(end ? "end_" : "start_") + names[axis];
            static const char* const what[3] = {"horizontal eye position", "vertical eye position",
                                                "torsion"};
            std::string description = std::string("The ") + what[axis] + " " +
                                      (end ? "at a saccade's last sample; for a blink or loss at "
                                             "the first sample after it"
                                           : "at a saccade's first sample; for a blink or loss "
                                             "at the last sample before it") +
                                      (!phases ? ""
                                       : end   ? "; for a quick phase at the sample after it; for "
                                                 "a slow phase at its last sample"
                                               : "; for a quick phase at the sample before it; "
                                                 "for a slow phase at its first sample") +
                                      ", as the recording holds it (" +
                                      axes[axis][signs[axis] < 0] + "); n/a where there is none";
            json += column(name.c_str(), description, "deg");
        }
    if (phases)
        for (int axis = 0; axis < 3; axis++) {
            const std::string name = std::string("spv_") + names[axis];
            json += column(name.c_str(),
                           std::string("A slow phase's velocity of ") + names[axis] + " (" +
                               axes[axis][signs[axis] < 0] +
                               "): the least-squares slope of its samples' positions against "
                               "Time" +
                               (axis == 2 ? ", n/a where torsion was not measured" : "") +
                               "; n/a for other events",
                           "deg/s");
        }
    json += "  \"SamplingFrequency\": " + number(lowestRate > 0 ? lowestRate : NAN) + ",\n";
    if (lowestRate > 0 && std::fabs(highestRate - lowestRate) > 1e-9 * highestRate)
        json += "  \"SamplingFrequencyRange\": [" + number(lowestRate) + ", " +
                number(highestRate) + "],\n";
    const SaccadeSettings& s = o.saccades;
    json += "  \"SaccadeDetection\": {\"Method\": " +
            jsonString("Engbert & Kliegl (2003), Vision Research 43, 1035-1045: a sample is a "
                       "candidate when (vH / (lambda sigmaH))^2 + (vV / (lambda sigmaV))^2 > 1, "
                       "sigma = sqrt(median(v^2) - median(v)^2) per component (or, where that "
                       "is 0, from the mean); missing samples and 10 ms around them are never "
                       "candidates; sigma is taken over each page of up to 50000 samples") +
            ",\n    \"VelocityThresholdLambda\": " + number(s.lambda) +
            ", \"MinimumDurationMs\": " + number(s.shortestSeconds * 1000) +
            ", \"MinimumSamples\": 2, \"MinimumAmplitudeDeg\": " + number(s.smallestAmplitudeDeg) +
            ", \"MergedWithinMs\": " + number(SACCADE_MERGE_SECONDS * 1000) + "},\n";
    if (phases)
        json += "  \"NystagmusDetection\": {\"Method\": " +
                jsonString("Engbert & Kliegl (2003) on horizontal, vertical and torsion, per "
                           "eye: a sample is a candidate when (vH / (lambda sigmaH))^2 + (vV / "
                           "(lambda sigmaV))^2 + (vT / (lambda sigmaT))^2 > 1 and the same holds "
                           "for v - median v, sigma = sqrt(median((v - median v)^2)) per "
                           "component (or, where that is 0, from the mean), a component that never "
                           "varies left out; missing "
                           "samples and 10 ms around them are never candidates; a quick phase of "
                           "one eye is kept only where the other eye's overlaps it or the other "
                           "eye is missing; sigma is taken over each page of up to 50000 "
                           "samples") +
                ",\n    \"VelocityThresholdLambda\": " + number(o.nystagmusLambda) +
                ", \"MinimumSamples\": " + number(QUICK_PHASE_FEWEST_SAMPLES) +
                ", \"MergedWithinMs\": " + number(QUICK_PHASE_MERGE_SECONDS * 1000) +
                ", \"SlowPhaseTrimMs\": " + number(SLOW_PHASE_TRIM_SECONDS * 1000) +
                ", \"SlowPhaseShortestMs\": " + number(SLOW_PHASE_SHORTEST_SECONDS * 1000) + "},\n";
    json += "  \"BlinkDetection\": {\"MarginMs\": " + number(BLINK_MARGIN_SECONDS * 1000) +
            ", \"BlinkShortestMs\": " + number(BLINK_SHORTEST_SECONDS * 1000) +
            ", \"BlinkLongestMs\": " + number(BLINK_LONGEST_SECONDS * 1000) + "},\n";
    json += "  \"AngleConvention\": \"";
    json += o.convention == AngleConvention::Fick ? "fick" : "helmholtz";
    json += "\",\n  \"AxisSigns\": {";
    for (int axis = 0; axis < 3; axis++)
        json += std::string(axis ? ", " : "") + "\"" + names[axis] + "\": \"" +
                axes[axis][signs[axis] < 0] + "\"";
    json += "},\n";
    const bool fromGiven = o.from != WHOLE_RECORDING.from, toGiven = o.to != WHOLE_RECORDING.to;
    json += "  \"TimeSelection\": {\"From\": " + (fromGiven ? number(o.from) : "null") +
            ", \"To\": " + (toGiven ? number(o.to) : "null") + "}\n}\n";
    return json;
}
