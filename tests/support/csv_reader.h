#pragma once
#include <string>
#include <vector>

using CsvRecord = std::vector<std::string>;

// A strict RFC 4180 reader: quoted fields may hold commas, doubled quotes and line breaks;
// a quote anywhere else in a field is an error (reported as an empty result).
std::vector<CsvRecord> ParseCsv(const std::string& text);
