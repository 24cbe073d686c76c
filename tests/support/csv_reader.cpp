#include "support/csv_reader.h"

std::vector<CsvRecord> ParseCsv(const std::string& text) {
  std::vector<CsvRecord> records;
  CsvRecord record;
  std::string field;
  size_t i = 0;
  bool quoted = false, fieldStarted = false;
  while (i < text.size()) {
    char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        i += 2;
        continue;
      }
      if (c == '"') {
        quoted = false;
        ++i;
        if (i < text.size() && text[i] != ',' && text[i] != '\n' && text[i] != '\r') return {};
        continue;
      }
      field += c;
      ++i;
      continue;
    }
    if (c == '"') {
      if (fieldStarted) return {};
      quoted = fieldStarted = true;
    } else if (c == ',') {
      record.push_back(field);
      field.clear();
      fieldStarted = false;
    } else if (c == '\n' || c == '\r') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      record.push_back(field);
      records.push_back(record);
      record.clear();
      field.clear();
      fieldStarted = false;
    } else {
      field += c;
      fieldStarted = true;
    }
    ++i;
  }
  if (quoted) return {};
  if (fieldStarted || !record.empty()) {
    record.push_back(field);
    records.push_back(record);
  }
  return records;
}
