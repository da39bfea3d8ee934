#include "scs/mhd_messages.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "scs/api_guard.h"
#include "scs/direct_answer.h"
#include "scs/http_daemon.h"

namespace qel::scs {
namespace {

struct ThreadConnection {
  HttpDaemon* daemon = nullptr;
  MHD_Connection* connection = nullptr;
  bool answered = false;  // the library wrote this request's answer itself
};
thread_local ThreadConnection t_current;

struct HeaderFault {
  const char* message;
  unsigned status;
  const char* text;  // null: libmicrohttpd's own answer goes out; it is only counted
};

// The messages libmicrohttpd 0.9.75 writes just before it queues an answer twice.
constexpr HeaderFault kHeaderFaults[] = {
    {"Failed to parse `Content-Length' header", 400, "malformed Content-Length"},
    {"Too large value of 'Content-Length' header", 413, "Content-Length too large"},
    {"request without `Host' header", 400, "an HTTP/1.1 request needs a Host header"},
    // Answered once by libmicrohttpd (an HTML page): counted with the other refusals.
    // Writing our own line there instead made libmicrohttpd 0.9.75 crash now and then
    // (about one run in 500) when the server stopped just after.
    {"HTTP response code is 431", 431, nullptr},
};

// A client that leaves, stalls or sends something malformed: its own business.
constexpr const char* kRoutine[] = {
    "closed by remote side",       "has been disconnected",   "socket is closed",
    "Failed to send data",         "Error processing request", "timed out",
    "Application reported internal error", "Failed to receive",   "Connection reset",
    "TLS handshake",               "Error: received handshake message out of context",
};

bool routine(const char* text) {
  for (const char* part : kRoutine) {
    if (std::strstr(text, part) != nullptr) return true;
  }
  return false;
}

bool answer_header_fault(const char* text) {
  if (t_current.connection == nullptr || t_current.answered) return false;
  for (const HeaderFault& fault : kHeaderFaults) {
    if (std::strstr(text, fault.message) == nullptr) continue;
    t_current.daemon->metrics().refused(fault.status);
    if (fault.text == nullptr) return true;
    write_answer(t_current.connection, fault.status, fault.text);
    end_sending(t_current.connection);
    t_current.answered = true;
    return true;
  }
  return false;
}

}  // namespace

void note_request_line(HttpDaemon& daemon, MHD_Connection* connection) {
  t_current = ThreadConnection{&daemon, connection, false};
}

bool answered_directly() { return t_current.answered; }

void set_answered_directly() { t_current.answered = true; }

void mhd_message(void* cls, const char* format, va_list args) noexcept {
  guarded_callback("HttpDaemon", [&] {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    if (char* end = std::strchr(text, '\n')) *end = '\0';
    const auto& side = *static_cast<DaemonSide*>(cls);
    HttpDaemon& http = side.owner;
    // A worker thread serves many connections, so what it noted last may be another
    // connection's request line: only a thread of its own identifies the connection.
    const bool ours = t_current.daemon == &http && !side.pooled;
    if (ours && t_current.answered) return;  // the rest is about bytes nobody reads
    const bool fault = ours && answer_header_fault(text);
    const bool info = fault || routine(text);
    http.counted_log().count(std::string("mhd/") + format,
                             {info ? MSL_LOG_INFO : MSL_LOG_WARNING, "HttpDaemon",
                              "HTTP server: ", std::string(" more like: ") + text},
                             true, std::string("HTTP server: ") + text);
  });
}

}  // namespace qel::scs
