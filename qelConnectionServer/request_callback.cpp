// The POST callback and the transaction it builds from a request.
#include <strings.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>

#include "mslLoader/mslLoader_qelSessionConfigSvcs.h"
#include "qelConnectionServer/boundary.h"
#include "qelConnectionServer/extension_headers.h"
#include "qelConnectionServer/known_headers.h"
#include "qelConnectionServer/listener.h"
#include "qelConnectionServer/pending_answers.h"
#include "qelConnectionServer/request_body_policy.h"
#include "qelConnectionServer/token_table.h"
#include "qelConnectionServer/trace_text.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {
namespace {

// Owns a header value handed out by the service library until it is released.
class scs_value {
 public:
  scs_value() = default;
  ~scs_value() { release(); }
  scs_value(const scs_value&) = delete;
  scs_value& operator=(const scs_value&) = delete;
  char** address() { return &value; }
  const char* get() const { return value; }
  void release() {
    if (value == nullptr) return;
    g_qelSessionConfigSvcs.SCS_Free(value);
    value = nullptr;
  }

 private:
  char* value = nullptr;
};

// One known header into the transaction; traces under create_transaction's block.
// `value` belongs to the caller so that a failure can still report and free it.
void copy_request_header(ud_block_ref block, const SCS_REQUEST& request, const char* name,
                         scs_value& value, raw_transaction& t) {
  UD_USE_BLOCK(block);
  UD_TRACE(42000, "processing header %s", name);
  // The two headers that route an answer must not be read two ways: a service library of
  // this family tells when one appears twice, and the first value is still taken for
  // other uses. Any other library gets the standard flags (0).
  const bool routing =
      std::strcmp(name, header_message_id) == 0 || std::strcmp(name, header_status_code) == 0;
  const uint32_t flags = routing && QelSessionConfigSvcsExtended() ? SCS_HEADER_SINGLE : 0;
  uint32_t rc = g_qelSessionConfigSvcs.SCS_SERVER_GetRequestHeader(request.request_handle, name,
                                                                   flags, value.address());
  if (rc == SCS_STATUS_DUPLICATE_HEADER) {
    UD_TRACE(40000, "header %s appears twice", name);
    t.mark_duplicate_tunnel_header();
  }
  if (rc != 0 && flags != 0) {  // doubled, or a library that refuses the flag after all
    value.release();
    rc = g_qelSessionConfigSvcs.SCS_SERVER_GetRequestHeader(request.request_handle, name, 0,
                                                            value.address());
  }
  if (rc != 0 || value.get() == nullptr) {  // a missing header is simply left out
    value.release();
    return;
  }
  UD_TRACE(42000, "got header value %s", value.get());
  std::string copy(value.get());
  value.release();
  t.set_header(name, copy);
}

// An extension header into the transaction's request extensions; false when absent.
bool copy_extension_header(const SCS_REQUEST& request, const char* name, scs_value& value,
                           raw_transaction& t) {
  const uint32_t rc = g_qelSessionConfigSvcs.SCS_SERVER_GetRequestHeader(
      request.request_handle, name, 0, value.address());
  if (rc != 0 || value.get() == nullptr) {
    value.release();
    return false;
  }
  t.request_extensions[name] = value.get();
  value.release();
  return true;
}

// A request that names its remote client brings the other extension headers too; any
// other request costs one lookup more than the known headers.
void copy_extension_headers(const SCS_REQUEST& request, scs_value& value, raw_transaction& t) {
  if (!copy_extension_header(request, header_client, value, t)) return;
  for (const char* name : declared_client_headers) copy_extension_header(request, name, value, t);
}

// With a service library of this family, every header comes in one call: the known
// headers (the first of each name, a doubled routing header marked), the extension
// headers of a poll that names its client, and all of them kept for a carried request.
// False when the library cannot hand them over that way: the caller asks one by one.
bool copy_all_headers(ud_block_ref block, const SCS_REQUEST& request, raw_transaction& t) {
  UD_USE_BLOCK(block);
  if (!QelSessionConfigSvcsExtended()) return false;
  scs_value all;
  if (g_qelSessionConfigSvcs.SCS_SERVER_GetRequestHeaders(request.request_handle, all.address()) != 0 ||
      all.get() == nullptr)
    return false;
  qelToolsLib::HeaderLines lines = qelToolsLib::ParseHeaderLines(all.get());
  all.release();
  const auto first = [&](const char* name, std::size_t& count) -> const std::string* {
    const std::string* value = nullptr;
    count = 0;
    for (const auto& line : lines) {
      if (strcasecmp(line.first.c_str(), name) != 0) continue;
      if (count++ == 0) value = &line.second;
    }
    return value;
  };
  std::size_t count = 0;
  for (const char* name : known_headers) {
    UD_TRACE(42000, "processing header %s", name);
    const std::string* value = first(name, count);
    if (value == nullptr) continue;
    UD_TRACE(42000, "got header value %s", value->c_str());
    t.set_header(name, *value);
    const bool routing = std::strcmp(name, header_message_id) == 0 || std::strcmp(name, header_status_code) == 0;
    if (routing && count > 1) t.mark_duplicate_tunnel_header();
  }
  if (const std::string* client = first(header_client, count)) {
    t.request_extensions[header_client] = *client;
    for (const char* name : declared_client_headers)
      if (const std::string* value = first(name, count)) t.request_extensions[name] = *value;
  }
  t.carried.all_headers = std::move(lines);
  t.carried.have_all_headers = true;
  return true;
}

// The helpers below trace under the POST_request_callback block they are given.
void write_response_body(ud_block_ref block, const post_transaction& t, uint8_t** response,
                         uint32_t* length) {
  UD_USE_BLOCK(block);
  const std::string& body = t.response_data.text;
  const auto size = static_cast<uint32_t>(body.size());
  void* memory = g_qelSessionConfigSvcs.SCS_Allocate(size);
  *response = static_cast<uint8_t*>(memory);
  UD_TRACE(43000, "*response_data %p", memory);
  if (memory == nullptr) {
    UD_TRACE(40000, "%s", "could not allocate memory to hold response data");
    *length = 0;
    return;
  }
  if (size != 0) std::memcpy(memory, body.data(), size);
  *length = size;
  UD_TRACE(42000, "response %lu:  |%.*s|", static_cast<unsigned long>(size), trace_len(body),
           body.data());
}

void add_response_header(ud_block_ref block, uint32_t request_handle, const std::string& name,
                         const std::string& value) {
  UD_USE_BLOCK(block);
  if (g_qelSessionConfigSvcs.SCS_SERVER_AddResponseHeader(request_handle, name.c_str(), value.c_str()) != 0)
    UD_TRACE(42000, "add header %s failed", name.c_str());
}

// The plain protocol's echo: the known headers that hold a value, in list order.
void write_known_headers(ud_block_ref block, const post_transaction& t, uint32_t request_handle) {
  UD_USE_BLOCK(block);
  for (const char* name : known_headers) {
    const std::string value = t.find_header(name);
    if (value.empty()) continue;
    UD_TRACE(42000, "adding header %s = %s", name, value.c_str());
    if (g_qelSessionConfigSvcs.SCS_SERVER_AddResponseHeader(request_handle, name,
                                                            value.c_str()) != 0) {
      UD_TRACE(42000, "%s", "add header failed");
    }
  }
}

void write_response_headers(ud_block_ref block, const post_transaction& t,
                            uint32_t request_handle) {
  UD_USE_BLOCK(block);
  if (t.carried.reply_carried) {  // a carried request: the remote side's type and headers
    const std::string type = t.find_header(header_content_type);
    if (!type.empty()) add_response_header(block, request_handle, header_content_type, type);
    for (const auto& [name, value] : t.carried.reply_headers)
      add_response_header(block, request_handle, name, value);
  } else {
    write_known_headers(block, t, request_handle);
  }
  for (const auto& [name, value] : t.response_extensions)
    if (!value.empty()) add_response_header(block, request_handle, name, value);
  const auto status = static_cast<uint16_t>(t.get_status_code() & 0xFFFFu);
  if (g_qelSessionConfigSvcs.SCS_SERVER_SetHttpStatus(request_handle, status) != 0) {
    UD_TRACE(40000, "%s", "setting http status code failed");
  }
}

void set_request_body(ud_block_ref block, post_transaction& t, const uint8_t* data,
                      uint32_t data_length) {
  UD_USE_BLOCK(block);
  if (data == nullptr) return;  // no body: request_data stays empty
  UD_TRACE(43000, "posted_data %.*s", trace_len(data_length), reinterpret_cast<const char*>(data));
  std::string body(reinterpret_cast<const char*>(data), data_length);
  t.request_data = request_bodies_may_name_files() ? filestring::from_network(body)
                                                    : filestring::literal(std::move(body));
}

// The service library's watch calls this when a waiting request's client goes away.
void client_gone(void* transaction) { static_cast<raw_transaction*>(transaction)->interrupt(); }

// Watches the client's connection while its request waits, where the service library
// can; the watch ends before the transaction can go.
class client_watch {
 public:
  client_watch(uint32_t request_handle, raw_transaction& t) : handle(request_handle) {
    active = g_qelSessionConfigSvcs.SCS_SERVER_WatchRequest(handle, &client_gone, &t) == 0;
  }
  ~client_watch() {
    if (active) g_qelSessionConfigSvcs.SCS_SERVER_UnwatchRequest(handle);
  }
  client_watch(const client_watch&) = delete;
  client_watch& operator=(const client_watch&) = delete;

