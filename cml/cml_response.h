// CCmlResponse: a response element of a compound message; adds a status code
// (default 0) and a text (default empty). One thread.
#ifndef QEL_CML_RESPONSE_H
#define QEL_CML_RESPONSE_H

#include <cstdint>
#include <memory>
#include <string>

#include "cml/cml_message_base.h"

namespace qel {
namespace cml {

class CCmlResponse : public CMessageBase {
 public:
  CCmlResponse(const std::wstring& tag, const std::wstring& ns, const std::wstring& version,
               const std::wstring& requestId = std::wstring(), std::uint32_t code = 0,
               const std::wstring& text = std::wstring());
  CCmlResponse(const CCmlResponse& other);
  ~CCmlResponse() override;

  std::unique_ptr<CCmlDocumentBase> Clone() const override;
  void Deserialize(const CCmlDOM_Element& element) override;
  // Then "code" (omitted when 0 unless writing defaults) and "text" (when not empty).
  void WriteStandardAttributes(std::wostream& os) const override;
  void WriteStandardAttributes(std::ostream& os) const override;
  std::uint32_t GetCode() const override { return m_code; }
  std::wstring GetText() const override { return m_text; }

  // The message part, then code and text.
  using CMessageBase::Assign;
  virtual CCmlResponse& Assign(const CCmlResponse& other);
  void SetCode(std::uint32_t code) { m_code = code; }
  void SetText(const std::wstring& text) { m_text = text; }

 private:
  void WriteCodeAndText(CCmlOutput& out) const;

  std::uint32_t m_code;
  std::wstring m_text;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_RESPONSE_H
