// The client certificate authorities of an endpoint (tls_client_ca_file), parsed once
// into a GnuTLS trust list, and the check of a connection's client certificate against
// them. The library verifies client certificates itself instead of leaving the list in
// the HTTP server's credentials, so a reload can replace it for the next request.
//
// Immutable once made; shared by the endpoint's state and the requests that use it.
// Any thread.
#pragma once

#include <gnutls/gnutls.h>
#include <gnutls/x509.h>

#include <memory>
#include <string>

#include "scs/endpoint_config.h"

namespace qel::scs {

class ClientCaList {
 public:
  // The list of `config`'s tls_client_ca_pem; throws ScsError (SCS_TLS_FAILED) naming
  // the endpoint and file when it holds no certificate GnuTLS can read.
  static std::shared_ptr<const ClientCaList> load(const EndpointConfig& config);

  ~ClientCaList();
  ClientCaList(const ClientCaList&) = delete;
  ClientCaList& operator=(const ClientCaList&) = delete;

  // 0 when the session's client presented a certificate chain that verifies against
  // the list (issuer, signatures, validity), 401 when it presented none, 403 otherwise.
  unsigned check(gnutls_session_t session) const;

 private:
  ClientCaList() = default;

  gnutls_x509_trust_list_t list_ = nullptr;
};

}  // namespace qel::scs
