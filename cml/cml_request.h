// CCmlRequest: a request element of a compound message; adds need-reply (default
// true, written only as "false" unless the write-defaults switch is on). One thread.
#ifndef QEL_CML_REQUEST_H
#define QEL_CML_REQUEST_H

#include <memory>
#include <string>

#include "cml/cml_message_base.h"

namespace qel {
namespace cml {

class CCmlRequest : public CMessageBase {
 public:
  CCmlRequest(const std::wstring& tag, const std::wstring& ns, const std::wstring& version,
              const std::wstring& requestId = std::wstring(), bool needReply = true);
  CCmlRequest(const CCmlRequest& other);
  ~CCmlRequest() override;

  std::unique_ptr<CCmlDocumentBase> Clone() const override;
  void Deserialize(const CCmlDOM_Element& element) override;
  // The message attributes, then "need-reply" ("false"; "true" only when writing
  // defaults).
  void WriteStandardAttributes(std::wostream& os) const override;
  void WriteStandardAttributes(std::ostream& os) const override;

  // The message part, then need-reply.
  using CMessageBase::Assign;
  virtual CCmlRequest& Assign(const CCmlRequest& other);
  bool GetNeedReply() const { return m_needReply; }
  void SetNeedReply(bool needReply) { m_needReply = needReply; }

 private:
  void WriteNeedReply(CCmlOutput& out) const;

  bool m_needReply;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_REQUEST_H
