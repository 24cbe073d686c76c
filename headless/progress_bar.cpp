// TEMPORARY STUB (bench-runner branch): the report branch owns this file; take theirs on merge.
#include "headless/progress_bar.h"

ProgressBar::ProgressBar(std::FILE* out, double) : out_(out) {}

void ProgressBar::Update(const std::string& label, int done, int total) {
  shown_ = true;
  std::fprintf(out_, "\r%-24s %d/%d", label.c_str(), done, total);
  std::fflush(out_);
}

void ProgressBar::Finish() {
  if (shown_) std::fprintf(out_, "\n");
  shown_ = false;
}
