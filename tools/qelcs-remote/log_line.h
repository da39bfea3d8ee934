// One line to stderr, prefixed "qelcs-remote: ". Each line is one fprintf call, which
// stdio serialises, so any thread may log.
#ifndef QELCS_REMOTE_LOG_LINE_H
#define QELCS_REMOTE_LOG_LINE_H

#include <cstdio>
#include <string>

namespace qelcs_remote {

inline void log_line(const std::string& text) {
  std::fprintf(stderr, "qelcs-remote: %s\n", text.c_str());
}

}  // namespace qelcs_remote

#endif  // QELCS_REMOTE_LOG_LINE_H
