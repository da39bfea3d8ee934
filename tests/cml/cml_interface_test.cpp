// The library's interface as its users program against it: the names of the DOM
// wrapper family (checked when this file compiles), the setters Xerces-C 3 keeps
// read-only, the input sources, the order of the virtual operations of the document
// base and the policy sources (a class derived elsewhere overrides them in place),
// and that every write goes through those virtual operations.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <type_traits>

#include "cml/cml_deserialize.h"
#include "cml/cml_dom_attr.h"
#include "cml/cml_dom_cdata_section.h"
#include "cml/cml_dom_comment.h"
#include "cml/cml_dom_document.h"
#include "cml/cml_dom_document_fragment.h"
#include "cml/cml_dom_document_type.h"
#include "cml/cml_dom_element.h"
#include "cml/cml_dom_entity.h"
#include "cml/cml_dom_entity_reference.h"
#include "cml/cml_dom_exception.h"
#include "cml/cml_dom_named_node_map.h"
#include "cml/cml_dom_node_list.h"
#include "cml/cml_dom_notation.h"
#include "cml/cml_dom_parser.h"
#include "cml/cml_dom_processing_instruction.h"
#include "cml/cml_dom_text.h"
#include "cml/cml_dom_type_info.h"
#include "cml/cml_group_settings.h"
#include "cml/cml_local_file_input_source.h"
#include "cml/cml_mem_buf_input_source.h"
#include "cml/cml_message.h"
#include "cml/cml_message_base.h"
#include "cml/cml_module_info.h"
#include "cml/cml_parser.h"
#include "cml/cml_policy.h"
#include "cml/cml_schema_exception.h"
#include "cml/cml_set_site_response.h"
#include "cml/cml_xerces.h"
#include "cml_test_util.h"
#include "qelToolsLib/qelCodecvt.h"

