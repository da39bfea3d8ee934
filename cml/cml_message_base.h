// CMessageBase: base of the elements in a compound message's body (requests and
// responses). Adds the request id and a settable schema version. One thread.
#ifndef QEL_CML_MESSAGE_BASE_H
#define QEL_CML_MESSAGE_BASE_H

#include <cstdint>
#include <string>

#include "cml/cml_document_base.h"

namespace qel {
namespace cml {

class CMessageBase : public CCmlDocumentBase {
 public:
  ~CMessageBase() override;

  const std::wstring& GetSchemaVersion() const override { return m_schemaVersion; }
  void SetSchemaVersion(const std::wstring& version) override { m_schemaVersion = version; }
  bool HasChildElements() const override { return false; }
  void Deserialize(const CCmlDOM_Element& element) override;
  // Namespace, schema version, then "request-id" (always).
  void WriteStandardAttributes(std::wostream& os) const override;
  void WriteStandardAttributes(std::ostream& os) const override;

  // The base part (CCmlDocumentBase::Assign), request id and schema version.
  using CCmlDocumentBase::Assign;
  virtual CMessageBase& Assign(const CMessageBase& other);
  const std::wstring& GetRequestId() const { return m_requestId; }
  void SetRequestId(const std::wstring& id) { m_requestId = id; }
  // 0 and empty for anything that is not a response.
  virtual std::uint32_t GetCode() const { return 0; }
  virtual std::wstring GetText() const { return std::wstring(); }

 protected:
  CMessageBase(const std::wstring& tag, const std::wstring& ns, const std::wstring& version,
               const std::wstring& requestId);
  CMessageBase(const CMessageBase& other);

 private:
  std::wstring m_requestId;
  std::wstring m_schemaVersion;
};

// Registers an agent message element with the class factory under
// ("/cml/Message/AgentMessages", "1.0.4") and, for messages of the older layout, under
// ("/cml", "2.4.1"), where the registered clone takes that namespace and version (the
// ones ApplyMessageLayerToChildren gives; a lookup of any 2.4 patch finds it).
void RegisterAgentMessage(const std::wstring& tag, const CCmlDocumentBase& prototype);

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_MESSAGE_BASE_H
