// CCmlMessage: the compound message, the envelope every CML exchange travels in: an
// outer "qel" element in the base namespace, a "cml" element fixing the message-layer
// namespace and version, and a "message-envelope" with addressing whose
// "message-body" carries requests and responses. Owns its source, destinations,
// requests and responses. One thread at a time.
#ifndef QEL_CML_MESSAGE_H
#define QEL_CML_MESSAGE_H

#include <memory>
#include <string>
#include <vector>

#include "cml/cml_agent_info.h"
#include "cml/cml_document_base.h"
#include "cml/cml_message_base.h"

namespace qel {
namespace cml {

class CCmlMessage : public CCmlDocumentBase {
 public:
  using MessageList = std::vector<std::unique_ptr<CMessageBase>>;

  CCmlMessage();
  CCmlMessage(const CCmlMessage& other);
  ~CCmlMessage() override;

  std::unique_ptr<CCmlDocumentBase> Clone() const override;
  const std::wstring& GetSchemaVersion() const override { return m_messageVersion; }
  // "1.0.0" selects the older layout ("/cml" at 2.4.2), anything else "/cml/Message" 1.0.0.
  void SetSchemaVersion(const std::wstring& version) override;
  bool HasChildElements() const override { return true; }
  void GetNamespaces(CNamespaceSet& set) const override;
  void Deserialize(const CCmlDOM_Element& element) override;
  // The envelope at `level`.
  void SerializeElement(std::wostream& os, unsigned level) const override;
  void SerializeElement(std::ostream& os, unsigned level) const override;
  // Outer element, "cml" element of the message layer, the envelope at level 2.
  void Serialize(std::wostream& os) const override;
  void Serialize(std::ostream& os) const override;

  // Unless `other` is this message: the base part, then everything else; the
  // requests and responses held before are deleted and `other`'s are cloned.
  using CCmlDocumentBase::Assign;
  virtual CCmlMessage& Assign(const CCmlMessage& other);
  const CAgentInfo& GetSource() const { return m_source; }
  CAgentInfo& GetSource() { return m_source; }
  const std::vector<CAgentInfo>& GetDestinations() const { return m_destinations; }
  std::vector<CAgentInfo>& GetDestinations() { return m_destinations; }
  bool IsBroadcast() const { return m_broadcast; }
  const std::wstring& GetMessageId() const { return m_messageId; }
  const std::wstring& GetResponseTo() const { return m_responseTo; }
  const std::wstring& GetMessageLayerNamespace() const { return m_layerNamespace; }
  const std::wstring& GetMessageLayerVersion() const { return m_layerVersion; }
  // Copies the record and names the copy "source".
  void SetSource(const CAgentInfo& source);
  void SetBroadcast(bool broadcast) { m_broadcast = broadcast; }
  void SetMessageId(const std::wstring& id) { m_messageId = id; }
  void SetResponseTo(const std::wstring& id) { m_responseTo = id; }
  CMessageBase* AddRequestCopy(const CCmlDocumentBase& document);
  CMessageBase* AddResponseCopy(const CCmlDocumentBase& document);
  // Take ownership; a null pointer throws CCmlException (0xC7210003).
  CMessageBase* AddRequest(CMessageBase* request);
  CMessageBase* AddResponse(CMessageBase* response);
  CMessageBase* AddRequest(std::unique_ptr<CMessageBase> request);
  CMessageBase* AddResponse(std::unique_ptr<CMessageBase> response);
  const MessageList& GetRequests() const { return m_requests; }
  MessageList& GetRequests() { return m_requests; }
  const MessageList& GetResponses() const { return m_responses; }
  MessageList& GetResponses() { return m_responses; }
  // Every request and response takes the message-layer namespace and the version
  // "2.4.1" (instance and schema version).
  void ApplyMessageLayerToChildren();

  // Registers the prototype under (base URI, "1.0.1") and (base URI, "1.0.0").
  static void RegisterCompoundMessage();

 private:
  void ReadContainers(const CCmlDOM_Element& body, const wchar_t* name, bool requests);
  void AddChildNamespaces(const CMessageBase& child, CNamespaceSet& set) const;
  template <class Stream>
  void WriteMessage(CCmlOutput& out, Stream& stream) const;
  template <class Stream>
  void WriteEnvelope(CCmlOutput& out, Stream& stream, unsigned level) const;
  template <class Stream>
  void WriteContainer(CCmlOutput& out, Stream& stream, unsigned level, const wchar_t* name,
                      const MessageList& list) const;

  CAgentInfo m_source;
  std::vector<CAgentInfo> m_destinations;
  bool m_broadcast = false;
  std::wstring m_messageId;
  std::wstring m_responseTo;
  std::wstring m_messageVersion;
  std::wstring m_layerNamespace;
  std::wstring m_layerVersion;
  MessageList m_requests;
  MessageList m_responses;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_MESSAGE_H
