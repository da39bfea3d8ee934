// TLS endpoints: a client with a certificate from the endpoint's CA is served, one
// without a certificate or with a certificate of another issuer is refused.
#include <atomic>

#include "scs_test_certs.h"
#include "scs_test_support.h"

using namespace qeltest;

TEST_F(ScsTest, TlsEndpointRequiresClientCertificateFromItsCa) {
  const TestPki pki = make_test_pki();
  std::uint32_t listener = 0;
  const std::string settings = "port = 0\ntls_cert_file = " + pki.server_cert +
                               "\ntls_key_file = " + pki.server_key +
                               "\ntls_client_ca_file = " + pki.ca_cert + "\n";
  ASSERT_EQ(0u, add(settings, "", listener));
  std::atomic<int> calls{0};
  ASSERT_EQ(0u, serve(listener, "/secure", [&](const TestRequest& r, std::string& answer) {
    ++calls;
    answer = "secure:" + r.body;
    return 0u;
  }));
  const int port = start(listener, "/secure");
  ASSERT_FALSE(logged("serves /secure at https://127.0.0.1:").empty());

  http_options client;
  client.ca_file = pki.ca_cert;
  client.cert_file = pki.client_cert;
  client.key_file = pki.client_key;
  const http_result good = http_request(url(port, "/secure", true), "hi", client);
  ASSERT_EQ("", good.error);
  EXPECT_EQ(200, good.status);
  EXPECT_EQ("secure:hi", good.body);

  http_options anonymous;
  anonymous.ca_file = pki.ca_cert;
  EXPECT_EQ(401, http_request(url(port, "/secure", true), "hi", anonymous).status);

  http_options stranger = client;
  stranger.cert_file = pki.stranger_cert;
  stranger.key_file = pki.stranger_key;
  EXPECT_EQ(403, http_request(url(port, "/secure", true), "hi", stranger).status);

  EXPECT_NE(200, http_request(url(port, "/secure"), "hi").status);  // plain HTTP fails
  EXPECT_EQ(1, calls.load());
}

TEST_F(ScsTest, UnusableTlsFilesFailTheStart) {
  const TestPki pki = make_test_pki();
  std::uint32_t listener = 0;
  // The client certificate's key does not belong to the server certificate.
  const std::string settings = "port = 0\ntls_cert_file = " + pki.server_cert +
                               "\ntls_key_file = " + pki.client_key + "\n";
  ASSERT_EQ(0u, add(settings, "", listener));
  ASSERT_EQ(0u, serve(listener, "/secure", [](const TestRequest&, std::string&) { return 0u; }));
  EXPECT_EQ(0xC7210112u, SCS_SERVER_StartServer(listener));
}
