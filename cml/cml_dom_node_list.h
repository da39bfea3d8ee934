// CCmlDOM_NodeList: wrapper of a Xerces DOMNodeList (live list owned by the DOM).
#ifndef QEL_CML_DOM_NODE_LIST_H
#define QEL_CML_DOM_NODE_LIST_H

#include <cstddef>

#include <xercesc/dom/DOMNodeList.hpp>

#include "cml/cml_dom_node.h"

namespace qel {
namespace cml {

class CCmlDOM_NodeList {
 public:
  CCmlDOM_NodeList() = default;
  explicit CCmlDOM_NodeList(xercesc::DOMNodeList* list) : m_list(list) {}

  xercesc::DOMNodeList* GetDOMNodeList() const { return m_list; }
  bool IsNull() const { return m_list == nullptr; }
  CCmlDOM_Node item(std::size_t index) const;
  std::size_t getLength() const;

 private:
  xercesc::DOMNodeList* Checked(const char* op) const;
  xercesc::DOMNodeList* m_list = nullptr;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOM_NODE_LIST_H
