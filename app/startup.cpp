#include "app/startup.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "app/frame_loop.h"
#include "app/input.h"
#include "cabtt/cabtt_method.h"
#include "cache/cache_kinds.h"
#include "roam/roam_method.h"

AssertionHookFunction AssertionHook = AssertionPrompt;

namespace {

constexpr char kKeyHelp[] =
    "Esc, Q  Quit               S       Status             \n"
    "+/-     Zoom in/out        1-3     Camera             \n"
    "P       Pause              W       Wireframe          \n"
    "D       Draw method        F       Full screen        \n"
    "A/Z     Up/Down            [       Screen capture     \n";

// The draw-method table: record 0 Standard ROAM, record 1 CABTT, which starts.
constexpr int kCabttRecord = 1;

// GLUT's callbacks carry no context: they work on TheShell, and a failure ends the program.
void DisplayCallback() { EndOnFailure(TheShell, DisplayFrame(TheShell)); }
void IdleCallback() { IdleStep(TheShell); }
void ReshapeCallback(int width, int height) { Reshape(TheShell, width, height); }
void MouseCallback(int button, int state, int x, int y) { OnMouseButton(TheShell, button, state, x, y); }
void MotionCallback(int x, int y) { OnMouseMove(TheShell, x, y); }
void KeyboardCallback(unsigned char key, int /*x*/, int /*y*/) { EndOnFailure(TheShell, OnKey(TheShell, key)); }

// The terrain part of start-up: a black window while loading, the terrain, the sky colour, then
// one idle step so that the eye stands above the terrain.
void InitTerrain(Shell& shell) {
  shell.log.Printf("Loading height field %s.\n", shell.heightFieldPath.c_str());
  glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
  glClear(GL_COLOR_BUFFER_BIT);
  glutSwapBuffers();

  const TerrainFiles files{shell.heightFieldPath.c_str(), shell.texturePath, shell.verticalScale};
  Result<Terrain> terrain = PrepareTerrain(files, shell.gl.textureCompression, shell.log, true);
  if (!terrain.ok()) EndProgram(shell, terrain.failure());
  shell.terrain.emplace(std::move(terrain.value()));
  glClearColor(0.4f, 0.6f, 1.0f, 0.5f);

  shell.idlePreviousTime = shell.clock->Milliseconds() * 0.001;
  IdleStep(shell);
}

// Both methods with the cache QUORVANE_CACHE chooses (system, video or buffer), or else the one
// the GL allows; a choice that cannot be served says so in one line.
void InstallDrawMethods(Shell& shell) {
  std::string note;
  const CacheSource caches = ChooseCacheSource(std::getenv("QUORVANE_CACHE"), shell.gl,
                                               {shell.nv.get(), shell.buffers.get()}, shell.log, &note);
  if (!note.empty()) shell.log.LogAndPrintf("%s", note.c_str());
  shell.methods.push_back(std::make_unique<RoamMethod>(*shell.terrain, caches, shell.log));
  shell.methods.push_back(std::make_unique<CabttMethod>(*shell.terrain, caches, shell.log));
}

}  // namespace

AssertionAnswer AskAssertion(std::FILE* answers, std::FILE* prompt, const char* file, int line,
                             const char* expression) {
  std::fprintf(prompt, "Assertion failed: file: %s line: %d\n", file, line);
  std::fprintf(prompt, "expression: %s\n", expression);
  std::fprintf(prompt, "B>reak, S>kip, A>lways skip, or Q>uit? ");
  std::fflush(prompt);
  char answer = 0;
  // No answer can be read (end of input): quit as for Q rather than act on an unread answer.
  if (std::fscanf(answers, " %c", &answer) != 1) return AssertionAnswer::kQuit;
  switch (answer) {
    case 'q':
    case 'Q':
      return AssertionAnswer::kQuit;
    case 's':
    case 'S':
      return AssertionAnswer::kSkip;
    case 'a':
    case 'A':
      return AssertionAnswer::kAlwaysSkip;
    default:
      return AssertionAnswer::kBreak;
  }
}

