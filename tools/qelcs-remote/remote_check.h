// qelcs-remote --check-config: the options have been parsed (the parser has named any
// fault by file, line and key); this checks every file they name as the user the
// client will run as (--user, else the user running the check), prints the effective
// configuration to stdout and returns the exit code: 0 valid, 1 not. Main thread,
// before any other thread starts (the access check forks).
#ifndef QELCS_REMOTE_REMOTE_CHECK_H
#define QELCS_REMOTE_REMOTE_CHECK_H

#include "remote_options.h"

namespace qelcs_remote {

int check_remote_config(const remote_options& options);

}  // namespace qelcs_remote

#endif  // QELCS_REMOTE_REMOTE_CHECK_H
