#include "fake_scs.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "mslLoader/mslLoader_qelSessionConfigSvcs.h"
#include "qelConnectionServer/listener.h"

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
  const uint32_t allowed = shared().strict ? 0 : SCS_POST_NEVER_BLOCKS;
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

}  // namespace

void install(bool extended) {
  SetQelSessionConfigSvcsExtended(extended);
  {
    std::lock_guard<std::mutex> guard(shared().mutex);
    state& s = shared();
    s.strict = false;
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
  const uint32_t rc = qel::funneltunnel::POST_request_callback(
      1, token, posted, body ? static_cast<uint32_t>(body->size()) : 0, &data, &length, &request);
  std::lock_guard<std::mutex> guard(requests_mutex);
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
