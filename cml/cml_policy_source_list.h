// CPolicySourceList: the ordered, owning list of policy sources that set-site
// messages, agent information content and module records carry. The owner passes
// its own operation texts for index errors. Copies are deep. One thread at a time.
#ifndef QEL_CML_POLICY_SOURCE_LIST_H
#define QEL_CML_POLICY_SOURCE_LIST_H

#include <cstddef>
#include <memory>
#include <vector>

#include "cml/cml_dom_element.h"
#include "cml/cml_namespace.h"
#include "cml/cml_output.h"
#include "cml/cml_policy_source.h"

namespace qel {
namespace cml {

class CPolicySourceList {
 public:
  // Operation texts of the owner's index errors (0xC738000B, "Invalid vector index").
  struct Texts {
    const wchar_t* get;
    const wchar_t* set;
  };

  explicit CPolicySourceList(Texts texts);
  CPolicySourceList(const CPolicySourceList& other);
  CPolicySourceList& operator=(const CPolicySourceList& other);
  ~CPolicySourceList();

  std::size_t Count() const { return m_items.size(); }
  CPolicySource* Get(std::size_t index) const;
  const std::vector<std::unique_ptr<CPolicySource>>& Items() const { return m_items; }
  // Takes ownership; a null pointer throws (0xC7210003, "NULL object pointer").
  CPolicySource* Add(CPolicySource* source);
  CPolicySource* Add(std::unique_ptr<CPolicySource> source);
  CPolicySource* AddCopy(const CPolicySource& source);
  CPolicySource* AddNode(const CCmlDOM_Element& element);
  // Deletes the source at `index` and stores `source` there (taking ownership); a
  // null source throws (0xC7210003, "NULL object pointer") and changes nothing.
  void Set(std::size_t index, std::unique_ptr<CPolicySource> source);
  // Replaces the whole list by copies of `other`'s sources.
  void SetAll(const CPolicySourceList& other);
  void Clear() { m_items.clear(); }

  void GetNamespaces(CNamespaceSet& set) const;
  void Write(CCmlOutput& out, unsigned level) const;

 private:
  Texts m_texts;
  std::vector<std::unique_ptr<CPolicySource>> m_items;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_POLICY_SOURCE_LIST_H
