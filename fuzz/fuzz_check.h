// fuzz_check: how a fuzz target reports a broken promise of the code under test. A
// failed check prints what was expected and aborts, which libFuzzer reports as a
// crash with the input saved, and which fails the replaying GoogleTest in the normal
// build. Header-only; callable from any thread.
#ifndef QEL_FUZZ_FUZZ_CHECK_H
#define QEL_FUZZ_FUZZ_CHECK_H

#include <cstdio>
#include <cstdlib>

namespace qel {
namespace fuzz {

[[noreturn]] inline void check_failed(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", file, line, what);
  std::abort();
}

}  // namespace fuzz
}  // namespace qel

#define FUZZ_CHECK(condition) \
  ((condition) ? (void)0 : ::qel::fuzz::check_failed(#condition, __FILE__, __LINE__))

#endif  // QEL_FUZZ_FUZZ_CHECK_H
