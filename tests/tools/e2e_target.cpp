// The local target service of the end-to-end tests.
#include "e2e_target.h"

#include <microhttpd.h>

#include <cstdlib>
#include <cstring>
#include <netinet/in.h>

#include "e2e_support.h"

namespace e2e {

namespace {

unsigned status_for(const char* path) {
  const char* prefix = "/status/";
  if (std::strncmp(path, prefix, std::strlen(prefix)) == 0)
    return static_cast<unsigned>(std::atoi(path + std::strlen(prefix)));
  return 201;
}

MHD_Result answer(MHD_Connection* connection, const char* method, const char* path,
                  const std::string& body) {
  const std::string text = std::string("target ") + method + " " + path + " " + body;
  MHD_Response* response = MHD_create_response_from_buffer(
      text.size(), const_cast<char*>(text.data()), MHD_RESPMEM_MUST_COPY);
  MHD_add_response_header(response, "Content-Type", "text/x-target");
  const MHD_Result result = MHD_queue_response(connection, status_for(path), response);
  MHD_destroy_response(response);
  return result;
}

// Collects the body across calls, then answers.
MHD_Result on_request(void* counter, MHD_Connection* connection, const char* path,
                      const char* method, const char*, const char* data, size_t* size,
                      void** state) {
  auto* body = static_cast<std::string*>(*state);
  if (body == nullptr) {
    *state = new std::string();
    return MHD_YES;
  }
  if (*size != 0) {
    body->append(data, *size);
    *size = 0;
    return MHD_YES;
  }
  ++*static_cast<std::atomic<int>*>(counter);
  return answer(connection, method, path, *body);
}

void on_completed(void*, MHD_Connection*, void** state, MHD_RequestTerminationCode) {
  delete static_cast<std::string*>(*state);
  *state = nullptr;
}

}  // namespace

local_target::local_target() : port_(free_port()) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port_));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  daemon_ = MHD_start_daemon(MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_POLL, 0, nullptr,
                             nullptr, &on_request, &requests_, MHD_OPTION_SOCK_ADDR, &address,
                             MHD_OPTION_NOTIFY_COMPLETED, &on_completed, nullptr,
                             MHD_OPTION_CONNECTION_LIMIT, 4000u, MHD_OPTION_END);
}

local_target::~local_target() {
  if (daemon_ != nullptr) MHD_stop_daemon(daemon_);
}

}  // namespace e2e
