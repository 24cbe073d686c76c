#include "e2e/harness.h"

#include "terrain/png_io.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace e2e {

namespace {

pid_t xvfbPid = -1;

void StopXvfb() {
  if (xvfbPid > 0) {
    kill(xvfbPid, SIGTERM);
    waitpid(xvfbPid, nullptr, 0);
    xvfbPid = -1;
  }
}

// A display number that no server (nor the leftovers of one) claims.
bool DisplayLooksFree(int number) {
  const std::string n = std::to_string(number);
  return !std::filesystem::exists("/tmp/.X" + n + "-lock") && !std::filesystem::exists("/tmp/.X11-unix/X" + n);
}

// Starts Xvfb on the given display and waits until it answers; false if it does not come up.
bool TryXvfb(int number) {
  const std::string display = ":" + std::to_string(number);
  const pid_t pid = fork();
  if (pid == 0) {
    // The server must not outlive the test process, even one killed by a time-out.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, 1);
    dup2(devNull, 2);
    // Without -noreset the server resets whenever its last client leaves, and a client that
    // connects during the reset is refused.
    execlp("Xvfb", "Xvfb", display.c_str(), "-noreset", "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  if (pid < 0) return false;
  const std::string probe = "DISPLAY=" + display + " xdotool getdisplaygeometry >/dev/null 2>&1";
  bool exited = false;
  const bool up = WaitFor(
      [&] {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
          exited = true;
          return true;
        }
        return std::system(probe.c_str()) == 0;
      },
      Seconds(30));
  // A server that lost the display to another one exits at once: make sure the answer was ours.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  if (up && !exited && waitpid(pid, nullptr, WNOHANG) == 0) {
    xvfbPid = pid;
    return true;
  }
  if (!exited && waitpid(pid, nullptr, WNOHANG) == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  return false;
}

std::string StartXvfb() {
  // Displays spread by process id, so that test processes running side by side rarely meet.
  for (int attempt = 0; attempt < 40; ++attempt) {
    const int number = 100 + (static_cast<int>(getpid()) * 7 + attempt * 37) % 900;
    if (!DisplayLooksFree(number) || !TryXvfb(number)) continue;
    std::atexit(StopXvfb);
    return ":" + std::to_string(number);
  }
  return "";
}

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

const std::string& Display() {
  static const std::string display = StartXvfb();
  return display;
}

std::string RunCommand(const std::string& command, int* status) {
  const std::string full = "DISPLAY=" + Display() + " " + command + " 2>/dev/null";
  FILE* pipe = popen(full.c_str(), "r");
  std::string output;
  if (pipe == nullptr) return output;
  char buffer[512];
  size_t count;
  while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, count);
  const int result = pclose(pipe);
  if (status != nullptr) *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
  return output;
}

bool WaitFor(const std::function<bool()>& condition, Seconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

bool FileExists(const std::string& path) { return std::filesystem::exists(path); }

QuorvaneRun::QuorvaneRun(bool withTerrain) {
  if (withTerrain) std::filesystem::copy_file(DEFAULT_TERRAIN, PathOf("def_hf.png"));
}

QuorvaneRun::~QuorvaneRun() {
  if (pid_ > 0 && Running()) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

void QuorvaneRun::Start(const std::vector<std::string>& arguments, const std::vector<std::string>& environment) {
  const std::string& display = Display();
  pid_ = fork();
  if (pid_ == 0) {
    if (chdir(directory_.path().c_str()) != 0) _exit(126);
    setenv("DISPLAY", display.c_str(), 1);
    for (const std::string& setting : environment) putenv(const_cast<char*>(setting.c_str()));
    const int out = open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = open("/dev/null", O_RDONLY);
    dup2(out, 1);
    dup2(err, 2);
    dup2(in, 0);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(QUORVANE_BINARY));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(QUORVANE_BINARY, argv.data());
    _exit(127);
  }
}

bool QuorvaneRun::WaitForWindow(Seconds limit) {
  const std::string pid = std::to_string(pid_);
  const bool found = WaitFor(
      [&] {
        const std::string ids = RunCommand("xdotool search --onlyvisible --pid " + pid + " --name '^Quorvane$'");
        if (ids.empty()) return false;
        window_ = ids.substr(0, ids.find('\n'));
        return true;
      },
      limit);
  if (found) RunCommand("xdotool windowfocus --sync " + window_);
  return found;
}

bool QuorvaneRun::WaitForReady(Seconds limit) {
  return WaitForWindow(limit) && WaitForStdout("A/Z     Up/Down", limit);
}

namespace {

// An xdotool command that failed (on a loaded machine its focus step can) sent nothing after the
// failing step: run it again.
void Drive(const std::string& command) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    int status = 0;
    RunCommand(command, &status);
    if (status == 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

}  // namespace

void QuorvaneRun::Key(const std::string& keysym) {
  Drive("xdotool windowfocus --sync " + window_ + " key --clearmodifiers " + ShellQuote(keysym));
}

void QuorvaneRun::MouseMove(int x, int y) {
  Drive("xdotool mousemove --sync --window " + window_ + " " + std::to_string(x) + " " + std::to_string(y));
}

namespace {

uint32_t BigEndianWord(const std::string& bytes, size_t at) {
  return (uint32_t(uint8_t(bytes[at])) << 24) | (uint32_t(uint8_t(bytes[at + 1])) << 16) |
         (uint32_t(uint8_t(bytes[at + 2])) << 8) | uint32_t(uint8_t(bytes[at + 3]));
}

// The green channel of an XWD dump of a true-colour window (ZPixmap, whole bytes per pixel).
GreyImage GreenOfXwd(const std::string& dump) {
  GreyImage image;
  if (dump.size() < 100) return image;
  const auto field = [&](int index) { return BigEndianWord(dump, 4 * static_cast<size_t>(index)); };
  const uint32_t headerSize = field(0), width = field(4), height = field(5), byteOrder = field(7);
  const uint32_t bitsPerPixel = field(11), bytesPerLine = field(12), greenMask = field(15), colours = field(19);
  if (field(2) != 2 || greenMask == 0 || bitsPerPixel % 8 != 0 || bitsPerPixel > 32) return image;
  const size_t start = headerSize + 12 * static_cast<size_t>(colours);
  if (dump.size() < start + static_cast<size_t>(bytesPerLine) * height) return image;
  int shift = 0;
  while (((greenMask >> shift) & 1) == 0) ++shift;
  image.width = static_cast<int>(width);
  image.height = static_cast<int>(height);
  image.pixels.resize(static_cast<size_t>(width) * height);
  const uint32_t bytes = bitsPerPixel / 8;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const size_t at = start + static_cast<size_t>(y) * bytesPerLine + static_cast<size_t>(x) * bytes;
      uint32_t value = 0;
      for (uint32_t b = 0; b < bytes; ++b) {
        const uint32_t byte = uint8_t(dump[at + b]);
        value |= byteOrder == 0 ? byte << (8 * b) : byte << (8 * (bytes - 1 - b));
      }
      image.pixels[static_cast<size_t>(y) * width + x] = static_cast<unsigned char>((value & greenMask) >> shift);
    }
  }
  return image;
}

}  // namespace

GreyImage ReadGreyCapture(const std::string& path) {
  GreyImage image;
  int channels = 0;
  unsigned char* pixels = nullptr;
  if (!ReadImagePng(path.c_str(), 1 << 14, &image.width, &image.height, &channels, &pixels)) return {};
  if (channels == 1) image.pixels.assign(pixels, pixels + static_cast<size_t>(image.width) * image.height);
  delete[] pixels;
  return channels == 1 ? image : GreyImage{};
}

GreyImage QuorvaneRun::WindowGreen() { return GreenOfXwd(RunCommand("xwd -silent -id " + window_)); }

void QuorvaneRun::MouseDown() { Drive("xdotool mousedown 1"); }
void QuorvaneRun::MouseUp() { Drive("xdotool mouseup 1"); }

std::string QuorvaneRun::Stdout() const { return ReadWholeFile(PathOf("stdout.txt")); }
std::string QuorvaneRun::Stderr() const { return ReadWholeFile(PathOf("stderr.txt")); }
std::string QuorvaneRun::Log() const { return ReadWholeFile(PathOf("output.txt")); }

bool QuorvaneRun::WaitForStdout(const std::string& text, Seconds limit) const {
  return WaitFor([&] { return Stdout().find(text) != std::string::npos; }, limit);
}

bool QuorvaneRun::WaitForLog(const std::string& text, Seconds limit) const {
  return WaitFor([&] { return Log().find(text) != std::string::npos; }, limit);
}

bool QuorvaneRun::WaitForLogCount(const std::string& text, int count, Seconds limit) const {
  return WaitFor(
      [&] {
        const std::string log = Log();
        int found = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + text.size())) ++found;
        return found >= count;
      },
      limit);
}

bool QuorvaneRun::Running() {
  if (pid_ <= 0) return false;
  int status = 0;
  const pid_t result = waitpid(pid_, &status, WNOHANG);
  if (result == 0) return true;
  if (result == pid_) status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  pid_ = -1;
  return false;
}

int QuorvaneRun::WaitForExit(Seconds limit) {
  if (!WaitFor([&] { return !Running(); }, limit)) return -1;
  return status_;
}

}  // namespace e2e
