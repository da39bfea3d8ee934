// Where qelcs-host finds the connection server library when --library is not given:
// beside the program, through the path from the programs' install folder to the
// libraries' install folder (compiled in from the install layout), so an installed
// host needs no LD_LIBRARY_PATH; in a build tree, in ../lib. Stateless; any thread.
#ifndef QELCS_HOST_LIBRARY_LOCATION_H
#define QELCS_HOST_LIBRARY_LOCATION_H

#include <string>

namespace qelcs_host {

// The installed location when the file is there, else the build tree's when that one
// is, else the installed location (so the load error names where it was expected).
std::string default_library_path();

// The same rule in words, for --help.
std::string default_library_description();

// How to run the qelcs-remote beside this program from the working folder, for the
// start-up hints: "qelcs-remote" when PATH finds that very program, else its path
// (relative when it lies inside the working folder, as build/bin/qelcs-remote does for
// scripts/run-host.sh run from the source tree).
std::string remote_client_command();

}  // namespace qelcs_host

#endif  // QELCS_HOST_LIBRARY_LOCATION_H
