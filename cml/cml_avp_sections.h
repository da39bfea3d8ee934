// CCmlAvpSections: the AVP sections policy (tag "policy", namespace
// "/cml/CommonDocuments/AvpSections" by default, schema version "1.0.0"): the standard
// policy attributes and named sections of attribute-value pairs. Also the read-only
// form ("RoAvpSections") that module status details are converted to. Registered with
// the class factory by Register(). One thread at a time.
#ifndef QEL_CML_AVP_SECTIONS_H
#define QEL_CML_AVP_SECTIONS_H

#include <memory>
#include <string>
#include <vector>

#include "cml/cml_avp_section.h"
#include "cml/cml_policy.h"

namespace qel {
namespace cml {

class CCmlAvpSections : public CCmlPolicy {
 public:
  CCmlAvpSections();
  CCmlAvpSections(const CCmlAvpSections& other);
  ~CCmlAvpSections() override;

  std::unique_ptr<CCmlDocumentBase> Clone() const override;
  const std::wstring& GetSchemaVersion() const override { return m_schemaVersion; }
  void SetSchemaVersion(const std::wstring& version) override { m_schemaVersion = version; }
  // Also moves every param into the new namespace, so the sections stay readable.
  void SetNamespace(const std::wstring& uri) override;
  bool HasChildElements() const override { return !m_sections.empty(); }
  // The standard policy attributes, then the "section" children in the namespace.
  void Deserialize(const CCmlDOM_Element& element) override;
  void WriteChildElements(std::wostream& os, unsigned level) const override;
  void WriteChildElements(std::ostream& os, unsigned level) const override;

  const std::vector<CAvpSection>& GetSections() const { return m_sections; }
  std::vector<CAvpSection>& GetSections() { return m_sections; }
  CAvpSection& AddSection(const std::wstring& name);
  // Appends a param in the policy's namespace to the section called `section`
  // (created at the end when there is none).
  CNameValuePair& AddParam(const std::wstring& section, const std::wstring& name,
                           const std::wstring& value, std::int32_t ordinal = 0);
  // The first section called `name`, or null.
  const CAvpSection* FindSection(const std::wstring& name) const;

  // Registers the prototype under the four AVP sections namespaces ("/cml/AvpSections",
  // "/cml/RoAvpSections" and their "/cml/CommonDocuments" forms) at "1.0.0".
  static void Register();

 private:
  void WriteChildren(CCmlOutput& out, unsigned level) const;

  std::wstring m_schemaVersion;
  std::vector<CAvpSection> m_sections;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_AVP_SECTIONS_H
