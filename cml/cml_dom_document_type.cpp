#include "cml/cml_dom_document_type.h"

#include "cml/cml_dom_error.h"
#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

namespace {
constexpr const char* kCls = "CCmlDOM_DocumentType";
constexpr int kType = xercesc::DOMNode::DOCUMENT_TYPE_NODE;
}  // namespace

CCmlDOM_DocumentType::CCmlDOM_DocumentType(const CCmlDOM_Node& node)
    : CCmlDOM_Node(CheckNodeType(node.GetDOMNode(), {kType}, kCls, "SetDOMDocumentType")) {}

void CCmlDOM_DocumentType::SetDOMDocumentType(xercesc::DOMNode* node) {
  SetDOMNode(CheckNodeType(node, {kType}, kCls, "SetDOMDocumentType"));
}

xercesc::DOMDocumentType* CCmlDOM_DocumentType::Typed(const char* op) const {
  return static_cast<xercesc::DOMDocumentType*>(Checked(kCls, op));
}

std::wstring CCmlDOM_DocumentType::getName() const { return FromXml(Typed("getName")->getName()); }
CCmlDOM_NamedNodeMap CCmlDOM_DocumentType::getEntities() const {
  return CCmlDOM_NamedNodeMap(Typed("getEntities")->getEntities());
}
CCmlDOM_NamedNodeMap CCmlDOM_DocumentType::getNotations() const {
  return CCmlDOM_NamedNodeMap(Typed("getNotations")->getNotations());
}
std::wstring CCmlDOM_DocumentType::getPublicId() const {
  return FromXml(Typed("getPublicId")->getPublicId());
}
std::wstring CCmlDOM_DocumentType::getSystemId() const {
  return FromXml(Typed("getSystemId")->getSystemId());
}
std::wstring CCmlDOM_DocumentType::getInternalSubset() const {
  return FromXml(Typed("getInternalSubset")->getInternalSubset());
}

}  // namespace cml
}  // namespace qel
