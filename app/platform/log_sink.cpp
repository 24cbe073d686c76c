#include "app/platform/log_sink.h"

#include <cstdarg>

namespace {

void Write(std::FILE* file, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), file);
  std::fflush(file);
}

}  // namespace

void LogSink::Logf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Log(FormatV(format, args));
  va_end(args);
}

void LogSink::Printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Console(FormatV(format, args));
  va_end(args);
}

void LogSink::LogAndPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = FormatV(format, args);
  va_end(args);
  Log(text);
  Console(text);
}

void LogSink::Show(const Failure& failure) {
  switch (failure.channel) {
    case Channel::kConsole:
      Console(failure.message);
      break;
    case Channel::kLog:
      Log(failure.message);
      break;
    case Channel::kLogAndConsole:
      Log(failure.message);
      Console(failure.message);
      break;
    case Channel::kErrorAndLog:
      Error(failure.message);
      Log(failure.message);
      break;
  }
}

void StdioLogSink::Log(std::string_view text) {
  if (log_ != nullptr) Write(log_, text);
}

void StdioLogSink::Console(std::string_view text) { Write(stdout, text); }

void StdioLogSink::Error(std::string_view text) { Write(stderr, text); }
