#include "scs/request_exchange.h"

#include <strings.h>

#include <cstring>

namespace qel::scs {

bool RequestExchange::request_header(const std::string& name, std::string& value) const {
  for (const auto& [key, text] : request_headers_) {
    if (strcasecmp(key.c_str(), name.c_str()) == 0) {
      value = text;
      return true;
    }
  }
  return false;
}

std::size_t RequestExchange::header_count(const std::string& name) const {
  return count_header(request_headers_, name.c_str());
}

std::string RequestExchange::header_block() const {
  std::string block;
  for (const auto& [name, value] : request_headers_) {
    const auto end = value.find_last_not_of(" \t");
    block += name + ": " + (end == std::string::npos ? "" : value.substr(0, end + 1)) + "\r\n";
  }
  return block;
}

std::size_t count_header(const HeaderList& headers, const char* name) {
  std::size_t n = 0;
  for (const auto& header : headers) n += strcasecmp(header.first.c_str(), name) == 0;
  return n;
}

void RequestExchange::add_response_header(std::string name, std::string value) {
  std::lock_guard<std::mutex> lock(mutex_);
  response_headers_.emplace_back(std::move(name), std::move(value));
}

void RequestExchange::set_status(unsigned status) {
  std::lock_guard<std::mutex> lock(mutex_);
  status_ = status;
}

HeaderList RequestExchange::response_headers() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return response_headers_;
}

unsigned RequestExchange::status() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return status_;
}

bool valid_header_name(const char* name) {
  if (name == nullptr || *name == '\0') return false;
  static const char kSeparators[] = "()<>@,;:\\\"/[]?={} \t";
  for (const char* p = name; *p != '\0'; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c <= 0x20 || c >= 0x7F || std::strchr(kSeparators, c) != nullptr) return false;
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
