// CCmlDOM_Comment: the DOM wrapper for comments (see CCmlDOM_Node and
// CCmlDOM_CharacterData). Binding it to another node type throws.
#ifndef QEL_CML_DOM_COMMENT_H
#define QEL_CML_DOM_COMMENT_H

#include <xercesc/dom/DOMComment.hpp>

#include "cml/cml_dom_character_data.h"

namespace qel {
namespace cml {

class CCmlDOM_Comment : public CCmlDOM_CharacterData {
 public:
  CCmlDOM_Comment() = default;
  explicit CCmlDOM_Comment(const CCmlDOM_Node& node);  // a comment or null
  void SetDOMComment(xercesc::DOMNode* node);
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOM_COMMENT_H
