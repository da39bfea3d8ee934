// The benchmark's target service.
#include "tunnel_target.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>

namespace tunnel_bench {

namespace {

const char answer_text[] = "answer from the target";

// Reads (and drops) the body, then answers.
MHD_Result on_request(void*, MHD_Connection* connection, const char*, const char*, const char*,
                      const char*, size_t* size, void** state) {
  static int marker;
  if (*state == nullptr) {
    *state = &marker;
    return MHD_YES;
  }
  if (*size != 0) {
    *size = 0;
    return MHD_YES;
  }
  MHD_Response* response = MHD_create_response_from_buffer(
      sizeof answer_text - 1, const_cast<char*>(answer_text), MHD_RESPMEM_PERSISTENT);
  const MHD_Result result = MHD_queue_response(connection, MHD_HTTP_OK, response);
  MHD_destroy_response(response);
  return result;
}

}  // namespace

target_service::target_service(int port) : port_(port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  daemon_ = MHD_start_daemon(MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL, 0, nullptr, nullptr,
                             &on_request, nullptr, MHD_OPTION_SOCK_ADDR, &address,
                             MHD_OPTION_CONNECTION_LIMIT, 8000u, MHD_OPTION_END);
}

target_service::~target_service() {
  if (daemon_ != nullptr) MHD_stop_daemon(daemon_);
}

}  // namespace tunnel_bench
