// The main sequence: saccades' peak velocity against amplitude, and the
// curve V = Vmax (1 - exp(-A / C)) of Baloh et al. (1975, Neurology 25)
// fitted to it. Two parameters: Levenberg-Marquardt written out here (a
// least-squares library would be one more to build for Windows).
#include "analysis/analysis.h"

#include <algorithm>
#include <cmath>

namespace {

// Only saccades with both numbers and a positive amplitude count.
bool usable(const double* a, const double* v, int i) {
    return std::isfinite(a[i]) && std::isfinite(v[i]) && a[i] > 0;
}

// The squared residuals of the velocities for Vmax and C.
double residualSum(const double* a, const double* v, int n, double vmax, double c) {
    double sum = 0;
    for (int i = 0; i < n; i++) {
        if (!usable(a, v, i)) continue;
        const double r = v[i] - vmax * (1 - std::exp(-a[i] / c));
        sum += r * r;
    }
    return sum;
}

// J^T J and J^T r at Vmax and C, with dV/dVmax = 1 - e^(-A/C) and
// dV/dC = -Vmax A e^(-A/C) / C^2.
void normalEquations(const double* a, const double* v, int n, double vmax, double c,
                     double jj[2][2], double jr[2]) {
    jj[0][0] = jj[0][1] = jj[1][0] = jj[1][1] = jr[0] = jr[1] = 0;
    for (int i = 0; i < n; i++) {
        if (!usable(a, v, i)) continue;
        const double e = std::exp(-a[i] / c);
        const double j[2] = {1 - e, -vmax * a[i] * e / (c * c)};
        const double r = v[i] - vmax * (1 - e);
        for (int p = 0; p < 2; p++) {
            jr[p] += j[p] * r;
            for (int q = 0; q < 2; q++)
                jj[p][q] += j[p] * j[q];
        }
    }
}

} // namespace

MainSequence fitMainSequence(const double* a, const double* v, int count) {
    MainSequence fit = {false, 0, NAN, NAN};
    int n = 0;
    double largest = 0;
    for (int i = 0; i < count; i++)
        if (usable(a, v, i)) {
            n++;
            largest = std::max(largest, v[i]);
        }
    fit.saccades = n;
    if (n < MAIN_SEQUENCE_FEWEST) return fit;
    double vmax = largest, c = 10;
    const int all = count;
    double lambda = 1e-3, sum = residualSum(a, v, all, vmax, c);
    for (int iteration = 0; iteration < 200; iteration++) {
        // Normal equations (J^T J + lambda diag(J^T J)) step = J^T r.
        double jj[2][2], jr[2];
        normalEquations(a, v, all, vmax, c, jj, jr);
        bool improved = false;
        for (int attempt = 0; attempt < 30 && !improved; attempt++) {
            const double m00 = jj[0][0] * (1 + lambda), m11 = jj[1][1] * (1 + lambda);
            const double det = m00 * m11 - jj[0][1] * jj[1][0];
            if (!(std::fabs(det) > 0)) break;
            const double dv = (jr[0] * m11 - jj[0][1] * jr[1]) / det;
            const double dc = (m00 * jr[1] - jj[1][0] * jr[0]) / det;
            const double nv = vmax + dv, nc = c + dc;
            const double nsum = nc > 0 ? residualSum(a, v, all, nv, nc) : INFINITY;
            if (nsum < sum) {
                const bool settled = sum - nsum <= 1e-12 * sum;
                vmax = nv;
                c = nc;
                sum = nsum;
                lambda = std::max(lambda / 10, 1e-12);
                improved = true;
                if (settled) iteration = 200;
            } else {
                lambda *= 10;
            }
        }
        if (!improved) break;
    }
    // Saccades that all lie before the curve's bend fix only Vmax / C: C's
    // standard error, s^2 (J^T J)^-1 with s^2 = the residuals' sum over
    // n - 2, then passes half of C, and the fit is not given.
    double jj[2][2], jr[2];
    normalEquations(a, v, all, vmax, c, jj, jr);
    const double det = jj[0][0] * jj[1][1] - jj[0][1] * jj[1][0];
    const double varianceC = det > 0 ? sum / (n - 2) * jj[0][0] / det : INFINITY;
    fit.valid = std::isfinite(vmax) && std::isfinite(c) && vmax > 0 && c > 0 &&
                std::sqrt(varianceC) <= MAIN_SEQUENCE_LARGEST_ERROR * c;
    fit.vmax = vmax;
    fit.c = c;
    return fit;
}

bool mainSequencePoint(const int box[4], double a, double v, double& x, double& y) {
    if (!(a >= MAIN_SEQUENCE_AMPLITUDES[0] && a <= MAIN_SEQUENCE_AMPLITUDES[1] &&
          v >= MAIN_SEQUENCE_VELOCITIES[0] && v <= MAIN_SEQUENCE_VELOCITIES[1]))
        return false;
    const auto along = [](double value, const double range[2]) {
        return std::log(value / range[0]) / std::log(range[1] / range[0]);
    };
    x = box[0] + along(a, MAIN_SEQUENCE_AMPLITUDES) * (box[2] - box[0]);
    y = box[1] + along(v, MAIN_SEQUENCE_VELOCITIES) * (box[3] - box[1]);
    return true;
}
