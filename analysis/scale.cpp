// The steps of a scale: numbers at 1, 2 or 5 times a power of ten.
#include "analysis/analysis.h"

#include <cmath>
#include <cstdio>

int tickCount(double low, double high, double step) {
    if (!(step > 0) || !(low <= high)) return 0;
    // A little slack, so that a bound that is itself a multiple counts.
    const double slack = 1e-9 * step;
    return static_cast<int>(std::floor((high + slack) / step) - std::ceil((low - slack) / step)) +
           1;
}

double chooseTickStep(double low, double high, int most) {
    if (!(high > low) || !std::isfinite(high - low)) return 0;
    // From a step that puts about most numbers on the span upwards: the
    // first that puts no more than most on it puts the most that fit.
    const double multiples[3] = {1, 2, 5};
    double power = std::pow(10.0, std::floor(std::log10((high - low) / most)) - 1);
    for (int tries = 0; tries < 12; tries++, power *= 10) {
        for (double m : multiples)
            if (tickCount(low, high, m * power) <= most) return m * power;
    }
    return 0;
}

void formatTickValue(char* out, size_t capacity, double value, double step) {
    // As many decimals as the step has: 0.5 steps give 2.5, 5 steps give 25.
    int decimals = 0;
    for (double s = step; s < 0.999999 && decimals < 6; s *= 10)
        decimals++;
    if (std::fabs(value) < step * 1e-6) value = 0; // never "-0"
    snprintf(out, capacity, "%.*f", decimals, value);
}

bool boxesOverlap(const LabelBox& a, const LabelBox& b) {
    return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

void keepApartLabels(const LabelBox* boxes, int count, int reserved, bool* kept) {
    for (int i = 0; i < count; i++) {
        kept[i] = true;
        if (i < reserved) continue;
        for (int j = 0; j < i && kept[i]; j++)
            kept[i] = !kept[j] || !boxesOverlap(boxes[i], boxes[j]);
    }
}

bool visibleAxisPart(const PlotProjection& frame, int axis, double low, double high, double& from,
                     double& to) {
    // The axis is sampled finely: the part inside the window is one
    // interval, as a straight line meets a rectangle in one piece.
    constexpr int STEPS = 400;
    bool any = false;
    for (int k = 0; k <= STEPS; k++) {
        const double at = low + (high - low) * k / STEPS;
        double p[3] = {0, 0, 0};
        p[axis] = at;
        double x, y;
        if (!projectWithMatrices(frame, p, x, y)) continue;
        const int* v = frame.viewport;
        if (x < v[0] || x > v[0] + v[2] || y < v[1] || y > v[1] + v[3]) continue;
        if (!any) from = at;
        to = at;
        any = true;
    }
    return any;
}
