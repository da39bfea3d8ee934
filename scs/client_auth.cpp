#include "scs/client_auth.h"

#include <gnutls/gnutls.h>
#include <strings.h>

#include <string>

namespace qel::scs {
namespace {

unsigned check_certificate(MHD_Connection* connection) {
  const MHD_ConnectionInfo* info =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_GNUTLS_SESSION);
  if (info == nullptr || info->tls_session == nullptr) return 403;
  auto session = static_cast<gnutls_session_t>(info->tls_session);
  unsigned count = 0;
  if (gnutls_certificate_get_peers(session, &count) == nullptr || count == 0) return 401;
  unsigned verdict = 0;
  if (gnutls_certificate_verify_peers2(session, &verdict) != GNUTLS_E_SUCCESS) return 403;
  return verdict == 0 ? 0 : 403;
}

// Compares without leaking where the texts differ.
bool same_secret(const std::string& a, const std::string& b) {
  unsigned char diff = a.size() == b.size() ? 0 : 1;
  for (std::size_t i = 0; i < a.size(); ++i) {
    diff |= static_cast<unsigned char>(a[i] ^ (i < b.size() ? b[i] : 0));
  }
  return diff == 0;
}

unsigned check_token(const std::string& token, const HeaderList& headers) {
  const std::string scheme = "Bearer ";
  for (const auto& [name, value] : headers) {
    if (strcasecmp(name.c_str(), "Authorization") != 0) continue;
    if (value.size() <= scheme.size() ||
        strncasecmp(value.c_str(), scheme.c_str(), scheme.size()) != 0) {
      return 401;
    }
    return same_secret(value.substr(scheme.size()), token) ? 0 : 403;
  }
  return 401;
}

}  // namespace

unsigned check_client(const EndpointConfig& config, MHD_Connection* connection,
                      const HeaderList& headers) {
  if (!config.tls_client_ca_pem.empty()) {
    if (const unsigned verdict = check_certificate(connection)) return verdict;
  }
  if (!config.bearer_token.empty()) return check_token(config.bearer_token, headers);
  return 0;
}

}  // namespace qel::scs
