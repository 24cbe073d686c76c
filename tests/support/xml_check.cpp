#include "support/xml_check.h"

#include <set>
#include <vector>

namespace {

bool IsNameStart(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || u >= 0x80;
}

bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

class XmlChecker {
 public:
  explicit XmlChecker(const std::string& text) : text_(text) {}

  bool Check(std::string* error) {
    bool ok = CheckCharacters() && Document();
    if (!ok && error != nullptr) *error = "at byte " + std::to_string(errorAt_) + ": " + message_;
    return ok;
  }

 private:
  bool Fail(const std::string& message) {
    if (message_.empty()) {
      message_ = message;
      errorAt_ = pos_;
    }
    return false;
  }
  bool StartsWith(const char* prefix) const {
    return text_.compare(pos_, std::char_traits<char>::length(prefix), prefix) == 0;
  }
  bool AtEnd() const { return pos_ >= text_.size(); }
  void SkipSpace() {
    while (!AtEnd() && IsSpace(text_[pos_])) ++pos_;
  }

  bool CheckCharacters() {
    for (pos_ = 0; pos_ < text_.size(); ++pos_) {
      unsigned char c = static_cast<unsigned char>(text_[pos_]);
      if (c < 0x20 && !IsSpace(text_[pos_])) return Fail("control character");
    }
    pos_ = 0;
    return true;
  }

  bool Name(std::string* name) {
    if (AtEnd() || !IsNameStart(text_[pos_])) return Fail("name expected");
    size_t start = pos_;
    while (!AtEnd() && IsNameChar(text_[pos_])) ++pos_;
    *name = text_.substr(start, pos_ - start);
    return true;
  }

  // Skips past the terminator; fails if it never comes.
  bool SkipPast(const char* terminator, const char* what) {
    size_t end = text_.find(terminator, pos_);
    if (end == std::string::npos) return Fail(std::string("unterminated ") + what);
    pos_ = end + std::char_traits<char>::length(terminator);
    return true;
  }

  bool Comment() {
    pos_ += 4;
    size_t end = text_.find("--", pos_);
    if (end == std::string::npos) return Fail("unterminated comment");
    pos_ = end;
    if (!StartsWith("-->")) return Fail("'--' inside a comment");
    pos_ += 3;
    return true;
  }

  bool ProcessingInstruction() {
    const bool atStart = pos_ == 0;
    pos_ += 2;
    std::string target;
    if (!Name(&target)) return false;
    if ((target == "xml" || target == "XML") && !atStart) return Fail("XML declaration not at the start");
    return SkipPast("?>", "processing instruction");
  }

  // Comments, processing instructions and whitespace, as allowed around the root.
  bool Miscellany(bool allowDoctype) {
    for (;;) {
      SkipSpace();
      if (StartsWith("<!--")) {
        if (!Comment()) return false;
      } else if (StartsWith("<?")) {
        if (!ProcessingInstruction()) return false;
      } else if (allowDoctype && StartsWith("<!DOCTYPE")) {
        size_t close = text_.find('>', pos_);
        if (close == std::string::npos) return Fail("unterminated DOCTYPE");
        if (text_.find('[', pos_) < close) return Fail("DOCTYPE internal subset not supported");
        pos_ = close + 1;
        allowDoctype = false;
      } else {
        return true;
      }
    }
  }

  bool Reference() {
    size_t end = text_.find(';', pos_);
    if (end == std::string::npos || end - pos_ > 12) return Fail("'&' without a reference");
    std::string body = text_.substr(pos_ + 1, end - pos_ - 1);
    static const std::set<std::string> kEntities = {"amp", "lt", "gt", "quot", "apos"};
    bool ok = kEntities.count(body) > 0;
    if (!ok && body.size() > 1 && body[0] == '#') {
      bool hex = body[1] == 'x';
      std::string digits = body.substr(hex ? 2 : 1);
      ok = !digits.empty() &&
           digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") == std::string::npos;
    }
    if (!ok) return Fail("unknown entity '&" + body + ";'");
    pos_ = end + 1;
    return true;
  }