namespace qel {
namespace cml {
namespace {

// ---- Names of the DOM wrapper family: this file does not compile without them.

template <class T>
T& Any();  // only named in unevaluated operands
template <class>
constexpr bool kNamed = true;
#define QEL_CML_NAMED(expression) static_assert(kNamed<decltype(expression)>, #expression)

using W = std::wstring;
using Node = CCmlDOM_Node;
QEL_CML_NAMED(Any<Node>().appendChild(Any<Node>()));
QEL_CML_NAMED(Any<Node>().cloneNode(true));
QEL_CML_NAMED(Any<Node>().compareTreePosition(Any<Node>()));
QEL_CML_NAMED(Any<Node>().getAttributes());
QEL_CML_NAMED(Any<Node>().getBaseURI());
QEL_CML_NAMED(Any<Node>().getChildNodes());
QEL_CML_NAMED(Any<Node>().getFirstChild());
QEL_CML_NAMED(Any<Node>().getInterface(W(), W()));
QEL_CML_NAMED(Any<Node>().getLastChild());
QEL_CML_NAMED(Any<Node>().getLocalName());
QEL_CML_NAMED(Any<Node>().getNamespaceURI());
QEL_CML_NAMED(Any<Node>().getNextSibling());
QEL_CML_NAMED(Any<Node>().getNodeName());
QEL_CML_NAMED(Any<Node>().getNodeType());
QEL_CML_NAMED(Any<Node>().getNodeValue());
QEL_CML_NAMED(Any<Node>().getOwnerDocument());
QEL_CML_NAMED(Any<Node>().getParentNode());
QEL_CML_NAMED(Any<Node>().getPrefix());
QEL_CML_NAMED(Any<Node>().getPreviousSibling());
QEL_CML_NAMED(Any<Node>().getTextContent());
QEL_CML_NAMED(Any<Node>().getUserData(W()));
QEL_CML_NAMED(Any<Node>().hasAttributes());
QEL_CML_NAMED(Any<Node>().hasChildNodes());
QEL_CML_NAMED(Any<Node>().insertBefore(Any<Node>(), Any<Node>()));
QEL_CML_NAMED(Any<Node>().isDefaultNamespace(W()));
QEL_CML_NAMED(Any<Node>().isEqualNode(Any<Node>()));
QEL_CML_NAMED(Any<Node>().isSameNode(Any<Node>()));
QEL_CML_NAMED(Any<Node>().isSupported(W(), W()));
QEL_CML_NAMED(Any<Node>().lookupNamespacePrefix(W(), true));
QEL_CML_NAMED(Any<Node>().lookupNamespaceURI(W()));
QEL_CML_NAMED(Any<Node>().normalize());
QEL_CML_NAMED(Any<Node>().release());
QEL_CML_NAMED(Any<Node>().removeChild(Any<Node>()));
QEL_CML_NAMED(Any<Node>().replaceChild(Any<Node>(), Any<Node>()));
QEL_CML_NAMED(Any<Node>().setNodeValue(W()));
QEL_CML_NAMED(Any<Node>().setPrefix(W()));
QEL_CML_NAMED(Any<Node>().setTextContent(W()));
QEL_CML_NAMED(Any<Node>().setUserData(W(), nullptr, nullptr));
QEL_CML_NAMED(Any<Node>().GetDOMNode());
QEL_CML_NAMED(Any<Node>().SetDOMNode(nullptr));
QEL_CML_NAMED(Any<Node>().IsNull());
QEL_CML_NAMED(Any<Node>().IsOwner());
QEL_CML_NAMED(Any<Node>().SetOwner(true));

using Data = CCmlDOM_CharacterData;
QEL_CML_NAMED(Any<Data>().getData());
QEL_CML_NAMED(Any<Data>().setData(W()));
QEL_CML_NAMED(Any<Data>().replaceData(0, 0, W()));
QEL_CML_NAMED(Any<Data>().deleteData(0, 0));
QEL_CML_NAMED(Any<Data>().insertData(0, W()));
QEL_CML_NAMED(Any<Data>().appendData(W()));
QEL_CML_NAMED(Any<Data>().substringData(0, 0));
QEL_CML_NAMED(Any<Data>().getLength());
QEL_CML_NAMED(Any<CCmlDOM_Text>().SetDOMText(nullptr));
QEL_CML_NAMED(Any<CCmlDOM_Text>().getIsWhitespaceInElementContent());
QEL_CML_NAMED(Any<CCmlDOM_Text>().getWholeText());
QEL_CML_NAMED(Any<CCmlDOM_Text>().isIgnorableWhitespace());
QEL_CML_NAMED(Any<CCmlDOM_Text>().replaceWholeText(W()));
QEL_CML_NAMED(Any<CCmlDOM_Text>().splitText(0));
QEL_CML_NAMED(Any<CCmlDOM_CDATASection>().SetDOMCDATASection(nullptr));
QEL_CML_NAMED(Any<CCmlDOM_Comment>().SetDOMComment(nullptr));

using Element = CCmlDOM_Element;
using Attr = CCmlDOM_Attr;
QEL_CML_NAMED(Any<Element>().SetDOMElement(nullptr));
QEL_CML_NAMED(Any<Element>().getAttribute(W()));
QEL_CML_NAMED(Any<Element>().getAttributeNS(W(), W()));
QEL_CML_NAMED(Any<Element>().getAttributeNode(W()));
QEL_CML_NAMED(Any<Element>().getAttributeNodeNS(W(), W()));
QEL_CML_NAMED(Any<Element>().getElementsByTagName(W()));
QEL_CML_NAMED(Any<Element>().getElementsByTagNameNS(W(), W()));
QEL_CML_NAMED(Any<Element>().getTagName());
QEL_CML_NAMED(Any<Element>().getTypeInfo());
QEL_CML_NAMED(Any<Element>().hasAttribute(W()));
QEL_CML_NAMED(Any<Element>().hasAttributeNS(W(), W()));
QEL_CML_NAMED(Any<Element>().removeAttribute(W()));
QEL_CML_NAMED(Any<Element>().removeAttributeNS(W(), W()));
QEL_CML_NAMED(Any<Element>().removeAttributeNode(Any<Attr>()));
QEL_CML_NAMED(Any<Element>().setAttribute(W(), W()));
QEL_CML_NAMED(Any<Element>().setAttributeNS(W(), W(), W()));
QEL_CML_NAMED(Any<Element>().setAttributeNode(Any<Attr>()));
QEL_CML_NAMED(Any<Element>().setAttributeNodeNS(Any<Attr>()));
QEL_CML_NAMED(Any<Element>().setIdAttribute(W(), true));
QEL_CML_NAMED(Any<Element>().setIdAttributeNS(W(), W(), true));
QEL_CML_NAMED(Any<Element>().setIdAttributeNode(Any<Attr>(), true));
QEL_CML_NAMED(Any<Attr>().SetDOMAttr(nullptr));
QEL_CML_NAMED(Any<Attr>().getName());
QEL_CML_NAMED(Any<Attr>().getValue());
QEL_CML_NAMED(Any<Attr>().setValue(W()));
QEL_CML_NAMED(Any<Attr>().getSpecified());
QEL_CML_NAMED(Any<Attr>().getOwnerElement());
QEL_CML_NAMED(Any<Attr>().getTypeInfo());
QEL_CML_NAMED(Any<Attr>().isId());

QEL_CML_NAMED(Any<CCmlDOM_DocumentFragment>().SetDOMDocumentFragment(nullptr));
using Doctype = CCmlDOM_DocumentType;
QEL_CML_NAMED(Any<Doctype>().SetDOMDocumentType(nullptr));
QEL_CML_NAMED(Any<Doctype>().getName());
QEL_CML_NAMED(Any<Doctype>().getEntities());
QEL_CML_NAMED(Any<Doctype>().getNotations());
QEL_CML_NAMED(Any<Doctype>().getPublicId());
QEL_CML_NAMED(Any<Doctype>().getSystemId());
QEL_CML_NAMED(Any<Doctype>().getInternalSubset());
using Entity = CCmlDOM_Entity;
QEL_CML_NAMED(Any<Entity>().SetDOMEntity(nullptr));
QEL_CML_NAMED(Any<Entity>().getPublicId());
QEL_CML_NAMED(Any<Entity>().getSystemId());
QEL_CML_NAMED(Any<Entity>().getNotationName());
QEL_CML_NAMED(Any<Entity>().getEncoding());
QEL_CML_NAMED(Any<Entity>().setEncoding(W()));
QEL_CML_NAMED(Any<Entity>().getActualEncoding());
QEL_CML_NAMED(Any<Entity>().setActualEncoding(W()));
QEL_CML_NAMED(Any<Entity>().getVersion());
QEL_CML_NAMED(Any<Entity>().setVersion(W()));
QEL_CML_NAMED(Any<CCmlDOM_EntityReference>().SetDOMEntityReference(nullptr));
QEL_CML_NAMED(Any<CCmlDOM_Notation>().SetDOMNotation(nullptr));
QEL_CML_NAMED(Any<CCmlDOM_Notation>().getPublicId());
QEL_CML_NAMED(Any<CCmlDOM_Notation>().getSystemId());
using Pi = CCmlDOM_ProcessingInstruction;
QEL_CML_NAMED(Any<Pi>().SetDOMProcessingInstruction(nullptr));
QEL_CML_NAMED(Any<Pi>().getTarget());
QEL_CML_NAMED(Any<Pi>().getData());
QEL_CML_NAMED(Any<Pi>().setData(W()));

using Doc = CCmlDOM_Document;
QEL_CML_NAMED(Any<Doc>().getDocumentElement());
QEL_CML_NAMED(Any<Doc>().getDoctype());
QEL_CML_NAMED(Any<Doc>().getImplementation());
QEL_CML_NAMED(Any<Doc>().importNode(Any<Node>(), true));
QEL_CML_NAMED(Any<Doc>().adoptNode(Any<Node>()));
QEL_CML_NAMED(Any<Doc>().renameNode(Any<Node>(), W(), W()));
QEL_CML_NAMED(Any<Doc>().createElement(W()));
QEL_CML_NAMED(Any<Doc>().createElementNS(W(), W()));
QEL_CML_NAMED(Any<Doc>().createAttribute(W()));
QEL_CML_NAMED(Any<Doc>().createAttributeNS(W(), W()));
QEL_CML_NAMED(Any<Doc>().createTextNode(W()));
QEL_CML_NAMED(Any<Doc>().createComment(W()));
QEL_CML_NAMED(Any<Doc>().createCDATASection(W()));
QEL_CML_NAMED(Any<Doc>().createProcessingInstruction(W(), W()));
QEL_CML_NAMED(Any<Doc>().createDocumentFragment());
QEL_CML_NAMED(Any<Doc>().createDocumentType(W()));
QEL_CML_NAMED(Any<Doc>().createEntity(W()));
QEL_CML_NAMED(Any<Doc>().createEntityReference(W()));
QEL_CML_NAMED(Any<Doc>().createNotation(W()));
QEL_CML_NAMED(Any<Doc>().getElementById(W()));
QEL_CML_NAMED(Any<Doc>().getElementsByTagName(W()));
QEL_CML_NAMED(Any<Doc>().getElementsByTagNameNS(W(), W()));
QEL_CML_NAMED(Any<Doc>().getEncoding());
QEL_CML_NAMED(Any<Doc>().setEncoding(W()));
QEL_CML_NAMED(Any<Doc>().getActualEncoding());
QEL_CML_NAMED(Any<Doc>().setActualEncoding(W()));
QEL_CML_NAMED(Any<Doc>().getVersion());
QEL_CML_NAMED(Any<Doc>().setVersion(W()));
QEL_CML_NAMED(Any<Doc>().getStandalone());
QEL_CML_NAMED(Any<Doc>().setStandalone(true));
QEL_CML_NAMED(Any<Doc>().getDocumentURI());
QEL_CML_NAMED(Any<Doc>().setDocumentURI(W()));
QEL_CML_NAMED(Any<Doc>().getStrictErrorChecking());
QEL_CML_NAMED(Any<Doc>().setStrictErrorChecking(true));
QEL_CML_NAMED(Any<Doc>().normalizeDocument());
QEL_CML_NAMED(Any<Doc>().getDOMConfiguration());

QEL_CML_NAMED(Any<CCmlDOM_NodeList>().item(0));
QEL_CML_NAMED(Any<CCmlDOM_NodeList>().getLength());
using Map = CCmlDOM_NamedNodeMap;
QEL_CML_NAMED(Any<Map>().item(0));
QEL_CML_NAMED(Any<Map>().getLength());
QEL_CML_NAMED(Any<Map>().getNamedItem(W()));
QEL_CML_NAMED(Any<Map>().getNamedItemNS(W(), W()));
QEL_CML_NAMED(Any<Map>().setNamedItem(Any<Node>()));
QEL_CML_NAMED(Any<Map>().setNamedItemNS(Any<Node>()));
QEL_CML_NAMED(Any<Map>().removeNamedItem(W()));
QEL_CML_NAMED(Any<Map>().removeNamedItemNS(W(), W()));
QEL_CML_NAMED(Any<CCmlDOM_TypeInfo>().getName());
QEL_CML_NAMED(Any<CCmlDOM_TypeInfo>().getNamespace());
QEL_CML_NAMED(Any<CCmlDOMParser>().getDocument().getDocumentElement());
QEL_CML_NAMED(Any<CCmlDOMParser>().setExternalSchemaLocation(W()));
QEL_CML_NAMED(Any<CSchemaIncompatibility>().Clone());
// A module's status details have the policy list operations of the set-site messages.
QEL_CML_NAMED(Any<CModuleInfo>().GetPolicySource(0));
QEL_CML_NAMED(Any<CModuleInfo>().GetPolicySourceCount());
QEL_CML_NAMED(Any<CModuleInfo>().SetPolicySources(Any<CPolicySourceList>()));
QEL_CML_NAMED(Any<CModuleInfo>().AddPolicyNode(Any<Element>()));
QEL_CML_NAMED(Any<CModuleInfo>().AddPolicySourceCopy(Any<CPolicySource>()));
QEL_CML_NAMED(Any<CModuleInfo>().AddPolicySource(nullptr));
QEL_CML_NAMED(Any<CModuleInfo>().SetPolicySource(0, nullptr));
static_assert(std::is_base_of<xercesc::DOMException, CCmlDOM_Exception>::value,
              "CCmlDOM_Exception is a Xerces DOMException");
static_assert(std::is_base_of<xercesc::MemBufInputSource, CCmlMemBufInputSource>::value,
              "CCmlMemBufInputSource is a MemBufInputSource");
static_assert(std::is_base_of<xercesc::LocalFileInputSource, CCmlLocalFileInputSource>::value,
              "CCmlLocalFileInputSource is a LocalFileInputSource");

#undef QEL_CML_NAMED

// Encodings and versions that Xerces-C 3 keeps read-only are set through its own
// implementation classes, and read back through the getters.
TEST(DomWrapperNames, EncodingAndVersionSettersAndTheNamespaceLookups) {
  CCmlDOM_Document doc = CCmlDOM_Document::CreateEmpty();
  doc.setEncoding(L"ISO-8859-1");
  doc.setActualEncoding(L"UTF-16");
  EXPECT_EQ(doc.getEncoding(), L"ISO-8859-1");
  EXPECT_EQ(doc.getActualEncoding(), L"UTF-16");
  CCmlDOM_Entity entity = doc.createEntity(L"e");
  std::wstring encoding = L"UTF-8";
  entity.setEncoding(encoding);
  encoding = L"changed";  // the entity keeps its own copy
  entity.setActualEncoding(L"US-ASCII");
  entity.setVersion(L"1.0");
  EXPECT_EQ(entity.getEncoding(), L"UTF-8");
  EXPECT_EQ(entity.getActualEncoding(), L"US-ASCII");
  EXPECT_EQ(entity.getVersion(), L"1.0");
  EXPECT_EQ(test::CodeOf([] { CCmlDOM_Entity().setVersion(L"1.0"); }), 0xC7380027u);
  EXPECT_EQ(test::CodeOf([] { CCmlDOM_Document().setEncoding(L"x"); }), 0xC7380027u);

  // <a xmlns='urn:u' xmlns:p='urn:u'>: the default namespace answers with no prefix
  // only when asked to count it.
  CCmlParser parser;
  const std::string xml = "<a xmlns='urn:u' xmlns:p='urn:u'>  <b/></a>";
  parser.Parse(xml.data(), xml.size(), kParseNoValidation);
  CCmlDOM_Element a = parser.GetDocumentElement();
  EXPECT_EQ(a.lookupNamespacePrefix(L"urn:u", false), L"p");
  EXPECT_EQ(a.lookupNamespacePrefix(L"urn:u", true), L"");
  EXPECT_EQ(a.lookupNamespacePrefix(L"urn:none", false), L"");
  CCmlDOM_Text blanks(a.getFirstChild());
  EXPECT_FALSE(blanks.getIsWhitespaceInElementContent());  // no grammar says so
}

TEST(InputSources, MemoryBuffersAndLocalFiles) {
  const std::string bytes = "<r/>";
  CCmlMemBufInputSource memory(bytes.data(), bytes.size());
  EXPECT_EQ(FromXml(memory.getSystemId()), L"QEL CML Stream");
  CCmlMemBufInputSource empty(nullptr, 5);  // no bytes: empty input, not a crash
  CCmlParser parser;
  EXPECT_EQ(test::CodeOf([&] { parser.Parse(nullptr, 0, kParseNoValidation); }), 0xC7380003u);

  const std::string path = ::testing::TempDir() + "cml input source \u00e9.xml";
  std::ofstream(path) << "<file-root/>";
  CCmlLocalFileInputSource file(path);
  EXPECT_EQ(FromXml(file.getSystemId()), FromUtf8(path));
  parser.Parse(path, kParseNoValidation);
  EXPECT_EQ(parser.GetRootTagName(), L"file-root");

  // Documents are read from files by the same name as from buffers.
  CCmlGroupSettings::Register();
  CCmlGroupSettings policy;
  policy.SetPolicyName(L"from a file");
  const std::string policyPath = ::testing::TempDir() + "cml_policy_file.xml";
  policy.SerializeToFile(policyPath.c_str());
  for (const auto& read :
       {DeserializeDocument(policyPath, kParseNoValidation, nullptr),
        DeserializeDocument(FromUtf8(policyPath), kParseNoValidation, nullptr)}) {
    auto* back = dynamic_cast<const CCmlGroupSettings*>(read.get());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->GetPolicyName(), L"from a file");
  }
}

// ---- Order of the virtual operations.

// Slot of a virtual member function in its class's virtual table, read from the
// member pointer (Itanium C++ ABI: the pointer holds 1 + the slot's byte offset).
template <class Member>
long Slot(Member member) {
  static_assert(sizeof(Member) == 2 * sizeof(std::ptrdiff_t), "Itanium member pointer");
  std::ptrdiff_t raw[2];
  std::memcpy(raw, &member, sizeof raw);
  if ((raw[0] & 1) == 0) return -1;  // not virtual
  return static_cast<long>((raw[0] - 1) / static_cast<std::ptrdiff_t>(sizeof(void*)));
}

using Base = CCmlDocumentBase;
using WideElement = void (Base::*)(std::wostream&, unsigned) const;
using ByteElement = void (Base::*)(std::ostream&, unsigned) const;
using WideDocument = void (Base::*)(std::wostream&) const;
using ByteDocument = void (Base::*)(std::ostream&) const;
using WidePath = void (Base::*)(const std::wstring&) const;
using BytePath = void (Base::*)(const char*) const;

// Derived classes append their own operations after the last one of their base.
class CAppendsToBase : public CCmlDocumentBase {
 public:
  std::unique_ptr<CCmlDocumentBase> Clone() const override { return nullptr; }
  const std::wstring& GetSchemaVersion() const override { return m_version; }
  void SetSchemaVersion(const std::wstring& v) override { m_version = v; }
  virtual void Appended() {}

