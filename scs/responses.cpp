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

ssize_t no_content(void*, std::uint64_t, char*, std::size_t) {
  return MHD_CONTENT_READER_END_OF_STREAM;
}

// A response that libmicrohttpd 0.9.75 sends with neither Content-Length nor a chunked
// frame: unknown length under HTTP/1.0 framing (the connection closes after it).
ResponsePtr unframed_response() {
  ResponsePtr response(
      MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 64, &no_content, nullptr, nullptr));
  if (response &&
      MHD_set_response_options(response.get(), MHD_RF_HTTP_1_0_COMPATIBLE_STRICT, MHD_RO_END) !=
          MHD_YES) {
    response.reset();
  }
  return response;
}

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

MHD_Result queue_plain(MHD_Connection* connection, unsigned status, bool bearer,
                       const char* allow) {
  const char* text = reason_text(status);
  ResponsePtr response(MHD_create_response_from_buffer(
      std::strlen(text), const_cast<char*>(text), MHD_RESPMEM_PERSISTENT));
  if (!response) return MHD_NO;
  MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CONTENT_TYPE, "text/plain");
  if (status == MHD_HTTP_METHOD_NOT_ALLOWED) {
    MHD_add_response_header(response.get(), MHD_HTTP_HEADER_ALLOW, allow);
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

MHD_Result queue_answer(MHD_Connection* connection, RequestExchange& exchange,
                        std::uint8_t* body, std::uint32_t length, const AnswerFraming& framing,
                        unsigned& status, std::size_t& sent) {
  status = MHD_HTTP_INTERNAL_SERVER_ERROR;
  sent = 0;
  const unsigned wanted = exchange.status();
  ResponsePtr response;
  if (wanted == MHD_HTTP_NO_CONTENT || wanted == MHD_HTTP_NOT_MODIFIED) {
    std::free(body);  // these statuses have no content, whatever the callback made
    response = wanted == MHD_HTTP_NO_CONTENT ? body_response(nullptr, 0) : unframed_response();
  } else {
    sent = framing.head || body == nullptr ? 0 : length;
    response = body_response(body, length);
  }
  if (!response) {
    sent = plain_body_size(status);
    return queue_plain(connection, status);
  }
  if (framing.close) MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CONNECTION, "close");
  for (const auto& [name, value] : exchange.take_response_headers()) {
    if (MHD_add_response_header(response.get(), name.c_str(), value.c_str()) != MHD_YES) {
      log().write(MSL_LOG_WARNING, "queue_answer", "response header %.128s refused",
                  name.c_str());
    }
  }
  if (MHD_queue_response(connection, wanted, response.get()) == MHD_YES) {
    status = wanted;
    return MHD_YES;
  }
  log().write(MSL_LOG_ERROR, "queue_answer", "HTTP status %u cannot be sent, answering 500",
              wanted);
  sent = framing.head ? 0 : plain_body_size(status);
  return queue_plain(connection, status);
}

}  // namespace qel::scs
