// The recording poll resource of the end-to-end tests.
#include "e2e_poll_recorder.h"

#include <microhttpd.h>
#include <netinet/in.h>

#include <chrono>
#include <thread>

#include "e2e_support.h"

namespace e2e {

namespace {

MHD_Result on_request(void* recorder, MHD_Connection* connection, const char*, const char*,
                      const char*, const char*, size_t* size, void** state) {
  if (*state == nullptr) {
    *state = connection;  // the first call only announces the request
    return MHD_YES;
  }
  if (*size != 0) {
    *size = 0;  // the body is not needed
    return MHD_YES;
  }
  const char* authorization = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Authorization");
  static_cast<poll_recorder*>(recorder)->record(authorization != nullptr ? authorization : "");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  MHD_Response* response = MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT);
  const MHD_Result result = MHD_queue_response(connection, 200, response);
  MHD_destroy_response(response);
  return result;
}

}  // namespace

poll_recorder::poll_recorder() : port_(free_port()) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port_));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  daemon_ = MHD_start_daemon(MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_THREAD_PER_CONNECTION | MHD_USE_POLL,
                             0, nullptr, nullptr, &on_request, this, MHD_OPTION_SOCK_ADDR, &address,
                             MHD_OPTION_END);
}

poll_recorder::~poll_recorder() {
  if (daemon_ != nullptr) MHD_stop_daemon(daemon_);
}

std::vector<std::string> poll_recorder::authorizations() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return seen_;
}

void poll_recorder::record(const std::string& authorization) {
  std::lock_guard<std::mutex> lock(mutex_);
  seen_.push_back(authorization);
}

}  // namespace e2e
