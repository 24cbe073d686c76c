#include "headless/text_table.h"

#include <algorithm>
#include <utility>

#include "app/platform/text_format.h"

void TextTable::AddRow(std::vector<std::string> cells) {
  cells.resize(columns_.size());
  for (std::string& cell : cells) cell = PrintableText(cell);
  rows_.push_back(std::move(cells));
}

std::string TextTable::Render() const {
  std::vector<size_t> widths(columns_.size());
  for (size_t i = 0; i < columns_.size(); ++i) {
    widths[i] = DisplayWidth(columns_[i].header);
    for (const auto& row : rows_) widths[i] = std::max(widths[i], DisplayWidth(row[i]));
  }
  const auto line = [&](auto cellText) {
    std::string text;
    for (size_t i = 0; i < columns_.size(); ++i) {
      if (i > 0) text += "  ";
      text += cellText(i);
    }
    return text + "\n";
  };
  std::string out = line([&](size_t i) { return Pad(columns_[i].header, widths[i], columns_[i].align); });
  out += line([&](size_t i) { return std::string(widths[i], '-'); });
  for (const auto& row : rows_) out += line([&](size_t i) { return Pad(row[i], widths[i], columns_[i].align); });
  return out;
}

std::string TextTable::Pad(const std::string& text, size_t width, Align align) {
  const size_t used = DisplayWidth(text);
  const std::string padding(width > used ? width - used : 0, ' ');
  return align == Align::kLeft ? text + padding : padding + text;
}
