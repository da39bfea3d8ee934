#include "cml/cml_dom_comment.h"

namespace qel {
namespace cml {

namespace {
constexpr const char* kCls = "CCmlDOM_Comment";
constexpr int kType = xercesc::DOMNode::COMMENT_NODE;
}  // namespace

CCmlDOM_Comment::CCmlDOM_Comment(const CCmlDOM_Node& node)
    : CCmlDOM_CharacterData(node.GetDOMNode(), {kType}, kCls, "SetDOMComment") {}

void CCmlDOM_Comment::SetDOMComment(xercesc::DOMNode* node) {
  Rebind(node, {kType}, kCls, "SetDOMComment");
}

}  // namespace cml
}  // namespace qel
