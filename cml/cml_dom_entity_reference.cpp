#include "cml/cml_dom_entity_reference.h"

#include "cml/cml_dom_error.h"

namespace qel {
namespace cml {

namespace {
constexpr const char* kCls = "CCmlDOM_EntityReference";
constexpr int kType = xercesc::DOMNode::ENTITY_REFERENCE_NODE;
}  // namespace

CCmlDOM_EntityReference::CCmlDOM_EntityReference(const CCmlDOM_Node& node)
    : CCmlDOM_Node(CheckNodeType(node.GetDOMNode(), {kType}, kCls, "SetDOMEntityReference")) {}

void CCmlDOM_EntityReference::SetDOMEntityReference(xercesc::DOMNode* node) {
  SetDOMNode(CheckNodeType(node, {kType}, kCls, "SetDOMEntityReference"));
}

}  // namespace cml
}  // namespace qel
