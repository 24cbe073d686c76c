#include "app/startup.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <limits>

#include "app/camera.h"
#include "app/clock.h"
#include "app/fatal.h"
#include "app/frame_loop.h"
#include "app/gl_state.h"
#include "app/terrain_log.h"
#include "app/scene_setup.h"

std::string HeightFieldPath;
const char* TexturePath = nullptr;
int GridExponent = 0;
int GridSize = 0;
AssertionHookFunction AssertionHook = AssertionPrompt;

namespace {

constexpr char kKeyHelp[] =
    "Esc, Q  Quit               S       Status             \n"
    "+/-     Zoom in/out        1-3     Camera             \n"
    "P       Pause              W       Wireframe          \n"
    "D       Draw method        F       Full screen        \n"
    "A/Z     Up/Down            [       Screen capture     \n";

}  // namespace

int AssertionPrompt(const char* file, int line, const char* expression) {
  std::fprintf(stderr, "Assertion failed: file: %s line: %d\n", file, line);
  std::fprintf(stderr, "expression: %s\n", expression);
  std::fprintf(stderr, "B>reak, S>kip, A>lways skip, or Q>uit? ");
  char answer = 0;
  // No answer can be read (end of input): quit as for Q rather than act on an unread answer.
  if (std::scanf(" %c", &answer) != 1) FatalExit(2);
  switch (answer) {
    case 'q':
    case 'Q':
      FatalExit(2);
    case 's':
    case 'S':
      return 1;
    case 'a':
    case 'A':
      return 2;
    default:
      return 0;
  }
}

int ParseArguments(int& argc, char** argv) {
  int cursor = 0;
  TexturePath = nullptr;
  VerticalScale = 0.1f;
  if (argc <= 1) {
    HeightFieldPath = "def_hf.png";
  } else {
    HeightFieldPath = argv[1];
    argc -= 1;
    cursor = 1;
  }
  if (argc > 1) {
    TexturePath = argv[cursor + 1];
    argc -= 1;
    cursor += 1;
  }
  if (argc > 1) {
    // Only a scale a float holds as a positive number: a larger one would not convert, a tinier
    // one would round to 0, and infinity would make every height infinite.
    const double scale = std::atof(argv[cursor + 1]);
    if (scale > 0.0 && scale <= std::numeric_limits<float>::max() && static_cast<float>(scale) > 0.0f) {
      VerticalScale = static_cast<float>(scale);
      argc -= 1;
      cursor += 1;
    }
  }
  return cursor;
}

void InitTerrain() {
  std::printf("Loading height field %s.\n", HeightFieldPath.c_str());
  glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
  glClear(GL_COLOR_BUFFER_BIT);
  glutSwapBuffers();

  GridExponent = PrepareTerrain(HeightFieldPath.c_str(), TexturePath, VerticalScale, true);
  GridSize = 1 << GridExponent;

  IdlePreviousTime = TimeGetTime() * 0.001;
  IdleStep();
}

int RunQuorvane(int argc, char** argv) {
  // Progress lines must reach a pipe as they happen, not when the buffer fills.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  TerrainLog = std::fopen("output.txt", "a+");
  if (TerrainLog == nullptr) {
    std::printf("Could not open output.txt\n");
    return 1;
  }
  LogPrintf("\n-----------V4.0-------------\n");

  const int cursor = ParseArguments(argc, argv);
  ResetViewState();  // the clearance follows the vertical scale

  glutInit(&argc, argv + cursor);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(WindowWidth, WindowHeight);
  glutInitWindowPosition(100, 100);
  glutCreateWindow("Quorvane");
  glutReshapeFunc(Reshape);
  glutIdleFunc(IdleStep);
  glutDisplayFunc(DisplayFrame);
  glutMouseFunc(OnMouseButton);
  glutMotionFunc(OnMouseMove);
  glutPassiveMotionFunc(OnMouseMove);

  InitGLState();
  InitTerrain();

  InstallDrawMethods();
  SetDrawMethod(kCabttMethodIndex);

  const GLenum error = glGetError();
  if (error != GL_NO_ERROR) LogPrintf("0x%x error returned\n", error);

  std::printf("%s", kKeyHelp);
  std::fflush(stdout);
  Stats.clockStart = TimeGetTime();
  glutMainLoop();
  SetDrawMethod(-1);
  return 0;
}
