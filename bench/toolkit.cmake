# Runtime toolkit: conversion throughput and the cost of the lock and the
# completion handshake the core uses for every request.
if(benchmark_FOUND AND TARGET qeltools)
  add_executable(toolkit_bench ${CMAKE_CURRENT_LIST_DIR}/toolkit_bench.cpp)
  target_link_libraries(toolkit_bench PRIVATE qeltools benchmark::benchmark)
endif()
