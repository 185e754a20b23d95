// Three-dimensional eye positions as rotation vectors, and Listing's plane
// fitted to them (Haslwanter 1995, "Mathematics of three-dimensional eye
// rotations", Vision Res. 35; Tweed & Vilis 1987).
#include "analysis/analysis.h"

#include <cmath>
#include <initializer_list>
#include <cstdio>

namespace {

constexpr double DEGREE = 3.14159265358979323846 / 180;

} // namespace

namespace {

// x forward, y left, z up: horizontal right is a turn about -z, vertical up
// about -y, torsion clockwise as the subject sees it about +x. The tangents
// of the half angles, a (horizontal), b (vertical), c (torsion).
void halfAngleTangents(double h, double v, double t, const AxisSigns& signs, double& a, double& b,
                       double& c) {
    const double theta = -signs.h * h * DEGREE, phi = -signs.v * v * DEGREE,
                 psi = signs.t * t * DEGREE;
    a = std::tan(theta / 2);
    b = std::tan(phi / 2);
    c = std::tan(psi / 2);
}

// Haslwanter 1995, eqs. 23 (Fick) and 24 (Helmholtz).
void vectorFromTangents(double a, double b, double c, AngleConvention convention, double r[3]) {
    if (convention == AngleConvention::Fick) {
        const double d = 1 + a * b * c;
        r[0] = (c - a * b) / d;
        r[1] = (b + a * c) / d;
        r[2] = (a - b * c) / d;
    } else {
        const double d = 1 - a * b * c;
        r[0] = (c + a * b) / d;
        r[1] = (b + a * c) / d;
        r[2] = (a - b * c) / d;
    }
}

AngleConvention otherConvention(AngleConvention convention) {
    return convention == AngleConvention::Fick ? AngleConvention::Helmholtz : AngleConvention::Fick;
}

} // namespace

void rotationVectorOf(double h, double v, double t, AngleConvention convention,
                      const AxisSigns& signs, double r[3]) {
    double a, b, c;
    halfAngleTangents(h, v, t, signs, a, b, c);
    vectorFromTangents(a, b, c, convention, r);
}

void rotationVectorsBoth(double h, double v, double t, AngleConvention convention,
                         const AxisSigns& signs, double r[2][3]) {
    double a, b, c;
    halfAngleTangents(h, v, t, signs, a, b, c);
    vectorFromTangents(a, b, c, convention, r[0]);
    vectorFromTangents(a, b, c, otherConvention(convention), r[1]);
}

void rotationVectorDegrees(const double r[3], double out[3]) {
    // The rotation angle along the axis: 2 atan |r| in the direction of r,
    // in the viewer's axes (horizontal right, torsion, vertical up).
    const double length = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
    const double scale = length > 0 ? 2 * std::atan(length) / length / DEGREE : 2 / DEGREE;
    out[0] = -r[2] * scale;
    out[1] = r[0] * scale;
    out[2] = -r[1] * scale;
}

void addToPlaneSums(PlaneSums& sums, const double r[3]) {
    sums.n++;
    sums.x += r[0];
    sums.y += r[1];
    sums.z += r[2];
    sums.yy += r[1] * r[1];
    sums.zz += r[2] * r[2];
    sums.yz += r[1] * r[2];
    sums.xy += r[0] * r[1];
    sums.xz += r[0] * r[2];
}

