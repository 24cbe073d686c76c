#include "headless/text_table.h"

#include <algorithm>
#include <utility>

namespace {

constexpr const char* kColumnGap = "  ";

std::string Pad(const std::string& text, size_t width, TextTable::Align align) {
  size_t used = DisplayWidth(text);
  std::string padding(width > used ? width - used : 0, ' ');
  return align == TextTable::Align::kLeft ? text + padding : padding + text;
}

}  // namespace

std::string PrintableText(const std::string& text) {
  std::string shown = text;
  for (char& c : shown) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) c = '?';
  }
  return shown;
}

size_t DisplayWidth(const std::string& text) {
  return static_cast<size_t>(std::count_if(
      text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

TextTable::TextTable(std::vector<Column> columns) : columns_(std::move(columns)) {
  for (Column& column : columns_) column.header = PrintableText(column.header);
}

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
  auto line = [&](auto cellText) {
    std::string text;
    for (size_t i = 0; i < columns_.size(); ++i) {
      if (i > 0) text += kColumnGap;
      text += cellText(i);
    }
    return text + "\n";
  };
  std::string out = line([&](size_t i) { return Pad(columns_[i].header, widths[i], columns_[i].align); });
  out += line([&](size_t i) { return std::string(widths[i], '-'); });
  for (const auto& row : rows_) {
    out += line([&](size_t i) { return Pad(row[i], widths[i], columns_[i].align); });
  }
  return out;
}
