#include "scs/tls_identity.h"

#include "scs/scs_error.h"
#include "scs/status.h"

namespace qel::scs {
namespace {

// Certificates a chain may hold: a leaf and its intermediates, with room to spare.
constexpr unsigned kMaxChain = 16;

gnutls_datum_t datum(const std::string& text) {
  return gnutls_datum_t{reinterpret_cast<unsigned char*>(const_cast<char*>(text.data())),
                        static_cast<unsigned>(text.size())};
}

[[noreturn]] void unusable(const EndpointConfig& config, int error) {
  throw ScsError(status::SCS_TLS_FAILED,
                 std::string("endpoint '") + config.label() + "': tls_cert_file '" +
                     config.tls_cert_file + "' and tls_key_file '" + config.tls_key_file +
                     "' cannot be used: " + gnutls_strerror(error));
}

// GnuTLS checks that the key belongs to the certificate when both go into credentials.
void check_pair(const EndpointConfig& config, const gnutls_datum_t& cert,
                const gnutls_datum_t& key) {
  gnutls_certificate_credentials_t probe = nullptr;
  int result = gnutls_certificate_allocate_credentials(&probe);
  if (result < 0) unusable(config, result);
  result = gnutls_certificate_set_x509_key_mem(probe, &cert, &key, GNUTLS_X509_FMT_PEM);
  gnutls_certificate_free_credentials(probe);
  if (result < 0) unusable(config, result);
}

}  // namespace

std::shared_ptr<const TlsIdentity> TlsIdentity::load(const EndpointConfig& config) {
  const gnutls_datum_t cert = datum(config.tls_cert_pem);
  const gnutls_datum_t key = datum(config.tls_key_pem);
  check_pair(config, cert, key);
  std::shared_ptr<TlsIdentity> identity(new TlsIdentity());
  std::vector<gnutls_pcert_st> chain(kMaxChain);
  unsigned count = kMaxChain;
  int result = gnutls_pcert_list_import_x509_raw(chain.data(), &count, &cert,
                                                 GNUTLS_X509_FMT_PEM, 0);
  if (result < 0) unusable(config, result);
  chain.resize(count);
  identity->chain_ = std::move(chain);  // from here the destructor frees what it holds
  result = gnutls_privkey_init(&identity->key_);
  if (result < 0) unusable(config, result);
  result = gnutls_privkey_import_x509_raw(identity->key_, &key, GNUTLS_X509_FMT_PEM, nullptr, 0);
  if (result < 0) unusable(config, result);
  return identity;
}

TlsIdentity::~TlsIdentity() {
  for (gnutls_pcert_st& certificate : chain_) gnutls_pcert_deinit(&certificate);
  if (key_ != nullptr) gnutls_privkey_deinit(key_);
}

}  // namespace qel::scs
