// CUpdateInfo: one applied update ("update": module, type, version), written as an
// empty element with the non-empty attributes. A plain value.
#ifndef QEL_CML_UPDATE_INFO_H
#define QEL_CML_UPDATE_INFO_H

#include <string>
#include <utility>

#include "cml/cml_dom_element.h"
#include "cml/cml_output.h"

namespace qel {
namespace cml {

class CUpdateInfo {
 public:
  CUpdateInfo();
  CUpdateInfo(const std::wstring& module, const std::wstring& type, const std::wstring& version);
  virtual ~CUpdateInfo();

  const std::wstring& GetTag() const { return m_tag; }
  const std::wstring& GetModule() const { return m_module; }
  const std::wstring& GetType() const { return m_type; }
  const std::wstring& GetVersion() const { return m_version; }
  void SetModule(std::wstring v) { m_module = std::move(v); }
  void SetType(std::wstring v) { m_type = std::move(v); }
  void SetVersion(std::wstring v) { m_version = std::move(v); }

  virtual void WriteElement(CCmlOutput& out, unsigned level) const;
  virtual void Deserialize(const CCmlDOM_Element& element);

 private:
  std::wstring m_tag;
  std::wstring m_module;
  std::wstring m_type;
  std::wstring m_version;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_UPDATE_INFO_H
