// Fitting the view to the samples, and projecting plot points as GL does.
#include "analysis/analysis.h"

#include "view/view.h"

#include <cmath>
#include <initializer_list>
#include <limits>

namespace {

constexpr double DEGREE = 3.14159265358979323846 / 180;

// Rotation about a coordinate axis with glRotatef's matrix (the OpenGL 1.1
// reference page of glRotate), applied to v.
void rotate(double degrees, int axis, double v[3]) {
    const double c = std::cos(degrees * DEGREE), s = std::sin(degrees * DEGREE);
    const int a = (axis + 1) % 3, b = (axis + 2) % 3;
    const double va = v[a], vb = v[b];
    v[a] = c * va - s * vb;
    v[b] = s * va + c * vb;
}

// The inverse, M^-1 R^T v.
void unrotate(const PlotPose& pose, double v[3]) {
    rotate(-pose.angleX, 0, v);
    rotate(-pose.angleY, 1, v);
    rotate(-pose.angleZ, 2, v);
    if (pose.mirrorTorsion) v[1] = -v[1];
}

// Half the height the view shows at the pose's distance from the eye.
double halfHeightAt(const PlotLens& lens, double distance) {
    return distance * std::tan(lens.fovY * DEGREE / 2);
}

// Visits the shown samples' plot points.
template <typename Visit>
void forEachShownPoint(const ShownSamples& samples, double s, Visit visit) {
    const RecordingTable& t = *samples.table;
    for (int i = samples.first; i < samples.end; i++) {
        for (int column : {3, 10}) {
            if (!(column == 3 ? samples.leftEye : samples.rightEye)) continue;
            if (samples.skipMissing && eyeSampleMissing(t, i, column)) continue;
            const float* c = t.rows[i].col;
            const double p[3] = {c[column], s * c[column + 2], c[column + 1]};
            if (std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2])) visit(p);
        }
    }
}

} // namespace

void rotatePlotPoint(const PlotPose& pose, const double p[3], double out[3]) {
    out[0] = p[0];
    out[1] = p[1];
    out[2] = p[2];
    if (pose.mirrorTorsion) out[1] = -out[1];
    // The modelview is Rx Ry Rz M: M acts on the point first, then Rz.
    rotate(pose.angleZ, 2, out);
    rotate(pose.angleY, 1, out);
    rotate(pose.angleX, 0, out);
}

bool projectPlotPoint(const PlotPose& pose, const PlotLens& lens, const double p[3], double& x,
                      double& y) {
    const double relative[3] = {p[0] - pose.centre[0], p[1] - pose.centre[1],
                                p[2] - pose.centre[2]};
    double eye[3];
    rotatePlotPoint(pose, relative, eye);
    const double aspect = static_cast<double>(lens.width) / (lens.height > 0 ? lens.height : 1);
    if (lens.orthographic) {
        // glOrtho over +-halfHeight, +-halfHeight * aspect.
        const double h = halfHeightAt(lens, pose.distance);
        x = (eye[0] / (h * aspect) + 1) * lens.width / 2;
        y = (eye[1] / h + 1) * lens.height / 2;
        return true;
    }
    eye[2] -= pose.distance;
    if (eye[2] >= 0) return false;
    // gluPerspective: f = cot(fovY / 2); x_ndc = f / aspect * x / -z.
    const double f = 1 / std::tan(lens.fovY * DEGREE / 2);
    x = (f / aspect * eye[0] / -eye[2] + 1) * lens.width / 2;
    y = (f * eye[1] / -eye[2] + 1) * lens.height / 2;
    return true;
}

