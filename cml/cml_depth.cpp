#include "cml/cml_depth.h"

#include "cml/cml_codes.h"
#include "cml/cml_exception.h"
#include "cml/cml_settings.h"

namespace qel {
namespace cml {

unsigned ElementDepth(const xercesc::DOMNode* root) {
  if (root == nullptr) return 0;
  unsigned depth = 0;
  unsigned deepest = 0;
  const xercesc::DOMNode* node = root;
  // Iterative pre-order walk; `depth` counts the elements on the current path.
  while (node != nullptr) {
    if (node->getNodeType() == xercesc::DOMNode::ELEMENT_NODE) {
      ++depth;
      if (depth > deepest) deepest = depth;
    }
    const xercesc::DOMNode* child = node->getFirstChild();
    if (child != nullptr) {
      node = child;
      continue;
    }
    // Leave finished nodes until one has a next sibling.
    while (node != nullptr) {
      if (node->getNodeType() == xercesc::DOMNode::ELEMENT_NODE) --depth;
      if (node == root) return deepest;
      const xercesc::DOMNode* next = node->getNextSibling();
      if (next != nullptr) {
        node = next;
        break;
      }
      node = node->getParentNode();
    }
  }
  return deepest;
}

void CheckElementDepth(const xercesc::DOMNode* root, const std::wstring& operation) {
  unsigned depth = ElementDepth(root);
  if (depth > kMaxElementDepth) {
    throw CCmlException(operation,
                        L"Element nesting of " + std::to_wstring(depth) +
                            L" levels exceeds the limit of " +
                            std::to_wstring(kMaxElementDepth),
                        qel::status::CML_TOO_DEEP);
  }
}

}  // namespace cml
}  // namespace qel
