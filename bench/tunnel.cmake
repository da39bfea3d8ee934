# tunnel_bench: caller requests through the reverse tunnel (qelcs-host + qelcs-remote +
# a local target) beside the same requests sent to the target directly, and a mode
# holding many callers waiting at once. Run it with bench/tunnel_bench.sh.
if(TARGET qelcs-host AND TARGET qelcs-remote)
  add_executable(tunnel_bench
    ${CMAKE_CURRENT_LIST_DIR}/tunnel_bench.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tunnel_load.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tunnel_target.cpp)
  target_link_libraries(tunnel_bench PRIVATE qel_test_support PkgConfig::CURL PkgConfig::MHD
                        Threads::Threads)
  foreach(needed qelcs-host qelcs-remote qelConnectionServer5 qelSessionConfigSvcs5 qel_catalog)
    if(TARGET ${needed})
      add_dependencies(tunnel_bench ${needed})
    endif()
  endforeach()
  # The service library's signature target is defined once every folder is read.
  function(qel_tunnel_bench_depend_on_signature)
    if(TARGET qel_sign_service_library)
      add_dependencies(tunnel_bench qel_sign_service_library)
    endif()
  endfunction()
  cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL qel_tunnel_bench_depend_on_signature)
endif()
