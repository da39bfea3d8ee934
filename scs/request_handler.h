// The libmicrohttpd callbacks of an HttpDaemon: every request passes through
// request_access on its connection thread, which checks it, buffers its body against
// the endpoint's limit, runs the registered callback and queues the answer; and
// request_completed, which frees the request's state however the request ended
// (answered, client gone, daemon stopped).
#pragma once

#include <microhttpd.h>

#include <cstddef>

namespace qel::scs {

// `side` (the cls of both) is the DaemonSide of the libmicrohttpd daemon calling.
MHD_Result request_access(void* side, MHD_Connection* connection, const char* url,
                          const char* method, const char* version, const char* upload_data,
                          std::size_t* upload_data_size, void** request_state) noexcept;

void request_completed(void* side, MHD_Connection* connection, void** request_state,
                       MHD_RequestTerminationCode reason) noexcept;

// True on a connection thread while it runs a registered callback.
bool inside_callback();

}  // namespace qel::scs
