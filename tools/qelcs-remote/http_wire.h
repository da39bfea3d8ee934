// http_wire: the bytes of HTTP/1.1 exchanges as a client sends and reads them. The
// request head is written into a buffer the caller keeps (its capacity is reused); a
// response is read in place from the connection's input buffer: status, headers as
// spans of that buffer (names and order as received), and the body framed by
// Content-Length, chunked transfer coding or the end of the connection. Interim 1xx
// responses are skipped; HEAD, 204 and 304 have no body.
//
// A plain value owned by one connection; one thread.
#ifndef QELCS_REMOTE_HTTP_WIRE_H
#define QELCS_REMOTE_HTTP_WIRE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qelcs_remote {

// Case-insensitive comparison of header names.
bool same_name(std::string_view a, std::string_view b);

class response_reader {
 public:
  enum class progress { more, done, failed };

  // A new response to a request; `head_request`: a HEAD, whose response has no body.
  void start(bool head_request);

  // Reads the response from the start of `in` (the bytes received so far); `closed`:
  // the peer has closed the connection, nothing more comes. `done` once the whole
  // response is there, `failed` (with error()) when it cannot be one.
  progress parse(const std::string& in, bool closed);

  long status() const { return status_; }
  // The first value of a header, "" when absent. Valid while `in` is unchanged.
  std::string_view header(const std::string& in, std::string_view name) const;
  // Every header in order, names as received.
  std::size_t header_count() const { return headers_.size(); }
  std::string_view header_name(const std::string& in, std::size_t i) const {
    return std::string_view(in).substr(headers_[i].name, headers_[i].name_length);
  }
  std::string_view header_value(const std::string& in, std::size_t i) const {
    return std::string_view(in).substr(headers_[i].value, headers_[i].value_length);
  }
  std::string_view body(const std::string& in) const;
  // The connection may carry the next exchange.
  bool keep_alive() const { return keep_alive_; }
  // Bytes of `in` the response took (interim responses included).
  std::size_t consumed() const { return end_; }
  const char* error() const { return error_; }

 private:
  struct span {
    uint32_t name, name_length, value, value_length;
  };
  enum class framing { none, length, chunked, until_close };

  progress parse_head(const std::string& in);
  progress parse_chunks(const std::string& in);
  progress fail(const char* why) {
    error_ = why;
    return progress::failed;
  }

  bool head_request_ = false;
  std::size_t start_ = 0;     // where the final response begins
  std::size_t body_at_ = 0;   // where its body begins; 0 until the head is read
  std::size_t end_ = 0;
  framing framing_ = framing::none;
  std::size_t length_ = 0;    // Content-Length
  std::size_t chunk_at_ = 0;  // next chunk-size line
  std::string chunked_body_;  // the decoded chunks
  long status_ = 0;
  bool keep_alive_ = false;
  const char* error_ = "";
  std::vector<span> headers_;
};

// Appends "Name: value\r\n" to a block of header lines.
void add_header_line(std::string& lines, std::string_view name, std::string_view value);

// Appends the request head ("METHOD TARGET HTTP/1.1", Host, the header lines as they
// are, a Proxy-Authorization when `proxy_credentials` is not empty, the Content-Length
// when there is a body or the method sends one) to `out`.
void write_request_head(std::string& out, std::string_view method, std::string_view target,
                        std::string_view host, std::string_view header_lines,
                        std::size_t body_size, std::string_view proxy_credentials = {});

}  // namespace qelcs_remote

#endif  // QELCS_REMOTE_HTTP_WIRE_H
