#include "app/window_system.h"

#include <GL/freeglut.h>

namespace {

void GlutSetKeyboardHandler(void (*handler)(unsigned char, int, int)) { glutKeyboardFunc(handler); }
void GlutPostRedisplay() { glutPostRedisplay(); }
void GlutSwapBuffers() { glutSwapBuffers(); }
void GlutFullScreen() { glutFullScreen(); }
void GlutReshapeWindow(int width, int height) { glutReshapeWindow(width, height); }

constexpr WindowSystem kGlutWindowSystem = {GlutSetKeyboardHandler, GlutPostRedisplay, GlutSwapBuffers,
                                            GlutFullScreen, GlutReshapeWindow};

}  // namespace

WindowSystem Window = kGlutWindowSystem;

void UseGlutWindowSystem() { Window = kGlutWindowSystem; }
