#include "cml/cml_group_settings.h"

#include "cml/cml_class_factory.h"
#include "cml/cml_uris.h"
#include "cml/cml_vocabulary.h"

namespace qel {
namespace cml {

CCmlGroupSettings::CCmlGroupSettings()
    : CCmlPolicy(vocab::kPolicy, uri::kCdGroupSettings), m_schemaVersion(version::kGroupSettings) {}
CCmlGroupSettings::CCmlGroupSettings(const CCmlGroupSettings& other) = default;
CCmlGroupSettings::~CCmlGroupSettings() = default;

std::unique_ptr<CCmlDocumentBase> CCmlGroupSettings::Clone() const {
  return std::make_unique<CCmlGroupSettings>(*this);
}

void CCmlGroupSettings::Register() {
  CCmlGroupSettings prototype;
  CCmlClassFactory::GetGlobalFactory()->RegisterDocumentObject(
      uri::kCdGroupSettings, version::kGroupSettings, vocab::kPolicy, prototype);
}

}  // namespace cml
}  // namespace qel
