// Checking file access as another user.
#include "user_access.h"

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace qel {
namespace tools {

namespace {

constexpr int identity_failed = -1;  // the child could not take the user's identity

// errno of access(path, R_OK) for each path, in the calling process.
std::vector<int> try_paths(const std::vector<std::string>& paths) {
  std::vector<int> results;
  for (const std::string& path : paths) results.push_back(access(path.c_str(), R_OK) == 0 ? 0 : errno);
  return results;
}

bool write_all(int fd, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = write(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// The same, in a child process that runs as `user`. Only system calls after the fork.
std::vector<int> try_paths_as(const std::vector<std::string>& paths, const run_user& user) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return std::vector<int>(paths.size(), errno);
  std::vector<const char*> names;
  for (const std::string& path : paths) names.push_back(path.c_str());
  const pid_t child = fork();
  if (child == 0) {
    close(pipe_fds[0]);
    int result = 0;
    if (setgroups(user.groups.size(), user.groups.data()) != 0 ||
        setresgid(user.gid, user.gid, user.gid) != 0 || setresuid(user.uid, user.uid, user.uid) != 0) {
      result = identity_failed;
      write_all(pipe_fds[1], &result, sizeof result);
      _exit(1);
    }
    for (const char* name : names) {
      result = access(name, R_OK) == 0 ? 0 : errno;
      if (!write_all(pipe_fds[1], &result, sizeof result)) _exit(1);
    }
    _exit(0);
  }
  close(pipe_fds[1]);
  std::vector<int> results;
  int result = 0;
  while (results.size() < paths.size() && read(pipe_fds[0], &result, sizeof result) == sizeof result) {
    if (result == identity_failed) break;
    results.push_back(result);
  }
  close(pipe_fds[0]);
  if (child > 0) waitpid(child, nullptr, 0);
  results.resize(paths.size(), EPERM);  // could not check: say so rather than pass
  return results;
}

}  // namespace

bool find_user(const std::string& name, run_user& user, std::string& error) {
  passwd entry{}, *found = nullptr;
  std::vector<char> buffer(16384);
  char* end = nullptr;
  const unsigned long number = std::strtoul(name.c_str(), &end, 10);
  const bool numeric = !name.empty() && end != nullptr && *end == '\0';
  if (numeric) getpwuid_r(static_cast<uid_t>(number), &entry, buffer.data(), buffer.size(), &found);
  else getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found);
  if (found == nullptr) {
    error = "no user '" + name + "' on this system";
    return false;
  }
  user.name = entry.pw_name;
  user.uid = entry.pw_uid;
  user.gid = entry.pw_gid;
  int count = 64;
  user.groups.assign(static_cast<size_t>(count), 0);
  if (getgrouplist(entry.pw_name, entry.pw_gid, user.groups.data(), &count) < 0) {
    user.groups.assign(static_cast<size_t>(count), 0);
    getgrouplist(entry.pw_name, entry.pw_gid, user.groups.data(), &count);
  }
  user.groups.resize(static_cast<size_t>(count));
  return true;
}

run_user current_user() {
  run_user user;
  std::string error;
  if (!find_user(std::to_string(geteuid()), user, error)) {
    user.name = std::to_string(geteuid());
    user.uid = geteuid();
    user.gid = getegid();
  }
  return user;
}

std::vector<std::string> read_failures(const std::vector<std::string>& paths, const run_user& user,
                                       std::string& note) {
  std::vector<int> results;
  if (user.uid == geteuid()) {
    results = try_paths(paths);
  } else if (geteuid() == 0) {
    results = try_paths_as(paths, user);
  } else {
    note = "checking as user '" + user.name + "' needs root; checked as user '" + current_user().name + "'";
    results = try_paths(paths);
  }
  std::vector<std::string> failures;
  for (int result : results) failures.push_back(result == 0 ? "" : std::strerror(result));
  return failures;
}

}  // namespace tools
}  // namespace qel
