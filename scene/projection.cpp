// The two projections of a frame: the eye's perspective, which the label
// drum, the help lines and the status texts stand in, and the plot's, which
// the orthographic view (key o) makes parallel.
#include "scene/scene.h"

#include "view/view.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

void setEyeProjection(int width, int height) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(FIELD_OF_VIEW, viewAspect(width, height), 1, farPlaneFor(view.distance));
    glMatrixMode(GL_MODELVIEW);
}

void setPlotProjection(int width, int height) {
    if (!view.orthographic) {
        setEyeProjection(width, height);
        return;
    }
    // As high as the perspective is at the view's centre, so the picture
    // keeps its size there. Depth reaches as far either side of the centre
    // as the perspective's far plane does behind it.
    const double halfHeight = view.distance * std::tan(FIELD_OF_VIEW * 3.14159265358979 / 360);
    const double halfWidth = halfHeight * viewAspect(width, height);
    const double reach = farPlaneFor(view.distance);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-halfWidth, halfWidth, -halfHeight, halfHeight, view.distance - reach,
            view.distance + reach);
    glMatrixMode(GL_MODELVIEW);
}
