// CPolicySource: abstract interface of one policy carried by a CML message, in one
// of three forms: a parsed policy (CCmlPolicy, type 1), a policy element kept as
// DOM (CPolicyNode, type 2) or ready-made XML text (CPolicyDocumentText, type 3).
// Owned by the container that lists it; one thread at a time.
#ifndef QEL_CML_POLICY_SOURCE_H
#define QEL_CML_POLICY_SOURCE_H

#include <memory>
#include <string>

#include "cml/cml_document_base.h"

namespace qel {
namespace cml {

enum PolicySourceType : int { kParsedPolicy = 1, kPolicyNode = 2, kPolicyDocumentText = 3 };

class CPolicySource : public CCmlDocumentBase {
 public:
  ~CPolicySource() override;

  // The operations every policy source appends, in this order after those of the
  // document base. CopyFrom: Assign, unless `source` is this object.
  virtual CPolicySource& CopyFrom(const CPolicySource& source);
  virtual int GetPolicySourceType() const = 0;
  virtual std::wstring GetPolicyName() const = 0;
  virtual std::wstring GetPolicyVersion() const = 0;
  virtual bool IsValid() const = 0;

  // Clone with the policy source type kept.
  std::unique_ptr<CPolicySource> ClonePolicy() const;

 protected:
  CPolicySource();
  CPolicySource(std::wstring tag, std::wstring ns, std::wstring instanceVersion);
  CPolicySource(const CPolicySource& other);
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_POLICY_SOURCE_H
