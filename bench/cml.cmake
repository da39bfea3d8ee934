# Throughput of the CML library: building and writing the registration message, and
# reading it back through the class factory (Google Benchmark).
if(benchmark_FOUND AND TARGET cml)
  add_executable(cml_bench
    ${CMAKE_CURRENT_LIST_DIR}/cml_bench.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../qelConnectionServer/process_set_site_message.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../qelConnectionServer/funneltunnel_exception.cpp)
  target_include_directories(cml_bench PRIVATE ${CMAKE_CURRENT_LIST_DIR}/.. ${QEL_INCLUDE_DIR})
  target_link_libraries(cml_bench PRIVATE cml qeltools udebug qel_status benchmark::benchmark
    Threads::Threads)
endif()
