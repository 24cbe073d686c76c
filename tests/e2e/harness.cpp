#include "e2e/harness.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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

std::string StartXvfb() {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return "";
  xvfbPid = fork();
  if (xvfbPid == 0) {
    close(pipeEnds[0]);
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, 1);
    dup2(devNull, 2);
    const std::string fd = std::to_string(pipeEnds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeEnds[1]);
  std::string number;
  char c;
  while (read(pipeEnds[0], &c, 1) == 1 && c != '\n') number += c;
  close(pipeEnds[0]);
  std::atexit(StopXvfb);
  return number.empty() ? "" : ":" + number;
}

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

// The display number is reported before clients are necessarily served: wait for a client to
// get an answer.
std::string StartXvfbAndWait() {
  const std::string display = StartXvfb();
  if (display.empty()) return display;
  WaitFor([&] {
    const std::string command = "DISPLAY=" + display + " xdotool getdisplaygeometry >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
  });
  return display;
}

const std::string& Display() {
  static const std::string display = StartXvfbAndWait();
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

void QuorvaneRun::Start(const std::vector<std::string>& arguments) {
  const std::string& display = Display();
  pid_ = fork();
  if (pid_ == 0) {
    if (chdir(directory_.path().c_str()) != 0) _exit(126);
    setenv("DISPLAY", display.c_str(), 1);
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

void QuorvaneRun::Key(const std::string& keysym) {
  RunCommand("xdotool windowfocus --sync " + window_ + " key --clearmodifiers " + ShellQuote(keysym));
}

void QuorvaneRun::MouseMove(int x, int y) {
  RunCommand("xdotool mousemove --sync --window " + window_ + " " + std::to_string(x) + " " + std::to_string(y));
}

void QuorvaneRun::MouseDown() { RunCommand("xdotool mousedown 1"); }
void QuorvaneRun::MouseUp() { RunCommand("xdotool mouseup 1"); }

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
