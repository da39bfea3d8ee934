#include "cml/cml_settings.h"

#include <atomic>
#include <mutex>

namespace qel {
namespace cml {

namespace {
std::atomic<unsigned> g_indentWidth{4};
std::atomic<bool> g_validation{true};
std::atomic<bool> g_writeDefaults{false};

struct SchemaFolder {
  std::mutex lock;
  std::wstring value = kDefaultSchemaFolder;
};
// Never destroyed: readers may run while the process exits.
SchemaFolder& Folder() {
  static SchemaFolder* folder = new SchemaFolder;
  return *folder;
}
}  // namespace

unsigned GetIndentWidth() { return g_indentWidth.load(std::memory_order_relaxed); }
void SetIndentWidth(unsigned width) { g_indentWidth.store(width, std::memory_order_relaxed); }

bool GetValidation() { return g_validation.load(); }
bool SetValidation(bool on) { return g_validation.exchange(on); }

bool GetWriteDefaults() { return g_writeDefaults.load(); }
bool SetWriteDefaults(bool on) { return g_writeDefaults.exchange(on); }

std::wstring GetSchemaFolder() {
  std::lock_guard<std::mutex> guard(Folder().lock);
  return Folder().value;
}

void SetSchemaFolder(const std::wstring& folder) {
  std::lock_guard<std::mutex> guard(Folder().lock);
  Folder().value = folder;
}

}  // namespace cml
}  // namespace qel