 private:
  const uint32_t handle;
  bool active = false;
};

std::atomic<uint32_t> callbacks_running{0};

// Counts a callback as running for its span.
class running_callback {
 public:
  running_callback() { callbacks_running.fetch_add(1, std::memory_order_relaxed); }
  ~running_callback() { callbacks_running.fetch_sub(1, std::memory_order_release); }
  running_callback(const running_callback&) = delete;
  running_callback& operator=(const running_callback&) = delete;
};

enum class outcome { answered, client_gone, timed_out };

// How long a waiting request goes without a watch on its client.
constexpr std::chrono::milliseconds unwatched_wait{50};

// Waits for the answer. A request whose client goes away or whose deadline passes is
// withdrawn: claimed by this thread, so that whoever finds it later (a poll, a late
// answer) skips it.
outcome await_answer(ud_block_ref block, raw_transaction& t, uint32_t request_handle) {
  UD_USE_BLOCK(block);
  auto deadline = t.deadline();
  // Most answers come quickly: only a request still waiting after a short while is
  // watched, which spares the watch's two system calls to every busy tunnel request.
  const auto first_look = std::min(deadline, raw_transaction::clock::now() + unwatched_wait);
  if (t.completed() || t.wait_until(first_look) == raw_transaction::wake::completed)
    return outcome::answered;
  client_watch watch(request_handle, t);
  for (;;) {
    const raw_transaction::wake woke = t.wait_until(deadline);
    if (woke == raw_transaction::wake::completed) return outcome::answered;
    if (t.withdraw()) {
      UD_TRACE(40000, "%s", woke == raw_transaction::wake::timed_out ? "caller deadline passed" : "client gone");
      return woke == raw_transaction::wake::timed_out ? outcome::timed_out : outcome::client_gone;
    }
    deadline = raw_transaction::clock::time_point::max();  // being settled: completion follows
  }
}

// A response of our own, written without touching the withdrawn transaction (another
// thread may still be reading its request side).
void write_text_response(ud_block_ref block, uint32_t request_handle, uint16_t status,
                         const std::string& text, uint8_t** response, uint32_t* length) {
  UD_USE_BLOCK(block);
  void* memory = g_qelSessionConfigSvcs.SCS_Allocate(static_cast<uint32_t>(text.size()));
  *response = static_cast<uint8_t*>(memory);
  *length = memory != nullptr ? static_cast<uint32_t>(text.size()) : 0;
  if (memory != nullptr) std::memcpy(memory, text.data(), text.size());
  g_qelSessionConfigSvcs.SCS_SERVER_AddResponseHeader(request_handle, header_content_type, "text/plain");
  if (g_qelSessionConfigSvcs.SCS_SERVER_SetHttpStatus(request_handle, status) != 0) {
    UD_TRACE(40000, "%s", "setting http status code failed");
  }
}

// `failure` names the callback: "<callback>: null argument".
void require_arguments(const char* failure, const SCS_REQUEST* request, uint8_t** response,
                       uint32_t* length) {
  if (request == nullptr || response == nullptr || length == nullptr)
    throw funneltunnel_exception(failure, status::GENERAL_FAILURE);
}

constexpr const char* timed_out_text = "qel: the remote client did not answer in time\n";
constexpr const char* caller_gone_text = "qel: the caller went away\n";

// Hands a pending request's answer to the service library; only the party that took
// the transaction out of the pending table does, so nobody else answers it.
void hand_over(ud_block_ref block, uint32_t request_handle, uint8_t* body, uint32_t length) {
  UD_USE_BLOCK(block);
  const uint32_t rc =
      g_qelSessionConfigSvcs.SCS_SERVER_CompleteRequest(request_handle, 0, body, length);
  if (rc != 0) UD_TRACE(40000, "the answer found no request (its listener stopped): %x", rc);
}

// The completion of a transaction answered later, on the thread that settled it.
void answer_later(raw_transaction& settled) {
  UD_ENTER("answer_later", "request_handle %u", settled.request_handle());
  const std::shared_ptr<post_transaction> self = pending().take(settled);
  if (!self) {
    UD_EXIT("%s", "not pending: its listener answered it");
    return;
  }
  uint8_t* body = nullptr;
  uint32_t length = 0;
  write_response_body(UD_BLOCK, *self, &body, &length);
  write_response_headers(UD_BLOCK, *self, self->request_handle());
  hand_over(UD_BLOCK, self->request_handle(), body, length);
  UD_EXIT("%s", "");
}

void serve_request(ud_block_ref block, uint32_t token, const uint8_t* data,
                   uint32_t data_length, uint8_t** response, uint32_t* response_length,
                   const SCS_REQUEST& request) {
  UD_USE_BLOCK(block);
  std::shared_ptr<post_transaction> t = create_transaction(request);
  set_request_body(block, *t, data, data_length);
  UD_TRACE(43000, "use count %lu", static_cast<unsigned long>(t.use_count()));
  tokens().dispatch(token, t);
  UD_TRACE(43000, "use count %lu", static_cast<unsigned long>(t.use_count()));
  switch (await_answer(block, *t, request.request_handle)) {
    case outcome::answered:
      break;
    case outcome::timed_out:
      write_text_response(block, request.request_handle, 504, timed_out_text, response,
                          response_length);
      return;
    case outcome::client_gone:  // nobody reads this answer
      write_text_response(block, request.request_handle, 503, caller_gone_text, response,
                          response_length);
      return;
  }
  UD_TRACE(43000, "use count %lu", static_cast<unsigned long>(t.use_count()));
  write_response_body(block, *t, response, response_length);
  write_response_headers(block, *t, request.request_handle);
}

}  // namespace

