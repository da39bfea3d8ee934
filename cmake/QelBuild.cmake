# Shared build settings: one warning list for every target, sanitizer builds,
# dependencies found once, and the test helper.

set(QEL_SANITIZE "" CACHE STRING "Sanitizer build: empty, 'address' (ASan+UBSan) or 'thread' (TSan)")
set_property(CACHE QEL_SANITIZE PROPERTY STRINGS "" address thread)

add_compile_options(-Wall -Wextra -Werror)
# clang checks the lock annotations (qelToolsLib/qelThreadAnnotations.h); the fuzz
# build, which CI runs, is a clang build.
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  add_compile_options(-Wthread-safety)
endif()
# A profiling build keeps frame pointers, so perf's call graphs (perf record -g) work.
option(QEL_PROFILE "Keep frame pointers for profiling with perf" OFF)
if(QEL_PROFILE)
  add_compile_options(-fno-omit-frame-pointer -mno-omit-leaf-frame-pointer)
endif()
if(QEL_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(QEL_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT QEL_SANITIZE STREQUAL "")
  message(FATAL_ERROR "QEL_SANITIZE must be empty, 'address' or 'thread'")
endif()

set(THREADS_PREFER_PTHREAD_FLAG ON)
find_package(Threads REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(XERCES REQUIRED IMPORTED_TARGET xerces-c>=3.2)
pkg_check_modules(MHD REQUIRED IMPORTED_TARGET libmicrohttpd)
pkg_check_modules(SODIUM REQUIRED IMPORTED_TARGET libsodium)
pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
pkg_check_modules(GNUTLS REQUIRED IMPORTED_TARGET gnutls)
pkg_check_modules(SYSTEMD REQUIRED IMPORTED_TARGET libsystemd)

set(QEL_INCLUDE_DIR ${CMAKE_SOURCE_DIR}/include)
# The folder of the built message catalog; tests point NLSPATH at it.
set(QEL_NLS_DIR ${CMAKE_BINARY_DIR}/nls)
set(QEL_TEST_NLSPATH "${QEL_NLS_DIR}/%N")

# qel_add_gtest(NAME SOURCES files... LIBS targets... [ENV VAR=value...] [TIMEOUT s])
# One executable per module; every test case becomes a CTest test run in its own
# process with the catalog found through NLSPATH.
function(qel_add_gtest name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_include_directories(${name} PRIVATE ${QEL_INCLUDE_DIR} ${CMAKE_SOURCE_DIR})
  # The environment comes through a launcher: a list-valued ENVIRONMENT property does
  # not survive test discovery in this CMake.
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR
    "env;NLSPATH=${QEL_TEST_NLSPATH};QEL_BUILD_DIR=${CMAKE_BINARY_DIR};QEL_SOURCE_DIR=${CMAKE_SOURCE_DIR};${T_ENV}")
  include(GoogleTest)
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES TIMEOUT ${T_TIMEOUT})
endfunction()

find_package(GTest)
