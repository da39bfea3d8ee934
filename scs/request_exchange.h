// What a request callback can read and write through its request handle: a copy of
// the request headers and of the request-target as received, the connection's socket
// (for the connection watch), and the response headers and HTTP status it sets.
//
// Created by the request handler on the connection thread before the callback runs,
// shared with the RequestRegistry for the duration of the callback. The header copy
// is immutable; the response side is guarded by the exchange's mutex, so the calls may
// come from any thread while the callback runs.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace qel::scs {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

class RequestExchange {
 public:
  // `socket` is the connection's socket (-1 when unknown), for the connection watch;
  // `target` the request-target as the client sent it (path and query, not decoded).
  RequestExchange(HeaderList request_headers, std::string target, int socket)
      : request_headers_(std::move(request_headers)), target_(std::move(target)),
        socket_(socket) {}

  // The first value of a header, compared without case; false when absent.
  bool request_header(const std::string& name, std::string& value) const;
  // How many times the request carries the header (any case).
  std::size_t header_count(const std::string& name) const;
  // Every header as a line "Name: value\r\n", in the order received (trailing blanks of
  // a value, which libmicrohttpd 0.9.75 keeps, are not part of it).
  std::string header_block() const;
  const std::string& target() const { return target_; }
  int socket() const { return socket_; }

  void add_response_header(std::string name, std::string value);
  void set_status(unsigned status);

  HeaderList response_headers() const;
  unsigned status() const;

 private:
  const HeaderList request_headers_;
  const std::string target_;
  const int socket_;
  mutable std::mutex mutex_;
  HeaderList response_headers_;
  unsigned status_ = 200;
};

// How many times `headers` holds `name` (compared without case).
std::size_t count_header(const HeaderList& headers, const char* name);

// A header name is an HTTP token; a value has no control characters but tab.
bool valid_header_name(const char* name);
bool valid_header_value(const char* value);

}  // namespace qel::scs
