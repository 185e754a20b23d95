// Runs the GL tests in one real 300x300 GLUT window, set up as the viewer
// sets up its own.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowPosition(300, 200);
    glutInitWindowSize(300, 300);
    glutCreateWindow("Quelvist tests");
    glutDisplayFunc([] {});
    glClearColor(0.7f, 0.7f, 0.7f, 1.0f);
    for (int i = 0; i < 20; i++)
        glutMainLoopEvent();
    return RUN_ALL_TESTS();
}
