#include "cml/cml_dom_cdata_section.h"

namespace qel {
namespace cml {

namespace {
constexpr const char* kCls = "CCmlDOM_CDATASection";
constexpr int kType = xercesc::DOMNode::CDATA_SECTION_NODE;
}  // namespace

CCmlDOM_CDATASection::CCmlDOM_CDATASection(const CCmlDOM_Node& node)
    : CCmlDOM_Text(node.GetDOMNode(), {kType}, kCls, "SetDOMCDATASection") {}

void CCmlDOM_CDATASection::SetDOMCDATASection(xercesc::DOMNode* node) {
  Rebind(node, {kType}, kCls, "SetDOMCDATASection");
}

}  // namespace cml
}  // namespace qel
