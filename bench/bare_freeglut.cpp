// The reference for start-up and memory: a freeglut program that opens a
// window as the viewer does, clears it, swaps and exits. Whatever the viewer
// takes beyond this is its own.
#include <GL/freeglut.h>

#include <cstdlib>

static void display() {
    glClear(GL_COLOR_BUFFER_BIT);
    glutSwapBuffers();
    glFinish();
    exit(0);
}

int main(int argc, char** argv) {
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    glutInitWindowSize(300, 300);
    glutCreateWindow("bare");
    glutDisplayFunc(display);
    glutMainLoop();
}