 private:
  std::wstring m_version;
};

class CAppendsToPolicy : public CPolicySource {
 public:
  std::unique_ptr<CCmlDocumentBase> Clone() const override { return nullptr; }
  const std::wstring& GetSchemaVersion() const override { return m_version; }
  void SetSchemaVersion(const std::wstring& v) override { m_version = v; }
  int GetPolicySourceType() const override { return 0; }
  std::wstring GetPolicyName() const override { return L""; }
  std::wstring GetPolicyVersion() const override { return L""; }
  bool IsValid() const override { return true; }
  virtual void Appended() {}

 private:
  std::wstring m_version;
};

TEST(VirtualOrder, DocumentsPoliciesAndExceptionsKeepTheirSlots) {
#if !defined(__x86_64__) && !defined(__i386__)
  GTEST_SKIP() << "member pointer layout checked for x86 only";
#endif
  // Slots 1 and 2 are the two destructors, between Assign and Clone.
  EXPECT_EQ(Slot(&Base::Assign), 0);
  EXPECT_EQ(Slot(&Base::Clone), 3);
  EXPECT_EQ(Slot(&Base::GetTagName), 4);
  EXPECT_EQ(Slot(&Base::GetInstanceSchemaVersion), 5);
  EXPECT_EQ(Slot(&Base::GetNamespace), 6);
  EXPECT_EQ(Slot(&Base::GetSchemaVersion), 7);
  EXPECT_EQ(Slot(&Base::SetTagName), 8);
  EXPECT_EQ(Slot(&Base::SetInstanceSchemaVersion), 9);
  EXPECT_EQ(Slot(&Base::SetNamespace), 10);
  EXPECT_EQ(Slot(&Base::SetSchemaVersion), 11);
  EXPECT_EQ(Slot(&Base::HasChildElements), 12);
  EXPECT_EQ(Slot(&Base::GetNamespaces), 13);
  EXPECT_EQ(Slot(&Base::Deserialize), 14);
  EXPECT_EQ(Slot(static_cast<WideElement>(&Base::SerializeElement)), 15);
  EXPECT_EQ(Slot(static_cast<ByteElement>(&Base::SerializeElement)), 16);
  EXPECT_EQ(Slot(static_cast<WideDocument>(&Base::Serialize)), 17);
  EXPECT_EQ(Slot(static_cast<ByteDocument>(&Base::Serialize)), 18);
  EXPECT_EQ(Slot(static_cast<WidePath>(&Base::SerializeToFile)), 19);
  EXPECT_EQ(Slot(static_cast<BytePath>(&Base::SerializeToFile)), 20);
  EXPECT_EQ(Slot(static_cast<WideDocument>(&Base::WriteStandardAttributes)), 21);
  EXPECT_EQ(Slot(static_cast<ByteDocument>(&Base::WriteStandardAttributes)), 22);
  EXPECT_EQ(Slot(static_cast<WideElement>(&Base::WriteChildElements)), 23);
  EXPECT_EQ(Slot(static_cast<ByteElement>(&Base::WriteChildElements)), 24);
  EXPECT_EQ(Slot(&CAppendsToBase::Appended), 25);  // nothing else in the base

  EXPECT_EQ(Slot(&CPolicySource::CopyFrom), 25);
  EXPECT_EQ(Slot(&CPolicySource::GetPolicySourceType), 26);
  EXPECT_EQ(Slot(&CPolicySource::GetPolicyName), 27);
  EXPECT_EQ(Slot(&CPolicySource::GetPolicyVersion), 28);
  EXPECT_EQ(Slot(&CPolicySource::IsValid), 29);
  EXPECT_EQ(Slot(&CAppendsToPolicy::Appended), 30);
  // The exceptions: the base's six, then the schema exception's own.
  EXPECT_EQ(Slot(&CCmlException::GetOperation), 2);
  EXPECT_EQ(Slot(&CCmlException::GetText), 3);
  EXPECT_EQ(Slot(&CCmlException::GetCode), 4);
  EXPECT_EQ(Slot(&CCmlException::Format), 5);
  EXPECT_EQ(Slot(&CSchemaException::AddIncompatibility), 6);
  EXPECT_EQ(Slot(&CSchemaException::begin), 7);
  EXPECT_EQ(Slot(&CSchemaException::end), 8);
  EXPECT_EQ(Slot(&CSchemaException::GetCount), 9);
  using ConstSet = const CSchemaException::Set& (CSchemaException::*)() const;
  using Set = CSchemaException::Set& (CSchemaException::*)();
  EXPECT_EQ(Slot(static_cast<ConstSet>(&CSchemaException::GetIncompatibilities)), 10);
  EXPECT_EQ(Slot(static_cast<Set>(&CSchemaException::GetIncompatibilities)), 11);
  // The message classes append their assignment first.
  EXPECT_EQ(Slot(static_cast<CMessageBase& (CMessageBase::*)(const CMessageBase&)>(
                &CMessageBase::Assign)),
            25);
  EXPECT_EQ(
      Slot(static_cast<CCmlMessage& (CCmlMessage::*)(const CCmlMessage&)>(&CCmlMessage::Assign)),
      25);
  // Overrides stay in their slots.
  EXPECT_EQ(Slot(static_cast<WideDocument>(&CCmlMessage::Serialize)), 17);
  EXPECT_EQ(Slot(static_cast<void (CCmlPolicy::*)(std::ostream&) const>(
                &CCmlPolicy::WriteStandardAttributes)),
            22);
}

// ---- Every write goes through the virtual operations.

// A policy that writes its own markers from the overridden operations.
class CProbe : public CCmlPolicy {
 public:
  CProbe() : CCmlPolicy(L"probe", L"urn:probe") {}
  std::unique_ptr<CCmlDocumentBase> Clone() const override {
    return std::make_unique<CProbe>(*this);
  }
  const std::wstring& GetSchemaVersion() const override { return m_version; }
  void SetSchemaVersion(const std::wstring& v) override { m_version = v; }
  bool HasChildElements() const override { return true; }
  void WriteStandardAttributes(std::wostream& os) const override {
    CCmlPolicy::WriteStandardAttributes(os);
    os << L" form='wide'";
  }
  void WriteStandardAttributes(std::ostream& os) const override {
    CCmlPolicy::WriteStandardAttributes(os);
    os << " form='bytes \xc3\xa9'";  // UTF-8, as a byte stream takes it
  }
  void WriteChildElements(std::wostream& os, unsigned level) const override {
    os << std::wstring(level * 4, L' ') << L"<wide-child/>\n";
  }
  void WriteChildElements(std::ostream& os, unsigned level) const override {
    os << std::string(level * 4, ' ') << "<byte-child/>\n";
  }
  using CCmlPolicy::SerializeToFile;
  void SerializeToFile(const char* path) const override {
    m_path = path;
    CCmlPolicy::SerializeToFile(path);
  }
  CPolicySource& CopyFrom(const CPolicySource& source) override {
    ++m_copies;
    return CCmlPolicy::CopyFrom(source);
  }

