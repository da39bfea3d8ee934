// The local target service of the end-to-end tests.
#include "e2e_target.h"

#include <microhttpd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
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

MHD_Result answer_as_older_host(MHD_Connection* connection, local_target::counts& counts) {
  const char* id = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "X-QEL-Message-Id");
  const bool join = id != nullptr && std::strcmp(id, "join") == 0;
  if (join) {
    ++counts.joins;
  } else {
    ++counts.requests;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  MHD_Response* response = MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT);
  const MHD_Result result = MHD_queue_response(connection, join ? 500 : 200, response);
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
  auto& counts = *static_cast<local_target::counts*>(counter);
  if (counts.older_host) return answer_as_older_host(connection, counts);
  ++counts.requests;
  const int now = ++counts.in_flight;
  for (int most = counts.most_at_once.load(); now > most && !counts.most_at_once.compare_exchange_weak(most, now);) {
  }
  if (body->rfind("sleep ", 0) == 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(body->c_str() + 6)));
  --counts.in_flight;
  return answer(connection, method, path, *body);
}

void on_completed(void*, MHD_Connection*, void** state, MHD_RequestTerminationCode) {
  delete static_cast<std::string*>(*state);
  *state = nullptr;
}

}  // namespace

local_target::local_target(bool older_host) : port_(free_port()) {
  counts_.older_host = older_host;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port_));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  daemon_ = MHD_start_daemon(MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_THREAD_PER_CONNECTION |
                                 MHD_USE_POLL,
                             0, nullptr, nullptr, &on_request, &counts_, MHD_OPTION_SOCK_ADDR, &address,
                             MHD_OPTION_NOTIFY_COMPLETED, &on_completed, nullptr,
                             MHD_OPTION_CONNECTION_LIMIT, 4000u, MHD_OPTION_END);
}

local_target::~local_target() {
  if (daemon_ != nullptr) MHD_stop_daemon(daemon_);
}

}  // namespace e2e
