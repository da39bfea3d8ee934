// SCS_SERVER_ReloadListener on running servers: a renewed certificate reaches new
// connections while an open one keeps working, a rotated token takes effect at once
// while a request waits in its callback, broken settings or files change nothing, and
// what needs a restart is reported and left as it was.
#include <gnutls/gnutls.h>
#include <gnutls/x509.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

#include "scs_test_certs.h"
#include "scs_test_support.h"
#include "tests/support/files.h"

using namespace qeltest;

namespace {

// A TLS client that tells which certificate the server presented and exchanges
// requests on one connection (keep-alive). It verifies nothing: the test looks at the
// certificate itself.
class TlsProbe {
 public:
  explicit TlsProbe(int port) : socket_(connect_local(port)) {
    timeval limit{5, 0};
    setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    gnutls_certificate_allocate_credentials(&credentials_);
    gnutls_init(&session_, GNUTLS_CLIENT);
    gnutls_set_default_priority(session_);
    gnutls_credentials_set(session_, GNUTLS_CRD_CERTIFICATE, credentials_);
    gnutls_transport_set_int(session_, socket_);
    int result;
    do {
      result = gnutls_handshake(session_);
    } while (result < 0 && gnutls_error_is_fatal(result) == 0);
    connected_ = socket_ >= 0 && result >= 0;
  }
  ~TlsProbe() {
    gnutls_deinit(session_);
    gnutls_certificate_free_credentials(credentials_);
    if (socket_ >= 0) close(socket_);
  }

  bool connected() const { return connected_; }

  // The common name of the certificate the server presented.
  std::string subject() const {
    unsigned count = 0;
    const gnutls_datum_t* peers = gnutls_certificate_get_peers(session_, &count);
    if (peers == nullptr || count == 0) return "";
    gnutls_x509_crt_t certificate;
    gnutls_x509_crt_init(&certificate);
    char name[256] = "";
    std::size_t size = sizeof name;
    if (gnutls_x509_crt_import(certificate, &peers[0], GNUTLS_X509_FMT_DER) == 0) {
      gnutls_x509_crt_get_dn_by_oid(certificate, GNUTLS_OID_X520_COMMON_NAME, 0, 0, name, &size);
    }
    gnutls_x509_crt_deinit(certificate);
    return name;
  }

  // Sends one request and reads its answer (headers and a Content-Length body).
  std::string exchange(const std::string& request) {
    if (gnutls_record_send(session_, request.data(), request.size()) < 0) return "";
    std::string answer;
    char buffer[4096];
    while (true) {
      const auto end = answer.find("\r\n\r\n");
      if (end != std::string::npos) {
        const auto length = answer.find("Content-Length: ");
        const std::size_t body = length == std::string::npos ? 0 : std::stoul(answer.substr(length + 16));
        if (answer.size() >= end + 4 + body) return answer;
      }
      const ssize_t n = gnutls_record_recv(session_, buffer, sizeof buffer);
      if (n <= 0) return answer;
      answer.append(buffer, static_cast<std::size_t>(n));
    }
  }

 private:
  int socket_;
  gnutls_certificate_credentials_t credentials_ = nullptr;
  gnutls_session_t session_ = nullptr;
  bool connected_ = false;
};

const std::string kKeepAlive = "POST /secure HTTP/1.1\r\nHost: h\r\nContent-Length: 2\r\n\r\nhi";

std::uint32_t reload(std::uint32_t listener, const std::string& settings,
                     const char* source = nullptr) {
  return SCS_SERVER_ReloadListener(listener, settings.c_str(), source, "", nullptr);
}

// Replaces a file the way a renewal or rotation does: a new file renamed over it.
void replace_file(const std::string& path, const std::string& contents) {
  write_file(path + ".new", contents, 0600);
  ASSERT_EQ(0, std::rename((path + ".new").c_str(), path.c_str()));
}

header_lines bearer(const std::string& token) { return {"Authorization: Bearer " + token}; }

}  // namespace

