#include "cml/cml_document_class_factory.h"

#include <atomic>

#include "cml/cml_codes.h"
#include "cml/cml_exception.h"
#include "cml/cml_memory.h"

namespace qel {
namespace cml {

namespace {
void RequireTag(const std::wstring& tag, const wchar_t* operation) {
  if (tag.empty()) {
    throw CCmlException(operation, L"One or more arguments are invalid",
                        codes::kInvalidArgument);
  }
}
}  // namespace

namespace {
std::atomic<std::uint64_t> g_generation{1};
void Changed() { g_generation.fetch_add(1, std::memory_order_acq_rel); }
}  // namespace

std::uint64_t CCmlDocumentClassFactory::Generation() {
  return g_generation.load(std::memory_order_acquire);
}

CCmlDocumentClassFactory::CCmlDocumentClassFactory() { Changed(); }
CCmlDocumentClassFactory::~CCmlDocumentClassFactory() { Changed(); }

CCmlDocumentBase* CCmlDocumentClassFactory::AddTagname(const std::wstring& tag,
                                                       const CCmlDocumentBase& prototype) {
  RequireTag(tag, L"Adding tagname to document class factory");
  std::unique_ptr<CCmlDocumentBase> clone = prototype.Clone();
  CCmlDocumentBase* stored = clone.get();
  WithMemoryGuard(L"Adding tagname to document class factory",
                  [&] { m_prototypes[tag] = std::move(clone); });
  Changed();
  return stored;
}

void CCmlDocumentClassFactory::DeleteTagname(const std::wstring& tag) {
  RequireTag(tag, L"Deleting tagname from document class factory");
  if (m_prototypes.erase(tag) != 0) Changed();
}

std::unique_ptr<CCmlDocumentBase> CCmlDocumentClassFactory::GetDocumentObject(
    const std::wstring& tag) const {
  RequireTag(tag, L"Getting document object from document class factory");
  auto it = m_prototypes.find(tag);
  if (it == m_prototypes.end()) return nullptr;
  return it->second->Clone();
}

}  // namespace cml
}  // namespace qel
