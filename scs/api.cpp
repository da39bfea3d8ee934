// The exported functions that the connection server calls. Each one is a thin shell:
// argument checks, then the Server or the request registry, inside guarded().

// The declarations of the public header are the library's interface: export them.
#pragma GCC visibility push(default)
#include "qelSessionConfigSvcs.h"
#pragma GCC visibility pop

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "scs/api_guard.h"
#include "scs/connection_watch.h"
#include "scs/metrics_registry.h"
#include "scs/pending_requests.h"
#include "scs/request_registry.h"
#include "scs/server.h"

using namespace qel::scs;

// The header's codes are the status table's.
static_assert(SCS_STATUS_NOT_SUPPORTED == status::SCS_NOT_SUPPORTED, "status table");
static_assert(SCS_STATUS_DUPLICATE_HEADER == status::SCS_DUPLICATE_HEADER, "status table");
static_assert(SCS_STATUS_NOT_REGISTERED == status::SCS_NOT_REGISTERED, "status table");
static_assert(SCS_STATUS_RESTART_NEEDED == status::SCS_RESTART_NEEDED, "status table");
static_assert(SCS_STATUS_PENDING == status::SCS_PENDING, "status table");
static_assert(SCS_STATUS_UNKNOWN_REQUEST == status::SCS_UNKNOWN_REQUEST, "status table");

namespace {

// The exchange of a running callback: on the callback's own thread directly; from
// another thread through the registry, held open (its request side locked) for the call.
class ExchangeAccess {
 public:
  explicit ExchangeAccess(std::uint32_t request_handle)
      : exchange_(CurrentRequest::find(request_handle)) {
    if (exchange_ != nullptr) return;
    shared_ = requests().find(request_handle);
    if (shared_) {
      lock_ = shared_->lock_request();
      exchange_ = shared_->open() ? shared_.get() : nullptr;
    }
    if (exchange_ == nullptr) {
      throw ScsError(status::SCS_UNKNOWN_REQUEST,
                     "request handle " + std::to_string(request_handle));
    }
  }
  RequestExchange* operator->() const { return exchange_; }

 private:
  RequestExchange* exchange_;
  std::shared_ptr<RequestExchange> shared_;
  std::unique_lock<std::mutex> lock_;
};

ExchangeAccess exchange_of(std::uint32_t request_handle) { return ExchangeAccess(request_handle); }

char* copy_to_block(std::string_view text) {
  auto* block = static_cast<char*>(SCS_Allocate(static_cast<std::uint32_t>(text.size() + 1)));
  if (block == nullptr) throw std::bad_alloc();
  std::memcpy(block, text.data(), text.size());
  block[text.size()] = '\0';
  return block;
}

}  // namespace

