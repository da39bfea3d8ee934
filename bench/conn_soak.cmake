# conn_soak: the host's RSS over many closed connections (a per-thread or
# per-connection leak shows up as growth). Run it with bench/conn_soak.sh.
if(TARGET qelcs-host)
  add_executable(conn_soak
    ${CMAKE_CURRENT_LIST_DIR}/conn_soak.cpp)
  target_link_libraries(conn_soak PRIVATE qel_test_support Threads::Threads)
  # The service library's post-build step embeds its signature.
  foreach(needed qelcs-host qelConnectionServer5 qelSessionConfigSvcs5 qel_catalog)
    if(TARGET ${needed})
      add_dependencies(conn_soak ${needed})
    endif()
  endforeach()
endif()
