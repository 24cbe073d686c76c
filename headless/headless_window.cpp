#include "headless/headless_window.h"

#include "app/window_system.h"

namespace {

void IgnoreKeyboardHandler(void (*)(unsigned char, int, int)) {}
void Nothing() {}
void IgnoreReshape(int, int) {}

}  // namespace

void UseHeadlessWindowSystem() { Window = {IgnoreKeyboardHandler, Nothing, Nothing, Nothing, IgnoreReshape}; }
