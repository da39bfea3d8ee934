// Test certificates made at run time with GnuTLS: a CA, two server certificates for
// 127.0.0.1 (common names "127.0.0.1" and "renewed") and a client certificate signed by
// that CA, and a self-signed client certificate the CA does not know. ECDSA P-256 keeps
// generation fast. The PEM files are written to the test's temporary folder.
#ifndef QEL_TESTS_SCS_TEST_CERTS_H
#define QEL_TESTS_SCS_TEST_CERTS_H

#include <string>

struct TestPki {
  std::string ca_cert;                        // file names
  std::string server_cert, server_key;
  std::string renewed_cert, renewed_key;      // another server certificate for 127.0.0.1
  std::string client_cert, client_key;
  std::string stranger_cert, stranger_key;    // self-signed client
};

// Makes the files; fails the current test on any GnuTLS error.
TestPki make_test_pki();

#endif  // QEL_TESTS_SCS_TEST_CERTS_H
