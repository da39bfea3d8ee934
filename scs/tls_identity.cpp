#include "scs/tls_identity.h"

#include <cstring>

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

// The key belongs to the leaf certificate when both name the same public key. (Handing
// both to gnutls_certificate_set_x509_key_mem would check it too, but GnuTLS 3.7 leaks
// the parsed certificate when they do not match.)
void check_pair(const EndpointConfig& config, const gnutls_pcert_st& leaf,
                gnutls_privkey_t key) {
  gnutls_pubkey_t from_key = nullptr;
  int result = gnutls_pubkey_init(&from_key);
  if (result < 0) unusable(config, result);
  unsigned char leaf_id[64], key_id[64];
  std::size_t leaf_size = sizeof leaf_id, key_size = sizeof key_id;
  result = gnutls_pubkey_import_privkey(from_key, key, 0, 0);
  if (result >= 0) result = gnutls_pubkey_get_key_id(leaf.pubkey, 0, leaf_id, &leaf_size);
  if (result >= 0) result = gnutls_pubkey_get_key_id(from_key, 0, key_id, &key_size);
  gnutls_pubkey_deinit(from_key);
  if (result < 0) unusable(config, result);
  if (leaf_size != key_size || std::memcmp(leaf_id, key_id, key_size) != 0) {
    unusable(config, GNUTLS_E_CERTIFICATE_KEY_MISMATCH);
  }
}

}  // namespace

std::shared_ptr<const TlsIdentity> TlsIdentity::load(const EndpointConfig& config) {
  const gnutls_datum_t cert = datum(config.tls_cert_pem);
  const gnutls_datum_t key = datum(config.tls_key_pem);
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
  if (identity->chain_.empty()) unusable(config, GNUTLS_E_NO_CERTIFICATE_FOUND);
  check_pair(config, identity->chain_.front(), identity->key_);
  return identity;
}

TlsIdentity::~TlsIdentity() {
  for (gnutls_pcert_st& certificate : chain_) gnutls_pcert_deinit(&certificate);
  if (key_ != nullptr) gnutls_privkey_deinit(key_);
}

}  // namespace qel::scs
