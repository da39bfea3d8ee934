#include "cml/cml_dom_text.h"

#include "cml/cml_dom_error.h"
#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

namespace {
constexpr const char* kCls = "CCmlDOM_Text";
using xercesc::DOMNode;
const std::initializer_list<int> kTypes = {DOMNode::TEXT_NODE, DOMNode::CDATA_SECTION_NODE};
}  // namespace

CCmlDOM_Text::CCmlDOM_Text() = default;
CCmlDOM_Text::CCmlDOM_Text(const CCmlDOM_Node& node)
    : CCmlDOM_CharacterData(node.GetDOMNode(), kTypes, kCls, "SetDOMText") {}
CCmlDOM_Text::CCmlDOM_Text(xercesc::DOMNode* node, std::initializer_list<int> types,
                           const char* cls, const char* op)
    : CCmlDOM_CharacterData(node, types, cls, op) {}
CCmlDOM_Text::~CCmlDOM_Text() = default;

void CCmlDOM_Text::SetDOMText(xercesc::DOMNode* node) { Rebind(node, kTypes, kCls, "SetDOMText"); }

xercesc::DOMText* CCmlDOM_Text::Text(const char* op) const {
  return static_cast<xercesc::DOMText*>(Checked(kCls, op));
}

bool CCmlDOM_Text::isIgnorableWhitespace() const {
  return Text("isIgnorableWhitespace")->isIgnorableWhitespace();
}
bool CCmlDOM_Text::getIsWhitespaceInElementContent() const {
  return Text("getIsWhitespaceInElementContent")->getIsElementContentWhitespace();
}
std::wstring CCmlDOM_Text::getWholeText() const {
  return FromXml(Text("getWholeText")->getWholeText());
}
CCmlDOM_Text CCmlDOM_Text::replaceWholeText(const std::wstring& content) {
  return CCmlDOM_Text(
      CCmlDOM_Node(Text("replaceWholeText")->replaceWholeText(ToXml(content).c_str())));
}
CCmlDOM_Text CCmlDOM_Text::splitText(std::size_t offset) {
  xercesc::DOMText* text = Text("splitText");
  return CCmlDOM_Text(CCmlDOM_Node(text->splitText(Utf16Offset(text->getData(), offset))));
}

}  // namespace cml
}  // namespace qel
