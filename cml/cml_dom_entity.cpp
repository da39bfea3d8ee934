#include "cml/cml_dom_entity.h"

#include <xercesc/dom/DOMException.hpp>
#include <xercesc/dom/impl/DOMEntityImpl.hpp>

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

xercesc::DOMEntityImpl* CCmlDOM_Entity::Impl(const char* op) const {
  auto* impl = dynamic_cast<xercesc::DOMEntityImpl*>(Typed(op));
  if (impl == nullptr) throw xercesc::DOMException(xercesc::DOMException::NOT_SUPPORTED_ERR);
  return impl;
}

// Xerces copies the texts into the document's heap.
void CCmlDOM_Entity::setEncoding(const std::wstring& encoding) {
  Impl("setEncoding")->setXmlEncoding(ToXml(encoding).c_str());
}
void CCmlDOM_Entity::setActualEncoding(const std::wstring& encoding) {
  Impl("setActualEncoding")->setInputEncoding(ToXml(encoding).c_str());
}
void CCmlDOM_Entity::setVersion(const std::wstring& version) {
  Impl("setVersion")->setXmlVersion(ToXml(version).c_str());
}

}  // namespace cml
}  // namespace qel
