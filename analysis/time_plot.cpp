// The time plot's traces reduced to pixel columns, and the rows a time or
// a span of time in it stands for.
#include "analysis/analysis.h"

#include <cmath>

namespace {

// The columns of one value per row: valueOf(row, v) gives it, or false
// where the sample is missing (which breaks the trace).
template <typename ValueOf>
void decimate(const RecordingTable& table, int first, int end, double t0, double t1, int columns,
              TraceColumn* out, ValueOf valueOf) {
    for (int c = 0; c < columns; c++)
        out[c] = {0, 0, 0, 0, 0, 0};
    if (columns < 1 || !(t1 > t0)) return;
    const double perSecond = columns / (t1 - t0);
    bool broken = false; // a missing sample since the last one drawn
    for (int i = first; i < end; i++) {
        const double t = table.rows[i].col[0];
        if (!(t >= t0 && t <= t1)) continue;
        float v;
        if (!valueOf(i, v)) {
            broken = true;
            continue;
        }
        if (!std::isfinite(v)) continue;
        int c = static_cast<int>((t - t0) * perSecond);
        if (c >= columns) c = columns - 1; // t1 itself
        TraceColumn& column = out[c];
        if (!column.filled) {
            column = {v, v, v, v, 1, static_cast<uint8_t>(broken)};
        } else {
            column.low = std::fmin(column.low, v);
            column.high = std::fmax(column.high, v);
            column.last = v;
        }
        broken = false;
    }
}

} // namespace

void decimateTrace(const RecordingTable& table, int first, int end, int eyeColumn, int field,
                   double t0, double t1, int columns, TraceColumn* out) {
    decimate(table, first, end, t0, t1, columns, out, [&](int i, float& v) {
        v = table.rows[i].col[eyeColumn + field];
        // A torsion that was not measured is a gap in the torsion trace only.
        return !eyeSampleMissing(table, i, eyeColumn) &&
               (field != 2 || !eyeTorsionMissing(table, i, eyeColumn));
    });
}

void decimateVergence(const RecordingTable& table, int first, int end, int component, double t0,
                      double t1, int columns, TraceColumn* out) {
    decimate(table, first, end, t0, t1, columns, out, [&](int i, float& v) {
        double vergence[3];
        vergenceOf(table.rows[i].col, kinematicsSettings.signs, vergence);
        v = static_cast<float>(vergence[component]);
        return !eyeSampleMissing(table, i, 3) && !eyeSampleMissing(table, i, 10) &&
               (component != 2 ||
                (!eyeTorsionMissing(table, i, 3) && !eyeTorsionMissing(table, i, 10)));
    });
}

int rowNearestTime(const RecordingTable& table, int first, int end, double t) {
    int best = -1;
    double bestGap = INFINITY;
    for (int i = first; i < end; i++) {
        const double gap = std::fabs(table.rows[i].col[0] - t);
        if (gap < bestGap) { // the first of equal times
            bestGap = gap;
            best = i;
        }
    }
    return best;
}

bool rowsInTimeSpan(const RecordingTable& table, int first, int end, double a, double b,
                    int& rowFirst, int& rowEnd) {
    const double low = std::fmin(a, b), high = std::fmax(a, b);
    rowFirst = -1;
    rowEnd = -1;
    for (int i = first; i < end; i++) {
        const double t = table.rows[i].col[0];
        if (t < low || t > high) continue;
        if (rowFirst < 0) rowFirst = i;
        rowEnd = i + 1;
    }
    return rowFirst >= 0;
}
