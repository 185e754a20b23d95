#include "gl_support.h"

#include "interaction/interaction.h"
#include "recording/recording.h"
#include "scene/scene.h"

#include <GL/freeglut.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>

Rgb Frame::at(int x, int y) const {
    const unsigned char* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    return {p[0], p[1], p[2]};
}

void startSceneWith(const std::string& content) {
    std::string path = ::testing::TempDir() + "quelvist_gl_recording.txt";
    FILE* f = fopen(path.c_str(), "wb");
    fwrite(content.data(), 1, content.size(), f);
    fclose(f);
    snprintf(recordingPath, sizeof recordingPath, "%s", path.c_str());
    initScene();
}

Frame drawFrame(int width, int height) {
    onReshape(width, height);
    drawPicture();
    glFinish();
    Frame frame{width, height, std::vector<unsigned char>(static_cast<size_t>(width) * height * 3)};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, frame.rgb.data());
    if (getenv("QUELVIST_DUMP") && height == 300) {
        FILE* f = fopen(getenv("QUELVIST_DUMP"), "wb");
        fprintf(f, "P6 %d %d 255\n", width, height);
        for (int y = height - 1; y >= 0; y--)
            fwrite(&frame.rgb[y * width * 3], 1, width * 3, f);
        fclose(f);
    }
    return frame;
}

namespace {

using Mat = std::array<double, 16>; // column-major, as GL

Mat multiply(const Mat& a, const Mat& b) {
    Mat r{};
    for (int c = 0; c < 4; c++)
        for (int row = 0; row < 4; row++)
            for (int k = 0; k < 4; k++)
                r[c * 4 + row] += a[k * 4 + row] * b[c * 4 + k];
    return r;
}

Mat identity() {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

Mat translation(double x, double y, double z) {
    Mat m = identity();
    m[12] = x;
    m[13] = y;
    m[14] = z;
    return m;
}

Mat rotation(double degrees, int axis) {
    double a = degrees * M_PI / 180, c = std::cos(a), s = std::sin(a);
    Mat m = identity();
    int i = (axis + 1) % 3, j = (axis + 2) % 3;
    m[i * 4 + i] = c;
    m[j * 4 + j] = c;
    m[i * 4 + j] = s;
    m[j * 4 + i] = -s;
    return m;
}

std::array<double, 2> toWindow(const Mat& modelview, double x, double y, double z, int width,
                               int height) {
    double aspect = static_cast<double>(width) / (height > 0 ? height : 1);
    double f = 1 / std::tan(65.0 / 2 * M_PI / 180);
    double v[4] = {x, y, z, 1}, e[4] = {0, 0, 0, 0};
    for (int row = 0; row < 4; row++)
        for (int k = 0; k < 4; k++)
            e[row] += modelview[k * 4 + row] * v[k];
    double clipX = f / aspect * e[0], clipY = f * e[1], clipW = -e[2];
    return {(clipX / clipW + 1) * width / 2, (clipY / clipW + 1) * height / 2};
}

} // namespace

std::array<double, 2> projectPlotPoint(double x, double y, double z, int width, int height) {
    Mat m = multiply(translation(0, 0, -view.distance), rotation(view.angleX, 0));
    m = multiply(m, rotation(view.angleY, 1));
    m = multiply(m, rotation(view.angleZ, 2));
    return toWindow(m, x, y, z, width, height);
}

std::array<double, 2> projectEyePoint(double x, double y, double z, int width, int height) {
    return toWindow(identity(), x, y, z, width, height);
}

void loadPlotMatrices(int width, int height) {
    onReshape(width, height);
    applyPlotTransform();
}

void loadOrthoMatrices() {
    glViewport(0, 0, 600, 600);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-30, 30, -30, 30, -30, 30);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

std::vector<FeedbackItem> feedbackOf(unsigned list, GLenum type) {
    return feedbackOf([list] { glCallList(list); }, type);
}

std::vector<FeedbackItem> feedbackOf(const std::function<void()>& draw, GLenum type) {
    static std::vector<GLfloat> buffer(4 << 20);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), type, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    GLint count = glRenderMode(GL_RENDER);
    EXPECT_GE(count, 0) << "feedback buffer overflow";
    std::vector<FeedbackItem> items;
    const int perVertex = type == GL_3D_COLOR ? 7 : 11;
    auto readVertex = [&](int& i) {
        std::array<float, 7> v{};
        for (int k = 0; k < 3; k++)
            v[k] = buffer[i + k];
        if (type == GL_3D_COLOR) {
            for (int k = 3; k < 7; k++)
                v[k] = buffer[i + k];
        } else {
            v[3] = buffer[i + 7]; // s
            v[4] = buffer[i + 8]; // t
        }
        i += perVertex;
        return v;
    };
    for (int i = 0; i < count;) {
        GLenum token = static_cast<GLenum>(buffer[i++]);
        FeedbackItem item{token, {}};
        int n = 0;
        if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN || token == GL_DRAW_PIXEL_TOKEN ||
            token == GL_COPY_PIXEL_TOKEN)
            n = 1;
        else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN)
            n = 2;
        else if (token == GL_POLYGON_TOKEN)
            n = static_cast<int>(buffer[i++]);
        else if (token == GL_PASS_THROUGH_TOKEN) {
            i++;
            continue;
        }
        for (int k = 0; k < n; k++)
            item.vertices.push_back(readVertex(i));
        items.push_back(item);
    }
    return items;
}
