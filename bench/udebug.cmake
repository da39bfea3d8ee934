# Trace facility: cost of a disabled trace site against an empty loop.
if(benchmark_FOUND AND TARGET udebug)
  add_executable(udebug_bench ${CMAKE_CURRENT_LIST_DIR}/udebug_bench.cpp)
  target_link_libraries(udebug_bench PRIVATE udebug benchmark::benchmark)
endif()