uint32_t requests_in_progress() {
  return callbacks_running.load(std::memory_order_acquire) + static_cast<uint32_t>(pending().size());
}

void answer_withdrawn(raw_transaction& t, bool timed_out) {
  UD_ENTER("answer_withdrawn", "request_handle %u timed_out %d", t.request_handle(), timed_out ? 1 : 0);
  const std::shared_ptr<post_transaction> self = pending().take(t);
  if (!self) {
    UD_EXIT("%s", "not pending: its listener answered it");
    return;
  }
  UD_TRACE(40000, "%s", timed_out ? "caller deadline passed" : "client gone");
  uint8_t* body = nullptr;
  uint32_t length = 0;
  write_text_response(UD_BLOCK, self->request_handle(), timed_out ? 504 : 503,
                      timed_out ? timed_out_text : caller_gone_text, &body, &length);
  hand_over(UD_BLOCK, self->request_handle(), body, length);
  UD_EXIT("%s", "");
}

void later_client_gone(void* handle) {
  const std::shared_ptr<post_transaction> t =
      pending().find(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle)));
  if (t && t->withdraw()) answer_withdrawn(*t, false);
}

std::shared_ptr<post_transaction> create_transaction(const SCS_REQUEST& request) {
  UD_ENTER("create_transaction", "request_handle %u", request.request_handle);
  auto t = std::make_shared<post_transaction>();
  t->set_resource(request.resource != nullptr ? request.resource : "");
  t->set_request_handle(request.request_handle);
  // The method in the request record is informational in the standard record: only a
  // library of this family is taken at its word; with any other it stays POST.
  if (request.method != nullptr && QelSessionConfigSvcsExtended()) t->set_method(request.method);
  if (copy_all_headers(UD_BLOCK, request, *t)) {
    UD_EXIT("%p", static_cast<void*>(t.get()));
    return t;
  }
  scs_value value;  // a header value currently held from the service library
  try {
    for (const char* name : known_headers) copy_request_header(UD_BLOCK, request, name, value, *t);
    copy_extension_headers(request, value, *t);
  } catch (...) {
    UD_TRACE(40000, "%s", "caught exception");
    if (value.get() != nullptr) {
      UD_TRACE(40000, "%s", "freeing header");
      value.release();
    }
    throw;
  }
  UD_EXIT("%p", static_cast<void*>(t.get()));
  return t;
}

