// The TLS connections of the process by socket, for the certificate callback of the
// HTTP servers. GnuTLS calls it with nothing but the session, whose transport is the
// connection's socket (libmicrohttpd 0.9.75 sets it so), and it must find the endpoint
// whose current identity to present: each TLS daemon enters a connection's socket
// when libmicrohttpd tells it of the connection (before its handshake, on the accept
// thread) and removes it at the close (before libmicrohttpd closes the socket, so a
// number is never in use twice). The handshake keeps the state it presented alive in
// its entry until the close, as GnuTLS holds on to the certificates it was handed.
//
// One process-wide table under one mutex, taken once per TLS connection opened, closed
// and handshaken. Any thread.
#pragma once

#include <gnutls/abstract.h>
#include <gnutls/gnutls.h>

#include <memory>
#include <mutex>
#include <unordered_map>

#include "scs/endpoint_state.h"

namespace qel::scs {

class HttpDaemon;

class TlsSockets {
 public:
  void add(int socket, const HttpDaemon* daemon);
  void remove(int socket);

  // gnutls_certificate_retrieve_function2 (MHD_OPTION_HTTPS_CERT_CALLBACK): presents
  // the current identity of the socket's endpoint, and asks for a client certificate
  // when the endpoint has client CAs.
  static int select_certificate(gnutls_session_t session, const gnutls_datum_t* wanted_cas,
                                int wanted_count, const gnutls_pk_algorithm_t* algorithms,
                                int algorithm_count, gnutls_pcert_st** chain, unsigned* length,
                                gnutls_privkey_t* key) noexcept;

 private:
  struct Entry {
    const HttpDaemon* daemon = nullptr;
    std::shared_ptr<const EndpointState> presented;  // what its handshake was given
  };
  std::shared_ptr<const EndpointState> present(int socket);

  std::mutex mutex_;
  std::unordered_map<int, Entry> sockets_;
};

// The process-wide table.
TlsSockets& tls_sockets();

}  // namespace qel::scs
