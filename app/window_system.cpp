#include "app/window_system.h"

#include <GL/freeglut.h>

namespace {

void GlutPostRedisplay() { glutPostRedisplay(); }
void GlutSwapBuffers() { glutSwapBuffers(); }
void GlutFullScreen() { glutFullScreen(); }
void GlutReshapeWindow(int width, int height) { glutReshapeWindow(width, height); }

}  // namespace

WindowSystem GlutWindowSystem() { return {GlutPostRedisplay, GlutSwapBuffers, GlutFullScreen, GlutReshapeWindow}; }
