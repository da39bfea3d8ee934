// CCmlDOM_NamedNodeMap: wrapper of a Xerces DOMNamedNodeMap (an element's
// attributes; owned by the DOM).
#ifndef QEL_CML_DOM_NAMED_NODE_MAP_H
#define QEL_CML_DOM_NAMED_NODE_MAP_H

#include <cstddef>
#include <string>

#include <xercesc/dom/DOMNamedNodeMap.hpp>

#include "cml/cml_dom_node.h"

namespace qel {
namespace cml {

class CCmlDOM_NamedNodeMap {
 public:
  CCmlDOM_NamedNodeMap() = default;
  explicit CCmlDOM_NamedNodeMap(xercesc::DOMNamedNodeMap* map) : m_map(map) {}

  bool IsNull() const { return m_map == nullptr; }
  CCmlDOM_Node item(std::size_t index) const;
  std::size_t getLength() const;
  CCmlDOM_Node getNamedItem(const std::wstring& name) const;
  CCmlDOM_Node getNamedItemNS(const std::wstring& uri, const std::wstring& localName) const;
  // Add or replace by name; return the replaced node (null when none).
  CCmlDOM_Node setNamedItem(const CCmlDOM_Node& node);
  CCmlDOM_Node setNamedItemNS(const CCmlDOM_Node& node);
  // Return the removed node.
  CCmlDOM_Node removeNamedItem(const std::wstring& name);
  CCmlDOM_Node removeNamedItemNS(const std::wstring& uri, const std::wstring& localName);

 private:
  xercesc::DOMNamedNodeMap* Checked(const char* op) const;
  xercesc::DOMNamedNodeMap* m_map = nullptr;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOM_NAMED_NODE_MAP_H
