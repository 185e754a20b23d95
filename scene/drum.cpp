// The label drum: a lit, textured bar that shows four strips of images.dat.
#include "scene/scene.h"

#include "app/app.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <unistd.h>

#ifndef QUELVIST_DATADIR
#define QUELVIST_DATADIR "/usr/local/share/quelvist"
#endif

unsigned drumTexture[2];

namespace {

unsigned char image[IMAGE_BYTES];

bool exists(const char* path) {
    return access(path, R_OK) == 0;
}

bool joinPath(char* out, size_t capacity, const char* dir, const char* name) {
    int n = snprintf(out, capacity, "%s/%s", dir, name);
    return n > 0 && static_cast<size_t>(n) < capacity;
}

} // namespace

size_t readImageFile(const char* path, unsigned char* buffer) {
    memset(buffer, 255, IMAGE_BYTES);
    FILE* file = fopen(path, "rb");
    if (!file) return 0;
    size_t n = fread(buffer, 1, IMAGE_BYTES, file);
    fclose(file);
    return n;
}

bool findImageFile(char* out, size_t capacity) {
    const char* name = "images.dat";
    if (exists(name) && strlen(name) < capacity) {
        strcpy(out, name);
        return true;
    }
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        exe[n] = '\0';
        char* slash = strrchr(exe, '/');
        if (slash) {
            *slash = '\0';
            if (joinPath(out, capacity, exe, name) && exists(out)) return true;
            // An installed tree moved elsewhere: bin/ beside share/quelvist/.
            strncat(exe, "/../share/quelvist", sizeof exe - strlen(exe) - 1);
            if (joinPath(out, capacity, exe, name) && exists(out)) return true;
        }
    }
    return joinPath(out, capacity, QUELVIST_DATADIR, name) && exists(out);
}

void loadDrumTexture() {
    glGenTextures(2, drumTexture);
    char path[4200];
    if (!findImageFile(path, sizeof path)) strcpy(path, "images.dat");
    readImageFile(path, image);
    glBindTexture(GL_TEXTURE_2D, drumTexture[0]);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, IMAGE_SIZE, IMAGE_SIZE, 0, GL_RGB, GL_UNSIGNED_BYTE, image);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
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
