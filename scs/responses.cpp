#include "scs/responses.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "scs/direct_answer.h"
#include "scs/log.h"

namespace qel::scs {
namespace {

struct ResponseDeleter {
  void operator()(MHD_Response* response) const { MHD_destroy_response(response); }
};
using ResponsePtr = std::unique_ptr<MHD_Response, ResponseDeleter>;

const char* reason_text(unsigned status) {
  switch (status) {
    case 400: return "Bad Request\n";
    case 401: return "Unauthorized\n";
    case 403: return "Forbidden\n";
    case 404: return "Not Found\n";
    case 405: return "Method Not Allowed\n";
    case 408: return "Request Timeout\n";
    case 413: return "Content Too Large\n";
    case 501: return "Not Implemented\n";
    default: return "Internal Server Error\n";
  }
}

void free_block(void* block) { std::free(block); }

ResponsePtr body_response(std::uint8_t* body, std::uint32_t length) {
  if (body == nullptr || length == 0) {
    std::free(body);
    return ResponsePtr(MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT));
  }
  MHD_Response* response =
      MHD_create_response_from_buffer_with_free_callback(length, body, &free_block);
  if (response == nullptr) std::free(body);
  return ResponsePtr(response);
}

}  // namespace

std::size_t plain_body_size(unsigned status) { return std::strlen(reason_text(status)); }

MHD_Result queue_plain(MHD_Connection* connection, unsigned status, bool bearer) {
  const char* text = reason_text(status);
  ResponsePtr response(MHD_create_response_from_buffer(
      std::strlen(text), const_cast<char*>(text), MHD_RESPMEM_PERSISTENT));
  if (!response) return MHD_NO;
  MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CONTENT_TYPE, "text/plain");
  if (status == MHD_HTTP_METHOD_NOT_ALLOWED) {
    MHD_add_response_header(response.get(), MHD_HTTP_HEADER_ALLOW, "POST");
  }
  if (status == MHD_HTTP_UNAUTHORIZED && bearer) {
    MHD_add_response_header(response.get(), MHD_HTTP_HEADER_WWW_AUTHENTICATE, "Bearer");
  }
  return MHD_queue_response(connection, status, response.get());
}

MHD_Result queue_refusal(MHD_Connection* connection, unsigned status, const std::string& text,
                         unsigned retry_after, std::size_t& size) {
  const std::string body = one_line(text);
  size = body.size();
  ResponsePtr response(MHD_create_response_from_buffer(
      body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY));
  if (!response) return MHD_NO;
  MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CONTENT_TYPE, "text/plain");
  MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CONNECTION, "close");
  if (retry_after != 0) {
    MHD_add_response_header(response.get(), MHD_HTTP_HEADER_RETRY_AFTER,
                            std::to_string(retry_after).c_str());
  }
  return MHD_queue_response(connection, status, response.get());
}

MHD_Result queue_answer(MHD_Connection* connection, const RequestExchange& exchange,
                        std::uint8_t* body, std::uint32_t length, unsigned& status,
                        bool close) {
  status = MHD_HTTP_INTERNAL_SERVER_ERROR;
  ResponsePtr response = body_response(body, length);
  if (!response) return queue_plain(connection, status);
  if (close) MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CONNECTION, "close");
  for (const auto& [name, value] : exchange.response_headers()) {
    if (MHD_add_response_header(response.get(), name.c_str(), value.c_str()) != MHD_YES) {
      log().write(MSL_LOG_WARNING, "queue_answer", "response header %.128s refused",
                  name.c_str());
    }
  }
  const unsigned wanted = exchange.status();
  if (MHD_queue_response(connection, wanted, response.get()) == MHD_YES) {
    status = wanted;
    return MHD_YES;
  }
  log().write(MSL_LOG_ERROR, "queue_answer", "HTTP status %u cannot be sent, answering 500",
              wanted);
  return queue_plain(connection, status);
}

}  // namespace qel::scs
