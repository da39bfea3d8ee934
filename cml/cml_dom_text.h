// CCmlDOM_Text: the DOM wrapper for text and CDATA nodes (see CCmlDOM_Node and
// CCmlDOM_CharacterData; offsets count wide characters).
#ifndef QEL_CML_DOM_TEXT_H
#define QEL_CML_DOM_TEXT_H

#include <cstddef>
#include <string>

#include <xercesc/dom/DOMText.hpp>

#include "cml/cml_dom_character_data.h"

namespace qel {
namespace cml {

class CCmlDOM_Text : public CCmlDOM_CharacterData {
 public:
  CCmlDOM_Text();
  explicit CCmlDOM_Text(const CCmlDOM_Node& node);  // text or CDATA node, or null
  ~CCmlDOM_Text() override;

  void SetDOMText(xercesc::DOMNode* node);
  bool isIgnorableWhitespace() const;
  // True for white space in element content (as the schema or DTD says).
  bool getIsWhitespaceInElementContent() const;
  std::wstring getWholeText() const;
  // Replaces the text of this node and its logically adjacent text nodes; the result
  // wraps the node that holds `content` (null when `content` is empty).
  CCmlDOM_Text replaceWholeText(const std::wstring& content);
  // Cuts the node at `offset`; the result wraps the new node holding the rest.
  CCmlDOM_Text splitText(std::size_t offset);

 protected:
  CCmlDOM_Text(xercesc::DOMNode* node, std::initializer_list<int> types, const char* cls,
               const char* op);

 private:
  xercesc::DOMText* Text(const char* op) const;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOM_TEXT_H
