// Raw TCP exchanges with a server on 127.0.0.1, for bytes that no well-behaved HTTP
// client would send. Any thread.
#ifndef QEL_TESTS_SUPPORT_RAW_SOCKET_H
#define QEL_TESTS_SUPPORT_RAW_SOCKET_H

#include <string>

namespace qeltest {

// A connected TCP socket to 127.0.0.1:port, or -1.
int connect_local(int port);
bool send_all(int fd, const std::string& bytes);
// Reads until the peer closes or `seconds` pass.
std::string read_all(int fd, int seconds);
// True when the peer closes the connection within `seconds` (data is discarded).
bool wait_closed(int fd, int seconds);
// connect_local + send_all + read_all (5 s) + close.
std::string raw_exchange(int port, const std::string& bytes);
// The status code of the first response line of a raw answer, or 0.
int raw_status(const std::string& answer);

}  // namespace qeltest

#endif  // QEL_TESTS_SUPPORT_RAW_SOCKET_H
