#include "app/shell.h"

#include <cstdio>
#include <cstdlib>

#include "app/frame_loop.h"

Shell TheShell;

Failure QuitRequest() { return {"", Channel::kConsole, 0, true}; }

void EndProgram(Shell& shell, const Failure& failure) {
  shell.log.Show(failure);
  // Deactivating cannot fail in a way that changes how the program ends.
  if (failure.quitOrderly) (void)SetDrawMethod(shell, -1);
  FinishFlightRecording(shell);
  if (shell.log.file() != nullptr) std::fclose(shell.log.file());
  shell.log.SetFile(nullptr);
  std::fflush(stdout);
  std::exit(failure.exitStatus);
}

void EndOnFailure(Shell& shell, const Status& status) {
  if (!status.ok()) EndProgram(shell, status.failure());
}

void FinishFlightRecording(Shell& shell) {
  const Status finished = shell.flightRecorder.Finish();
  if (!finished.ok()) shell.log.Show(finished.failure());
}
