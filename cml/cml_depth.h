// Element depth guard: every recursive walk over a DOM tree first checks the tree's
// depth without recursion, so hostile nesting fails cleanly instead of exhausting
// the stack. Stateless; any thread.
#ifndef QEL_CML_DEPTH_H
#define QEL_CML_DEPTH_H

#include <string>

#include <xercesc/dom/DOMNode.hpp>

namespace qel {
namespace cml {

// Deepest element nesting below and including `root` (an element alone is 1).
unsigned ElementDepth(const xercesc::DOMNode* root);

// Throws CCmlException (0xC7380030, `operation`) when the depth exceeds the limit.
void CheckElementDepth(const xercesc::DOMNode* root, const std::wstring& operation);

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DEPTH_H
