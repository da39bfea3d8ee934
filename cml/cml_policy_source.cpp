#include "cml/cml_policy_source.h"

#include "cml/cml_codes.h"
#include "cml/cml_exception.h"

namespace qel {
namespace cml {

CPolicySource::CPolicySource() = default;
CPolicySource::CPolicySource(std::wstring tag, std::wstring ns, std::wstring instanceVersion)
    : CCmlDocumentBase(std::move(tag), std::move(ns), std::move(instanceVersion)) {}
CPolicySource::CPolicySource(const CPolicySource& other) = default;
CPolicySource::~CPolicySource() = default;

CPolicySource& CPolicySource::CopyFrom(const CPolicySource& source) {
  if (&source != this) Assign(source);
  return *this;
}

std::unique_ptr<CPolicySource> CPolicySource::ClonePolicy() const {
  std::unique_ptr<CCmlDocumentBase> clone = Clone();
  auto* policy = dynamic_cast<CPolicySource*>(clone.get());
  if (policy == nullptr) {
    throw CCmlException(L"Cloning policy source", L"Clone is not a policy source",
                        codes::kInvalidArgument);
  }
  clone.release();
  return std::unique_ptr<CPolicySource>(policy);
}

}  // namespace cml
}  // namespace qel
