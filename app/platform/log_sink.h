#pragma once
#include <cstdio>
#include <string>
#include <string_view>

#include "app/platform/failure.h"

// Where whoever has something to say says it: the Terrain log ("output.txt"), the console
// (standard output) and standard error. The window hands out the real ones; the benchmark and
// the tests hand out sinks that drop or keep the text.
class LogSink {
 public:
  virtual ~LogSink() = default;
  virtual void Log(std::string_view text) = 0;
  virtual void Console(std::string_view text) = 0;
  virtual void Error(std::string_view text) = 0;

  // printf into the log; into the console; into the log and then the same text to the console.
  void Logf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void LogAndPrintf(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // The failure's line on its channels.
  void Show(const Failure& failure);
};

// The log in a file (written and flushed line by line, so a reader follows it), the console on
// standard output and errors on standard error. Without a file the log's lines are dropped.
class StdioLogSink final : public LogSink {
 public:
  explicit StdioLogSink(std::FILE* log = nullptr) : log_(log) {}
  void Log(std::string_view text) override;
  void Console(std::string_view text) override;
  void Error(std::string_view text) override;

  std::FILE* file() const { return log_; }
  void SetFile(std::FILE* log) { log_ = log; }

 private:
  std::FILE* log_;
};

// Keeps everything in strings (tests).
class BufferLogSink final : public LogSink {
 public:
  void Log(std::string_view text) override { log.append(text); }
  void Console(std::string_view text) override { console.append(text); }
  void Error(std::string_view text) override { error.append(text); }

  std::string log;
  std::string console;
  std::string error;
};

// Drops everything.
class NullLogSink final : public LogSink {
 public:
  void Log(std::string_view) override {}
  void Console(std::string_view) override {}
  void Error(std::string_view) override {}
};
