// A TCP port on 127.0.0.1 that was free a moment ago (bound to port 0 and released).
#ifndef QEL_TESTS_SUPPORT_FREE_PORT_H
#define QEL_TESTS_SUPPORT_FREE_PORT_H

namespace qeltest {

int free_port();  // 0 when no port could be bound

}  // namespace qeltest

#endif  // QEL_TESTS_SUPPORT_FREE_PORT_H