ListingPlane planeFromSums(const PlaneSums& s, const AxisSigns& signs) {
    ListingPlane plane = {};
    plane.samples = static_cast<int>(s.n);
    if (s.n < 3) return plane;
    // Least squares for r_x = a + b r_y + c r_z: the normal equations in
    // the centred sums, solved by Cramer's rule.
    const double n = static_cast<double>(s.n);
    const double mx = s.x / n, my = s.y / n, mz = s.z / n;
    const double syy = s.yy - n * my * my, szz = s.zz - n * mz * mz, syz = s.yz - n * my * mz;
    const double sxy = s.xy - n * mx * my, sxz = s.xz - n * mx * mz;
    const double det = syy * szz - syz * syz;
    if (!(std::fabs(det) > 1e-18 * n * n)) return plane; // the positions lie on a line
    plane.b = (sxy * szz - sxz * syz) / det;
    plane.c = (sxz * syy - sxy * syz) / det;
    plane.a = mx - plane.b * my - plane.c * mz;
    // The primary position: the forward axis turned about (0, c, -b) by
    // twice the angle between the plane's normal (1, -b, -c)/|.| and x.
    const double norm = std::sqrt(1 + plane.b * plane.b + plane.c * plane.c);
    const double angle = 2 * std::acos(1 / norm);
    const double axisLength = std::sqrt(plane.b * plane.b + plane.c * plane.c);
    double gaze[3] = {1, 0, 0};
    if (axisLength > 0) {
        // Rodrigues' formula for (1, 0, 0) about the unit axis k = (0, ky, kz):
        // k . x = 0, k x x = (0, kz, -ky).
        const double ky = plane.c / axisLength, kz = -plane.b / axisLength;
        gaze[0] = std::cos(angle);
        gaze[1] = std::sin(angle) * kz;
        gaze[2] = -std::sin(angle) * ky;
    }
    // Degrees right (a turn about -z) and up, as Fick angles of the gaze,
    // in the file's own signs.
    plane.trueRightDeg = std::atan2(-gaze[1], gaze[0]) / DEGREE;
    plane.trueUpDeg = std::atan2(gaze[2], std::hypot(gaze[0], gaze[1])) / DEGREE;
    plane.primaryRightDeg = signs.h * plane.trueRightDeg;
    plane.primaryUpDeg = signs.v * plane.trueUpDeg;
    plane.valid = true;
    return plane;
}

void addResidual(ListingPlane& plane, const double r[3]) {
    const double residual = r[0] - plane.a - plane.b * r[1] - plane.c * r[2];
    const double degrees = 2 * std::atan(residual) / DEGREE;
    plane.residualSquares += degrees * degrees;
    if (plane.residuals == 0) {
        plane.low[0] = plane.high[0] = r[1];
        plane.low[1] = plane.high[1] = r[2];
    }
    plane.residuals++;
    for (int k = 0; k < 2; k++) {
        plane.low[k] = std::fmin(plane.low[k], r[k + 1]);
        plane.high[k] = std::fmax(plane.high[k], r[k + 1]);
    }
    // Thickness: the root mean square of the residuals, each in degrees.
    plane.thicknessDeg = std::sqrt(plane.residualSquares / plane.residuals);
}

ListingPlane fitListingPlane(const double (*vectors)[3], int count, const AxisSigns& signs) {
    PlaneSums sums = {};
    for (int i = 0; i < count; i++)
        addToPlaneSums(sums, vectors[i]);
    ListingPlane plane = planeFromSums(sums, signs);
    if (plane.valid)
        for (int i = 0; i < count; i++)
            addResidual(plane, vectors[i]);
    return plane;
}

void vergenceOf(const float* row, const AxisSigns& signs, double out[3]) {
    // Convergence positive: the left eye turned right of the right one.
    out[0] = signs.h * (static_cast<double>(row[3]) - row[10]);
    out[1] = signs.v * (static_cast<double>(row[11]) - row[4]);
    out[2] = signs.t * (static_cast<double>(row[12]) - row[5]);
}

KinematicsSettings kinematicsSettings = {AngleConvention::Fick, FILE_SIGNS};
ListingPlane listingPlanes[2][2];

void addFixationVectors(const RecordingTable& t, int first, int end, int eye, const bool* fixation,
                        const KinematicsSettings& settings, int pass, PlaneSums sums[2],
                        ListingPlane planes[2]) {
    const int column = eye ? 10 : 3;
    for (int i = first; i < end; i++) {
        if (!fixation[i]) continue;
        const float* c = t.rows[i].col + column;
        const bool measured = !eyeTorsionMissing(t, i, column);
        if (pass == 0)
            for (int which = 0; which < 2; which++) {
                sums[which].withoutTorsion += !measured;
                sums[which].torsionNonZero += measured && c[2] != 0;
            }
        if (!measured) continue;
        double r[2][3];
        rotationVectorsBoth(c[0], c[1], c[2], settings.convention, settings.signs, r);
        for (int which = 0; which < 2; which++)
            if (pass == 0)
                addToPlaneSums(sums[which], r[which]);
            else if (planes[which].valid)
                addResidual(planes[which], r[which]);
    }
}

void addFixationResiduals(const float* positions, long long count,
                          const KinematicsSettings& settings, ListingPlane planes[2]) {
    if (!planes[0].valid && !planes[1].valid) return;
    for (long long i = 0; i < count; i++) {
        const float* c = positions + 3 * i;
        double r[2][3];
        rotationVectorsBoth(c[0], c[1], c[2], settings.convention, settings.signs, r);
        for (int which = 0; which < 2; which++)
            if (planes[which].valid) addResidual(planes[which], r[which]);
    }
}