TEST_F(ScsTest, ReloadPresentsARenewedCertificateToNewConnectionsOnly) {
  const TestPki pki = make_test_pki();
  const std::string cert = temp_file("live.pem", read_file(pki.server_cert));
  const std::string key = temp_file("live.key", read_file(pki.server_key));
  const std::string settings = "port = 0\ntls_cert_file = " + cert + "\ntls_key_file = " + key + "\n";
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add(settings, "", listener));
  ASSERT_EQ(0u, serve(listener, "/secure", [](const TestRequest& r, std::string& answer) {
    answer = "secure:" + r.body;
    return 0u;
  }));
  const int port = start(listener, "/secure");
  TlsProbe open(port);
  ASSERT_TRUE(open.connected());
  EXPECT_EQ("127.0.0.1", open.subject());
  EXPECT_EQ(200, raw_status(open.exchange(kKeepAlive)));

  replace_file(cert, read_file(pki.renewed_cert));
  replace_file(key, read_file(pki.renewed_key));
  ASSERT_EQ(0u, reload(listener, settings));  // the same text: the files are read again
  EXPECT_EQ(1u, logged("reloaded its settings").size());
  TlsProbe fresh(port);
  ASSERT_TRUE(fresh.connected());
  EXPECT_EQ("renewed", fresh.subject());
  const std::string again = open.exchange(kKeepAlive);  // the open connection goes on
  EXPECT_EQ(200, raw_status(again)) << again;
  EXPECT_NE(std::string::npos, again.find("secure:hi"));
  http_options verified;
  verified.ca_file = pki.ca_cert;
  EXPECT_EQ(200, http_request(url(port, "/secure", true), "x", verified).status);

  // Client certificates turned on by a reload: asked for and checked from then on.
  ASSERT_EQ(0u, reload(listener, settings + "tls_client_ca_file = " + pki.ca_cert + "\n"));
  EXPECT_EQ(401, http_request(url(port, "/secure", true), "x", verified).status);
  http_options client = verified;
  client.cert_file = pki.client_cert;
  client.key_file = pki.client_key;
  EXPECT_EQ(200, http_request(url(port, "/secure", true), "x", client).status);
  client.cert_file = pki.stranger_cert;
  client.key_file = pki.stranger_key;
  EXPECT_EQ(403, http_request(url(port, "/secure", true), "x", client).status);

  // A certificate that does not parse, or a key of another certificate: nothing changes.
  replace_file(cert, "-----BEGIN CERTIFICATE-----\nbroken\n-----END CERTIFICATE-----\n");
  EXPECT_EQ(0xC7210112u, reload(listener, settings));
  EXPECT_EQ(1u, logged("listener " + std::to_string(listener) + " keeps its settings: endpoint "
                       "'default': tls_cert_file '" + cert).size());
  replace_file(cert, read_file(pki.server_cert));  // with the renewed key
  EXPECT_EQ(0xC7210112u, reload(listener, settings));
  TlsProbe after(port);
  EXPECT_EQ("renewed", after.subject());
  EXPECT_EQ(401, http_request(url(port, "/secure", true), "x", verified).status);  // CA kept
}

TEST_F(ScsTest, ReloadRotatesTheTokenAtOnceWhileARequestWaitsUntouched) {
  const std::string token = temp_file("token", "old-token-1234\n");
  const std::string settings = "port = 0\nbearer_token_file = " + token + "\n";
  // Two listeners with the same settings share one server; a reload of either reaches it.
  std::uint32_t callers = 0, polls = 0;
  ASSERT_EQ(0u, add(settings, "", callers));
  ASSERT_EQ(0u, add(settings, "", polls));
  Gate gate;
  ASSERT_EQ(0u, serve(callers, "/qel", [&](const TestRequest& r, std::string& answer) {
    gate.arrive_and_wait();
    answer = "late:" + r.body;
    return 0u;
  }));
  ASSERT_EQ(0u, serve(polls, "/poll", [](const TestRequest& r, std::string& answer) {
    answer = "poll:" + r.body;
    return 0u;
  }));
  const int port = start(callers, "/qel");
  ASSERT_EQ(port, start(polls, "/poll"));
  const auto held = http_post_async(url(port, "/qel"), "waiting", bearer("old-token-1234"));
  ASSERT_TRUE(gate.wait_for_arrivals(1, 10));

  replace_file(token, "new-token-5678\n");
  ASSERT_EQ(0u, reload(callers, settings));
  EXPECT_EQ(403, http_post(url(port, "/poll"), "x", bearer("old-token-1234")).status);
  const http_result rotated = http_post(url(port, "/poll"), "x", bearer("new-token-5678"));
  EXPECT_EQ(200, rotated.status);
  EXPECT_EQ("poll:x", rotated.body);
  EXPECT_EQ(0u, reload(polls, settings));  // already in force: nothing left to change
  // The other listener still finds its server after a stop and a start.
  ASSERT_EQ(0u, SCS_SERVER_StopServer(polls));
  EXPECT_EQ(port, start(polls, "/poll"));

  // Logs and limits change live too.
  EXPECT_TRUE(logged("\"POST /poll\" 200").empty());
  ASSERT_EQ(0u, reload(polls, settings + "access_log = on\nmax_body_size = 4\n"));
  EXPECT_EQ(200, http_post(url(port, "/poll"), "abcd", bearer("new-token-5678")).status);
  EXPECT_EQ(1u, logged("\"POST /poll\" 200 in=4").size());
  EXPECT_EQ(413, http_post(url(port, "/poll"), "abcde", bearer("new-token-5678")).status);
  ASSERT_EQ(0u, reload(polls, settings + "per_ip_limit = 1\n"));  // the held request has one
  const http_result crowded = http_post(url(port, "/poll"), "x", bearer("new-token-5678"));
  EXPECT_EQ(503, crowded.status);
  EXPECT_NE(std::string::npos, crowded.body.find("too many connections from your address"));

  EXPECT_FALSE(ready_within(held, 200));  // waited throughout, untouched
  gate.open();
  const http_result late = held.get();
  EXPECT_EQ(200, late.status);
  EXPECT_EQ("late:waiting", late.body);
}

