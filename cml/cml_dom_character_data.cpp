#include "cml/cml_dom_character_data.h"

#include "cml/cml_codes.h"
#include "cml/cml_exception.h"
#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

namespace {
constexpr const char* kCls = "CCmlDOM_CharacterData";
}

xercesc::DOMNode* CCmlDOM_CharacterData::CheckType(xercesc::DOMNode* node, const char* cls,
                                                   const char* op) {
  if (node == nullptr) return nullptr;
  switch (node->getNodeType()) {
    case xercesc::DOMNode::TEXT_NODE:
    case xercesc::DOMNode::CDATA_SECTION_NODE:
    case xercesc::DOMNode::COMMENT_NODE:
      return node;
    default: {
      std::string operation = std::string(cls) + "::" + op + "()";
      throw CCmlException(std::wstring(operation.begin(), operation.end()),
                          L"Wrong source node type", qel::status::CML_WRONG_NODE_TYPE);
    }
  }
}

CCmlDOM_CharacterData::CCmlDOM_CharacterData() = default;
CCmlDOM_CharacterData::CCmlDOM_CharacterData(const CCmlDOM_Node& node)
    : CCmlDOM_Node(CheckType(node.GetDOMNode(), kCls, "SetDOMCharacterData")) {}
CCmlDOM_CharacterData::~CCmlDOM_CharacterData() = default;

void CCmlDOM_CharacterData::SetDOMCharacterData(xercesc::DOMNode* node) {
  SetDOMNode(CheckType(node, kCls, "SetDOMCharacterData"));
}

xercesc::DOMCharacterData* CCmlDOM_CharacterData::Data(const char* op) const {
  return dynamic_cast<xercesc::DOMCharacterData*>(Checked(kCls, op));
}

std::wstring CCmlDOM_CharacterData::getData() const { return FromXml(Data("getData")->getData()); }
void CCmlDOM_CharacterData::setData(const std::wstring& data) {
  Data("setData")->setData(ToXml(data).c_str());
}
void CCmlDOM_CharacterData::appendData(const std::wstring& data) {
  Data("appendData")->appendData(ToXml(data).c_str());
}
std::size_t CCmlDOM_CharacterData::getLength() const { return Data("getLength")->getLength(); }

}  // namespace cml
}  // namespace qel
