#pragma once
#include <cstddef>
#include <string>

// Numbers and text for files, tables and the terminal. Numbers always have a decimal point,
// whatever the process locale says; non-finite values come out as "inf", "-inf" and "nan".

// Fixed notation with the given number of decimals (0 gives an integer without a point). A value
// that rounds to zero never shows a minus sign.
std::string FormatFixed(double value, int decimals);

// The shortest text that reads back as exactly the same double.
std::string FormatShortest(double value);

// The text with control characters replaced by '?', fit for one line of a table or a terminal.
std::string PrintableText(const std::string& text);

// Characters a terminal shows for the text: UTF-8 continuation bytes do not count.
size_t DisplayWidth(const std::string& text);
