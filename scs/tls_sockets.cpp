#include "scs/tls_sockets.h"

#include "scs/api_guard.h"
#include "scs/http_daemon.h"

namespace qel::scs {

void TlsSockets::add(int socket, const HttpDaemon* daemon) {
  std::lock_guard<std::mutex> lock(mutex_);
  sockets_[socket] = Entry{daemon, nullptr};
}

void TlsSockets::remove(int socket) {
  std::shared_ptr<const EndpointState> released;  // let go after the lock
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = sockets_.find(socket);
  if (it == sockets_.end()) return;
  released = std::move(it->second.presented);
  sockets_.erase(it);
}

std::shared_ptr<const EndpointState> TlsSockets::present(int socket) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = sockets_.find(socket);
  if (it == sockets_.end()) return nullptr;
  it->second.presented = it->second.daemon->state();
  return it->second.presented;
}

int TlsSockets::select_certificate(gnutls_session_t session, const gnutls_datum_t*, int,
                                   const gnutls_pk_algorithm_t*, int, gnutls_pcert_st** chain,
                                   unsigned* length, gnutls_privkey_t* key) noexcept {
  return guarded_callback("select_certificate", -1, [&] {
    const auto state = tls_sockets().present(gnutls_transport_get_int(session));
    if (!state || !state->identity) return -1;  // unknown connection: no handshake
    // Asked for here rather than by the server's credentials, so a reload can turn
    // client certificates on and off; they are verified per request (ClientCaList).
    gnutls_certificate_server_set_request(
        session, state->client_cas ? GNUTLS_CERT_REQUEST : GNUTLS_CERT_IGNORE);
    *chain = state->identity->chain();
    *length = state->identity->length();
    *key = state->identity->key();
    return 0;
  });
}

TlsSockets& tls_sockets() {
  static TlsSockets instance;
  return instance;
}

}  // namespace qel::scs
