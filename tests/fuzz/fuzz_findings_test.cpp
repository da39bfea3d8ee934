// What the fuzzers found, each kept as a plain test of the entry point it went through,
// with the input it was found with (fuzz/regressions/<target>/).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "cml/cml_node_writer.h"
#include "tests/fuzz/fuzz_inputs.h"
#include "cml/cml_parser.h"
#include "mslLoader/qelMinisignCrypto.h"
#include "mslLoader/qelMinisignFormat.h"
#include "qelConnectionServer/agent_info.h"
#include "qelConnectionServer/process_set_site_message.h"
#include "qelConnectionServer/reverse_registration.h"
#include "qelToolsLib/qelCodecvt.h"

namespace {

using qel::cml::CCmlParser;

// A committed input: `kind` is "regressions" or "corpus".
std::string fuzz_input(const std::string& kind, const std::string& target,
                       const std::string& name) {
  std::ifstream in(
      fuzz_folder() + "/" + kind + "/" + target + "/" + name,
      std::ios::binary);
  EXPECT_TRUE(in) << name;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string written(const CCmlParser& parser) {
  std::ostringstream out;
  qelToolsLib::ImbueUtf8(out);
  qel::cml::SerializeNode(parser.GetDocumentElement(), out);
  return out.str();
}

// Parses `text`, writes the root back and parses that; returns the written text.
std::string write_and_reparse(const std::string& text, CCmlParser& again) {
  CCmlParser parser;
  parser.Parse(text.data(), text.size(), qel::cml::kParseNoValidation);
  const std::string once = written(parser);
  again.Parse(once.data(), once.size(), qel::cml::kParseNoValidation);
  return once;
}

}  // namespace

// The node writer wrote tabs and carriage returns raw; a parser reads a raw tab in an
// attribute as a blank and a raw carriage return as a line end, so the values changed.
TEST(FuzzFindings, NodeWriterKeepsTabsAndCarriageReturnsOfAttributesAndText) {
  CCmlParser attribute;
  const std::string once = write_and_reparse(
      fuzz_input("regressions", "cml_parser_fuzzer", "attribute_tab_cr.xml"), attribute);
  EXPECT_NE(once.find("b='x&#x9;y&#xa;z&#xd;'"), std::string::npos) << once;
  EXPECT_EQ(attribute.GetDocumentElement().getAttribute(L"b"), L"x\ty\nz\r");

  CCmlParser text;
  const std::string first =
      write_and_reparse(fuzz_input("regressions", "cml_parser_fuzzer", "text_cr.xml"), text);
  EXPECT_NE(first.find(">x&#xd;y</a>"), std::string::npos) << first;
  EXPECT_EQ(written(text), first);  // a second round changes nothing
}

// A signature whose trusted comment line ends in "\r\r\n" kept a '\r' in the comment,
// which minisign drops before checking: minisign accepted the signature, the loader
// refused it (and formatting the comment again lost the '\r').
TEST(FuzzFindings, TrustedCommentLosesEveryCarriageReturnAtItsEnd) {
  namespace sig = qel::sig;
  ASSERT_TRUE(sig::InitCrypto());
  sig::PublicKey key;
  ASSERT_EQ(sig::ParsePublicKey(fuzz_input("corpus", "minisign_fuzzer", "public_key.txt"), &key),
            sig::SigError::None);
  sig::Signature signature;
  ASSERT_EQ(
      sig::ParseSignature(fuzz_input("regressions", "minisign_fuzzer", "trusted_comment_crcr.txt"),
                          &signature),
      sig::SigError::None);
  EXPECT_EQ(signature.trustedComment, "timestamp:1 file:lib.so");
  const std::string signed_file = "data\n";  // what the seed's signature covers
  EXPECT_EQ(sig::Verify(signature, reinterpret_cast<const std::uint8_t*>(signed_file.data()),
                        signed_file.size(), "lib.so", {key}),
            sig::SigError::None);
}

// The links check left out everything up to the first "?>" as if it ended an XML
// declaration, so links with "?>" in their text were refused as malformed.
TEST(FuzzFindings, LinksMayCarryQuestionMarkAndGreaterThan) {
  using namespace qel::funneltunnel;
  prepare_set_site_message_support();
  const std::string links = fuzz_input("regressions", "links_text_fuzzer", "question_mark_gt.xml");
  ASSERT_EQ(checked_links_text(links), links);
  std::string message;
  process_set_site_message(agent_info{"a", "u", "urn:a", "5.0"}, "h", links, "", message);
  EXPECT_NE(message.find(links), std::string::npos);
  // A declaration in front, even after a byte order mark, is still left out.
  const std::string declared = "\xEF\xBB\xBF<?xml version='1.0'?><a>x?>y</a>";
  EXPECT_EQ(checked_links_text(declared), "<a>x?>y</a>");
  process_set_site_message(agent_info{"a", "u", "urn:a", "5.0"}, "h", declared, "", message);
  EXPECT_EQ(message.find("<?xml version='1.0'?><a>"), std::string::npos);
  EXPECT_NE(message.find("<a>x?>y</a>"), std::string::npos);
}
