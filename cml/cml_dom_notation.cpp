#include "cml/cml_dom_notation.h"

#include "cml/cml_dom_error.h"
#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

namespace {
constexpr const char* kCls = "CCmlDOM_Notation";
constexpr int kType = xercesc::DOMNode::NOTATION_NODE;
}  // namespace

CCmlDOM_Notation::CCmlDOM_Notation(const CCmlDOM_Node& node)
    : CCmlDOM_Node(CheckNodeType(node.GetDOMNode(), {kType}, kCls, "SetDOMNotation")) {}

void CCmlDOM_Notation::SetDOMNotation(xercesc::DOMNode* node) {
  SetDOMNode(CheckNodeType(node, {kType}, kCls, "SetDOMNotation"));
}

xercesc::DOMNotation* CCmlDOM_Notation::Typed(const char* op) const {
  return static_cast<xercesc::DOMNotation*>(Checked(kCls, op));
}

std::wstring CCmlDOM_Notation::getPublicId() const {
  return FromXml(Typed("getPublicId")->getPublicId());
}
std::wstring CCmlDOM_Notation::getSystemId() const {
  return FromXml(Typed("getSystemId")->getSystemId());
}

}  // namespace cml
}  // namespace qel
