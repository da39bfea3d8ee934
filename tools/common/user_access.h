// Whether the user a service will run as can read the files its configuration names,
// for --check-config: a check run as root must not pass files that the service's own
// user cannot open ("Permission denied" at start). Plain functions for the main thread,
// before other threads start (the check forks).
#ifndef QEL_TOOLS_USER_ACCESS_H
#define QEL_TOOLS_USER_ACCESS_H

#include <sys/types.h>

#include <string>
#include <vector>

namespace qel {
namespace tools {

struct run_user {
  std::string name;
  uid_t uid = 0;
  gid_t gid = 0;
  std::vector<gid_t> groups;  // supplementary groups, the primary one included
};

// The user named `name` (a login name or a number), with its groups. False with `error`
// when the system knows no such user.
bool find_user(const std::string& name, run_user& user, std::string& error);
// The user this process runs as.
run_user current_user();

// For each path, "" when `user` may read it, else the cause ("Permission denied").
// When this process is root, a child process takes the user's identity (groups, group,
// user) and tries each path, so the kernel decides: permission bits, ACLs and every
// folder on the way. Otherwise only this process's own access can be checked: for
// another user `note` says so and the paths are checked as this process.
std::vector<std::string> read_failures(const std::vector<std::string>& paths, const run_user& user,
                                       std::string& note);

}  // namespace tools
}  // namespace qel

#endif  // QEL_TOOLS_USER_ACCESS_H
