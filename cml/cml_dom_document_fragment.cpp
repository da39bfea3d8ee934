#include "cml/cml_dom_document_fragment.h"

#include "cml/cml_dom_error.h"

namespace qel {
namespace cml {

namespace {
constexpr const char* kCls = "CCmlDOM_DocumentFragment";
constexpr int kType = xercesc::DOMNode::DOCUMENT_FRAGMENT_NODE;
}  // namespace

CCmlDOM_DocumentFragment::CCmlDOM_DocumentFragment(const CCmlDOM_Node& node)
    : CCmlDOM_Node(CheckNodeType(node.GetDOMNode(), {kType}, kCls, "SetDOMDocumentFragment")) {}

void CCmlDOM_DocumentFragment::SetDOMDocumentFragment(xercesc::DOMNode* node) {
  SetDOMNode(CheckNodeType(node, {kType}, kCls, "SetDOMDocumentFragment"));
}

}  // namespace cml
}  // namespace qel
