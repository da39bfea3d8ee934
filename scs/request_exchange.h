// What a request callback can read and write through its request handle: the request
// headers and a copy of the request-target as received, the connection's socket (for
// the connection watch), and the response headers and HTTP status it sets.
//
// Created by the request handler on the connection thread before the callback runs,
// shared with the RequestRegistry for the duration of the callback. The request headers
// are libmicrohttpd's own strings, which live until the request completes, long after
// the callback: they are not copied. The response side is guarded by the exchange's
// mutex, so the calls may come from any thread while the callback runs.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace qel::scs {

// A request header as libmicrohttpd holds it (NUL-terminated, valid for the request).
struct RequestHeader {
  const char* name;
  const char* value;
};
using RequestHeaders = std::vector<RequestHeader>;
using HeaderList = std::vector<std::pair<std::string, std::string>>;

class RequestExchange {
 public:
  // `socket` is the connection's socket (-1 when unknown), for the connection watch;
  // `target` the request-target as the client sent it (path and query, not decoded).
  RequestExchange(RequestHeaders request_headers, std::string target, int socket)
      : request_headers_(std::move(request_headers)), target_(std::move(target)),
        socket_(socket) {}

  // The first value of a header, compared without case; null when absent.
  const char* request_header(const char* name) const;
  // How many times the request carries the header (any case).
  std::size_t header_count(const char* name) const;
  // Every header as a line "Name: value\r\n", in the order received (trailing blanks of
  // a value, which libmicrohttpd 0.9.75 keeps, are not part of it).
  std::string header_block() const;
  const std::string& target() const { return target_; }
  int socket() const { return socket_; }

  // The request side (headers, target) read from another thread than the callback's:
  // while the returned lock is held, and only if open() says the callback still runs.
  std::unique_lock<std::mutex> lock_request() const {
    return std::unique_lock<std::mutex>(open_mutex_);
  }
  bool open() const { return open_; }  // under lock_request()
  // The callback has returned: another thread's reads of the request side fail from
  // now on (the headers go with the request).
  void close();

  void add_response_header(std::string name, std::string value);
  void set_status(unsigned status);

  // The response headers, moved out: once the callback has returned, nothing adds more.
  HeaderList take_response_headers();
  unsigned status() const;

 private:
  const RequestHeaders request_headers_;
  const std::string target_;
  const int socket_;
  mutable std::mutex open_mutex_;
  bool open_ = true;  // under open_mutex_
  mutable std::mutex mutex_;
  HeaderList response_headers_;
  unsigned status_ = 200;
};

// How many times `headers` holds `name` (compared without case).
std::size_t count_header(const RequestHeaders& headers, const char* name);

// A header name is an HTTP token; a value has no control characters but tab.
bool valid_header_name(const char* name);
bool valid_header_value(const char* value);

}  // namespace qel::scs
