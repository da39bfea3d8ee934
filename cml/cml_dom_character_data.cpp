#include "cml/cml_dom_character_data.h"

#include "cml/cml_dom_error.h"
#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

namespace {
constexpr const char* kCls = "CCmlDOM_CharacterData";
using xercesc::DOMNode;
const std::initializer_list<int> kTypes = {DOMNode::TEXT_NODE, DOMNode::CDATA_SECTION_NODE,
                                           DOMNode::COMMENT_NODE};
}  // namespace

CCmlDOM_CharacterData::CCmlDOM_CharacterData() = default;
CCmlDOM_CharacterData::CCmlDOM_CharacterData(const CCmlDOM_Node& node)
    : CCmlDOM_Node(CheckNodeType(node.GetDOMNode(), kTypes, kCls, "SetDOMCharacterData")) {}
CCmlDOM_CharacterData::CCmlDOM_CharacterData(xercesc::DOMNode* node,
                                             std::initializer_list<int> types, const char* cls,
                                             const char* op)
    : CCmlDOM_Node(CheckNodeType(node, types, cls, op)) {}
CCmlDOM_CharacterData::~CCmlDOM_CharacterData() = default;

void CCmlDOM_CharacterData::SetDOMCharacterData(xercesc::DOMNode* node) {
  Rebind(node, kTypes, kCls, "SetDOMCharacterData");
}

void CCmlDOM_CharacterData::Rebind(xercesc::DOMNode* node, std::initializer_list<int> types,
                                   const char* cls, const char* op) {
  SetDOMNode(CheckNodeType(node, types, cls, op));
}

xercesc::DOMCharacterData* CCmlDOM_CharacterData::Data(const char* cls, const char* op) const {
  return dynamic_cast<xercesc::DOMCharacterData*>(Checked(cls, op));
}

std::wstring CCmlDOM_CharacterData::getData() const {
  return FromXml(Data(kCls, "getData")->getData());
}
void CCmlDOM_CharacterData::setData(const std::wstring& data) {
  Data(kCls, "setData")->setData(ToXml(data).c_str());
}
void CCmlDOM_CharacterData::replaceData(std::size_t offset, std::size_t count,
                                        const std::wstring& data) {
  xercesc::DOMCharacterData* d = Data(kCls, "replaceData");
  const std::size_t from = Utf16Offset(d->getData(), offset);
  const std::size_t to = Utf16Offset(d->getData(), offset + count);
  d->replaceData(from, to - from, ToXml(data).c_str());
}
void CCmlDOM_CharacterData::deleteData(std::size_t offset, std::size_t count) {
  xercesc::DOMCharacterData* d = Data(kCls, "deleteData");
  const std::size_t from = Utf16Offset(d->getData(), offset);
  d->deleteData(from, Utf16Offset(d->getData(), offset + count) - from);
}
void CCmlDOM_CharacterData::insertData(std::size_t offset, const std::wstring& data) {
  xercesc::DOMCharacterData* d = Data(kCls, "insertData");
  d->insertData(Utf16Offset(d->getData(), offset), ToXml(data).c_str());
}
void CCmlDOM_CharacterData::appendData(const std::wstring& data) {
  Data(kCls, "appendData")->appendData(ToXml(data).c_str());
}
std::wstring CCmlDOM_CharacterData::substringData(std::size_t offset, std::size_t count) const {
  xercesc::DOMCharacterData* d = Data(kCls, "substringData");
  const std::size_t from = Utf16Offset(d->getData(), offset);
  return FromXml(d->substringData(from, Utf16Offset(d->getData(), offset + count) - from));
}
std::size_t CCmlDOM_CharacterData::getLength() const {
  return WideLength(Data(kCls, "getLength")->getData());
}

}  // namespace cml
}  // namespace qel
