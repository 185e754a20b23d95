// Each eye's Listing's plane in the Listing view: a translucent surface
// over the extent of its fixation samples, tinted in the eye's colour.
#include "scene/scene.h"

#include "analysis/analysis.h"
#include "view/view.h"

#include <GL/gl.h>

namespace {

constexpr int MESH = 8;

// The point of the plane at r_y, r_z, in plot coordinates: the plane holds
// rotation vectors, the picture their angles in degrees, so the surface is
// drawn through exact points of a grid rather than as one flat quad.
void planePoint(const ListingPlane& p, double ry, double rz, double out[3]) {
    const double r[3] = {p.a + p.b * ry + p.c * rz, ry, rz};
    double degrees[3];
    rotationVectorDegrees(r, degrees);
    out[0] = degrees[0];
    out[1] = view.torsionScale * degrees[1];
    out[2] = degrees[2];
}

} // namespace

void drawListingPlanes() {
    if (!view.showListing) return;
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_CURRENT_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    const float tints[2][4] = {{0.3f, 0.3f, 1, 0.25f}, {1, 0.3f, 0.3f, 0.25f}};
    const uint8_t shown[2] = {view.showLeftEye, view.showRightEye};
    for (int eye = 0; eye < 2; eye++) {
        const ListingPlane& p = listingPlanes[eye][0];
        if (!p.valid || !shown[eye]) continue;
        glColor4fv(tints[eye]);
        glBegin(GL_QUADS);
        for (int i = 0; i < MESH; i++)
            for (int j = 0; j < MESH; j++) {
                const int corners[4][2] = {{i, j}, {i + 1, j}, {i + 1, j + 1}, {i, j + 1}};
                for (const auto& c : corners) {
                    double point[3];
                    planePoint(p, p.low[0] + (p.high[0] - p.low[0]) * c[0] / MESH,
                               p.low[1] + (p.high[1] - p.low[1]) * c[1] / MESH, point);
                    glVertex3dv(point);
                }
            }
        glEnd();
    }
    glPopAttrib();
}
