#pragma once
#include <gdal.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/platform/failure.h"
#include "app/platform/progress_bar.h"

// What the importer's steps share: the failure that stops an import (steps return Result and
// Status, as every library here does), owned GDAL datasets, GDAL utility argument lists, GDAL's
// error messages and progress callbacks. Nothing here prints except the progress bar.

// Receives the importer's decisions, one line each (main prints them on standard output).
using DecisionLog = std::function<void(const std::string&)>;

// Why the import stopped: the reason, one line with no line end, becomes the line main shows on
// standard error ("quorvane-import: " and the reason) and status 1.
Failure ImportFailure(const std::string& reason);

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
