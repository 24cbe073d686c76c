#include "headless/xml_escape.h"

std::string EscapeXml(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default: {
        unsigned char byte = static_cast<unsigned char>(c);
        bool allowedControl = c == '\t' || c == '\n' || c == '\r';
        out += (byte < 0x20 && !allowedControl) ? '?' : c;
      }
    }
  }
  return out;
}
