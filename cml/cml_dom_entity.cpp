#include "cml/cml_dom_entity.h"

#include "cml/cml_dom_error.h"
#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

namespace {
constexpr const char* kCls = "CCmlDOM_Entity";
constexpr int kType = xercesc::DOMNode::ENTITY_NODE;
}  // namespace

CCmlDOM_Entity::CCmlDOM_Entity(const CCmlDOM_Node& node)
    : CCmlDOM_Node(CheckNodeType(node.GetDOMNode(), {kType}, kCls, "SetDOMEntity")) {}

void CCmlDOM_Entity::SetDOMEntity(xercesc::DOMNode* node) {
  SetDOMNode(CheckNodeType(node, {kType}, kCls, "SetDOMEntity"));
}

xercesc::DOMEntity* CCmlDOM_Entity::Typed(const char* op) const {
  return static_cast<xercesc::DOMEntity*>(Checked(kCls, op));
}

std::wstring CCmlDOM_Entity::getPublicId() const {
  return FromXml(Typed("getPublicId")->getPublicId());
}
std::wstring CCmlDOM_Entity::getSystemId() const {
  return FromXml(Typed("getSystemId")->getSystemId());
}
std::wstring CCmlDOM_Entity::getNotationName() const {
  return FromXml(Typed("getNotationName")->getNotationName());
}
std::wstring CCmlDOM_Entity::getEncoding() const {
  return FromXml(Typed("getEncoding")->getXmlEncoding());
}
std::wstring CCmlDOM_Entity::getActualEncoding() const {
  return FromXml(Typed("getActualEncoding")->getInputEncoding());
}
std::wstring CCmlDOM_Entity::getVersion() const {
  return FromXml(Typed("getVersion")->getXmlVersion());
}

}  // namespace cml
}  // namespace qel
