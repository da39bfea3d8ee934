#include "scs/client_ca.h"

#include <vector>

#include "scs/scs_error.h"
#include "scs/status.h"

namespace qel::scs {
namespace {

// Certificates of a client's chain that are looked at.
constexpr unsigned kMaxChain = 16;

// The peer's chain, parsed; owns its certificates.
class PeerChain {
 public:
  PeerChain(const gnutls_datum_t* raw, unsigned count) {
    for (unsigned i = 0; i < count && i < kMaxChain; ++i) {
      gnutls_x509_crt_t certificate = nullptr;
      if (gnutls_x509_crt_init(&certificate) < 0) return;
      certificates_.push_back(certificate);
      if (gnutls_x509_crt_import(certificate, &raw[i], GNUTLS_X509_FMT_DER) < 0) return;
      ++parsed_;
    }
  }
  ~PeerChain() {
    for (gnutls_x509_crt_t certificate : certificates_) gnutls_x509_crt_deinit(certificate);
  }
  PeerChain(const PeerChain&) = delete;
  PeerChain& operator=(const PeerChain&) = delete;

  bool complete(unsigned count) const { return parsed_ == count && parsed_ != 0; }
  gnutls_x509_crt_t* data() { return certificates_.data(); }
  unsigned size() const { return parsed_; }

 private:
  std::vector<gnutls_x509_crt_t> certificates_;
  unsigned parsed_ = 0;
};

}  // namespace

std::shared_ptr<const ClientCaList> ClientCaList::load(const EndpointConfig& config) {
  std::shared_ptr<ClientCaList> cas(new ClientCaList());
  int result = gnutls_x509_trust_list_init(&cas->list_, 0);
  if (result >= 0) {
    const gnutls_datum_t pem{
        reinterpret_cast<unsigned char*>(const_cast<char*>(config.tls_client_ca_pem.data())),
        static_cast<unsigned>(config.tls_client_ca_pem.size())};
    result = gnutls_x509_trust_list_add_trust_mem(cas->list_, &pem, nullptr,
                                                  GNUTLS_X509_FMT_PEM, 0, 0);
  }
  if (result <= 0) {
    throw ScsError(status::SCS_TLS_FAILED,
                   std::string("endpoint '") + config.label() + "': tls_client_ca_file '" +
                       config.tls_client_ca_file + "' holds no usable certificate" +
                       (result < 0 ? std::string(": ") + gnutls_strerror(result) : ""));
  }
  return cas;
}

ClientCaList::~ClientCaList() {
  if (list_ != nullptr) gnutls_x509_trust_list_deinit(list_, 1);
}

unsigned ClientCaList::check(gnutls_session_t session) const {
  unsigned count = 0;
  const gnutls_datum_t* raw = gnutls_certificate_get_peers(session, &count);
  if (raw == nullptr || count == 0) return 401;
  if (count > kMaxChain) return 403;
  PeerChain chain(raw, count);
  if (!chain.complete(count)) return 403;
  unsigned verdict = 0;
  if (gnutls_x509_trust_list_verify_crt2(list_, chain.data(), chain.size(), nullptr, 0, 0,
                                         &verdict, nullptr) < 0) {
    return 403;
  }
  return verdict == 0 ? 0 : 403;
}

}  // namespace qel::scs
