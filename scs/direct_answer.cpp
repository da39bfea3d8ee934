#include "scs/direct_answer.h"

#include <gnutls/gnutls.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>

namespace qel::scs {
namespace {

bool send_all(int socket, const std::string& bytes) {
  std::size_t sent = 0;
  for (int attempts = 0; sent < bytes.size() && attempts < 50; ++attempts) {
    const ssize_t n = ::send(socket, bytes.data() + sent, bytes.size() - sent,
                             MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
    } else if (n < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
      return false;
    }
  }
  return sent == bytes.size();
}

bool send_all_tls(gnutls_session_t session, const std::string& bytes) {
  std::size_t sent = 0;
  for (int attempts = 0; sent < bytes.size() && attempts < 50; ++attempts) {
    const ssize_t n = gnutls_record_send(session, bytes.data() + sent, bytes.size() - sent);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
    } else if (n != GNUTLS_E_AGAIN && n != GNUTLS_E_INTERRUPTED) {
      return false;
    }
  }
  return sent == bytes.size();
}

gnutls_session_t session_of(MHD_Connection* connection) {
  const MHD_ConnectionInfo* info =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_GNUTLS_SESSION);
  return info != nullptr ? static_cast<gnutls_session_t>(info->tls_session) : nullptr;
}

int socket_of(MHD_Connection* connection) {
  const MHD_ConnectionInfo* info =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
  return info != nullptr ? info->connect_fd : -1;
}

}  // namespace

const char* reason_phrase(unsigned status) {
  switch (status) {
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 413: return "Content Too Large";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 503: return "Service Unavailable";
    default: return status < 500 ? "Client Error" : "Server Error";
  }
}

std::string one_line(const std::string& text) {
  std::string line;
  for (char c : text) {
    if (c == '\r' || c == '\n' || line.size() >= 200) break;
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) line += c;
  }
  return line + "\n";
}

std::string answer_bytes(unsigned status, const std::string& text, unsigned retry_after) {
  const std::string body = one_line(text);
  char head[256];
  std::snprintf(head, sizeof head,
                "HTTP/1.1 %u %s\r\nContent-Type: text/plain\r\nContent-Length: %zu\r\n"
                "Connection: close\r\n",
                status, reason_phrase(status), body.size());
  std::string bytes = head;
  if (retry_after != 0) bytes += "Retry-After: " + std::to_string(retry_after) + "\r\n";
  return bytes + "\r\n" + body;
}

bool write_answer(MHD_Connection* connection, unsigned status, const std::string& text,
                  unsigned retry_after) {
  const std::string bytes = answer_bytes(status, text, retry_after);
  if (gnutls_session_t session = session_of(connection)) return send_all_tls(session, bytes);
  const int socket = socket_of(connection);
  return socket >= 0 && send_all(socket, bytes);
}

bool write_plain_answer(int socket, unsigned status, const std::string& text,
                        unsigned retry_after) {
  return send_all(socket, answer_bytes(status, text, retry_after));
}

void end_sending(MHD_Connection* connection) {
  if (gnutls_session_t session = session_of(connection)) gnutls_bye(session, GNUTLS_SHUT_WR);
  const int socket = socket_of(connection);
  if (socket >= 0) ::shutdown(socket, SHUT_WR);
}

}  // namespace qel::scs
