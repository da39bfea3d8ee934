#include "scs_test_certs.h"

#include <gnutls/gnutls.h>
#include <gnutls/x509.h>
#include <gtest/gtest.h>

#include <ctime>
#include <gnutls/abstract.h>
#include <memory>

#include "scs_test_support.h"

namespace {

struct Key {
  Key() {
    gnutls_x509_privkey_init(&key);
    EXPECT_EQ(0, gnutls_x509_privkey_generate(
                     key, GNUTLS_PK_ECDSA, GNUTLS_CURVE_TO_BITS(GNUTLS_ECC_CURVE_SECP256R1), 0));
  }
  ~Key() { gnutls_x509_privkey_deinit(key); }
  std::string pem() const {
    gnutls_datum_t out{};
    EXPECT_EQ(0, gnutls_x509_privkey_export2_pkcs8(key, GNUTLS_X509_FMT_PEM, nullptr,
                                                   GNUTLS_PKCS_PLAIN, &out));
    std::string text(reinterpret_cast<char*>(out.data), out.size);
    gnutls_free(out.data);
    return text;
  }
  gnutls_x509_privkey_t key{};
};

struct Cert {
  Cert(const Key& key, const std::string& name, unsigned serial) {
    gnutls_x509_crt_init(&crt);
    gnutls_x509_crt_set_version(crt, 3);
    const unsigned char serial_bytes[] = {static_cast<unsigned char>(serial)};
    gnutls_x509_crt_set_serial(crt, serial_bytes, sizeof serial_bytes);
    gnutls_x509_crt_set_activation_time(crt, std::time(nullptr) - 3600);
    gnutls_x509_crt_set_expiration_time(crt, std::time(nullptr) + 86400);
    gnutls_x509_crt_set_dn_by_oid(crt, GNUTLS_OID_X520_COMMON_NAME, 0, name.data(),
                                  static_cast<unsigned>(name.size()));
    EXPECT_EQ(0, gnutls_x509_crt_set_key(crt, key.key));
  }
  ~Cert() { gnutls_x509_crt_deinit(crt); }
  void sign(const Cert& issuer, const Key& issuer_key) {
    gnutls_privkey_t signer{};
    gnutls_privkey_init(&signer);
    gnutls_privkey_import_x509(signer, issuer_key.key, 0);
    EXPECT_EQ(0, gnutls_x509_crt_privkey_sign(crt, issuer.crt, signer, GNUTLS_DIG_SHA256, 0));
    gnutls_privkey_deinit(signer);
  }
  std::string pem() const {
    gnutls_datum_t out{};
    EXPECT_EQ(0, gnutls_x509_crt_export2(crt, GNUTLS_X509_FMT_PEM, &out));
    std::string text(reinterpret_cast<char*>(out.data), out.size);
    gnutls_free(out.data);
    return text;
  }
  gnutls_x509_crt_t crt{};
};

void leaf(Cert& cert, const char* purpose) {
  gnutls_x509_crt_set_basic_constraints(cert.crt, 0, -1);
  gnutls_x509_crt_set_key_usage(cert.crt, GNUTLS_KEY_DIGITAL_SIGNATURE);
  gnutls_x509_crt_set_key_purpose_oid(cert.crt, purpose, 0);
}

}  // namespace

TestPki make_test_pki() {
  TestPki pki;
  Key ca_key, server_key, renewed_key, client_key, stranger_key;
  Cert ca(ca_key, "scs test CA", 1);
  gnutls_x509_crt_set_basic_constraints(ca.crt, 1, -1);
  gnutls_x509_crt_set_key_usage(ca.crt, GNUTLS_KEY_KEY_CERT_SIGN | GNUTLS_KEY_CRL_SIGN);
  ca.sign(ca, ca_key);

  Cert server(server_key, "127.0.0.1", 2);
  leaf(server, GNUTLS_KP_TLS_WWW_SERVER);
  const unsigned char loopback[] = {127, 0, 0, 1};
  gnutls_x509_crt_set_subject_alt_name(server.crt, GNUTLS_SAN_IPADDRESS, loopback,
                                       sizeof loopback, GNUTLS_FSAN_SET);
  server.sign(ca, ca_key);

  Cert renewed(renewed_key, "renewed", 5);
  leaf(renewed, GNUTLS_KP_TLS_WWW_SERVER);
  gnutls_x509_crt_set_subject_alt_name(renewed.crt, GNUTLS_SAN_IPADDRESS, loopback,
                                       sizeof loopback, GNUTLS_FSAN_SET);
  renewed.sign(ca, ca_key);

  Cert client(client_key, "scs test client", 3);
  leaf(client, GNUTLS_KP_TLS_WWW_CLIENT);
  client.sign(ca, ca_key);

  Cert stranger(stranger_key, "scs stranger", 4);
  leaf(stranger, GNUTLS_KP_TLS_WWW_CLIENT);
  stranger.sign(stranger, stranger_key);

  pki.ca_cert = temp_file("ca.pem", ca.pem());
  pki.server_cert = temp_file("server.pem", server.pem());
  pki.server_key = temp_file("server.key", server_key.pem());
  pki.renewed_cert = temp_file("renewed.pem", renewed.pem());
  pki.renewed_key = temp_file("renewed.key", renewed_key.pem());
  pki.client_cert = temp_file("client.pem", client.pem());
  pki.client_key = temp_file("client.key", client_key.pem());
  pki.stranger_cert = temp_file("stranger.pem", stranger.pem());
  pki.stranger_key = temp_file("stranger.key", stranger_key.pem());
  return pki;
}