  bool AttributeValue() {
    if (AtEnd() || (text_[pos_] != '"' && text_[pos_] != '\'')) return Fail("attribute value not quoted");
    const char quote = text_[pos_++];
    while (!AtEnd() && text_[pos_] != quote) {
      if (text_[pos_] == '<') return Fail("'<' in an attribute value");
      if (text_[pos_] == '&') {
        if (!Reference()) return false;
      } else {
        ++pos_;
      }
    }
    if (AtEnd()) return Fail("unterminated attribute value");
    ++pos_;
    return true;
  }

  // After '<': the name, the attributes and '>' or '/>'. Sets *empty for '/>'.
  bool StartTag(std::string* name, bool* empty) {
    ++pos_;
    if (!Name(name)) return false;
    std::set<std::string> seen;
    for (;;) {
      size_t before = pos_;
      SkipSpace();
      if (StartsWith("/>")) {
        pos_ += 2;
        *empty = true;
        return true;
      }
      if (StartsWith(">")) {
        ++pos_;
        *empty = false;
        return true;
      }
      if (pos_ == before) return Fail("space expected before an attribute");
      std::string attribute;
      if (!Name(&attribute)) return false;
      if (!seen.insert(attribute).second) return Fail("repeated attribute '" + attribute + "'");
      SkipSpace();
      if (AtEnd() || text_[pos_] != '=') return Fail("'=' expected after attribute '" + attribute + "'");
      ++pos_;
      SkipSpace();
      if (!AttributeValue()) return false;
    }
  }

  bool EndTag(std::vector<std::string>* open) {
    pos_ += 2;
    std::string name;
    if (!Name(&name)) return false;
    SkipSpace();
    if (AtEnd() || text_[pos_] != '>') return Fail("'>' expected to end </" + name);
    if (open->empty() || open->back() != name) {
      return Fail("</" + name + "> does not close " +
                  (open->empty() ? "anything" : "<" + open->back() + ">"));
    }
    open->pop_back();
    ++pos_;
    return true;
  }

  bool Content(std::vector<std::string>* open) {
    while (!open->empty()) {
      if (AtEnd()) return Fail("<" + open->back() + "> never closed");
      if (StartsWith("</")) {
        if (!EndTag(open)) return false;
      } else if (StartsWith("<!--")) {
        if (!Comment()) return false;
      } else if (StartsWith("<![CDATA[")) {
        if (!SkipPast("]]>", "CDATA section")) return false;
      } else if (StartsWith("<?")) {
        if (!ProcessingInstruction()) return false;
      } else if (StartsWith("<!")) {
        return Fail("unexpected markup declaration");
      } else if (StartsWith("<")) {
        std::string name;
        bool empty = false;
        if (!StartTag(&name, &empty)) return false;
        if (!empty) open->push_back(name);
      } else if (StartsWith("]]>")) {
        return Fail("']]>' in text");
      } else if (text_[pos_] == '&') {
        if (!Reference()) return false;
      } else {
        ++pos_;
      }
    }
    return true;
  }

  bool Document() {
    if (!Miscellany(true)) return false;
    if (!StartsWith("<") || StartsWith("<!") || StartsWith("</")) return Fail("root element expected");
    std::string root;
    bool empty = false;
    if (!StartTag(&root, &empty)) return false;
    std::vector<std::string> open;
    if (!empty) open.push_back(root);
    if (!Content(&open) || !Miscellany(false)) return false;
    if (!AtEnd()) return Fail("content after the root element");
    return true;
  }

  const std::string& text_;
  size_t pos_ = 0;
  size_t errorAt_ = 0;
  std::string message_;
};

}  // namespace

bool IsWellFormedXml(const std::string& text, std::string* error) { return XmlChecker(text).Check(error); }
