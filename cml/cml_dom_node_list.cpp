#include "cml/cml_dom_node_list.h"

#include "cml/cml_dom_error.h"

namespace qel {
namespace cml {

xercesc::DOMNodeList* CCmlDOM_NodeList::Checked(const char* op) const {
  if (m_list == nullptr) ThrowDomNull("CCmlDOM_NodeList", op, L"The node list is NULL");
  return m_list;
}

CCmlDOM_Node CCmlDOM_NodeList::item(std::size_t index) const {
  return CCmlDOM_Node(Checked("item")->item(index));
}

std::size_t CCmlDOM_NodeList::getLength() const { return Checked("getLength")->getLength(); }

}  // namespace cml
}  // namespace qel
