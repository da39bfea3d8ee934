#include "fake_scs.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "mslLoader/mslLoader_qelSessionConfigSvcs.h"
#include "qelConnectionServer/listener.h"
#include "qelConnectionServer/pending_answers.h"

namespace fake_scs {
namespace {

struct request_record {
  std::map<std::string, std::string> in;
  response out;
};

state& shared() {
  static state s;
  return s;
}

std::mutex requests_mutex;
std::map<uint32_t, request_record> requests;
uint32_t next_request = 100;

// A request whose callback returned "pending", until post() has read its completion.
struct later_record {
  bool done = false;
  uint32_t status = 0;
  std::string body;
  SCS_GONE_CALLBACK gone = nullptr;
  void* context = nullptr;
};
std::condition_variable later_done;  // with requests_mutex
std::map<uint32_t, later_record> later;

void* allocate(uint32_t size) {
  if (shared().fail_allocate) return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}
void release(void* block) {
  if (block == nullptr) return;
  {
    std::lock_guard<std::mutex> guard(shared().mutex);
    ++shared().frees;
  }
  std::free(block);
}
uint32_t server_init(const char*, const char*, const char*, const mslLogSink*) {
  std::lock_guard<std::mutex> guard(shared().mutex);
  ++shared().init_calls;
  return 0;
}
uint32_t add_listener(const char* s1, const char* s2, uint32_t* handle) {
  std::lock_guard<std::mutex> guard(shared().mutex);
  state& s = shared();
  if (++s.add_listener_calls == s.fail_add_listener_at) return 0xC7210107u;
  *handle = s.next_listener++;
  s.listener_settings.push_back(std::string(s1) + "|" + s2);
  return 0;
}
uint32_t register_post(uint32_t listener, const char* resource, uint32_t token,
                       SCS_POST_CALLBACK callback, uint32_t mode) {
  std::lock_guard<std::mutex> guard(shared().mutex);
  const uint32_t allowed = shared().strict ? 0
                           : SCS_POST_NEVER_BLOCKS | (shared().completes_later ? SCS_POST_COMPLETES_LATER : 0);
  if ((mode & ~allowed) != SCS_POST_MODE_BUFFERED) return 0xC7210101u;
  if (shared().fail_register == resource) return 0xC721010Eu;
  shared().registrations.push_back({listener, resource, token, callback, mode});
  return 0;
}
uint32_t start(uint32_t listener) {
  std::lock_guard<std::mutex> guard(shared().mutex);
  ++shared().starts[listener];
  return 0;
}
uint32_t stop(uint32_t listener) {
  std::lock_guard<std::mutex> guard(shared().mutex);
  shared().stopped.push_back(listener);
  return 0;
}
uint32_t quiesce(uint32_t listener) {
  std::lock_guard<std::mutex> guard(shared().mutex);
  shared().quiesced.push_back(listener);
  return 0;
}
uint32_t remove(uint32_t listener) {
  std::lock_guard<std::mutex> guard(shared().mutex);
  shared().removed.push_back(listener);
  return 0;
}
uint32_t get_header(uint32_t request, const char* name, uint32_t flags, char** value) {
  {
    std::lock_guard<std::mutex> guard(shared().mutex);
    shared().header_flags.push_back(flags);
    if (shared().strict && flags != 0) return 0xC7210103u;
  }
  std::lock_guard<std::mutex> guard(requests_mutex);
  auto& in = requests.at(request).in;
  auto found = in.find(name);
  if (found == in.end()) return 0xC7210104u;
  *value = static_cast<char*>(std::malloc(found->second.size() + 1));
  std::memcpy(*value, found->second.c_str(), found->second.size() + 1);
  return 0;
}
uint32_t add_header(uint32_t request, const char* name, const char* value) {
  std::lock_guard<std::mutex> guard(requests_mutex);
  requests.at(request).out.headers[name] = value;
  return 0;
}
uint32_t set_status(uint32_t request, uint16_t status) {
  std::lock_guard<std::mutex> guard(requests_mutex);
  requests.at(request).out.status = status;
  return 0;
}

uint32_t complete_request(uint32_t request, uint32_t status, uint8_t* body, uint32_t length) {
  std::lock_guard<std::mutex> guard(requests_mutex);
  const auto it = later.find(request);
  if (it == later.end() || it->second.done) {
    std::free(body);
    return SCS_STATUS_UNKNOWN_REQUEST;
  }
  it->second.done = true;
  it->second.status = status;
  if (body != nullptr) it->second.body.assign(reinterpret_cast<char*>(body), length);
  std::free(body);
  it->second.gone = nullptr;  // the library ends the watch with the request
  later_done.notify_all();
  return 0;
}
uint32_t watch_request(uint32_t request, SCS_GONE_CALLBACK gone, void* context) {
  std::lock_guard<std::mutex> guard(requests_mutex);
  const auto it = later.find(request);
  if (it == later.end() || it->second.done) return SCS_STATUS_UNKNOWN_REQUEST;
  it->second.gone = gone;
  it->second.context = context;
  return 0;
}
uint32_t unwatch_request(uint32_t request) {
  std::lock_guard<std::mutex> guard(requests_mutex);
  const auto it = later.find(request);
  if (it != later.end()) it->second.gone = nullptr;
  return 0;
}

SCS_POST_CALLBACK callback_for(uint32_t token) {
  std::lock_guard<std::mutex> guard(shared().mutex);
  for (auto r = shared().registrations.rbegin(); r != shared().registrations.rend(); ++r)
    if (r->token == token) return r->callback;
  return &qel::funneltunnel::POST_request_callback;  // tokens dispatched by hand
}

}  // namespace

std::vector<uint32_t> pending_handles(bool watched_only) {
  std::lock_guard<std::mutex> guard(requests_mutex);
  std::vector<uint32_t> handles;
  for (const auto& [handle, record] : later)
    if (!record.done && (!watched_only || record.gone != nullptr)) handles.push_back(handle);
  return handles;
}

void client_leaves(uint32_t handle) {
  SCS_GONE_CALLBACK gone = nullptr;
  void* context = nullptr;
  {
    std::lock_guard<std::mutex> guard(requests_mutex);
    const auto it = later.find(handle);
    if (it == later.end()) return;
    gone = it->second.gone;
    context = it->second.context;
  }
  if (gone != nullptr) gone(context);
}

void listener_answers_pending() {
  std::lock_guard<std::mutex> guard(requests_mutex);
  for (auto& [handle, record] : later) {
    if (record.done) continue;
    record.done = true;
    record.gone = nullptr;
    requests[handle].out.status = 503;
    record.body = "the server is stopping";
  }
  later_done.notify_all();
}

void set_next_request(uint32_t handle) {
  std::lock_guard<std::mutex> guard(requests_mutex);
  next_request = handle;
}

void install(bool extended) {
  SetQelSessionConfigSvcsExtended(extended);
  {
    std::lock_guard<std::mutex> guard(shared().mutex);
    state& s = shared();
    s.strict = false;
    s.completes_later = false;
    s.header_flags.clear();
    s.next_listener = 1;
    s.fail_add_listener_at = 0;
    s.add_listener_calls = 0;
    s.fail_allocate = false;
    s.fail_register.clear();
    s.listener_settings.clear();
    s.registrations.clear();
    s.starts.clear();
    s.stopped.clear();
    s.removed.clear();
    s.quiesced.clear();
    s.init_calls = 0;
    s.frees = 0;
  }
  auto& t = g_qelSessionConfigSvcs;
  t.SCS_Allocate = &allocate;
  t.SCS_Free = &release;
  t.SCS_SERVER_Init = &server_init;
  t.SCS_SERVER_AddListener = &add_listener;
  t.SCS_SERVER_RegisterOnPostData = &register_post;
  t.SCS_SERVER_StartServer = &start;
  t.SCS_SERVER_StopServer = &stop;
  t.SCS_SERVER_RemoveListener = &remove;
  t.SCS_SERVER_QuiesceServer = &quiesce;
  t.SCS_SERVER_GetRequestHeader = &get_header;
  t.SCS_SERVER_AddResponseHeader = &add_header;
  t.SCS_SERVER_SetHttpStatus = &set_status;
  t.SCS_SERVER_CompleteRequest = &complete_request;
  t.SCS_SERVER_WatchRequest = &watch_request;
  t.SCS_SERVER_UnwatchRequest = &unwatch_request;
}

state& get() { return shared(); }

uint32_t load(const char*) { return 0; }

registration last_registration(const std::string& resource) {
  std::lock_guard<std::mutex> guard(shared().mutex);
  for (auto r = shared().registrations.rbegin(); r != shared().registrations.rend(); ++r) {
    if (r->resource == resource) return *r;
  }
  throw std::runtime_error("no registration for " + resource);
}

response post(uint32_t token, const std::string& resource,
              const std::map<std::string, std::string>& headers, const std::string* body) {
  SCS_REQUEST request{};
  request.struct_size = sizeof request;
  request.resource = resource.c_str();
  request.method = "POST";
  {
    std::lock_guard<std::mutex> guard(requests_mutex);
    request.request_handle = next_request++;
    requests[request.request_handle].in = headers;
  }
  uint8_t* data = nullptr;
  uint32_t length = 0xFFFFFFFFu;
  const auto* posted = body ? reinterpret_cast<const uint8_t*>(body->data()) : nullptr;
  {
    std::lock_guard<std::mutex> guard(requests_mutex);
    later[request.request_handle] = later_record{};  // a completion may come at once
  }
  uint32_t rc = callback_for(token)(1, token, posted, body ? static_cast<uint32_t>(body->size()) : 0,
                                    &data, &length, &request);
  std::unique_lock<std::mutex> guard(requests_mutex);
  if (rc == SCS_STATUS_PENDING) {
    const bool done = later_done.wait_for(guard, std::chrono::seconds(30),
                                          [&] { return later[request.request_handle].done; });
    if (done) {
      const later_record& record = later[request.request_handle];
      rc = record.status;
      length = static_cast<uint32_t>(record.body.size());
      data = static_cast<uint8_t*>(std::malloc(length == 0 ? 1 : length));
      std::memcpy(data, record.body.data(), length);
    }
  }
  later.erase(request.request_handle);
  response out = requests[request.request_handle].out;
  requests.erase(request.request_handle);
  out.rc = rc;
  if (length != 0xFFFFFFFFu) {
    out.body_set = true;
    if (data != nullptr) out.body.assign(reinterpret_cast<char*>(data), length);
  }
  std::free(data);
  return out;
}

}  // namespace fake_scs