ListingPlane planeOfFixations(const PlaneSums& sums, const AxisSigns& signs) {
    // A torsion of 0 throughout is a tracker that does not measure it: a
    // plane fitted there would be a saddle fitted to nothing.
    const bool noTorsion = sums.n + sums.withoutTorsion > 0 && sums.torsionNonZero == 0;
    ListingPlane plane = sums.n >= LISTING_FEWEST_SAMPLES && !noTorsion ? planeFromSums(sums, signs)
                                                                        : ListingPlane{};
    plane.noTorsion = noTorsion;
    plane.samples = static_cast<int>(sums.n);
    return plane;
}

void fitPagePlanes(const RecordingTable& t, int first, int end, const KinematicsSettings& settings,
                   const SaccadeSettings& saccades, ListingPlane planes[2][2]) {
    static EyeEvent events[MOST_EVENTS];
    static bool fixation[RECORDING_CAPACITY];
    const int count = detectEyeEvents(t, first, end, saccades, events, MOST_EVENTS);
    for (int eye = 0; eye < 2; eye++) {
        markFixationRows(t, first, end, events, count, eye, fixation);
        PlaneSums sums[2] = {};
        addFixationVectors(t, first, end, eye, fixation, settings, 0, sums, planes[eye]);
        for (int which = 0; which < 2; which++)
            planes[eye][which] = planeOfFixations(sums[which], settings.signs);
        addFixationVectors(t, first, end, eye, fixation, settings, 1, sums, planes[eye]);
    }
}

bool describeConventionHint(char* out, size_t capacity, const ListingPlane planes[2][2],
                            AngleConvention convention) {
    if (capacity) out[0] = '\0';
    // Every eye with a plane must be thinner by more than a fifth.
    int thinner = 0, fitted = 0;
    for (int eye = 0; eye < 2; eye++) {
        if (!planes[eye][0].valid || !planes[eye][1].valid) continue;
        fitted++;
        thinner += planes[eye][1].thicknessDeg < 0.8 * planes[eye][0].thicknessDeg;
    }
    if (fitted == 0 || thinner < fitted) return false;
    snprintf(out, capacity,
             convention == AngleConvention::Fick
                 ? "these angles fit Listing's law better as Helmholtz angles: --convention "
                   "helmholtz"
                 : "these angles fit Listing's law better as Fick angles: --convention fick");
    return true;
}

void convertToRotationDegrees(RecordingTable& table, const KinematicsSettings& settings) {
    for (int i = 0; i < table.rowCount; i++) {
        for (int column : {3, 10}) {
            if (eyeSampleMissing(table, i, column)) continue;
            float* c = table.rows[i].col + column;
            double r[3], degrees[3];
            rotationVectorOf(c[0], c[1], c[2], settings.convention, settings.signs, r);
            rotationVectorDegrees(r, degrees);
            c[0] = static_cast<float>(degrees[0]);
            c[1] = static_cast<float>(degrees[2]);
            c[2] = static_cast<float>(degrees[1]);
        }
    }
}

void describeListingPlane(char* out, size_t capacity, int eye, const ListingPlane& plane) {
    const char* name = eye ? "right" : "left";
    if (plane.noTorsion) {
        snprintf(out, capacity, "%s: no torsion recorded", name);
        return;
    }
    if (!plane.valid) {
        snprintf(out, capacity, "%s: too few fixation samples (%d)", name, plane.samples);
        return;
    }
    // 0xB0: the degree sign in the Latin-1 of GLUT's bitmap fonts.
    snprintf(out, capacity,
             "%s: primary position %.1f\xB0 %s %.1f\xB0 %s, thickness %.2f\xB0 (%d fixation "
             "samples)",
             name, std::fabs(plane.trueRightDeg), plane.trueRightDeg < 0 ? "left" : "right",
             std::fabs(plane.trueUpDeg), plane.trueUpDeg < 0 ? "down" : "up", plane.thicknessDeg,
             plane.samples);
}

double planeAngleDeg(const ListingPlane& a, const ListingPlane& b) {
    const double dot = 1 + a.b * b.b + a.c * b.c;
    const double na = std::sqrt(1 + a.b * a.b + a.c * a.c),
                 nb = std::sqrt(1 + b.b * b.b + b.c * b.c);
    return std::acos(std::fmin(1.0, dot / (na * nb))) / DEGREE;
}
