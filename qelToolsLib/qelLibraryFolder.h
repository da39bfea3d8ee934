// qelLibraryFolder.h - the folder of the object file this code is linked into (the
// shared library in a host, the program in a unit test), found with dladdr, so that
// files installed beside the library (the service library, the message catalog) are
// found whatever the working directory is. Any thread.
#pragma once

#include <string>

namespace qelToolsLib {

// The folder, without a trailing slash ("/" for the root); "." when it cannot be told.
std::string qelLibraryFolder();

}  // namespace qelToolsLib
