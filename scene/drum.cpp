// The label drum: a lit, textured bar that shows four strips of images.dat.
#include "scene/scene.h"

#include "platform/platform.h"
#include "view/view.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include <cstdio>
#include <cstring>

#ifndef QUELVIST_DATADIR
#define QUELVIST_DATADIR "/usr/local/share/quelvist"
#endif

unsigned drumTexture[2];
float textTint[3] = {1, 1, 1};

namespace {

unsigned char image[IMAGE_BYTES];

bool joinPath(char* out, size_t capacity, const char* dir, const char* name) {
    int n = snprintf(out, capacity, "%s/%s", dir, name);
    return n > 0 && static_cast<size_t>(n) < capacity;
}

} // namespace

size_t readImageFile(const char* path, unsigned char* buffer) {
    memset(buffer, 255, IMAGE_BYTES);
    FILE* file = openFile(path, "rb");
    if (!file) return 0;
    size_t n = fread(buffer, 1, IMAGE_BYTES, file);
    fclose(file);
    return n;
}

bool findImageFile(char* out, size_t capacity) {
    const char* name = "images.dat";
    if (fileExists(name) && strlen(name) < capacity) {
        strcpy(out, name);
        return true;
    }
    char exe[4096];
    if (executableDirectory(exe, sizeof exe - 32)) {
        if (joinPath(out, capacity, exe, name) && fileExists(out)) return true;
        // An installed tree moved elsewhere: bin/ beside share/quelvist/.
        strcat(exe, "/../share/quelvist");
        if (joinPath(out, capacity, exe, name) && fileExists(out)) return true;
    }
    return joinPath(out, capacity, QUELVIST_DATADIR, name) && fileExists(out);
}

void setTextTint(const unsigned char* buffer) {
    // At texture coordinate (0, 1), with repeat wrapping and linear
    // filtering, the sample is the mean of the four corner texels.
    const int last = IMAGE_SIZE - 1;
    const int corners[4][2] = {{0, 0}, {last, 0}, {0, last}, {last, last}};
    for (int c = 0; c < 3; c++) {
        int sum = 0;
        for (const auto& corner : corners)
            sum += buffer[(corner[1] * IMAGE_SIZE + corner[0]) * 3 + c];
        textTint[c] = sum / (4 * 255.0f);
    }
}

void loadDrumTexture() {
    glGenTextures(2, drumTexture);
    char path[4200];
    if (!findImageFile(path, sizeof path)) strcpy(path, "images.dat");
    readImageFile(path, image);
    setTextTint(image);
    glBindTexture(GL_TEXTURE_2D, drumTexture[0]);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, IMAGE_SIZE, IMAGE_SIZE, 0, GL_RGB, GL_UNSIGNED_BYTE, image);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

void bindDrumTexture() {
    glBindTexture(GL_TEXTURE_2D, drumTexture[0]);
}

void buildDrumList() {
    glNewList(LIST_DRUM, GL_COMPILE);
    // End caps take the normal and texture coordinate current when drawn.
    glBegin(GL_QUADS);
    glVertex3f(5, -1.25f, -1.25f);
    glVertex3f(5, 1.25f, -1.25f);
    glVertex3f(5, 1.25f, 1.25f);
    glVertex3f(5, -1.25f, 1.25f);
    glVertex3f(-5, -1.25f, -1.25f);
    glVertex3f(-5, -1.25f, 1.25f);
    glVertex3f(-5, 1.25f, 1.25f);
    glVertex3f(-5, 1.25f, -1.25f);
    glEnd();
    for (int i = 0; i < 4; i++) {
        // Four quarter turns outside any push: the list leaves the matrix as
        // it found it.
        glRotatef(90, 1, 0, 0);
        glPushMatrix();
        glTranslatef(0, 0, 1.25f);
        const float t0 = i / 4.0f;
        const float t1 = (i + 1) / 4.0f;
        glBegin(GL_POLYGON);
        glNormal3f(1, 1, 1);
        glTexCoord2f(0, t0);
        glVertex3f(-5, -1.25f, 0);
        glTexCoord2f(0.78125f, t0);
        glVertex3f(5, -1.25f, 0);
        glTexCoord2f(0.78125f, t1);
        glVertex3f(5, 1.25f, 0);
        glTexCoord2f(0, t1);
        glVertex3f(-5, 1.25f, 0);
        glEnd();
        glPopMatrix();
    }
    glEndList();
}

bool drumWindowBox(int box[4]) {
    // The bar turns about its long axis: its end caps (1.25 by 1.25) stay
    // within a radius of 1.25 sqrt 2 of it. In eye space, from the frame's
    // translation to (12, -15, -32).
    double projection[16], identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    int viewport[4];
    plotViewport(viewport);
    // The drum stands in the eye's perspective, whichever projection the
    // plot has.
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    setEyeProjection(viewport[2], viewport[3]);
    glMatrixMode(GL_PROJECTION);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    const double reach = 1.25 * 1.4143;
    if (!view.showDrum) return false;
    box[0] = box[1] = 1 << 30;
    box[2] = box[3] = -(1 << 30);
    for (int corner = 0; corner < 8; corner++) {
        const double x = 12 + (corner & 1 ? 5 : -5), y = -15 + (corner & 2 ? reach : -reach),
                     z = -32 + (corner & 4 ? reach : -reach);
        double wx, wy, wz;
        if (!gluProject(x, y, z, identity, projection, viewport, &wx, &wy, &wz)) return false;
        box[0] = std::min(box[0], static_cast<int>(std::floor(wx)));
        box[1] = std::min(box[1], static_cast<int>(std::floor(wy)));
        box[2] = std::max(box[2], static_cast<int>(std::ceil(wx)));
        box[3] = std::max(box[3], static_cast<int>(std::ceil(wy)));
    }
    return true;
}
