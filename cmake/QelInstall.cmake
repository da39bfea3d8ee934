# Install rules: what `cmake --install <build> --prefix P` puts under P, split into the
# three components the Debian packages are made of (debian/rules):
#   runtime  both libraries (the service library with its signature), the message catalog
#   dev      public headers, qelConnectionServer.pc, the CMake package (qel::ConnectionServer)
#   tools    qelcs-host, qelcs-remote, qel-sign, systemd units, the host's config file,
#            the remote client's example and config folder, the logrotate snippet and
#            the man pages
# Included from the top-level CMakeLists.txt once every target is defined.

include(CMakePackageConfigHelpers)

set(QEL_PACKAGE_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(QEL_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/qelConnectionServer)
set(QEL_DATA_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/qelConnectionServer)

# --- runtime ---------------------------------------------------------------------------
# libqelConnectionServer5.so keeps its file name and soname: hosts dlopen it by that name,
# and the 5 is the interface generation (docs/install.md).
set_target_properties(qelConnectionServer5 PROPERTIES EXPORT_NAME ConnectionServer)
install(TARGETS qelConnectionServer5 EXPORT qelConnectionServerTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# The service library is installed as a plain file: its signature covers the file's
# bytes, so it must never be stripped or have its RPATH rewritten on the way.
if(TARGET qelSessionConfigSvcs5)
  install(PROGRAMS $<TARGET_FILE:qelSessionConfigSvcs5>
          DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime)
  # A detached signature exists when the build signed the library itself; an embedded
  # signature travels inside the file.
  install(FILES $<TARGET_FILE:qelSessionConfigSvcs5>.sig
          DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime OPTIONAL)
endif()

# The library looks for its catalog beside its own folder (../share/qelConnectionServer).
install(FILES ${QEL_NLS_DIR}/qel-MgmtSvcs.cat
        DESTINATION ${QEL_DATA_INSTALL_DIR} COMPONENT runtime)

# --- files whose contents name install paths ---------------------------------------------
# qel_install_configured(<template.in> <dir> <subfolder> <component>): installs the
# template without its ".in" into <dir>/<subfolder> (an empty template: only makes the
# folder), where <dir> is a GNUInstallDirs name
# (SYSCONFDIR, LIBDIR, ...) or PREFIX. Both the @VARIABLES@ inside (see
# cmake/QelInstallConfigured.cmake) and the destination are worked out when installing,
# for the prefix given then: `cmake --install --prefix P` gets files naming P, and a /usr
# prefix gets /etc for its configuration, as GNUInstallDirs defines.
function(qel_install_configured template dir subfolder component)
  set(relative_dirs "")
  foreach(name BINDIR LIBDIR INCLUDEDIR DATADIR SYSCONFDIR)
    list(APPEND relative_dirs "${name}=${CMAKE_INSTALL_${name}}")
  endforeach()
  install(CODE "
    set(QEL_TEMPLATE \"${template}\")
    set(QEL_DIR_NAME \"${dir}\")
    set(QEL_SUBFOLDER \"${subfolder}\")
    set(QEL_RELATIVE_DIRS \"${relative_dirs}\")
    set(QEL_SYSTEMD_UNIT_DIR \"${QEL_SYSTEMD_UNIT_DIR}\")
    set(QEL_PROJECT_VERSION \"${PROJECT_VERSION}\")
    set(QEL_STAGING_DIR \"${CMAKE_BINARY_DIR}/install-configured\")
    include(\"${CMAKE_SOURCE_DIR}/cmake/QelInstallConfigured.cmake\")"
    COMPONENT ${component})
endfunction()

# --- dev --------------------------------------------------------------------------------
install(FILES ${QEL_INCLUDE_DIR}/qelConnectionServer.h ${QEL_INCLUDE_DIR}/qelSessionConfigSvcs.h
              ${QEL_INCLUDE_DIR}/mslLogSink.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
qel_install_configured(${QEL_PACKAGE_DIR}/pkgconfig/qelConnectionServer.pc.in
                       LIBDIR pkgconfig dev)

configure_package_config_file(${QEL_PACKAGE_DIR}/cmake/qelConnectionServerConfig.cmake.in
  ${CMAKE_BINARY_DIR}/packaging/qelConnectionServerConfig.cmake
  INSTALL_DESTINATION ${QEL_CMAKE_PACKAGE_DIR})
# The library generation is in its name: any 5.x satisfies find_package(... 5).
write_basic_package_version_file(${CMAKE_BINARY_DIR}/packaging/qelConnectionServerConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/packaging/qelConnectionServerConfig.cmake
              ${CMAKE_BINARY_DIR}/packaging/qelConnectionServerConfigVersion.cmake
        DESTINATION ${QEL_CMAKE_PACKAGE_DIR} COMPONENT dev)
install(EXPORT qelConnectionServerTargets NAMESPACE qel::
        DESTINATION ${QEL_CMAKE_PACKAGE_DIR} COMPONENT dev)

# --- tools ------------------------------------------------------------------------------
foreach(program qelcs-host qelcs-remote qel-sign)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
  endif()
endforeach()
qel_install_configured(${QEL_PACKAGE_DIR}/systemd/qelcs-host.service.in
                       PREFIX "${QEL_SYSTEMD_UNIT_DIR}" tools)
qel_install_configured(${QEL_PACKAGE_DIR}/systemd/qelcs-remote@.service.in
                       PREFIX "${QEL_SYSTEMD_UNIT_DIR}" tools)
qel_install_configured(${QEL_PACKAGE_DIR}/config/qelcs-host.conf.in
                       SYSCONFDIR qelcs-host tools)
qel_install_configured(${QEL_PACKAGE_DIR}/config/qelcs-remote.conf.in
                       DATADIR qelConnectionServer/examples tools)
install(FILES ${QEL_PACKAGE_DIR}/examples/nginx-qelcs-poll.conf
        DESTINATION ${QEL_DATA_INSTALL_DIR}/examples COMPONENT tools)
# The folder of the remote clients' NAME.conf files, which the unit names.
qel_install_configured("" SYSCONFDIR qelcs-remote tools)
qel_install_configured(${QEL_PACKAGE_DIR}/logrotate/qelconnectionserver-tools.in
                       SYSCONFDIR logrotate.d tools)
# Man pages, plain roff written by hand: nothing to build.
foreach(page qelcs-host.8 qelcs-remote.8 qel-sign.1 qelcs-host.conf.5 qelcs-remote.conf.5)
  string(REGEX MATCH "[0-9]$" section ${page})
  install(FILES ${CMAKE_SOURCE_DIR}/docs/man/${page}
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT tools)
endforeach()

# `cmake --build <build> --target qel_installable` builds exactly what is installed; the
# signing target is defined at the end of the configure step, hence the deferred call.
add_custom_target(qel_installable)
foreach(target qelConnectionServer5 qelSessionConfigSvcs5 qel_catalog qelcs-host qelcs-remote qel-sign)
  if(TARGET ${target})
    add_dependencies(qel_installable ${target})
  endif()
endforeach()
# `--target qel_host_runnable` builds what qelcs-host needs to serve from the build
# tree (scripts/run-host.sh): the host, both libraries, the catalog and the signature,
# and qelcs-remote, which the host's start-up hints run.
add_custom_target(qel_host_runnable)
foreach(target qelConnectionServer5 qelSessionConfigSvcs5 qel_catalog qelcs-host qelcs-remote)
  if(TARGET ${target})
    add_dependencies(qel_host_runnable ${target})
  endif()
endforeach()
function(qel_installable_add_signature)
  if(TARGET qel_sign_service_library)
    add_dependencies(qel_installable qel_sign_service_library)
    add_dependencies(qel_host_runnable qel_sign_service_library)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL qel_installable_add_signature)
