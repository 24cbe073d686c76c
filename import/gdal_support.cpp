#include "import/gdal_support.h"

#include <cpl_error.h>

#include <algorithm>
#include <cmath>

#include "app/platform/text_format.h"
#include "import/options.h"

Failure ImportFailure(const std::string& reason) {
  // The importer has no log: its failures go to standard error alone.
  return Failure{"quorvane-import: " + reason + "\n", Channel::kErrorAndLog, kImportFailedStatus};
}

GdalArguments& GdalArguments::Add(std::string argument) {
  arguments_.push_back(std::move(argument));
  return *this;
}

GdalArguments& GdalArguments::Add(double number) { return Add(FormatShortest(number)); }

char** GdalArguments::List() {
  pointers_.clear();
  for (std::string& argument : arguments_) pointers_.push_back(argument.data());
  pointers_.push_back(nullptr);
  return pointers_.data();
}

GdalErrorCapture::GdalErrorCapture() { CPLPushErrorHandlerEx(&GdalErrorCapture::Record, this); }

GdalErrorCapture::~GdalErrorCapture() { CPLPopErrorHandler(); }

void CPL_STDCALL GdalErrorCapture::Record(CPLErr level, CPLErrorNum, const char* message) {
  if (level < CE_Failure || message == nullptr) return;
  auto* self = static_cast<GdalErrorCapture*>(CPLGetErrorHandlerUserData());
  std::string text = message;
  // The reason is printed as part of one line.
  std::replace(text.begin(), text.end(), '\n', ' ');
  self->lastFailure_ = text;
}

std::string GdalErrorCapture::LastFailureOr(const std::string& fallback) const {
  return lastFailure_.empty() ? fallback : lastFailure_;
}

int CPL_STDCALL StepProgress::Report(double fraction, const char*, void* self) {
  auto* progress = static_cast<StepProgress*>(self);
  constexpr int kSteps = 1000;
  const int done = static_cast<int>(std::lround(std::clamp(fraction, 0.0, 1.0) * kSteps));
  progress->bar_.Update(progress->label_, done, kSteps);
  return TRUE;  // never cancel
}
