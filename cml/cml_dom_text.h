// CCmlDOM_Text: the DOM wrapper for text and CDATA nodes (see CCmlDOM_Node).
#ifndef QEL_CML_DOM_TEXT_H
#define QEL_CML_DOM_TEXT_H

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
  bool getIsElementContentWhitespace() const;
  std::wstring getWholeText() const;

 private:
  static xercesc::DOMNode* CheckText(xercesc::DOMNode* node, const char* op);
  xercesc::DOMText* Text(const char* op) const;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOM_TEXT_H
