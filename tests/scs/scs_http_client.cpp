#include "scs_http_client.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>

namespace {

std::size_t append_body(char* data, std::size_t size, std::size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

std::size_t append_header(char* data, std::size_t size, std::size_t count, void* out) {
  std::string line(data, size * count);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  if (!line.empty()) static_cast<std::vector<std::string>*>(out)->push_back(line);
  return size * count;
}

struct CurlDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

void set_tls(CURL* curl, const HttpOptions& options) {
  if (!options.ca_file.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, options.ca_file.c_str());
  if (!options.cert_file.empty()) {
    curl_easy_setopt(curl, CURLOPT_SSLCERT, options.cert_file.c_str());
    curl_easy_setopt(curl, CURLOPT_SSLKEY, options.key_file.c_str());
  }
}

}  // namespace

std::string HttpResult::header(const std::string& name) const {
  for (const std::string& line : headers) {
    const auto colon = line.find(':');
    if (colon == std::string::npos || strncasecmp(line.c_str(), name.c_str(), colon) != 0 ||
        colon != name.size()) {
      continue;
    }
    const auto start = line.find_first_not_of(' ', colon + 1);
    return start == std::string::npos ? "" : line.substr(start);
  }
  return "";
}

HttpResult http_request(const std::string& url, const std::string& body,
                        const HttpOptions& options) {
  HttpResult result;
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  std::unique_ptr<curl_slist, CurlDeleter> headers;
  for (const std::string& h : options.headers) {
    headers.reset(curl_slist_append(headers.release(), h.c_str()));
  }
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, options.method.c_str());
  if (options.method == "POST") {
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  }
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &append_body);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &result.body);
  curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &append_header);
  curl_easy_setopt(c, CURLOPT_HEADERDATA, &result.headers);
  curl_easy_setopt(c, CURLOPT_TIMEOUT, 20L);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  set_tls(c, options);
  result.curl_code = curl_easy_perform(c);
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &result.status);
  return result;
}

int connect_local(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool send_all(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string read_all(int fd, int seconds) {
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  char buffer[4096];
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return text;
}

bool wait_closed(int fd, int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  char buffer[4096];
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    if (recv(fd, buffer, sizeof buffer, 0) <= 0) return true;
  }
  return false;
}

std::string raw_exchange(int port, const std::string& bytes) {
  const int fd = connect_local(port);
  if (fd < 0) return "";
  send_all(fd, bytes);
  std::string answer = read_all(fd, 5);
  close(fd);
  return answer;
}

int raw_status(const std::string& answer) {
  if (answer.compare(0, 5, "HTTP/") != 0) return 0;
  const auto space = answer.find(' ');
  return space == std::string::npos ? 0 : std::atoi(answer.c_str() + space + 1);
}
