#include "app/platform/text_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

bool FormatNonFinite(double value, std::string* text) {
  if (std::isnan(value)) {
    *text = "nan";
    return true;
  }
  if (std::isinf(value)) {
    *text = value > 0 ? "inf" : "-inf";
    return true;
  }
  return false;
}

}  // namespace

std::string FormatFixed(double value, int decimals) {
  std::string text;
  if (FormatNonFinite(value, &text)) return text;
  if (decimals < 0) decimals = 0;
  // Large enough for any double in fixed notation (about 310 integer digits) and the decimals.
  char buffer[400];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed,
                                    decimals > 60 ? 60 : decimals);
  if (error != std::errc()) return FormatShortest(value);
  text.assign(buffer, end);
  if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  return text;
}

std::string FormatShortest(double value) {
  std::string text;
  if (FormatNonFinite(value, &text)) return text;
  char buffer[64];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (error != std::errc()) return "nan";
  return std::string(buffer, end);
}

std::string PrintableText(const std::string& text) {
  std::string shown = text;
  for (char& c : shown) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) c = '?';
  }
  return shown;
}

size_t DisplayWidth(const std::string& text) {
  return static_cast<size_t>(std::count_if(
      text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}
