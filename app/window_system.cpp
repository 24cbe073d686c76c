#include "app/window_system.h"

#include <GL/freeglut.h>

void GlutWindowSystem::PostRedisplay() { glutPostRedisplay(); }
void GlutWindowSystem::SwapBuffers() { glutSwapBuffers(); }
void GlutWindowSystem::FullScreen() { glutFullScreen(); }
void GlutWindowSystem::ReshapeWindow(int width, int height) { glutReshapeWindow(width, height); }
