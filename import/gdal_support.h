#pragma once
#include <gdal.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "app/platform/progress_bar.h"

// What the importer's steps share: results that carry either a value or the one-line reason
// the import stopped, owned GDAL datasets, GDAL utility argument lists, GDAL's error messages
// and progress callbacks. Nothing here prints except the progress bar.

// Receives the importer's decisions, one line each (main prints them on standard output).
using DecisionLog = std::function<void(const std::string&)>;

struct ImportError {
  std::string message;  // one line, no trailing newline
};

// A step's value, or the reason it failed. Only main turns a failure into output and a status.
template <class T>
class [[nodiscard]] Outcome {
 public:
  Outcome(T value) : state_(std::move(value)) {}
  Outcome(ImportError error) : state_(std::move(error)) {}

  bool ok() const { return state_.index() == 0; }
  T& value() { return std::get<0>(state_); }
  const T& value() const { return std::get<0>(state_); }
  const std::string& error() const { return std::get<1>(state_).message; }
  ImportError TakeError() { return std::move(std::get<1>(state_)); }

 private:
  std::variant<T, ImportError> state_;
};

// A step that produces nothing but may fail.
using Status = Outcome<std::monostate>;
inline Status Succeeded() { return std::monostate{}; }

struct DatasetCloser {
  void operator()(void* dataset) const { GDALClose(static_cast<GDALDatasetH>(dataset)); }
};
using Dataset = std::unique_ptr<void, DatasetCloser>;

// Arguments for GDAL's utility functions (GDALWarp, GDALTranslate, GDALDEMProcessing), which
// take them as a null-terminated char* list like their command-line programs.
class GdalArguments {
 public:
  GdalArguments& Add(std::string argument);
  GdalArguments& Add(double number);
  char** List();  // valid until the next Add; owned by this object

 private:
  std::vector<std::string> arguments_;
  std::vector<char*> pointers_;
};

// Collects the messages GDAL raises on this thread (instead of printing them) while it lives.
class GdalErrorCapture {
 public:
  GdalErrorCapture();
  ~GdalErrorCapture();
  GdalErrorCapture(const GdalErrorCapture&) = delete;
  GdalErrorCapture& operator=(const GdalErrorCapture&) = delete;

  // The last failure GDAL reported, or the fallback when it reported none.
  std::string LastFailureOr(const std::string& fallback) const;
  void Clear() { lastFailure_.clear(); }

 private:
  static void CPL_STDCALL Record(CPLErr level, CPLErrorNum number, const char* message);
  std::string lastFailure_;
};

// A GDAL progress callback that draws the project's progress bar under a label. The bar stays
// silent on short steps (see ProgressBar) and when out is null.
class StepProgress {
 public:
  StepProgress(std::FILE* out, std::string label) : bar_(out), label_(std::move(label)) {}
  ~StepProgress() { bar_.Finish(); }
  StepProgress(const StepProgress&) = delete;
  StepProgress& operator=(const StepProgress&) = delete;

  GDALProgressFunc function() const { return &Report; }
  void* data() { return this; }

 private:
  static int CPL_STDCALL Report(double fraction, const char* message, void* self);
  ProgressBar bar_;
  std::string label_;
};
