#pragma once
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// A plain-text table whose columns are as wide as their widest cell: a header row, a rule of
// dashes, then the rows, every line the same width.
class TextTable {
 public:
  enum class Align { kLeft, kRight };
  struct Column {
    std::string header;
    Align align;
  };

  explicit TextTable(std::vector<Column> columns) : columns_(std::move(columns)) {}

  // Missing cells are blank; cells beyond the last column are dropped; control characters show
  // as '?'.
  void AddRow(std::vector<std::string> cells);

  // Widths in UTF-8 characters.
  std::string Render() const;

 private:
  static std::string Pad(const std::string& text, size_t width, Align align);

  std::vector<Column> columns_;
  std::vector<std::vector<std::string>> rows_;
};
