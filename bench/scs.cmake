# HTTP service library: 2,000 requests held at once in blocking callbacks, then
# released; checks every answer and that threads and memory return afterwards; and the
# memory each of 10,000 held requests costs (resident, stacks, kernel).
# Run: build/bin/scs_hold_bench (raises its own open-file limit up to the hard limit).
if(benchmark_FOUND AND TARGET qelSessionConfigSvcs5)
  add_executable(scs_hold_bench ${CMAKE_CURRENT_LIST_DIR}/scs_hold_bench.cpp)
  target_include_directories(scs_hold_bench PRIVATE ${QEL_INCLUDE_DIR})
  target_link_libraries(scs_hold_bench PRIVATE qelSessionConfigSvcs5 qel_test_support
                        benchmark::benchmark Threads::Threads)
  # 40 callers with 15 MiB bodies: resident memory held and after (docs/scs.md, "Memory").
  # Run: build/bin/scs_body_memory_bench
  add_executable(scs_body_memory_bench ${CMAKE_CURRENT_LIST_DIR}/scs_body_memory_bench.cpp)
  target_include_directories(scs_body_memory_bench PRIVATE ${QEL_INCLUDE_DIR})
  target_link_libraries(scs_body_memory_bench PRIVATE qelSessionConfigSvcs5 qel_test_support
                        benchmark::benchmark Threads::Threads)
endif()
