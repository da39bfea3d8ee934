#include "scs/builtin_pages.h"

#include <memory>

#include "scs/metrics_registry.h"

namespace qel::scs {
namespace {

struct ResponseDeleter {
  void operator()(MHD_Response* response) const { MHD_destroy_response(response); }
};

MHD_Result queue_text(MHD_Connection* connection, unsigned status, const std::string& body,
                      const char* content_type, std::size_t& body_size) {
  std::unique_ptr<MHD_Response, ResponseDeleter> response(MHD_create_response_from_buffer(
      body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY));
  if (!response) return MHD_NO;
  MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CONTENT_TYPE, content_type);
  MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
  if (status == MHD_HTTP_METHOD_NOT_ALLOWED) {
    MHD_add_response_header(response.get(), MHD_HTTP_HEADER_ALLOW, "GET, HEAD");
  }
  body_size = body.size();
  return MHD_queue_response(connection, status, response.get());
}

}  // namespace

BuiltinPage builtin_page(const EndpointConfig& config, const std::string& url) {
  if (!config.metrics) return BuiltinPage::none;
  if (url == "/healthz") return BuiltinPage::health;
  if (url == "/metrics") return BuiltinPage::metrics;
  return BuiltinPage::none;
}

MHD_Result queue_builtin_page(MHD_Connection* connection, BuiltinPage page,
                              const std::string& method, unsigned& status,
                              std::size_t& body_size) {
  if (method != MHD_HTTP_METHOD_GET && method != MHD_HTTP_METHOD_HEAD) {
    status = MHD_HTTP_METHOD_NOT_ALLOWED;
    return queue_text(connection, status, "Method Not Allowed\n", "text/plain", body_size);
  }
  status = MHD_HTTP_OK;
  if (page == BuiltinPage::health) {
    return queue_text(connection, status, "ok\n", "text/plain", body_size);
  }
  return queue_text(connection, status, metrics_registry().page(),
                    "text/plain; version=0.0.4; charset=utf-8", body_size);
}

}  // namespace qel::scs
