#include "scs/client_auth.h"

#include <gnutls/gnutls.h>
#include <strings.h>

#include <string>

namespace qel::scs {
namespace {

unsigned check_certificate(const ClientCaList& cas, MHD_Connection* connection) {
  const MHD_ConnectionInfo* info =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_GNUTLS_SESSION);
  if (info == nullptr || info->tls_session == nullptr) return 403;
  return cas.check(static_cast<gnutls_session_t>(info->tls_session));
}

// Compares without leaking where the texts differ.
bool same_secret(const std::string& a, const std::string& b) {
  unsigned char diff = a.size() == b.size() ? 0 : 1;
  for (std::size_t i = 0; i < a.size(); ++i) {
    diff |= static_cast<unsigned char>(a[i] ^ (i < b.size() ? b[i] : 0));
  }
  return diff == 0;
}

unsigned check_token(const std::string& token, const RequestHeaders& headers) {
  const std::string scheme = "Bearer ";
  for (const auto& [name, text] : headers) {
    if (strcasecmp(name, "Authorization") != 0) continue;
    const std::string value(text);
    if (value.size() <= scheme.size() ||
        strncasecmp(value.c_str(), scheme.c_str(), scheme.size()) != 0) {
      return 401;
    }
    return same_secret(value.substr(scheme.size()), token) ? 0 : 403;
  }
  return 401;
}

}  // namespace

unsigned check_client(const EndpointState& state, MHD_Connection* connection,
                      const RequestHeaders& headers) {
  if (state.client_cas) {
    if (const unsigned verdict = check_certificate(*state.client_cas, connection)) return verdict;
  }
  if (!state.config.bearer_token.empty()) return check_token(state.config.bearer_token, headers);
  return 0;
}

}  // namespace qel::scs
