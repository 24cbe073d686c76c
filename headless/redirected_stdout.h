#pragma once
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

// Runs work with standard output sent elsewhere: the drawing methods and builders announce
// themselves on it, which would bury a test's output or the benchmark's table.
// target is a descriptor (STDERR_FILENO) or -1 for /dev/null.
template <typename Work>
void WithStdoutRedirected(int target, Work work) {
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  const int sink = target >= 0 ? target : open("/dev/null", O_WRONLY);
  dup2(sink, STDOUT_FILENO);
  if (target < 0) close(sink);
  work();
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);
}

// The same into /dev/null.
template <typename Work>
void Quietly(Work work) {
  WithStdoutRedirected(-1, work);
}
