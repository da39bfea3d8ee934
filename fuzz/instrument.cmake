# Included by the top-level CMakeLists.txt before anything is built when QEL_FUZZ is on:
# every module is compiled with clang's libFuzzer coverage instrumentation and with
# ASan and UBSan (through QEL_SANITIZE=address), so findings in any library are seen
# and the fuzzer is guided by the code it exercises. fuzz/CMakeLists.txt adds the
# targets themselves.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang" OR NOT CMAKE_C_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "QEL_FUZZ needs clang for C and C++ (libFuzzer): configure with "
                      "CC=clang CXX=clang++, as scripts/fuzz.sh does")
endif()
if(QEL_SANITIZE STREQUAL "thread")
  message(FATAL_ERROR "QEL_FUZZ builds with ASan and UBSan; it cannot be combined with QEL_SANITIZE=thread")
endif()
set(QEL_SANITIZE address CACHE STRING
    "Sanitizer build: empty, 'address' (ASan+UBSan) or 'thread' (TSan)" FORCE)
add_compile_options(-fsanitize=fuzzer-no-link)
