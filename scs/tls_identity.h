// The certificate chain and private key an endpoint presents in its TLS handshakes,
// parsed once from the PEM texts of its settings. The HTTP server takes them from the
// certificate callback of each handshake (tls_sockets.h), so a reload can hand new
// connections a new identity while the server keeps running.
//
// Immutable once made; shared (std::shared_ptr<const TlsIdentity>) by the endpoint's
// state and by every handshake that uses it, so it outlives them all. Any thread.
#pragma once

#include <gnutls/abstract.h>
#include <gnutls/gnutls.h>

#include <memory>
#include <string>
#include <vector>

#include "scs/endpoint_config.h"

namespace qel::scs {

class TlsIdentity {
 public:
  // The identity of `config`'s tls_cert_pem and tls_key_pem; throws ScsError
  // (SCS_TLS_FAILED) naming the endpoint and files when they cannot be parsed or the
  // key does not belong to the first certificate.
  static std::shared_ptr<const TlsIdentity> load(const EndpointConfig& config);

  ~TlsIdentity();
  TlsIdentity(const TlsIdentity&) = delete;
  TlsIdentity& operator=(const TlsIdentity&) = delete;

  // For gnutls_certificate_retrieve_function2: GnuTLS reads them, never frees them.
  gnutls_pcert_st* chain() const { return const_cast<gnutls_pcert_st*>(chain_.data()); }
  unsigned length() const { return static_cast<unsigned>(chain_.size()); }
  gnutls_privkey_t key() const { return key_; }

 private:
  TlsIdentity() = default;

  std::vector<gnutls_pcert_st> chain_;
  gnutls_privkey_t key_ = nullptr;
};

}  // namespace qel::scs
