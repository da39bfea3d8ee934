// Allocation failures inside the CML library reach the caller as CCmlException with
// the library's out-of-memory status (0xC7210001, "Insufficient memory") and the
// operation that failed, never as std::bad_alloc or a Xerces out-of-memory exception.
// Stateless; any thread.
#ifndef QEL_CML_MEMORY_H
#define QEL_CML_MEMORY_H

#include <memory>
#include <new>

#include <xercesc/util/OutOfMemoryException.hpp>

#include "cml/cml_codes.h"
#include "cml/cml_exception.h"

namespace qel {
namespace cml {

[[noreturn]] void ThrowInsufficientMemory(const wchar_t* operation);

// Runs `work`; an allocation failure that leaves it becomes CCmlException
// (0xC7210001, `operation`, "Insufficient memory").
template <class Work>
auto WithMemoryGuard(const wchar_t* operation, Work&& work) -> decltype(work()) {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    ThrowInsufficientMemory(operation);
  } catch (const xercesc::OutOfMemoryException&) {
    ThrowInsufficientMemory(operation);
  }
}

// A heap copy of `object`, held as `Base`; an allocation failure throws 0xC7210001
// naming `operation` (the "Cloning ... object" texts).
template <class Base, class T>
std::unique_ptr<Base> GuardedClone(const T& object, const wchar_t* operation) {
  return WithMemoryGuard(operation, [&] { return std::unique_ptr<Base>(new T(object)); });
}

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_MEMORY_H
