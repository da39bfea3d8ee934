// CHostInfo: the host record of an agent, written as one empty element (tag
// "host-info" by default). A plain value; one thread at a time.
#ifndef QEL_CML_HOST_INFO_H
#define QEL_CML_HOST_INFO_H

#include <string>
#include <utility>

#include "cml/cml_dom_element.h"
#include "cml/cml_output.h"

namespace qel {
namespace cml {

class CHostInfo {
 public:
  CHostInfo();
  virtual ~CHostInfo();

  const std::wstring& GetTag() const { return m_tag; }
  const std::wstring& GetOs() const { return m_os; }
  const std::wstring& GetVersion() const { return m_version; }
  const std::wstring& GetIpAddress() const { return m_ipAddress; }
  const std::wstring& GetHostName() const { return m_hostName; }
  const std::wstring& GetNbName() const { return m_nbName; }
  const std::wstring& GetNbDomain() const { return m_nbDomain; }
  const std::wstring& GetAdObjectId() const { return m_adObjectId; }
  const std::wstring& GetAdGroupId() const { return m_adGroupId; }
  void SetTag(std::wstring v) { m_tag = std::move(v); }
  void SetOs(std::wstring v) { m_os = std::move(v); }
  void SetVersion(std::wstring v) { m_version = std::move(v); }
  void SetIpAddress(std::wstring v) { m_ipAddress = std::move(v); }
  void SetHostName(std::wstring v) { m_hostName = std::move(v); }
  void SetNbName(std::wstring v) { m_nbName = std::move(v); }
  void SetNbDomain(std::wstring v) { m_nbDomain = std::move(v); }
  void SetAdObjectId(std::wstring v) { m_adObjectId = std::move(v); }
  void SetAdGroupId(std::wstring v) { m_adGroupId = std::move(v); }

  // "os" and "version" always; the others when not empty.
  virtual void WriteElement(CCmlOutput& out, unsigned level) const;
  virtual void Deserialize(const CCmlDOM_Element& element);

 private:
  std::wstring m_tag;
  std::wstring m_os;
  std::wstring m_version;
  std::wstring m_ipAddress;
  std::wstring m_hostName;
  std::wstring m_nbName;
  std::wstring m_nbDomain;
  std::wstring m_adObjectId;
  std::wstring m_adGroupId;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_HOST_INFO_H
