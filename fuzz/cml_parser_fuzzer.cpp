// Fuzz target: the CML parser (CCmlParser) on arbitrary bytes, once without and once
// with validation. A text either parses into a document with a root element or fails
// with a CCmlException; nothing else may leave the parser, and nothing may crash,
// hang or leak. What the parser accepts, the node writer (used for documents kept as
// DOM) writes back as text that parses into the same tree: the same elements,
// attributes (namespace declarations aside: the writer may repeat them, in any order),
// character data and comments.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include <xercesc/dom/DOM.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "cml/cml_exception.h"
#include "cml/cml_node_writer.h"
#include "cml/cml_parser.h"
#include "fuzz/fuzz_check.h"
#include "qelToolsLib/qelCodecvt.h"

using qel::cml::CCmlException;
using qel::cml::CCmlParser;

namespace {

// One parser per mode for the whole run: building a parser costs more than parsing.
CCmlParser& parser_for(int mode) {
  static CCmlParser& plain = *new CCmlParser;
  static CCmlParser& validating = *new CCmlParser;
  return mode == qel::cml::kParseValidate ? validating : plain;
}

std::string written(const CCmlParser& parser) {
  std::ostringstream out;
  qelToolsLib::ImbueUtf8(out);
  qel::cml::SerializeNode(parser.GetDocumentElement(), out);
  return out.str();
}

using xercesc::DOMNode;

bool same_text(const XMLCh* a, const XMLCh* b) { return xercesc::XMLString::equals(a, b); }

bool namespace_declaration(const DOMNode* attribute) {
  return same_text(attribute->getNamespaceURI(), xercesc::XMLUni::fgXMLNSURIName);
}

// Every attribute of `a` but its namespace declarations is on `b` with the same value.
bool attributes_within(const DOMNode* a, const DOMNode* b) {
  const xercesc::DOMNamedNodeMap* mine = a->getAttributes();
  const xercesc::DOMNamedNodeMap* theirs = b->getAttributes();
  for (XMLSize_t i = 0; i < mine->getLength(); ++i) {
    const DOMNode* attribute = mine->item(i);
    if (namespace_declaration(attribute)) continue;
    const DOMNode* match =
        attribute->getLocalName() != nullptr
            ? theirs->getNamedItemNS(attribute->getNamespaceURI(), attribute->getLocalName())
            : theirs->getNamedItem(attribute->getNodeName());
    if (match == nullptr || !same_text(match->getNodeValue(), attribute->getNodeValue()))
      return false;
  }
  return true;
}

// An element's content as the node writer keeps it: child elements, comments, and runs
// of character data (text and CDATA sections together, empty runs left out).
// Processing instructions are not written.
struct content_item {
  const DOMNode* node = nullptr;  // null for a run of character data
  std::basic_string<XMLCh> characters;
};

std::vector<content_item> content(const DOMNode* element) {
  std::vector<content_item> items;
  for (const DOMNode* c = element->getFirstChild(); c != nullptr; c = c->getNextSibling()) {
    const auto type = c->getNodeType();
    if (type == DOMNode::TEXT_NODE || type == DOMNode::CDATA_SECTION_NODE) {
      if (items.empty() || items.back().node != nullptr) items.emplace_back();
      items.back().characters += c->getNodeValue();
    } else if (type == DOMNode::ELEMENT_NODE || type == DOMNode::COMMENT_NODE) {
      items.push_back({c, {}});
    }
  }
  items.erase(std::remove_if(
                  items.begin(), items.end(),
                  [](const content_item& i) { return i.node == nullptr && i.characters.empty(); }),
              items.end());
  return items;
}

bool same_tree(const DOMNode* a, const DOMNode* b) {
  if (a->getNodeType() != b->getNodeType() || !same_text(a->getNodeName(), b->getNodeName()) ||
      !same_text(a->getNamespaceURI(), b->getNamespaceURI()) ||
      !same_text(a->getNodeValue(), b->getNodeValue())) {
    return false;
  }
  if (a->getNodeType() != DOMNode::ELEMENT_NODE) return true;
  if (!attributes_within(a, b) || !attributes_within(b, a)) return false;
  const std::vector<content_item> mine = content(a);
  const std::vector<content_item> theirs = content(b);
  if (mine.size() != theirs.size()) return false;
  for (std::size_t i = 0; i < mine.size(); ++i) {
    if ((mine[i].node == nullptr) != (theirs[i].node == nullptr)) return false;
    if (mine[i].node == nullptr ? mine[i].characters != theirs[i].characters
                                : !same_tree(mine[i].node, theirs[i].node)) {
      return false;
    }
  }
  return true;
}

void check_written_text_reads_back(const CCmlParser& parser) {
  std::string once;
  try {
    once = written(parser);
  } catch (const CCmlException& e) {
    FUZZ_CHECK(e.GetCode() != 0);  // refused, say, for its depth
    return;
  }
  static CCmlParser& again = *new CCmlParser;
  try {
    again.Parse(once.data(), once.size(), qel::cml::kParseNoValidation);
  } catch (const CCmlException&) {
    FUZZ_CHECK(!"the written document parses again");
  }
  FUZZ_CHECK(same_tree(parser.GetDocument().GetDOMDocument()->getDocumentElement(),
                       again.GetDocument().GetDOMDocument()->getDocumentElement()));
}

void parse(const char* text, std::size_t size, int mode) {
  CCmlParser& parser = parser_for(mode);
  try {
    parser.Parse(text, size, mode);
  } catch (const CCmlException& e) {
    FUZZ_CHECK(e.GetCode() != 0);
    return;
  }
  FUZZ_CHECK(!parser.GetRootTagName().empty());
  check_written_text_reads_back(parser);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  parse(text, size, qel::cml::kParseNoValidation);
  parse(text, size, qel::cml::kParseValidate);
  return 0;
}
