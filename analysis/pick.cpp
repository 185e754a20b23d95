// The sample under the pointer: every shown eye position projected with the
// frame's own matrices, the nearest within reach.
#include "analysis/analysis.h"

#include <cstdio>
#include <initializer_list>

bool projectWithMatrices(const PlotProjection& frame, const double p[3], double& x, double& y) {
    // gluProject: clip = P M (p, 1); window = viewport mapping of clip / w.
    const double* m = frame.modelview;
    const double* q = frame.projection;
    double eye[4], clip[4];
    for (int r = 0; r < 4; r++)
        eye[r] = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r];
    for (int r = 0; r < 4; r++)
        clip[r] = q[r] * eye[0] + q[4 + r] * eye[1] + q[8 + r] * eye[2] + q[12 + r] * eye[3];
    if (clip[3] <= 0) return false;
    x = frame.viewport[0] + (clip[0] / clip[3] + 1) * frame.viewport[2] / 2;
    y = frame.viewport[1] + (clip[1] / clip[3] + 1) * frame.viewport[3] / 2;
    return true;
}

int nearestSample(const ShownSamples& samples, const PlotProjection& frame, double x, double y,
                  double radius) {
    const RecordingTable& t = *samples.table;
    int best = -1;
    double bestSquare = radius * radius;
    for (int i = samples.first; i < samples.end; i++) {
        for (int column : {3, 10}) {
            if (!(column == 3 ? samples.leftEye : samples.rightEye)) continue;
            if (samples.skipMissing && eyeSampleMissing(t, i, column)) continue;
            const float* c = t.rows[i].col;
            const double p[3] = {c[column], samples.torsionScale * c[column + 2], c[column + 1]};
            double px, py;
            // Only what lands in the picture can be seen, and picked.
            if (!projectWithMatrices(frame, p, px, py) || px < frame.viewport[0] ||
                py < frame.viewport[1] || px > frame.viewport[0] + frame.viewport[2] ||
                py > frame.viewport[1] + frame.viewport[3])
                continue;
            const double square = (px - x) * (px - x) + (py - y) * (py - y);
            if (square <= bestSquare) { // later samples win ties: they are drawn on top
                bestSquare = square;
                best = i;
            }
        }
    }
    return best;
}

void describePickedSample(char* out, size_t capacity, const RecordingTable& table, int row,
                          long long sample, long long line) {
    const float* c = table.rows[row].col;
    char where[64] = "";
    if (line > 0) snprintf(where, sizeof where, " (line %lld of the file)", line);
    snprintf(out, capacity,
             "sample %lld%s  t = %.3f s  left H %.2f V %.2f T %.2f  right H %.2f V %.2f T %.2f  "
             "(deg)",
             sample, where, c[0], c[3], c[4], c[5], c[10], c[11], c[12]);
}
