// CCmlDOM_CharacterData: the DOM wrapper for text, CDATA and comment nodes (see
// CCmlDOM_Node for the rules). Binding it to another node type throws. Offsets and
// lengths count wide characters (code points), not the UTF-16 units of Xerces.
#ifndef QEL_CML_DOM_CHARACTER_DATA_H
#define QEL_CML_DOM_CHARACTER_DATA_H

#include <cstddef>
#include <initializer_list>
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
  void replaceData(std::size_t offset, std::size_t count, const std::wstring& data);
  void deleteData(std::size_t offset, std::size_t count);
  void insertData(std::size_t offset, const std::wstring& data);
  void appendData(const std::wstring& data);
  std::wstring substringData(std::size_t offset, std::size_t count) const;
  std::size_t getLength() const;

 protected:
  // Binds to `node` (null or one of `types`) without the rebinding hook; throws
  // "Wrong source node type" naming `cls`::`op`() otherwise.
  CCmlDOM_CharacterData(xercesc::DOMNode* node, std::initializer_list<int> types, const char* cls,
                        const char* op);
  void Rebind(xercesc::DOMNode* node, std::initializer_list<int> types, const char* cls,
              const char* op);
  xercesc::DOMCharacterData* Data(const char* cls, const char* op) const;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOM_CHARACTER_DATA_H
