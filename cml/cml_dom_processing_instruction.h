// CCmlDOM_ProcessingInstruction: the DOM wrapper for processing instructions (see CCmlDOM_Node for
// the rules). Binding it to another node type throws "Wrong source node type".
#ifndef QEL_CML_DOM_PROCESSING_INSTRUCTION_H
#define QEL_CML_DOM_PROCESSING_INSTRUCTION_H

#include <string>

#include <xercesc/dom/DOMProcessingInstruction.hpp>

#include "cml/cml_dom_node.h"

namespace qel {
namespace cml {

class CCmlDOM_ProcessingInstruction : public virtual CCmlDOM_Node {
 public:
  CCmlDOM_ProcessingInstruction() = default;
  explicit CCmlDOM_ProcessingInstruction(const CCmlDOM_Node& node);  // of this type, or null

  void SetDOMProcessingInstruction(xercesc::DOMNode* node);
  std::wstring getTarget() const;
  std::wstring getData() const;
  void setData(const std::wstring& value);

 private:
  xercesc::DOMProcessingInstruction* Typed(const char* op) const;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOM_PROCESSING_INSTRUCTION_H
