# Runs while installing (from qel_install_configured in QelInstall.cmake), when the
# prefix is final: fills in a template's @VARIABLES@ with the absolute install folders
# for CMAKE_INSTALL_PREFIX and installs the result (DESTDIR is honoured by file(INSTALL)).
#
# Inputs: QEL_TEMPLATE (empty: only make the folder), QEL_DIR_NAME (a GNUInstallDirs
# name or PREFIX), QEL_SUBFOLDER,
# QEL_RELATIVE_DIRS ("BINDIR=bin;..." as configured), QEL_SYSTEMD_UNIT_DIR,
# QEL_PROJECT_VERSION, QEL_STAGING_DIR.
# Variables a template may use: PREFIX BINDIR LIBDIR INCLUDEDIR DATADIR SYSCONFDIR
# (absolute), PC_LIBDIR PC_INCLUDEDIR (relative to ${prefix} when inside it), VERSION.
cmake_policy(PUSH)
cmake_policy(SET CMP0054 NEW)  # "PREFIX" below is a word, not the variable of that name

foreach(entry IN LISTS QEL_RELATIVE_DIRS)
  string(REGEX MATCH "^([A-Z]+)=(.*)$" _ "${entry}")
  set(CMAKE_INSTALL_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
endforeach()
include(GNUInstallDirs)  # computes CMAKE_INSTALL_FULL_* for the prefix of this install

set(PREFIX "${CMAKE_INSTALL_PREFIX}")
foreach(name BINDIR LIBDIR INCLUDEDIR DATADIR SYSCONFDIR)
  set(${name} "${CMAKE_INSTALL_FULL_${name}}")
endforeach()
set(VERSION "${QEL_PROJECT_VERSION}")

# pkg-config paths read best as ${prefix}/...; one outside the prefix stays absolute.
foreach(name LIBDIR INCLUDEDIR)
  set(PC_${name} "${${name}}")
  string(FIND "${${name}}" "${PREFIX}/" at)
  if(at EQUAL 0)
    string(LENGTH "${PREFIX}/" skip)
    string(SUBSTRING "${${name}}" ${skip} -1 inside)
    set(PC_${name} "\${prefix}/${inside}")
  endif()
endforeach()

if(QEL_DIR_NAME STREQUAL "PREFIX")
  if(IS_ABSOLUTE "${QEL_SUBFOLDER}")
    set(destination "${QEL_SUBFOLDER}")
  else()
    set(destination "${PREFIX}/${QEL_SUBFOLDER}")
  endif()
else()
  set(destination "${CMAKE_INSTALL_FULL_${QEL_DIR_NAME}}/${QEL_SUBFOLDER}")
endif()
if(NOT IS_ABSOLUTE "${destination}")
  message(FATAL_ERROR "${QEL_TEMPLATE}: no install folder named ${QEL_DIR_NAME}")
endif()

if(QEL_TEMPLATE STREQUAL "")  # a folder only
  message(STATUS "Installing: $ENV{DESTDIR}${destination}")
  file(MAKE_DIRECTORY "$ENV{DESTDIR}${destination}")
  cmake_policy(POP)
  return()
endif()

# One staging folder per destination root, so two installs at once do not mix.
string(MD5 root_key "$ENV{DESTDIR}|${PREFIX}")
get_filename_component(name "${QEL_TEMPLATE}" NAME)
string(REGEX REPLACE "\\.in$" "" name "${name}")
set(staged "${QEL_STAGING_DIR}/${root_key}/${name}")
configure_file("${QEL_TEMPLATE}" "${staged}" @ONLY)
file(INSTALL DESTINATION "${destination}" TYPE FILE FILES "${staged}")
cmake_policy(POP)
