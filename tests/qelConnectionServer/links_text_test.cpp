// The links text of reverse registration: only a declaration at its start is
// dropped, in the start-up check and in the answer that carries it.
#include <gtest/gtest.h>

#include <string>

#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelConnectionServer/process_set_site_message.h"
#include "qelConnectionServer/reverse_registration.h"
#include "qelStatusCodes.h"

using namespace qel::funneltunnel;

namespace {

std::string answer_carrying(const std::string& links) {
  prepare_set_site_message_support();
  std::string response;
  process_set_site_message({"agent", "U-1", "urn:agent", "5.0"}, "10.0.0.1", links, "", response);
  return response;
}

uint32_t refusal(const std::string& links) {
  try {
    checked_links_text(links);
  } catch (const funneltunnel_exception& e) {
    return e.code;
  }
  return 0;
}

size_t count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

}  // namespace

TEST(LinksText, QuestionMarkAndBracketInsideTheTextAreKept) {
  for (const std::string links : {"<a>x?>y</a>", "hello?> world", "<?xml-stylesheet href='s'?><a/>",
                                  "<a/><?pi data?>"}) {
    EXPECT_EQ(checked_links_text(links), links);
    const std::string answer = answer_carrying(links);
    EXPECT_NE(answer.find(links), std::string::npos) << answer;
    EXPECT_EQ(count(answer, "<?xml "), 1u) << answer;  // the answer's own declaration only
  }
}

TEST(LinksText, OnlyALeadingDeclarationIsDropped) {
  EXPECT_EQ(checked_links_text("<?xml version='1.0' encoding='UTF-8'?>\n<a>x?>y</a>"),
            "\n<a>x?>y</a>");
  EXPECT_EQ(checked_links_text("\xEF\xBB\xBF<?xml version=\"1.0\"?><a/>"), "<a/>");
  EXPECT_EQ(without_leading_xml_declaration("<?xml version='1.0'?>"), "");
  // Not a declaration at the start: nothing is dropped, and the check refuses what
  // would make the answer malformed.
  EXPECT_EQ(without_leading_xml_declaration(" <?xml version='1.0'?><a/>"),
            " <?xml version='1.0'?><a/>");
  EXPECT_EQ(without_leading_xml_declaration("<?xml version='1.0'"), "<?xml version='1.0'");
  for (const char* bad : {" <?xml version='1.0'?><a/>", "<a/><?xml version='1.0'?>",
                          "<?xml version='1.0'", "<a>?></b>"}) {
    EXPECT_EQ(refusal(bad), qel::status::CS_LINKS_MALFORMED) << bad;
  }
  const std::string answer = answer_carrying("<?xml version='1.0'?><links>a?>b</links>");
  EXPECT_NE(answer.find("<links>a?>b</links>"), std::string::npos) << answer;
  EXPECT_EQ(count(answer, "<?xml "), 1u) << answer;
}