TEST_F(ScsTest, ReloadWithBrokenSettingsOrFilesChangesNothing) {
  const std::string token = temp_file("kept-token", "kept-token-1234\n");
  const std::string settings = "port = 0\nbearer_token_file = " + token + "\n";
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add(settings, "", listener));
  ASSERT_EQ(0u, serve(listener, "/qel", [](const TestRequest&, std::string& answer) {
    answer = "ok";
    return 0u;
  }));
  const int port = start(listener, "/qel");
  const std::string prefix = "listener " + std::to_string(listener) + " keeps its settings: ";

  EXPECT_EQ(0xC7210106u, reload(listener, "port = 0\nprot = 1\nbearer_token_file = /nowhere\n",
                                "/etc/qel/listeners.conf"));
  EXPECT_EQ(1u, logged(prefix + "listener settings file '/etc/qel/listeners.conf' line 2: "
                                "unknown settings key 'prot'").size());
  EXPECT_EQ(0xC7210109u, reload(listener, "port = 0\nbearer_token_file = /nowhere/token\n"));
  EXPECT_EQ(1u, logged("/nowhere/token").size());
  ASSERT_EQ(0, unlink(token.c_str()));
  EXPECT_EQ(0xC7210109u, reload(listener, settings));  // the rotation went wrong
  EXPECT_EQ(0xC7210107u, reload(listener, settings + "max_body_size = lots\n"));
  EXPECT_EQ(200, http_post(url(port, "/qel"), "x", bearer("kept-token-1234")).status);
  EXPECT_EQ(403, http_post(url(port, "/qel"), "x", bearer("other")).status);

  EXPECT_EQ(0xC7210103u, reload(listener + 100, "port = 0"));
  ASSERT_EQ(0u, SCS_SERVER_ShutDown());
  EXPECT_EQ(0xC7210102u, reload(listener, "port = 0"));
  EXPECT_EQ(0u, SCS_SERVER_Init("5.0", "uuid-1", "test-agent", nullptr));  // for TearDown
}

TEST_F(ScsTest, ReloadReportsWhatNeedsARestartAndAppliesTheRest) {
  const std::string token = temp_file("restart-token", "first-token-1234\n");
  const std::string second = temp_file("second-token", "second-token-5678\n");
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0\nconnection_limit = 10\nbearer_token_file = " + token + "\n", "",
                    listener));
  ASSERT_EQ(0u, serve(listener, "/qel", [](const TestRequest&, std::string& answer) {
    answer = "ok";
    return 0u;
  }));
  const int port = start(listener, "/qel");
  const int other_port = connect_local(port + 1) < 0 ? port + 1 : port + 2;

  const std::string moved = "port = " + std::to_string(other_port) + "\nconnection_limit = 20\n"
                            "bearer_token_file = " + second + "\nworkers = 2\n";
  const std::string added = "[endpoint extra]\nport = 0\nresources = /x\n";
  ASSERT_EQ(SCS_STATUS_RESTART_NEEDED,
            SCS_SERVER_ReloadListener(listener, moved.c_str(), nullptr, added.c_str(), nullptr));
  const auto warnings = logged("not applied until a restart");
  ASSERT_EQ(1u, warnings.size());
  for (const std::string& item :
       {"endpoint 'default' port 0 -> " + std::to_string(other_port),
        std::string("endpoint 'default' workers 0 -> 2"),
        std::string("endpoint 'default' connection_limit 10 -> 20"),
        std::string("endpoint 'extra' added")}) {
    EXPECT_NE(std::string::npos, warnings[0].find(item)) << warnings[0];
  }
  EXPECT_EQ(0u, warnings[0].find("2 SCS_SERVER_ReloadListener: listener ")) << warnings[0];
  // The token was applied; the port was not.
  EXPECT_EQ(200, http_post(url(port, "/qel"), "x", bearer("second-token-5678")).status);
  EXPECT_EQ(403, http_post(url(port, "/qel"), "x", bearer("first-token-1234")).status);
  EXPECT_EQ(-1, connect_local(other_port));
  // A lower connection limit is applied; once in force, the same text reloads quietly.
  const std::string lower = "port = 0\nconnection_limit = 5\nbearer_token_file = " + second + "\n";
  EXPECT_EQ(0u, reload(listener, lower));
  EXPECT_EQ(0u, reload(listener, lower));
  EXPECT_EQ(1u, logged("not applied until a restart").size());

  char text[256];
  ASSERT_EQ(0u, SCS_SERVER_GetErrorMsg(SCS_STATUS_RESTART_NEEDED, text, sizeof text));
  EXPECT_NE(std::string::npos, std::string(text).find("need a restart"));
}
