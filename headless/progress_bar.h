#pragma once
// TEMPORARY STUB (bench-runner branch): the report branch owns this file; take theirs on merge.
#include <cstdio>
#include <string>

class ProgressBar {
 public:
  explicit ProgressBar(std::FILE* out, double delaySeconds = 1.0);
  void Update(const std::string& label, int done, int total);
  void Finish();

 private:
  std::FILE* out_;
  bool shown_ = false;
};
