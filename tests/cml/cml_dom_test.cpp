// The DOM wrapper layer and the DOM subtree writers.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "cml/cml_dom_attr.h"
#include "cml/cml_dom_document.h"
#include "cml/cml_dom_element.h"
#include "cml/cml_dom_node_list.h"
#include "cml/cml_dom_text.h"
#include "cml/cml_dom_exception.h"
#include "cml/cml_dom_notation.h"
#include "cml/cml_dom_type_info.h"
#include "cml/cml_dom_comment.h"
#include "cml/cml_dom_cdata_section.h"
#include "cml/cml_dom_processing_instruction.h"
#include "cml/cml_node_writer.h"
#include "cml/cml_parser.h"
#include "cml/cml_settings.h"
#include "cml/cml_xerces.h"
#include "cml_test_util.h"

namespace qel {
namespace cml {
namespace {

using test::CodeOf;

TEST(DomWrapper, NullWrappersThrowNamingTheOperation) {
  CCmlDOM_Document doc = CCmlDOM_Document::CreateEmpty();
  CCmlDOM_Element root = doc.createElement(L"root");
  doc.appendChild(root);
  CCmlDOM_Node child = root.getFirstChild();
  EXPECT_TRUE(child.IsNull());
  try {
    child.getNodeName();
    FAIL();
  } catch (const CCmlException& e) {
    EXPECT_EQ(e.GetCode(), 0xC7380027u);
    EXPECT_EQ(e.GetOperation(), L"CCmlDOM_Node::getNodeName()");
    EXPECT_EQ(e.GetText(), L"The node is NULL");
  }
  EXPECT_EQ(CodeOf([] { CCmlDOM_NodeList().getLength(); }), 0xC7380027u);
  EXPECT_EQ(CodeOf([] { CCmlDOM_Document().getDocumentElement(); }), 0xC7380027u);
  // A text node is not an element.
  CCmlDOM_Node text = doc.createTextNode(L"t");
  EXPECT_EQ(CodeOf([&] { CCmlDOM_Element e(text); }), 0xC7380014u);
  EXPECT_EQ(CodeOf([&] { CCmlDOM_Attr a(text); }), 0xC7380014u);
  CCmlDOM_Text asText(text);
  EXPECT_EQ(asText.getData(), L"t");
}

TEST(DomWrapper, OwnerFlagMovesWithCopiesSoTheDocumentIsReleasedOnce) {
  CCmlDOM_Document first = CCmlDOM_Document::CreateEmpty();
  EXPECT_TRUE(first.IsOwner());
  CCmlDOM_Document second(first);
  EXPECT_FALSE(first.IsOwner());
  EXPECT_TRUE(second.IsOwner());
  CCmlDOM_Document third;
  third = second;
  EXPECT_FALSE(second.IsOwner());
  EXPECT_TRUE(third.IsOwner());
  EXPECT_EQ(first.GetDOMDocument(), third.GetDOMDocument());
  // Leaving scope releases the document exactly once (ASan would report otherwise).
}

// Two wrappers of one node: assigning one to the other never leaves the node without
// its owner (ASan reports the leak otherwise), and rebinding to the same node keeps it.
TEST(DomWrapper, AssignmentBetweenWrappersOfOneNodeKeepsTheOwner) {
  CCmlDOM_Document doc = CCmlDOM_Document::CreateEmpty();
  CCmlDOM_Node owner(doc.createElement(L"detached").GetDOMNode(), true);
  CCmlDOM_Node viewer(owner.GetDOMNode());
  owner = viewer;
  EXPECT_TRUE(owner.IsOwner());
  owner.SetDOMNode(owner.GetDOMNode());
  EXPECT_TRUE(owner.IsOwner());
  viewer = owner;  // the owner flag moves, the node is released once
  EXPECT_TRUE(viewer.IsOwner());
  EXPECT_FALSE(owner.IsOwner());
  CCmlDOM_Document other(doc.GetDOMDocument());
  doc = other;
  EXPECT_TRUE(doc.IsOwner());
}

// The typed wrappers bind only their own node type and speak wide text; offsets
// count wide characters even where UTF-16 needs two units.
TEST(DomWrapper, TypedWrappersOfEveryNodeKind) {
  CCmlDOM_Document doc = CCmlDOM_Document::CreateEmpty();
  CCmlDOM_Element root = doc.createElementNS(L"urn:r", L"r:root");
  doc.appendChild(root);
  CCmlDOM_Comment comment = doc.createComment(L"a\U0001F600bc");
  comment.insertData(2, L"X");
  comment.replaceData(3, 1, L"YZ");
  comment.deleteData(0, 1);
  EXPECT_EQ(comment.getData(), L"\U0001F600XYZc");
  EXPECT_EQ(comment.substringData(1, 2), L"XY");
  EXPECT_EQ(comment.getLength(), 5u);
  EXPECT_EQ(CodeOf([&] { CCmlDOM_CDATASection wrong(comment); }), 0xC7380014u);
  CCmlDOM_Text text = doc.createTextNode(L"\U0001F600-tail");
  root.appendChild(text);
  EXPECT_EQ(text.splitText(2).getData(), L"tail");
  EXPECT_EQ(text.getWholeText(), L"\U0001F600-tail");
  EXPECT_EQ(text.replaceWholeText(L"whole").getData(), L"whole");
  CCmlDOM_ProcessingInstruction pi = doc.createProcessingInstruction(L"target", L"data");
  EXPECT_EQ(CodeOf([&] { CCmlDOM_Notation wrong(pi); }), 0xC7380014u);
  EXPECT_EQ(CodeOf([] { CCmlDOM_TypeInfo().getName(); }), 0xC7380027u);
}

std::string Formatted(const CCmlDOM_Node& node, unsigned level) {
  std::ostringstream os;
  SerializeNodeFormatted(node, os, level);
  return os.str();
}

std::string Plain(const CCmlDOM_Node& node) {
  std::ostringstream os;
  SerializeNode(node, os);
  return os.str();
}

// Content goes out as it came in: only element-only content is indented.
TEST(NodeWriter, FormattedFormIndentsOnlyElementOnlyContent) {
  const std::string xml =
      "<p:top xmlns:p='urn:p' a='x&amp;y'>\n  <p:inner b='1'> te&lt;xt\n </p:inner>\n"
      "  <!--note-->\n  <?pi some data?>\n  <mixed>a<![CDATA[raw <cdata>]]><b/>c</mixed>\n"
      "  <kept xml:space='preserve'>\n    <x/>\n  </kept>\n  <other xmlns='urn:o'/>\n</p:top>";
  CCmlParser parser;
  parser.Parse(xml.data(), xml.size(), kParseNoValidation);
  CCmlDOM_Element top = parser.GetDocumentElement();
  const std::string formatted = Formatted(top, 1);
  EXPECT_EQ(formatted,
            "    <p:top xmlns:p='urn:p' a='x&amp;y'>\n"
            "        <p:inner b='1'> te&lt;xt\n </p:inner>\n"
            "        <!--note-->\n"
            "        <?pi some data?>\n"
            "        <mixed xmlns=''>a<![CDATA[raw <cdata>]]><b/>c</mixed>\n"
            "        <kept xmlns='' xml:space='preserve'>\n    <x/>\n  </kept>\n"
            "        <other xmlns='urn:o'/>\n"
            "    </p:top>\n");
  // Read back and written again: the same text, so the same values.
  CCmlParser again;
  again.Parse(formatted.data(), formatted.size(), kParseNoValidation);
  EXPECT_EQ(Formatted(again.GetDocumentElement(), 1), formatted);
  EXPECT_EQ(Plain(top).substr(0, 36), "<p:top xmlns:p='urn:p' a='x&amp;y'>\n");
  // A nested element written on its own declares its namespace (prefix bound).
  CCmlDOM_Element inner(top.getElementsByTagName(L"p:inner").item(0));
  EXPECT_EQ(Plain(inner), "<p:inner xmlns:p='urn:p' b='1'> te&lt;xt\n </p:inner>");
}

// Nodes made by code may hold what no parser produces: the writers still give XML
// that reads back, or refuse.
TEST(NodeWriter, ProgrammaticNodesReadBackOrAreRefused) {
  CCmlDOM_Document doc = CCmlDOM_Document::CreateEmpty();
  CCmlDOM_Element root = doc.createElementNS(L"urn:r", L"root");
  doc.appendChild(root);
  CCmlDOM_Element bare = doc.createElementNS(L"", L"bare");  // no namespace, under urn:r
  root.appendChild(bare);
  bare.setAttribute(L"v",
                    L"tab\tcr\rlf\n\x01"
                    L"end");
  bare.appendChild(doc.createCDATASection(L"a]]>b"));
  bare.appendChild(doc.createTextNode(L"\r\n"));
  const std::string text = Plain(root);
  EXPECT_EQ(text,
            "<root xmlns='urn:r'><bare xmlns='' v='tab&#x9;cr&#xd;lf&#xa;\xef\xbf\xbd"
            "end'>"
            "<![CDATA[a]]]]><![CDATA[>b]]>&#xd;\n</bare></root>");
  CCmlParser parser;
  parser.Parse(text.data(), text.size(), kParseNoValidation);
  CCmlDOM_Element back(parser.GetDocumentElement().getFirstChild());
  EXPECT_EQ(back.getNamespaceURI(), L"");
  EXPECT_EQ(back.getAttribute(L"v"),
            L"tab\tcr\rlf\n\xfffd"
            L"end");
  EXPECT_EQ(back.getTextContent(), L"a]]>b\r\n");
  CCmlDOM_Element holder = doc.createElementNS(L"urn:r", L"holder");
  root.appendChild(holder);
  CCmlDOM_Node comment = holder.appendChild(doc.createComment(L"a--b"));
  EXPECT_EQ(CodeOf([&] { Plain(root); }), 0xC7210003u);
  holder.removeChild(comment);
  holder.appendChild(doc.createProcessingInstruction(L"t", L"x?>y"));
  EXPECT_EQ(CodeOf([&] { Formatted(root, 0); }), 0xC7210003u);
}

TEST(NodeWriter, AttributePrefixesBoundAboveTheSubtreeAreDeclared) {
  const std::string xml =
      "<a xmlns='urn:a' xmlns:p='urn:p' xmlns:q='urn:q'>"
      "<b p:x='1' q:y='2'><c p:z='3'/><d xmlns:p='urn:other' p:w='4'/></b></a>";
  CCmlParser parser;
  parser.Parse(xml.data(), xml.size(), kParseNoValidation);
  CCmlDOM_Element b(parser.GetDocumentElement().getFirstChild());
  // Each prefix is declared once, where the written text first needs it; a nested
  // element that rebinds the prefix keeps its own declaration.
  const std::string plain = Plain(b);
  EXPECT_EQ(plain,
            "<b xmlns='urn:a' xmlns:p='urn:p' xmlns:q='urn:q' p:x='1' q:y='2'><c p:z='3'/>"
            "<d xmlns:p='urn:other' p:w='4'/></b>");
  EXPECT_EQ(Formatted(b, 0),
            "<b xmlns='urn:a' xmlns:p='urn:p' xmlns:q='urn:q' p:x='1' q:y='2'>\n"
            "    <c p:z='3'/>\n"
            "    <d xmlns:p='urn:other' p:w='4'/>\n"
            "</b>\n");
  // The text stands on its own: it reads back with the same attribute namespaces.
  CCmlParser again;
  again.Parse(plain.data(), plain.size(), kParseNoValidation);
  CCmlDOM_Element back = again.GetDocumentElement();
  EXPECT_EQ(back.getAttributeNS(L"urn:p", L"x"), L"1");
  EXPECT_EQ(back.getAttributeNS(L"urn:q", L"y"), L"2");
  CCmlDOM_Element c(back.getFirstChild());
  EXPECT_EQ(c.getAttributeNS(L"urn:p", L"z"), L"3");
  // A subtree starting below the declarations gets them too.
  EXPECT_EQ(Plain(b.getFirstChild()), "<c xmlns='urn:a' xmlns:p='urn:p' p:z='3'/>");
}

TEST(NodeWriter, FileFormCreatesFoldersAndRefusesNullPath) {
  CCmlDOM_Document doc = CCmlDOM_Document::CreateEmpty();
  CCmlDOM_Element root = doc.createElement(L"r");
  doc.appendChild(root);
  root.setAttribute(L"v", L"\u00e9");
  std::string dir = ::testing::TempDir() + "cml_node_writer/a/b";
  std::string path = dir + "/out.xml";
  SerializeNodeToFile(root, path.c_str());
  std::ifstream in(path, std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "<r xmlns='' v='\xc3\xa9'/>");  // no namespace, wherever it is put
  EXPECT_EQ(CodeOf([&] { SerializeNodeToFile(root, nullptr); }), 0xC7210003u);
  EXPECT_EQ(CodeOf([&] { SerializeNodeToFile(root, "/proc/no/such/dir/x.xml"); }), 0xC7210037u);
}

TEST(NodeWriter, RefusesTreesDeeperThanTheLimit) {
  CCmlDOM_Document doc = CCmlDOM_Document::CreateEmpty();
  CCmlDOM_Element root = doc.createElement(L"d");
  doc.appendChild(root);
  CCmlDOM_Element current = root;
  for (unsigned i = 0; i < kMaxElementDepth; ++i) {
    CCmlDOM_Element child = doc.createElement(L"d");
    current.appendChild(child);
    current = child;
  }
  EXPECT_EQ(CodeOf([&] { Plain(root); }), 0xC7380030u);
  EXPECT_EQ(CodeOf([&] { Plain(root.getFirstChild()); }), 0u);  // exactly at the limit
}

}  // namespace
}  // namespace cml
}  // namespace qel
