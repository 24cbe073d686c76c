#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/flight_recorder.h"
#include "app/platform/buffer_storage_platform.h"
#include "app/platform/clock.h"
#include "app/platform/gl_capabilities.h"
#include "app/platform/log_sink.h"
#include "app/platform/nv_platform.h"
#include "app/view/camera.h"
#include "app/view/draw_method.h"
#include "app/window_system.h"
#include "terrain/terrain.h"

// Everything the window program keeps between GLUT's callbacks: the log, the clock and the window
// layer, the GL's capabilities, the terrain, the view, the table of drawing methods with the
// current one, the run's statistics and the idle clock. There is one, TheShell, because GLUT's
// callbacks carry no context; every function of the shell takes the shell it works on.
struct Shell {
  StdioLogSink log;  // the Terrain log "output.txt", the console, standard error
  Clock* clock = nullptr;
  WindowSystem* window = nullptr;

  // Start-up: the command line and what came of it.
  std::string heightFieldPath = "def_hf.png";
  const char* texturePath = nullptr;  // null: the generated slope shading
  float verticalScale = 0.1f;
  GlCapabilities gl;
  std::unique_ptr<NvPlatform> nv;
  std::unique_ptr<BufferStoragePlatform> buffers;  // when the GL offers buffer storage
  std::optional<Terrain> terrain;

  ViewState view = StartViewState(0.1f);

  // The draw-method table: record 0 Standard ROAM, record 1 CABTT; current -1 for none.
  std::vector<std::unique_ptr<DrawMethod>> methods;
  int current = -1;

  FrameStats stats;
  double idlePreviousTime = 0.0;  // seconds
  double smoothedFrameTime = 0.0;  // seconds; 0 until the first idle step
  int captureCounter = 0;          // never reset while the program runs

  // Camera 0's pose at every drawn frame, when QUORVANE_RECORD_FLIGHT names a file.
  FlightRecorder flightRecorder;
};

extern Shell TheShell;

// What the quit keys end the program with: the current method deactivated, status 0.
Failure QuitRequest();

// Ends the program with the failure: its line on its channels, the current method deactivated
// first when the failure asks for the orderly way out, the flight recording finished, the log
// closed, and its status.
[[noreturn]] void EndProgram(Shell& shell, const Failure& failure);

// Ends the program when the status is a failure.
void EndOnFailure(Shell& shell, const Status& status);

// Finishes the shell's flight recording (renames it into place); a failure is one line on
// standard error and in the log. Every way out of the program calls it: EndProgram, and an exit handler for the
// exits GLUT or the assertion prompt take themselves.
void FinishFlightRecording(Shell& shell);
