#include "cml/cml_memory.h"

namespace qel {
namespace cml {

void ThrowInsufficientMemory(const wchar_t* operation) {
  throw CCmlException(operation, L"Insufficient memory", codes::kInsufficientMemory);
}

}  // namespace cml
}  // namespace qel
