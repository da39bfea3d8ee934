#include "cml/cml_dom_named_node_map.h"

#include "cml/cml_dom_error.h"
#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

xercesc::DOMNamedNodeMap* CCmlDOM_NamedNodeMap::Checked(const char* op) const {
  if (m_map == nullptr) ThrowDomNull("CCmlDOM_NamedNodeMap", op, L"The node map is NULL");
  return m_map;
}

CCmlDOM_Node CCmlDOM_NamedNodeMap::item(std::size_t index) const {
  return CCmlDOM_Node(Checked("item")->item(index));
}
std::size_t CCmlDOM_NamedNodeMap::getLength() const { return Checked("getLength")->getLength(); }
CCmlDOM_Node CCmlDOM_NamedNodeMap::getNamedItem(const std::wstring& name) const {
  return CCmlDOM_Node(Checked("getNamedItem")->getNamedItem(ToXml(name).c_str()));
}
CCmlDOM_Node CCmlDOM_NamedNodeMap::getNamedItemNS(const std::wstring& uri,
                                                  const std::wstring& localName) const {
  return CCmlDOM_Node(
      Checked("getNamedItemNS")->getNamedItemNS(ToXml(uri).c_str(), ToXml(localName).c_str()));
}

CCmlDOM_Node CCmlDOM_NamedNodeMap::setNamedItem(const CCmlDOM_Node& node) {
  return CCmlDOM_Node(Checked("setNamedItem")->setNamedItem(node.GetDOMNode()));
}
CCmlDOM_Node CCmlDOM_NamedNodeMap::setNamedItemNS(const CCmlDOM_Node& node) {
  return CCmlDOM_Node(Checked("setNamedItemNS")->setNamedItemNS(node.GetDOMNode()));
}
CCmlDOM_Node CCmlDOM_NamedNodeMap::removeNamedItem(const std::wstring& name) {
  return CCmlDOM_Node(Checked("removeNamedItem")->removeNamedItem(ToXml(name).c_str()));
}
CCmlDOM_Node CCmlDOM_NamedNodeMap::removeNamedItemNS(const std::wstring& uri,
                                                     const std::wstring& localName) {
  return CCmlDOM_Node(Checked("removeNamedItemNS")
                          ->removeNamedItemNS(ToXml(uri).c_str(), ToXml(localName).c_str()));
}

}  // namespace cml
}  // namespace qel
