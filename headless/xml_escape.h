#pragma once
#include <string>

// Text safe inside XML character data and quoted attribute values: & < > " ' become entities;
// control characters XML 1.0 cannot carry at all become '?'.
std::string EscapeXml(const std::string& text);
