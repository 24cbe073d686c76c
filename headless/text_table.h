#pragma once
#include <string>
#include <vector>

// A plain-text table whose columns are as wide as their widest cell: a header row, a rule of
// dashes, then the rows, every line the same width. Widths count UTF-8 characters, not bytes;
// control characters in cells are shown as '?' so that no cell can break a line.
class TextTable {
 public:
  enum class Align { kLeft, kRight };
  struct Column {
    std::string header;
    Align align;
  };

  explicit TextTable(std::vector<Column> columns);

  // Missing cells are blank; cells beyond the last column are dropped.
  void AddRow(std::vector<std::string> cells);
  std::string Render() const;

 private:
  std::vector<Column> columns_;
  std::vector<std::vector<std::string>> rows_;
};

// The text with control characters replaced by '?', fit for one line of a table or header.
std::string PrintableText(const std::string& text);

// Characters a terminal shows for the text: UTF-8 continuation bytes do not count.
size_t DisplayWidth(const std::string& text);
