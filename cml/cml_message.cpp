#include "cml/cml_message.h"

#include <xercesc/dom/DOMNode.hpp>

#include "cml/cml_class_factory.h"
#include "cml/cml_codes.h"
#include "cml/cml_deserialize.h"
#include "cml/cml_document_output.h"
#include "cml/cml_dom_error.h"
#include "cml/cml_dom_node_list.h"
#include "cml/cml_exception.h"
#include "cml/cml_memory.h"
#include "cml/cml_schema_version.h"
#include "cml/cml_serializer.h"
#include "cml/cml_uris.h"
#include "cml/cml_vocabulary.h"

namespace qel {
namespace cml {

namespace {
std::unique_ptr<CMessageBase> AsMessage(std::unique_ptr<CCmlDocumentBase> document) {
  auto* message = dynamic_cast<CMessageBase*>(document.get());
  if (message == nullptr) return nullptr;
  document.release();
  return std::unique_ptr<CMessageBase>(message);
}

CCmlException MissingElement(const wchar_t* name) {
  return CCmlException(L"Parsing compound message",
                       std::wstring(L"Missing \"") + name + L"\" element",
                       qel::status::CML_MISSING_ELEMENT);
}
}  // namespace

CCmlMessage::CCmlMessage()
    : CCmlDocumentBase(vocab::kQel, uri::kBase, std::wstring()), m_source(vocab::kSource) {
  SetSchemaVersion(version::kCompoundMessage);
}

CCmlMessage::CCmlMessage(const CCmlMessage& other) : CCmlDocumentBase(other) { Assign(other); }

CCmlMessage::~CCmlMessage() = default;

std::unique_ptr<CCmlDocumentBase> CCmlMessage::Clone() const {
  return GuardedClone<CCmlDocumentBase>(*this, L"Cloning CmlMessage object");
}

void CCmlMessage::SetSchemaVersion(const std::wstring& version) {
  m_messageVersion = version;
  if (version == version::kCompoundMessageOld) {
    m_layerNamespace = uri::kCml;
    m_layerVersion = version::kMessageLayerOld;
  } else {
    m_layerNamespace = uri::kMessage;
    m_layerVersion = version::kMessageLayer;
  }
}

CCmlMessage& CCmlMessage::Assign(const CCmlMessage& other) {
  if (&other == this) return *this;
  CCmlDocumentBase::Assign(other);
  m_requests.clear();
  m_responses.clear();
  m_source = other.m_source;
  m_destinations = other.m_destinations;
  m_broadcast = other.m_broadcast;
  m_messageId = other.m_messageId;
  m_responseTo = other.m_responseTo;
  m_messageVersion = other.m_messageVersion;
  m_layerNamespace = other.m_layerNamespace;
  m_layerVersion = other.m_layerVersion;
  for (const auto& request : other.m_requests) AddRequestCopy(*request);
  for (const auto& response : other.m_responses) AddResponseCopy(*response);
  return *this;
}

void CCmlMessage::SetSource(const CAgentInfo& source) {
  m_source = source;
  m_source.SetTag(vocab::kSource);
}

CMessageBase* CCmlMessage::AddRequestCopy(const CCmlDocumentBase& document) {
  return AddRequest(AsMessage(document.Clone()).release());
}

CMessageBase* CCmlMessage::AddResponseCopy(const CCmlDocumentBase& document) {
  return AddResponse(AsMessage(document.Clone()).release());
}

CMessageBase* CCmlMessage::AddRequest(CMessageBase* request) {
  return AddRequest(std::unique_ptr<CMessageBase>(request));
}

CMessageBase* CCmlMessage::AddResponse(CMessageBase* response) {
  return AddResponse(std::unique_ptr<CMessageBase>(response));
}

CMessageBase* CCmlMessage::AddRequest(std::unique_ptr<CMessageBase> request) {
  if (!request) {
    throw CCmlException(L"Adding request to message vector", L"Internal error: invalid parameter",
                        codes::kInvalidArgument);
  }
  m_requests.push_back(std::move(request));
  return m_requests.back().get();
}

CMessageBase* CCmlMessage::AddResponse(std::unique_ptr<CMessageBase> response) {
  if (!response) {
    throw CCmlException(L"Adding response to message vector",
                        L"Internal error: invalid parameter", codes::kInvalidArgument);
  }
  m_responses.push_back(std::move(response));
  return m_responses.back().get();
}

void CCmlMessage::ApplyMessageLayerToChildren() {
  for (MessageList* list : {&m_requests, &m_responses}) {
    for (auto& child : *list) {
      child->SetNamespace(m_layerNamespace);
      child->SetInstanceSchemaVersion(version::kMessageLayerChildren);
      child->SetSchemaVersion(version::kMessageLayerChildren);
    }
  }
}

// A body element in the message-layer namespace at the layer's version or an older
// patch of it (the older layout's 2.4.1 elements under its 2.4.2 "cml" element) is
// covered by the "cml" element's entry: the schema of a patch level reads the older
// ones. Any other second version of a namespace is a conflict.
void CCmlMessage::AddChildNamespaces(const CMessageBase& child, CNamespaceSet& set) const {
  if (child.GetNamespace() != m_layerNamespace) {
    child.GetNamespaces(set);
    return;
  }
  CNamespaceSet own;
  child.GetNamespaces(own);
  for (const CNamespace& ns : own) {
    if (ns.GetUri() == m_layerNamespace) {
      SchemaVersionRelation r = CompareSchemaVersions(ns.GetVersion(), m_layerVersion);
      if (r == SchemaVersionRelation::Equal || r == SchemaVersionRelation::OlderPatch) continue;
    }
    AddNamespaceChecked(set, ns, L"Constructing document namespace object");
  }
}

void CCmlMessage::GetNamespaces(CNamespaceSet& set) const {
  const wchar_t* operation = L"Constructing CmlMessage namespace object";
  AddNamespaceChecked(set, CNamespace(GetNamespace(), m_messageVersion), operation);
  AddNamespaceChecked(set, CNamespace(m_layerNamespace, m_layerVersion), operation);
  try {
    for (const auto& request : m_requests) AddChildNamespaces(*request, set);
    for (const auto& response : m_responses) AddChildNamespaces(*response, set);
  } catch (const CCmlException& e) {
    if (e.GetCode() != qel::status::CML_NAMESPACE_CONFLICT) throw;
    throw CCmlException(operation, e.GetText(), e.GetCode());
  }
}

template <class Stream>
void CCmlMessage::WriteMessage(CCmlOutput& out, Stream& stream) const {
  CNamespaceSet set;
  GetNamespaces(set);
  WriteDocumentStart(out, GetTagName(), set);
  // The outer element's own attributes stand on a line of their own, without the
  // blank that otherwise separates attributes.
  out << L"\n";
  out.Indent(1);
  const std::size_t first = out.Size();
  WriteNamespaceAttributes(out, GetTagName(), GetNamespace());
  WriteAttribute(out, vocab::kSchemaVersion, m_messageVersion);
  out.Erase(first, 1);
  out << L">\n";
  WriteOpenTag(out, 1, vocab::kCml);
  WriteAttribute(out, vocab::kXmlns, m_layerNamespace);
  WriteAttribute(out, vocab::kSchemaVersion, m_layerVersion);
  out << L">\n";
  SerializeElement(stream, 2);
  WriteEndTag(out, 1, vocab::kCml);
  out << L"</" << GetTagName() << L">\n";
}

template <class Stream>
void CCmlMessage::WriteContainer(CCmlOutput& out, Stream& stream, unsigned level,
                                 const wchar_t* name, const MessageList& list) const {
  if (list.empty()) return;
  WriteOpenTag(out, level, name);
  out << L">\n";
  for (const auto& child : list) child->SerializeElement(stream, level + 1);
  WriteEndTag(out, level, name);
}

template <class Stream>
void CCmlMessage::WriteEnvelope(CCmlOutput& out, Stream& stream, unsigned level) const {
  WriteOpenTag(out, level, vocab::kMessageEnvelope);
  WriteAttribute(out, vocab::kBroadcast, BoolText(m_broadcast));
  WriteAttribute(out, vocab::kMessageId, m_messageId);
  if (!m_responseTo.empty()) WriteAttribute(out, vocab::kResponseTo, m_responseTo);
  out << L">\n";
  m_source.WriteElement(out, level + 1);
  for (const CAgentInfo& destination : m_destinations) destination.WriteElement(out, level + 1);
  WriteOpenTag(out, level + 1, vocab::kMessageBody);
  out << L">\n";
  WriteContainer(out, stream, level + 2, vocab::kRequest, m_requests);
  WriteContainer(out, stream, level + 2, vocab::kResponse, m_responses);
  WriteEndTag(out, level + 1, vocab::kMessageBody);
  WriteEndTag(out, level, vocab::kMessageEnvelope);
}

void CCmlMessage::Serialize(std::wostream& os) const {
  WriteDocumentOutput(os, [this](CCmlOutput& out, std::wostream& s) { WriteMessage(out, s); });
}

void CCmlMessage::Serialize(std::ostream& os) const {
  WriteDocumentOutput(os, [this](CCmlOutput& out, std::ostream& s) { WriteMessage(out, s); });
}

void CCmlMessage::SerializeElement(std::wostream& os, unsigned level) const {
  WriteElementOutput(os, [&](CCmlOutput& out, std::wostream& s) { WriteEnvelope(out, s, level); });
}

void CCmlMessage::SerializeElement(std::ostream& os, unsigned level) const {
  WriteElementOutput(os, [&](CCmlOutput& out, std::ostream& s) { WriteEnvelope(out, s, level); });
}

void CCmlMessage::ReadContainers(const CCmlDOM_Element& body, const wchar_t* name,
                                 bool requests) {
  const wchar_t* error = requests ? L"Error deserializing CML request"
                                  : L"Error deserializing CML response";
  WithDomErrors(requests ? L"Error parsing CML requests" : L"Error parsing CML responses", [&] {
    CCmlDOM_NodeList containers = body.getElementsByTagNameNS(m_layerNamespace, name);
    for (std::size_t i = 0; i < containers.getLength(); ++i) {
      for (CCmlDOM_Node node = containers.item(i).getFirstChild(); !node.IsNull();
           node = node.getNextSibling()) {
        if (node.getNodeType() != xercesc::DOMNode::ELEMENT_NODE) continue;
        std::unique_ptr<CMessageBase> message =
            AsMessage(DeserializeParsedDocument(CCmlDOM_Element(node),
                                                FactoryLookup::LatestCompatible));
        if (!message) throw CCmlException(error, L"Document is not a message", codes::kNoFactory);
        if (requests) {
          AddRequest(std::move(message));
        } else {
          AddResponse(std::move(message));
        }
      }
    }
  });
}

void CCmlMessage::Deserialize(const CCmlDOM_Element& element) {
  m_requests.clear();
  m_responses.clear();
  if (element.IsNull()) {
    throw CCmlException(L"Deserializing compound message", L"Null element received",
                        qel::status::CML_NULL_ELEMENT);
  }
  CCmlDocumentBase::Deserialize(element);
  // A message of the older layout stays one, so it is written back as it came.
  if (GetInstanceSchemaVersion() == version::kCompoundMessageOld) {
    m_messageVersion = version::kCompoundMessageOld;
  }
  WithDomErrors(L"Parsing message envelope", [&] {
    CCmlDOM_Element cml(element.getElementsByTagName(vocab::kCml).item(0));
    std::wstring layer = cml.IsNull() ? std::wstring() : cml.getNamespaceURI();
    if (layer != uri::kCml && layer != uri::kMessage) throw MissingElement(vocab::kCml);
    m_layerNamespace = layer;
    m_layerVersion = cml.getAttribute(vocab::kSchemaVersion);
    CCmlDOM_Element envelope(
        cml.getElementsByTagNameNS(m_layerNamespace, vocab::kMessageEnvelope).item(0));
    if (envelope.IsNull()) throw MissingElement(vocab::kMessageEnvelope);
    m_broadcast = envelope.getAttribute(vocab::kBroadcast) == vocab::kTrue;
    m_messageId = envelope.getAttribute(vocab::kMessageId);
    m_responseTo = envelope.getAttribute(vocab::kResponseTo);
    for (CCmlDOM_Node node = envelope.getFirstChild(); !node.IsNull();
         node = node.getNextSibling()) {
      if (node.getNodeType() != xercesc::DOMNode::ELEMENT_NODE ||
          node.getNamespaceURI() != m_layerNamespace) {
        continue;
      }
      CCmlDOM_Element child(node);
      std::wstring name = child.getNodeName();
      if (name == vocab::kSource) {
        m_source.Deserialize(child);
      } else if (name == vocab::kDestination) {
        m_destinations.emplace_back(vocab::kDestination);
        m_destinations.back().Deserialize(child);
      } else if (name == vocab::kMessageBody) {
        ReadContainers(child, vocab::kRequest, true);
        ReadContainers(child, vocab::kResponse, false);
      }
    }
  });
}

void CCmlMessage::RegisterCompoundMessage() {
  CCmlMessage prototype;
  const CCmlClassFactory::VersionPair current(uri::kBase, version::kCompoundMessage);
  const std::vector<CCmlClassFactory::VersionPair> older = {
      {uri::kBase, version::kCompoundMessageOld}};
  CCmlClassFactory::GetGlobalFactory()->RegisterDocumentObject(current, older, vocab::kQel,
                                                               prototype);
}

}  // namespace cml
}  // namespace qel
