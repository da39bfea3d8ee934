#include "scs/request_exchange.h"

#include <strings.h>

#include <cstring>
#include <string_view>
#include <utility>

namespace qel::scs {

const char* RequestExchange::request_header(const char* name) const {
  for (const auto& [key, text] : request_headers_) {
    if (strcasecmp(key, name) == 0) return text;
  }
  return nullptr;
}

std::size_t RequestExchange::header_count(const char* name) const {
  return count_header(request_headers_, name);
}

std::string RequestExchange::header_block() const {
  std::string block;
  for (const auto& [name, text] : request_headers_) {
    const std::string_view value(text);
    const auto end = value.find_last_not_of(" \t");
    block.append(name).append(": ");
    if (end != std::string_view::npos) block.append(value.substr(0, end + 1));
    block.append("\r\n");
  }
  return block;
}

std::size_t count_header(const RequestHeaders& headers, const char* name) {
  std::size_t n = 0;
  for (const auto& header : headers) n += strcasecmp(header.name, name) == 0;
  return n;
}

void RequestExchange::close() {
  std::lock_guard<std::mutex> lock(open_mutex_);
  open_ = false;
}

void RequestExchange::add_response_header(std::string name, std::string value) {
  std::lock_guard<std::mutex> lock(mutex_);
  response_headers_.emplace_back(std::move(name), std::move(value));
}

void RequestExchange::set_status(unsigned status) {
  std::lock_guard<std::mutex> lock(mutex_);
  status_ = status;
}

HeaderList RequestExchange::take_response_headers() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::move(response_headers_);
}

unsigned RequestExchange::status() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return status_;
}

namespace {

// The characters of an HTTP token, one bit each.
struct TokenTable {
  bool in[256] = {};
  constexpr TokenTable() {
    for (int c = 0x21; c < 0x7F; ++c) in[c] = true;
    for (const char* p = "()<>@,;:\\\"/[]?={}"; *p != '\0'; ++p) {
      in[static_cast<unsigned char>(*p)] = false;
    }
  }
};
constexpr TokenTable kToken;

}  // namespace

bool valid_header_name(const char* name) {
  if (name == nullptr || *name == '\0') return false;
  for (const char* p = name; *p != '\0'; ++p) {
    if (!kToken.in[static_cast<unsigned char>(*p)]) return false;
  }
  return true;
}

bool valid_header_value(const char* value) {
  if (value == nullptr) return false;
  for (const char* p = value; *p != '\0'; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if ((c < 0x20 && c != '\t') || c == 0x7F) return false;
  }
  return true;
}

}  // namespace qel::scs
