#include "support/xml_check.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(XmlCheckTest, AcceptsWellFormedDocuments) {
  for (const char* text : {
           "<a/>",
           "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- made by a test -->\n<svg a='1' b=\"2\">\n"
           "  <g><text x=\"1\">A &amp; B &lt;c&gt; &#233; &#xE9; &quot; &apos; > </text></g>\n"
           "  <title>x</title><![CDATA[ <not> & markup ]]><?pi data?><e/>\n</svg>\n<!-- after -->\n",
           "<!DOCTYPE svg><svg xmlns:q=\"urn:x\"><q:r/></svg>",
           "<a\n  b = \"&lt;\"\n/>",
       }) {
    std::string error;
    EXPECT_TRUE(IsWellFormedXml(text, &error)) << text << "\n" << error;
  }
}

TEST(XmlCheckTest, RejectsBrokenDocumentsAndSaysWhere) {
  for (const char* text : {
           "",
           "just text",
           "<a>",
           "<a><b></a></b>",
           "<a></b>",
           "<a x=1/>",
           "<a x=\"1\"x=\"2\"/>",
           "<a x=\"1\" x=\"2\"/>",
           "<a x=\"<\"/>",
           "<a x=\"1/>",
           "<a>fish & chips</a>",
           "<a>&nbsp;</a>",
           "<a>&#xZZ;</a>",
           "<a/><b/>",
           "<a/>trailing",
           "<a><!-- open </a>",
           "<a><!-- a -- b --></a>",
           "<a>]]></a>",
           "<a>\x01</a>",
           "<a><![CDATA[ never closed </a>",
           " <?xml version=\"1.0\"?><a/>",
           "<1a/>",
       }) {
    std::string error;
    EXPECT_FALSE(IsWellFormedXml(text, &error)) << text;
    EXPECT_NE(error.find("at byte"), std::string::npos) << text;
  }
  EXPECT_FALSE(IsWellFormedXml("<a>", nullptr));
}

}  // namespace
