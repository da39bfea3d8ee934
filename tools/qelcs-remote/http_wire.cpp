// Request heads and responses of HTTP/1.1.
#include "http_wire.h"

#include <strings.h>

#include <cstdlib>

namespace qelcs_remote {

namespace {

// A response head bigger than this is refused (libcurl's limit per header is 100 KiB).
constexpr std::size_t max_head = 256 * 1024;

bool is_space(char c) { return c == ' ' || c == '\t'; }

// Does the comma-separated list `value` hold `token` (any case)?
bool has_token(std::string_view value, std::string_view token) {
  std::size_t at = 0;
  while (at <= value.size()) {
    std::size_t end = value.find(',', at);
    if (end == std::string_view::npos) end = value.size();
    std::string_view item = value.substr(at, end - at);
    while (!item.empty() && is_space(item.front())) item.remove_prefix(1);
    while (!item.empty() && is_space(item.back())) item.remove_suffix(1);
    if (same_name(item, token)) return true;
    at = end + 1;
  }
  return false;
}

bool parse_size(std::string_view text, int base, std::size_t& value) {
  if (text.empty() || text.size() > 15) return false;
  value = 0;
  for (const char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return false;
    value = value * static_cast<std::size_t>(base) + static_cast<std::size_t>(digit);
  }
  return true;
}

}  // namespace

bool same_name(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

void response_reader::start(bool head_request) {
  head_request_ = head_request;
  start_ = body_at_ = end_ = length_ = chunk_at_ = 0;
  framing_ = framing::none;
  chunked_body_.clear();
  status_ = 0;
  keep_alive_ = false;
  error_ = "";
  headers_.clear();
}

std::string_view response_reader::header(const std::string& in, std::string_view name) const {
  for (std::size_t i = 0; i < headers_.size(); ++i)
    if (same_name(header_name(in, i), name)) return header_value(in, i);
  return {};
}

std::string_view response_reader::body(const std::string& in) const {
  if (framing_ == framing::chunked) return chunked_body_;
  return std::string_view(in).substr(body_at_, end_ - body_at_);
}

response_reader::progress response_reader::parse(const std::string& in, bool closed) {
  while (body_at_ == 0) {
    const progress head = parse_head(in);
    if (head == progress::failed) return head;
    if (head == progress::more) {
      if (!closed) return progress::more;
      return fail(in.size() > start_ ? "the server's response ended within its head"
                                     : "the server closed the connection without answering");
    }
  }
  switch (framing_) {
    case framing::none:
      end_ = body_at_;
      return progress::done;
    case framing::length:
      if (in.size() - body_at_ < length_)
        return closed ? fail("the server's response ended within its body") : progress::more;
      end_ = body_at_ + length_;
      return progress::done;
    case framing::until_close:
      if (!closed) return progress::more;
      end_ = in.size();
      return progress::done;
    case framing::chunked: {
      const progress chunks = parse_chunks(in);
      if (chunks == progress::more && closed) return fail("the server's response ended within its body");
      return chunks;
    }
  }
  return progress::more;
}

// Reads the head that begins at start_ once it is complete; an interim response moves
// start_ past itself and leaves body_at_ at 0.
response_reader::progress response_reader::parse_head(const std::string& in) {
  const std::size_t head_end = in.find("\r\n\r\n", start_);
  if (head_end == std::string::npos)
    return in.size() - start_ > max_head ? fail("the server's response head is too long") : progress::more;
  std::string_view text = std::string_view(in).substr(start_, head_end + 2 - start_);
  const std::size_t line_end = text.find("\r\n");
  const std::string_view status_line = text.substr(0, line_end);
  if (status_line.size() < 12 || status_line.substr(0, 7) != "HTTP/1." || status_line[8] != ' ' ||
      !parse_size(status_line.substr(9, 3), 10, length_) || (status_line.size() > 12 && status_line[12] != ' '))
    return fail("the server's reply is not an HTTP/1 response");
  status_ = static_cast<long>(length_);
  length_ = 0;
  const bool http10 = status_line[7] == '0';
  headers_.clear();
  for (std::size_t at = line_end + 2; at < text.size();) {
    const std::size_t end = text.find("\r\n", at);
    const std::string_view line = text.substr(at, end - at);
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0 || is_space(line[0]))
      return fail("the server's response has a malformed header line");
    std::size_t value = colon + 1, value_end = line.size();
    while (value < value_end && is_space(line[value])) ++value;
    while (value_end > value && is_space(line[value_end - 1])) --value_end;
    const auto base = static_cast<uint32_t>(start_ + at);
    headers_.push_back({base, static_cast<uint32_t>(colon), base + static_cast<uint32_t>(value),
                        static_cast<uint32_t>(value_end - value)});
    at = end + 2;
  }
  if (status_ >= 100 && status_ < 200 && status_ != 101) {  // interim: the final one follows
    start_ = head_end + 4;
    return progress::done;
  }
  if (status_ == 101) return fail("the server switched protocols");
  const std::string_view connection = header(in, "Connection");
  keep_alive_ = http10 ? has_token(connection, "keep-alive") : !has_token(connection, "close");
  body_at_ = head_end + 4;
  const std::string_view coding = header(in, "Transfer-Encoding");
  const std::string_view length = header(in, "Content-Length");
  if (head_request_ || status_ == 204 || status_ == 304) {
    framing_ = framing::none;
  } else if (!coding.empty()) {
    if (!has_token(coding, "chunked")) {
      framing_ = framing::until_close;
      keep_alive_ = false;
    } else {
      framing_ = framing::chunked;
      chunk_at_ = body_at_;
    }
  } else if (!length.empty()) {
    if (!parse_size(length, 10, length_)) return fail("the server's Content-Length is not a number");
    framing_ = framing::length;
  } else {
    framing_ = framing::until_close;
    keep_alive_ = false;
  }
  return progress::done;
}

response_reader::progress response_reader::parse_chunks(const std::string& in) {
  for (;;) {
    const std::size_t line_end = in.find("\r\n", chunk_at_);
    if (line_end == std::string::npos) return progress::more;
    std::string_view size_text = std::string_view(in).substr(chunk_at_, line_end - chunk_at_);
    size_text = size_text.substr(0, size_text.find(';'));
    while (!size_text.empty() && is_space(size_text.back())) size_text.remove_suffix(1);
    std::size_t size = 0;
    if (!parse_size(size_text, 16, size)) return fail("the server's chunked body is malformed");
    if (size == 0) {
      // Trailers (ignored) up to an empty line.
      if (in.compare(line_end + 2, 2, "\r\n") == 0) {
        end_ = line_end + 4;
        return progress::done;
      }
      const std::size_t trailers_end = in.find("\r\n\r\n", line_end + 2);
      if (trailers_end == std::string::npos) return progress::more;
      end_ = trailers_end + 4;
      return progress::done;
    }
    const std::size_t data = line_end + 2;
    if (in.size() < data + size + 2) return progress::more;
    if (in.compare(data + size, 2, "\r\n") != 0) return fail("the server's chunked body is malformed");
    chunked_body_.append(in, data, size);
    chunk_at_ = data + size + 2;
  }
}

void add_header_line(std::string& lines, std::string_view name, std::string_view value) {
  lines.append(name).append(": ").append(value).append("\r\n");
}

void write_request_head(std::string& out, std::string_view method, std::string_view target,
                        std::string_view host, std::string_view header_lines,
                        std::size_t body_size, std::string_view proxy_credentials) {
  out.append(method).append(" ").append(target).append(" HTTP/1.1\r\nHost: ").append(host).append("\r\n");
  if (!proxy_credentials.empty()) out.append("Proxy-Authorization: ").append(proxy_credentials).append("\r\n");
  out.append(header_lines);
  // A body, or a method whose requests carry one, states its length (0 included).
  if (body_size > 0 || method == "POST" || method == "PUT" || method == "PATCH")
    out.append("Content-Length: ").append(std::to_string(body_size)).append("\r\n");
  out.append("\r\n");
}

}  // namespace qelcs_remote
