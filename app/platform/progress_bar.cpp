#include "app/platform/progress_bar.h"

#include <chrono>
#include <cmath>
#include <utility>

#include "app/platform/text_format.h"

namespace {

constexpr double kRedrawInterval = 0.1;
constexpr int kBarWidth = 24;
constexpr size_t kLabelWidth = 28;

double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string FitLabel(const std::string& label) {
  std::string text = PrintableText(label);
  if (DisplayWidth(text) <= kLabelWidth) return text + std::string(kLabelWidth - DisplayWidth(text), ' ');
  // Cut on a character boundary so a UTF-8 sequence is never split.
  size_t characters = 0, end = 0;
  for (; end < text.size(); ++end) {
    if ((static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) continue;
    if (characters == kLabelWidth - 3) break;
    ++characters;
  }
  return text.substr(0, end) + "...";
}

}  // namespace

std::string FormatDuration(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0 || seconds > 1e9) return "--:--";
  const long total = std::lround(seconds);
  const long hours = total / 3600, minutes = total / 60 % 60, secs = total % 60;
  char text[32];
  if (hours > 0) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", hours, minutes, secs);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", minutes, secs);
  }
  return text;
}

ProgressBar::ProgressBar(std::FILE* out, double delaySeconds) : ProgressBar(out, delaySeconds, SteadySeconds) {}

ProgressBar::ProgressBar(std::FILE* out, double delaySeconds, Clock clock)
    : out_(out), delaySeconds_(delaySeconds), clock_(std::move(clock)), start_(clock_()) {}

std::string ProgressBar::Line(const std::string& label, int done, int total, double elapsed) const {
  double fraction = total > 0 ? static_cast<double>(done) / total : 0.0;
  fraction = std::fmin(std::fmax(fraction, 0.0), 1.0);
  const int filled = static_cast<int>(fraction * kBarWidth);
  double left = done > 0 && total > 0 ? elapsed * (total - done) / done : -1.0;
  if (done >= total && total > 0) left = 0.0;
  return FitLabel(label) + " [" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "] " +
         FormatFixed(fraction * 100.0, 0) + "% " + std::to_string(done) + "/" + std::to_string(total) + " " +
         FormatDuration(left) + " left";
}

void ProgressBar::Update(const std::string& label, int done, int total) {
  if (out_ == nullptr) return;
  const double now = clock_();
  const double elapsed = now - start_;
  if (elapsed < delaySeconds_) return;
  if (drawnWidth_ > 0 && now - lastDraw_ < kRedrawInterval) return;
  std::string line = Line(label, done, total, elapsed);
  const size_t width = DisplayWidth(line);
  if (width < drawnWidth_) line += std::string(drawnWidth_ - width, ' ');
  std::fputc('\r', out_);
  std::fputs(line.c_str(), out_);
  std::fflush(out_);
  drawnWidth_ = width > 0 ? width : 1;
  lastDraw_ = now;
}

void ProgressBar::Finish() {
  if (out_ == nullptr || drawnWidth_ == 0) return;
  std::fputc('\r', out_);
  std::fputs(std::string(drawnWidth_, ' ').c_str(), out_);
  std::fputc('\r', out_);
  std::fflush(out_);
  drawnWidth_ = 0;
}
