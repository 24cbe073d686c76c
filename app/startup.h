#pragma once
#include <cstdio>

#include "app/shell.h"

// The window program: the Terrain log, the arguments, the window, the terrain, the drawing
// methods (CABTT current), the key help, then GLUT's loop. Returns 1 when the log cannot be
// opened; otherwise the program ends through EndProgram.
int RunQuorvane(int argc, char** argv);

// Starts recording the flight to path when it is not empty; an unwritable path is one line on
// standard error and in the log, and the program runs on without recording.
void StartFlightRecording(Shell& shell, const char* path);

// Reads the positional arguments (height field, texture, vertical scale) into the shell; returns
// the index of the argument that stands in for the program name for glutInit. Only a scale a
// float holds as a positive number is taken; anything else is left for GLUT.
int ParseArguments(Shell& shell, int& argc, char** argv);

// An answer to the assertion prompt; the first three are the hook's return values.
enum class AssertionAnswer { kBreak = 0, kSkip = 1, kAlwaysSkip = 2, kQuit = 3 };

// Writes the prompt for the failed assertion to prompt and reads one answer (S, A, Q in either
// case; anything else breaks) from answers. No answer at all counts as Q.
AssertionAnswer AskAssertion(std::FILE* answers, std::FILE* prompt, const char* file, int line,
                             const char* expression);

// The assertion hook: asks on standard input and standard error. Returns 0 break, 1 skip, 2 always
// skip; Q (or no answer at all) ends the program with status 2.
using AssertionHookFunction = int (*)(const char* file, int line, const char* expression);
extern AssertionHookFunction AssertionHook;
int AssertionPrompt(const char* file, int line, const char* expression);

#define QUORVANE_ASSERT(expression)                                                   \
  do {                                                                                \
    static bool alwaysSkip = false;                                                   \
    if (!(expression) && !alwaysSkip) {                                               \
      const int answer = AssertionHook(__FILE__, __LINE__, #expression);               \
      if (answer == 2) alwaysSkip = true;                                             \
      if (answer == 0) __builtin_trap();                                              \
    }                                                                                 \
  } while (false)
