#pragma once
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "support/temp_dir.h"

// End-to-end harness: the real quorvane binary in a fresh temporary directory, on a private
// Xvfb display, driven with xdotool. Every wait polls a condition with a generous limit so that
// a loaded machine slows the tests down instead of failing them.
namespace e2e {

using Seconds = std::chrono::duration<double>;
constexpr Seconds kPatience{90.0};

// Starts one Xvfb for the whole test process (on first use) and returns its DISPLAY value.
const std::string& Display();

// Runs a command to completion with DISPLAY set; returns its standard output.
std::string RunCommand(const std::string& command, int* status = nullptr);

// Polls condition until it holds or the limit passes.
bool WaitFor(const std::function<bool()>& condition, Seconds limit = kPatience);

bool FileExists(const std::string& path);

struct GreyImage {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> pixels;  // row 0 first

  int At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// An 8-bit grey PNG (a capture), or an empty image when it cannot be read.
GreyImage ReadGreyCapture(const std::string& path);

class QuorvaneRun {
 public:
  // A fresh directory holding a copy of the default terrain as "def_hf.png" (unless withTerrain
  // is false).
  explicit QuorvaneRun(bool withTerrain = true);
  ~QuorvaneRun();
  QuorvaneRun(const QuorvaneRun&) = delete;
  QuorvaneRun& operator=(const QuorvaneRun&) = delete;

  std::string PathOf(const std::string& name) const { return directory_.File(name); }

  // Starts quorvane in the directory with these arguments and environment settings ("NAME=value").
  void Start(const std::vector<std::string>& arguments = {}, const std::vector<std::string>& environment = {});
  // Waits for the "Quorvane" window and focuses it.
  bool WaitForWindow(Seconds limit = kPatience);
  // Waits until the key help is printed (start-up done).
  bool WaitForReady(Seconds limit = kPatience);

  // The green channel of what the X server shows in the window (read with xwd), top row first,
  // as a capture stores it; empty when it cannot be read.
  GreyImage WindowGreen();

  void Key(const std::string& keysym);
  void MouseMove(int x, int y);  // window coordinates
  void MouseDown();
  void MouseUp();

  std::string Stdout() const;
  std::string Stderr() const;
  std::string Log() const;  // output.txt
  bool WaitForStdout(const std::string& text, Seconds limit = kPatience) const;
  bool WaitForLog(const std::string& text, Seconds limit = kPatience) const;
  // Waits until the log holds the text count times.
  bool WaitForLogCount(const std::string& text, int count, Seconds limit = kPatience) const;

  // Waits for the process to end; returns its exit status, or -1 if it did not end in time
  // (or ended by a signal).
  int WaitForExit(Seconds limit = kPatience);
  bool Running();

 private:
  TempDir directory_;
  std::string window_;
  pid_t pid_ = -1;
  int status_ = -1;
};

}  // namespace e2e
