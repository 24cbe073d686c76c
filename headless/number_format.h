#pragma once
#include <string>

// Numbers for files and tables, always with a decimal point whatever the process locale says.
// Non-finite values come out as "inf", "-inf" and "nan".

// Fixed notation with the given number of decimals (0 gives an integer without a point).
std::string FormatFixed(double value, int decimals);

// The shortest text that reads back as exactly the same double.
std::string FormatShortest(double value);
