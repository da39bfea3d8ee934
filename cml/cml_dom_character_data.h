// CCmlDOM_CharacterData: the DOM wrapper for text, CDATA and comment nodes (see
// CCmlDOM_Node for the rules). Binding it to another node type throws.
#ifndef QEL_CML_DOM_CHARACTER_DATA_H
#define QEL_CML_DOM_CHARACTER_DATA_H

#include <cstddef>
#include <string>

#include <xercesc/dom/DOMCharacterData.hpp>

#include "cml/cml_dom_node.h"

namespace qel {
namespace cml {

class CCmlDOM_CharacterData : public CCmlDOM_Node {
 public:
  CCmlDOM_CharacterData();
  explicit CCmlDOM_CharacterData(const CCmlDOM_Node& node);
  ~CCmlDOM_CharacterData() override;

  void SetDOMCharacterData(xercesc::DOMNode* node);
  std::wstring getData() const;
  void setData(const std::wstring& data);
  void appendData(const std::wstring& data);
  std::size_t getLength() const;

 protected:
  static xercesc::DOMNode* CheckType(xercesc::DOMNode* node, const char* cls, const char* op);
  xercesc::DOMCharacterData* Data(const char* op) const;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOM_CHARACTER_DATA_H
