#pragma once
#include <string>

// Start-up state read by the rest of the program.
extern std::string HeightFieldPath;
extern const char* TexturePath;  // null: the shading texture is generated
extern int GridExponent;         // n
extern int GridSize;             // N = 2^n

// The whole program: log, arguments, window, terrain, methods, main loop.
int RunQuorvane(int argc, char** argv);

// Loads the height field and texture, builds the HeightField and the error metric.
void InitTerrain();

// Parses the positional arguments into HeightFieldPath, TexturePath and VerticalScale;
// returns the index of the argument that stands in for the program name for glutInit.
int ParseArguments(int& argc, char** argv);

// The assertion hook: prompts on stderr and reads one answer from stdin.
// Returns 0 break, 1 skip, 2 always skip; Q (or no answer at all) ends the program with status 2.
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
