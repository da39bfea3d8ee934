// Where the committed fuzz inputs live: fuzz/ of the source tree, which the build
// compiles in; QEL_SOURCE_DIR in the environment wins.
#ifndef QEL_TESTS_FUZZ_FUZZ_INPUTS_H
#define QEL_TESTS_FUZZ_FUZZ_INPUTS_H

#include <cstdlib>
#include <string>

inline std::string fuzz_folder() {
  const char* source = std::getenv("QEL_SOURCE_DIR");
  return std::string(source != nullptr ? source : QEL_FUZZ_SOURCE_DIR) + "/fuzz";
}

#endif  // QEL_TESTS_FUZZ_FUZZ_INPUTS_H