bool fitPlotPose(const ShownSamples& samples, const PlotLens& lens, double fill, PlotPose& pose) {
    const double inf = std::numeric_limits<double>::infinity();
    double low[3] = {inf, inf, inf}, high[3] = {-inf, -inf, -inf};
    forEachShownPoint(samples, pose.torsionScale, [&](const double p[3]) {
        double q[3];
        rotatePlotPoint(pose, p, q);
        for (int k = 0; k < 3; k++) {
            low[k] = std::fmin(low[k], q[k]);
            high[k] = std::fmax(high[k], q[k]);
        }
    });
    if (!(low[0] <= high[0])) return false;
    // The middle of the box the samples fill, seen from the current angles.
    double middle[3] = {(low[0] + high[0]) / 2, (low[1] + high[1]) / 2, (low[2] + high[2]) / 2};
    // The nearest distance at which every point stays within the part of
    // the window: |x| / (d - z) <= fill * tan(fovY / 2) * aspect, the same for y.
    // A parallel view's width does not change with depth: |x| / d <= ...
    const double tanY = fill * std::tan(lens.fovY * DEGREE / 2);
    const double tanX = tanY * lens.width / (lens.height > 0 ? lens.height : 1);
    double distance = lens.orthographic ? NEAREST_ORTHO_DISTANCE : NEAREST_DISTANCE;
    forEachShownPoint(samples, pose.torsionScale, [&](const double p[3]) {
        double q[3];
        rotatePlotPoint(pose, p, q);
        const double x = q[0] - middle[0], y = q[1] - middle[1];
        const double z = lens.orthographic ? 0 : q[2] - middle[2];
        distance = std::fmax(distance, z + std::fabs(x) / tanX);
        distance = std::fmax(distance, z + std::fabs(y) / tanY);
        if (!lens.orthographic) distance = std::fmax(distance, z + 2); // before the near plane
    });
    unrotate(pose, middle);
    for (int k = 0; k < 3; k++)
        pose.centre[k] = middle[k];
    pose.distance = distance;
    return true;
}

bool allSamplesInView(const ShownSamples& samples, const PlotPose& pose, const PlotLens& lens) {
    bool inside = true;
    forEachShownPoint(samples, pose.torsionScale, [&](const double p[3]) {
        double x, y;
        if (!inside) return;
        inside = projectPlotPoint(pose, lens, p, x, y) && x >= 0 && y >= 0 && x <= lens.width &&
                 y <= lens.height;
    });
    return inside;
}

bool keepSamplesClearOf(const ShownSamples& samples, const PlotLens& lens, const int box[4],
                        PlotPose& pose) {
    for (int step = 0;; step++) {
        bool clear = true;
        forEachShownPoint(samples, pose.torsionScale, [&](const double p[3]) {
            double x, y;
            if (clear && projectPlotPoint(pose, lens, p, x, y))
                clear = !(x >= box[0] && x <= box[2] && y >= box[1] && y <= box[3]);
        });
        if (clear) return true;
        if (step == FIT_CLEARANCE_STEPS) return false;
        pose.distance *= FIT_CLEARANCE_STEP;
    }
}

PlotPose plotPoseOf(const ViewState& state) {
    return {state.angleX,
            state.angleY,
            state.angleZ,
            {state.centreH, state.torsionScale * state.centreT, state.centreV},
            state.distance,
            state.torsionScale,
            state.mirrorTorsion != 0};
}

void setViewCentre(ViewState& state, const PlotPose& pose) {
    state.centreH = static_cast<float>(pose.centre[0]);
    // With the torsion axis flattened (scale 0) no torsion can be told.
    state.centreT =
        pose.torsionScale != 0 ? static_cast<float>(pose.centre[1] / pose.torsionScale) : 0;
    state.centreV = static_cast<float>(pose.centre[2]);
    state.distance = static_cast<float>(pose.distance);
}

bool shownSampleRange(const ShownSamples& samples, double low[3], double high[3]) {
    const double inf = std::numeric_limits<double>::infinity();
    for (int k = 0; k < 3; k++) {
        low[k] = inf;
        high[k] = -inf;
    }
    forEachShownPoint(samples, 1, [&](const double p[3]) {
        for (int k = 0; k < 3; k++) {
            low[k] = std::fmin(low[k], p[k]);
            high[k] = std::fmax(high[k], p[k]);
        }
    });
    return low[0] <= high[0];
}