extern "C" {

void* SCS_Allocate(uint32_t size) { return std::malloc(size != 0 ? size : 1); }

void SCS_Free(void* block) { std::free(block); }

// Library loading is the loader's business; these exist for its table only.
void SCS_SetMSLLibPath(const char*) {}
void SCS_SetMSLExtSigFileExtension(const char*) {}

uint32_t SCS_SERVER_Init(const char* agent_version, const char* agent_uuid,
                         const char* agent_name, const mslLogSink* log_sink) {
  return guarded(__func__, [&] {
    log().set_sink(log_sink);
    server().init();
    log().write(MSL_LOG_INFO, "SCS_SERVER_Init",  // __func__ here would be "operator()"
                "HTTP service library ready for agent %.128s %.64s %.64s",
                agent_name != nullptr ? agent_name : "", agent_uuid != nullptr ? agent_uuid : "",
                agent_version != nullptr ? agent_version : "");
    return 0u;
  });
}

uint32_t SCS_SERVER_ShutDown(void) {
  return guarded(__func__, [] {
    server().shut_down();
    return 0u;
  });
}

uint32_t SCS_SERVER_AddListener(const char* settings_1, const char* settings_2,
                                uint32_t* listener_handle) {
  return guarded(__func__, [&] {
    if (listener_handle == nullptr) {
      throw ScsError(status::SCS_INVALID_ARGUMENT, "null listener handle pointer");
    }
    *listener_handle = 0;
    *listener_handle = server().add_listener(settings_1, settings_2);
    return 0u;
  });
}

uint32_t SCS_SERVER_AddListenerFrom(const char* settings_1, const char* source_1,
                                    const char* settings_2, const char* source_2,
                                    uint32_t* listener_handle) {
  return guarded(__func__, [&] {
    if (listener_handle == nullptr) {
      throw ScsError(status::SCS_INVALID_ARGUMENT, "null listener handle pointer");
    }
    *listener_handle = 0;
    *listener_handle = server().add_listener(settings_1, settings_2, source_1, source_2);
    return 0u;
  });
}

uint32_t SCS_SERVER_RegisterOnPostData(uint32_t listener_handle, const char* resource,
                                       uint32_t token, SCS_POST_CALLBACK callback,
                                       uint32_t mode) {
  return guarded(__func__, [&] {
    server().register_post(listener_handle, resource, token, callback, mode);
    return 0u;
  });
}

uint32_t SCS_SERVER_SetAdmission(uint32_t listener_handle, const char* resource,
                                 SCS_ADMIT_CALLBACK admit) {
  return guarded(__func__, [&] {
    server().set_admission(listener_handle, resource, admit);
    return 0u;
  });
}

uint32_t SCS_SERVER_AddMetricsSource(SCS_METRICS_SOURCE render, void* context) {
  return guarded(__func__, [&] {
    if (render != nullptr) metrics_registry().add_source(render, context);
    return 0u;
  });
}

uint32_t SCS_SERVER_CompleteRequest(uint32_t request_handle, uint32_t result, uint8_t* response,
                                    uint32_t response_length) {
  // Not an error to log: a completion may lose a race with a stop of its listener.
  if (pending_requests().complete(request_handle, {result, response, response_length, false})) return 0;
  SCS_Free(response);
  return status::SCS_UNKNOWN_REQUEST;
}

uint32_t SCS_SERVER_QuiesceServer(uint32_t listener_handle) {
  return guarded(__func__, [&] {
    server().quiesce(listener_handle);
    return 0u;
  });
}

uint32_t SCS_SERVER_ReloadListener(uint32_t listener_handle, const char* settings_1,
                                   const char* source_1, const char* settings_2,
                                   const char* source_2) {
  return guarded(__func__, [&] {
    return server().reload(listener_handle, settings_1, source_1, settings_2, source_2);
  });
}

uint32_t SCS_SERVER_StartServer(uint32_t listener_handle) {
  return guarded(__func__, [&] {
    server().start(listener_handle);
    return 0u;
  });
}

uint32_t SCS_SERVER_StopServer(uint32_t listener_handle) {
  return guarded(__func__, [&] {
    server().stop(listener_handle);
    return 0u;
  });
}

uint32_t SCS_SERVER_RemoveListener(uint32_t listener_handle) {
  return guarded(__func__, [&] {
    server().remove(listener_handle);
    return 0u;
  });
}

uint32_t SCS_SERVER_GetRequestHeader(uint32_t request_handle, const char* name, uint32_t flags,
                                     char** value) {
  return guarded(__func__, [&] {
    if (name == nullptr || value == nullptr) {
      throw ScsError(status::SCS_INVALID_ARGUMENT, "null header name or value pointer");
    }
    *value = nullptr;
    const auto exchange = exchange_of(request_handle);
    if ((flags & SCS_HEADER_SINGLE) != 0 && exchange->header_count(name) > 1) {
      return status::SCS_DUPLICATE_HEADER;  // the caller's decision, not a failure to log
    }
    if (const char* text = exchange->request_header(name)) *value = copy_to_block(text);
    return 0u;
  });
}

uint32_t SCS_SERVER_GetRequestTarget(uint32_t request_handle, char** target) {
  return guarded(__func__, [&] {
    if (target == nullptr) throw ScsError(status::SCS_INVALID_ARGUMENT, "null target pointer");
    *target = nullptr;
    *target = copy_to_block(exchange_of(request_handle)->target());
    return 0u;
  });
}

uint32_t SCS_SERVER_GetRequestHeaders(uint32_t request_handle, char** block) {
  return guarded(__func__, [&] {
    if (block == nullptr) throw ScsError(status::SCS_INVALID_ARGUMENT, "null block pointer");
    *block = nullptr;
    *block = copy_to_block(exchange_of(request_handle)->header_block());
    return 0u;
  });
}

uint32_t SCS_SERVER_WatchRequest(uint32_t request_handle, SCS_GONE_CALLBACK gone,
                                 void* context) {
  return guarded(__func__, [&] {
    if (gone == nullptr) throw ScsError(status::SCS_INVALID_ARGUMENT, "null gone function");
    // Held open for the whole call: a completion from another thread closes the
    // exchange and then ends its watch, so a watch is never added after that end.
    const auto exchange = exchange_of(request_handle);
    const int socket = exchange->socket();
    if (socket < 0) throw ScsError(status::SCS_NOT_SUPPORTED, "the request has no socket");
    watches().watch(request_handle, socket, gone, context);
    return 0u;
  });
}

uint32_t SCS_SERVER_UnwatchRequest(uint32_t request_handle) {
  return guarded(__func__, [&] {
    watches().unwatch(request_handle);
    return 0u;
  });
}

uint32_t SCS_SERVER_AddResponseHeader(uint32_t request_handle, const char* name,
                                      const char* value) {
  return guarded(__func__, [&] {
    if (!valid_header_name(name) || !valid_header_value(value)) {
      throw ScsError(status::SCS_INVALID_ARGUMENT, "malformed response header");
    }
    exchange_of(request_handle)->add_response_header(name, value);
    return 0u;
  });
}

uint32_t SCS_SERVER_SetHttpStatus(uint32_t request_handle, uint16_t http_status) {
  return guarded(__func__, [&] {
    if (http_status < 100 || http_status > 999) {
      throw ScsError(status::SCS_INVALID_ARGUMENT, "HTTP status " + std::to_string(http_status));
    }
    exchange_of(request_handle)->set_status(http_status);
    return 0u;
  });
}

uint32_t SCS_GetErrorMsg(uint32_t code, char* buffer, uint32_t size) {
  return status::copy_text(code, buffer, size);
}

uint32_t SCS_SERVER_GetErrorMsg(uint32_t code, char* buffer, uint32_t size) {
  return status::copy_text(code, buffer, size);
}

}  // extern "C"
