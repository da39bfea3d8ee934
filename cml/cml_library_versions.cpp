#include "cml/cml_library_versions.h"

#include <memory>
#include <mutex>
#include <ostream>

#include "cml/cml_memory.h"
#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

namespace {
struct Registry {
  std::mutex lock;
  std::unique_ptr<std::map<std::wstring, std::wstring>> entries;
};
Registry& Shared() {
  static Registry* registry = new Registry;  // never destroyed; see the header
  return *registry;
}
// Caller holds the lock.
std::map<std::wstring, std::wstring>& Entries() {
  Registry& r = Shared();
  if (!r.entries) {
    WithMemoryGuard(L"Creating library version registry", [&] {
      auto entries = std::make_unique<std::map<std::wstring, std::wstring>>();
      (*entries)[L"CmlCore"] = L"1.0.0";
      r.entries = std::move(entries);
    });
  }
  return *r.entries;
}
}  // namespace

void SetLibraryVersion(const std::wstring& library, const std::wstring& version) {
  std::lock_guard<std::mutex> guard(Shared().lock);
  Entries()[library] = version;
}

void RemoveLibraryVersion(const std::wstring& library) {
  std::lock_guard<std::mutex> guard(Shared().lock);
  Entries().erase(library);
}

std::map<std::wstring, std::wstring> GetLibraryVersions() {
  std::lock_guard<std::mutex> guard(Shared().lock);
  return Entries();
}

void DestroyLibraryVersionRegistry() {
  std::lock_guard<std::mutex> guard(Shared().lock);
  Shared().entries.reset();
}

void WriteLibraryVersions(std::ostream& os) {
  for (const auto& entry : GetLibraryVersions()) {
    os << "Library:  " << ToUtf8(entry.first) << " version = " << ToUtf8(entry.second) << "\n";
  }
}

}  // namespace cml
}  // namespace qel
