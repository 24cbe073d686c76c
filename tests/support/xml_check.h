#pragma once
#include <string>

// A small checker of XML well-formedness for tests of written documents (SVG and the like):
// one root element; start and end tags balanced and matching; attributes named, quoted, not
// repeated and free of '<'; every '&' in text or attribute values a known entity or a character
// reference; no control characters; only whitespace, comments and processing instructions
// outside the root; comments, CDATA sections, processing instructions and a simple DOCTYPE
// (without internal subset) understood. It does not check namespaces or encodings.
//
// On failure returns false and, when error is given, says what is wrong and at which byte.
bool IsWellFormedXml(const std::string& text, std::string* error);