  mutable std::string m_path;
  int m_copies = 0;

 private:
  std::wstring m_version = L"1.0.0";
};

std::string Text(const std::wostringstream& stream) { return ToUtf8(stream.str()); }
std::string Text(const std::ostringstream& stream) { return stream.str(); }

TEST(VirtualDispatch, WritesGoThroughTheOverriddenOperations) {
  CProbe probe;
  std::wostringstream wideElement;
  probe.SerializeElement(wideElement, 1);
  EXPECT_EQ(Text(wideElement),
            "    <probe xmlns='urn:probe' schema-version='1.0.0' form='wide'>\n"
            "        <wide-child/>\n    </probe>\n");
  std::ostringstream byteElement;
  qelToolsLib::ImbueUtf8(byteElement);
  probe.SerializeElement(byteElement, 0);
  EXPECT_EQ(Text(byteElement),
            "<probe xmlns='urn:probe' schema-version='1.0.0' form='bytes \xc3\xa9'>\n"
            "    <byte-child/>\n</probe>\n");
  std::ostringstream byteDocument;
  probe.Serialize(byteDocument);
  std::string utf8;
  probe.SerializeUtf8(utf8);
  EXPECT_EQ(utf8, byteDocument.str());
  EXPECT_NE(utf8.find("form='bytes \xc3\xa9'>\n    <byte-child/>\n</probe>"), std::string::npos);
  std::wostringstream wideDocument;
  probe.Serialize(wideDocument);
  EXPECT_NE(Text(wideDocument).find("form='wide'>\n    <wide-child/>\n</probe>"),
            std::string::npos);

  // Containers write their children through the children's operations, in both forms.
  CSetSiteResponse response;
  response.AddPolicySourceCopy(probe);
  std::wostringstream wideContainer;
  response.SerializeElement(wideContainer, 0);
  EXPECT_NE(Text(wideContainer).find("form='wide'>\n        <wide-child/>\n    </probe>"),
            std::string::npos);
  CCmlMessage message;
  message.AddResponseCopy(response);
  std::string messageText;
  message.SerializeUtf8(messageText);
  EXPECT_NE(messageText.find("<byte-child/>"), std::string::npos);

  // The wide path reaches the byte-path form; assignment reaches CopyFrom.
  const std::string path = ::testing::TempDir() + "cml_dispatch/probe.xml";
  probe.SerializeToFile(FromUtf8(path));
  EXPECT_EQ(probe.m_path, path);
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()),
            utf8);
  CProbe other;
  other.AssignPolicy(probe);
  EXPECT_EQ(other.m_copies, 1);
}

// Bytes written to the stream a write hands over are UTF-8: a character split across
// two writes is joined, one left incomplete stands as U+FFFD where it was written.
class CSplitBytes : public CProbe {
 public:
  void WriteStandardAttributes(std::ostream& os) const override {
    os << " a='";
    os.put('\xc3');
    os.put('\xa9');
    os << "' b='x";
    os.put('\xc3');  // never completed: the library's text comes next
  }
  bool HasChildElements() const override { return false; }
};

TEST(VirtualDispatch, BytesFromOverridesAreUtf8InTheirPlace) {
  CSplitBytes split;
  std::string text;
  split.SerializeUtf8(text);
  EXPECT_NE(text.find(" a='\xc3\xa9' b='x\xef\xbf\xbd/>\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace cml
}  // namespace qel
