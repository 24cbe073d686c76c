#pragma once
#include <optional>
#include <string>
#include <utility>
#include <variant>

// Where the line of a failure is shown.
enum class Channel {
  kConsole,        // standard output
  kLog,            // the Terrain log
  kLogAndConsole,  // the Terrain log, then standard output
  kErrorAndLog,    // standard error, then the Terrain log
};

// Why an operation cannot go on: the line the program shows and the status it ends with. Loaders,
// caches, builders and trees hand it up to their caller; only the programs' entry points show it
// and end.
struct Failure {
  std::string message;  // shown as it is: it carries its own line end, where it has one
  Channel channel = Channel::kConsole;
  int exitStatus = 1;
  // The program first deactivates its drawing method, as the quit keys do (an internal
  // inconsistency); other failures end it at once.
  bool quitOrderly = false;
};

#include <cstdarg>

// printf into a string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

// Ok, or the failure of an operation that has no other result.
class [[nodiscard]] Status {
 public:
  Status() = default;
  Status(Failure failure) : failure_(std::move(failure)) {}  // NOLINT: a failure is a status

  bool ok() const { return !failure_.has_value(); }
  const Failure& failure() const { return *failure_; }

 private:
  std::optional<Failure> failure_;
};

// A value, or the failure that prevented it.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : outcome_(std::move(value)) {}        // NOLINT: a value is a result
  Result(Failure failure) : outcome_(std::move(failure)) {}  // NOLINT: so is a failure

  bool ok() const { return std::holds_alternative<T>(outcome_); }
  T& value() { return std::get<T>(outcome_); }
  const T& value() const { return std::get<T>(outcome_); }
  const Failure& failure() const { return std::get<Failure>(outcome_); }
  Status status() const { return ok() ? Status() : Status(failure()); }

 private:
  std::variant<T, Failure> outcome_;
};