int AssertionPrompt(const char* file, int line, const char* expression) {
  const AssertionAnswer answer = AskAssertion(stdin, stderr, file, line, expression);
  if (answer == AssertionAnswer::kQuit) std::exit(2);
  return static_cast<int>(answer);
}

void StartFlightRecording(Shell& shell, const char* path) {
  if (path == nullptr || *path == '\0') return;
  const Status started = shell.flightRecorder.Start(path);
  if (!started.ok()) shell.log.Show(started.failure());
}

int ParseArguments(Shell& shell, int& argc, char** argv) {
  int cursor = 0;
  shell.texturePath = nullptr;
  shell.verticalScale = 0.1f;
  if (argc <= 1) {
    shell.heightFieldPath = "def_hf.png";
  } else {
    shell.heightFieldPath = argv[1];
    argc -= 1;
    cursor = 1;
  }
  if (argc > 1) {
    shell.texturePath = argv[cursor + 1];
    argc -= 1;
    cursor += 1;
  }
  if (argc > 1) {
    // Only a scale a float holds as a positive number: a larger one would not convert, a tinier
    // one would round to 0, and infinity would make every height infinite.
    const double scale = std::atof(argv[cursor + 1]);
    if (scale > 0.0 && scale <= std::numeric_limits<float>::max() && static_cast<float>(scale) > 0.0f) {
      shell.verticalScale = static_cast<float>(scale);
      argc -= 1;
      cursor += 1;
    }
  }
  return cursor;
}

int RunQuorvane(int argc, char** argv) {
  Shell& shell = TheShell;
  static SystemClock systemClock;
  static GlutWindowSystem glutWindow;
  shell.clock = &systemClock;
  shell.window = &glutWindow;
  // Progress lines must reach a pipe as they happen, not when the buffer fills.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::FILE* log = std::fopen("output.txt", "a+");
  if (log == nullptr) {
    std::printf("Could not open output.txt\n");
    return 1;
  }
  shell.log.SetFile(log);
  shell.log.Logf("\n-----------V4.0-------------\n");

  StartFlightRecording(shell, std::getenv("QUORVANE_RECORD_FLIGHT"));
  // GLUT (closing the window) and the assertion prompt end the process with exit() themselves.
  std::atexit([] { FinishFlightRecording(TheShell); });
  const int cursor = ParseArguments(shell, argc, argv);
  shell.view = StartViewState(shell.verticalScale);  // the clearance follows the vertical scale

  glutInit(&argc, argv + cursor);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(shell.view.windowWidth, shell.view.windowHeight);
  glutInitWindowPosition(100, 100);
  glutCreateWindow("Quorvane");
  glutReshapeFunc(ReshapeCallback);
  glutIdleFunc(IdleCallback);
  glutDisplayFunc(DisplayCallback);
  glutMouseFunc(MouseCallback);
  glutMotionFunc(MotionCallback);
  glutPassiveMotionFunc(MotionCallback);
  glutKeyboardFunc(KeyboardCallback);

  shell.gl = InitGLState(shell.log);
  if (shell.gl.vertexArrayRange || shell.gl.fences)
    shell.nv = CreateDriverNvPlatform(shell.gl.vertexArrayRange, shell.gl.fences);
  if (shell.gl.BufferStorageCache()) shell.buffers = CreateDriverBufferStoragePlatform();
  InitTerrain(shell);

  InstallDrawMethods(shell);
  EndOnFailure(shell, SetDrawMethod(shell, kCabttRecord));

  const GLenum error = glGetError();
  if (error != GL_NO_ERROR) shell.log.Logf("0x%x error returned\n", error);

  shell.log.Printf("%s", kKeyHelp);
  shell.stats.clockStart = shell.clock->Milliseconds();
  glutMainLoop();
  EndProgram(shell, QuitRequest());
}