uint32_t POST_request_callback(uint32_t listener_handle, uint32_t registration_token,
                               const uint8_t* posted_data, uint32_t posted_data_length,
                               uint8_t** response_data, uint32_t* response_data_length,
                               const SCS_REQUEST* request) noexcept {
  UD_ENTER("POST_request_callback", "listener_handle %x registration_token %x posted_data_length %lu",
           listener_handle, registration_token, static_cast<unsigned long>(posted_data_length));
  UD_TRACE(43000, "processor is %x", registration_token);
  const running_callback running;
  const uint32_t rc = guarded_call(
      [&]() -> uint32_t {
        require_arguments("POST_request_callback: null argument", request, response_data,
                          response_data_length);
        serve_request(UD_BLOCK, registration_token, posted_data, posted_data_length,
                      response_data, response_data_length, *request);
        return 0;
      },
      [&](uint32_t code, const char* text, bool ours) {
        if (ours) {
          UD_EXIT("caught funneltunnel exception %x %s", code, text);
        } else {
          UD_TRACE(40000, "exception text %s", text);
          UD_EXIT("caught exception.  %u", code);
        }
      });
  if (rc == 0) UD_EXIT("%u", rc);
  return rc;
}

uint32_t POST_request_callback_later(uint32_t listener_handle, uint32_t registration_token,
                                     const uint8_t* posted_data, uint32_t posted_data_length,
                                     uint8_t** response_data, uint32_t* response_data_length,
                                     const SCS_REQUEST* request) noexcept {
  UD_ENTER("POST_request_callback_later", "listener_handle %x registration_token %x posted_data_length %lu",
           listener_handle, registration_token, static_cast<unsigned long>(posted_data_length));
  const running_callback running;
  std::shared_ptr<post_transaction> t;
  const uint32_t rc = guarded_call(
      [&]() -> uint32_t {
        require_arguments("POST_request_callback_later: null argument", request, response_data,
                          response_data_length);
        t = create_transaction(*request);
        set_request_body(UD_BLOCK, *t, posted_data, posted_data_length);
        t->complete_with(&answer_later);
        pending().add(t);  // before it is shared: it may be answered at once
        tokens().dispatch(registration_token, t);
        pending().arm(*t);
        return SCS_STATUS_PENDING;
      },
      [&](uint32_t code, const char* text, bool) { UD_TRACE(40000, "exception %x %s", code, text); });
  // A failure is answered 500 by the library now; a completion that comes later for
  // this transaction finds it gone from the pending table and hands nothing over.
  if (rc != SCS_STATUS_PENDING && t) pending().take(*t);
  UD_EXIT("%x", rc);
  return rc;
}

}  // namespace funneltunnel
}  // namespace qel
