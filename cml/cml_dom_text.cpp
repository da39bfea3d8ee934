#include "cml/cml_dom_text.h"

#include "cml/cml_codes.h"
#include "cml/cml_exception.h"
#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

namespace {
constexpr const char* kCls = "CCmlDOM_Text";
}

xercesc::DOMNode* CCmlDOM_Text::CheckText(xercesc::DOMNode* node, const char* op) {
  if (node != nullptr && node->getNodeType() == xercesc::DOMNode::COMMENT_NODE) {
    std::string operation = std::string(kCls) + "::" + op + "()";
    throw CCmlException(std::wstring(operation.begin(), operation.end()),
                        L"Wrong source node type", qel::status::CML_WRONG_NODE_TYPE);
  }
  return CheckType(node, kCls, op);
}

CCmlDOM_Text::CCmlDOM_Text() = default;
CCmlDOM_Text::CCmlDOM_Text(const CCmlDOM_Node& node) {
  Bind(CheckText(node.GetDOMNode(), "SetDOMText"), false);
}
CCmlDOM_Text::~CCmlDOM_Text() = default;

void CCmlDOM_Text::SetDOMText(xercesc::DOMNode* node) { SetDOMNode(CheckText(node, "SetDOMText")); }

xercesc::DOMText* CCmlDOM_Text::Text(const char* op) const {
  return static_cast<xercesc::DOMText*>(Checked(kCls, op));
}

bool CCmlDOM_Text::isIgnorableWhitespace() const {
  return Text("isIgnorableWhitespace")->isIgnorableWhitespace();
}
bool CCmlDOM_Text::getIsElementContentWhitespace() const {
  return Text("getIsElementContentWhitespace")->getIsElementContentWhitespace();
}
std::wstring CCmlDOM_Text::getWholeText() const {
  return FromXml(Text("getWholeText")->getWholeText());
}

}  // namespace cml
}  // namespace qel
