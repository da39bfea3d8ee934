#include "cml/cml_dom_processing_instruction.h"

#include "cml/cml_dom_error.h"
#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

namespace {
constexpr const char* kCls = "CCmlDOM_ProcessingInstruction";
constexpr int kType = xercesc::DOMNode::PROCESSING_INSTRUCTION_NODE;
}  // namespace

CCmlDOM_ProcessingInstruction::CCmlDOM_ProcessingInstruction(const CCmlDOM_Node& node)
    : CCmlDOM_Node(CheckNodeType(node.GetDOMNode(), {kType}, kCls, "SetDOMProcessingInstruction")) {
}

void CCmlDOM_ProcessingInstruction::SetDOMProcessingInstruction(xercesc::DOMNode* node) {
  SetDOMNode(CheckNodeType(node, {kType}, kCls, "SetDOMProcessingInstruction"));
}

xercesc::DOMProcessingInstruction* CCmlDOM_ProcessingInstruction::Typed(const char* op) const {
  return static_cast<xercesc::DOMProcessingInstruction*>(Checked(kCls, op));
}

std::wstring CCmlDOM_ProcessingInstruction::getTarget() const {
  return FromXml(Typed("getTarget")->getTarget());
}
std::wstring CCmlDOM_ProcessingInstruction::getData() const {
  return FromXml(Typed("getData")->getData());
}
void CCmlDOM_ProcessingInstruction::setData(const std::wstring& value) {
  Typed("setData")->setData(ToXml(value).c_str());
}

}  // namespace cml
}  // namespace qel
