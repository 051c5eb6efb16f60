// Verification of the server's TLS certificate against the development
// server, with a small certificate authority made for the test: the right CA
// and name connect; another CA, another name and an expired certificate are
// refused with 08001 before LOGIN is sent.
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <stdlib.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <thread>
#include <filesystem>
#include <functional>
#include <fstream>
#include <memory>

#include "tests/protocol/connection_fixture.h"
#include "tests/support/dev_server.h"

namespace kestrion_test {
namespace {

constexpr long kDay = 86400;

struct KeyAndCertificate {
  EVP_PKEY* key = nullptr;
  X509* cert = nullptr;
  ~KeyAndCertificate() {
    X509_free(cert);
    EVP_PKEY_free(key);
  }
};

// A certificate for `name`, valid from `from` to `to` seconds from now,
// signed by `issuer` (self-signed when null), with the given subject
// alternative names ("DNS:localhost,IP:127.0.0.1"; none when empty).
std::unique_ptr<KeyAndCertificate> Make(const std::string& name, const KeyAndCertificate* issuer,
                                        const std::string& alt_names, long from, long to) {
  static long serial = 1;
  auto out = std::make_unique<KeyAndCertificate>();
  out->key = EVP_EC_gen("P-256");
  X509* cert = out->cert = X509_new();
  X509_set_version(cert, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert), serial++);
  X509_gmtime_adj(X509_getm_notBefore(cert), from);
  X509_gmtime_adj(X509_getm_notAfter(cert), to);
  X509_set_pubkey(cert, out->key);
  X509_NAME_add_entry_by_txt(X509_get_subject_name(cert), "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(name.c_str()), -1, -1, 0);
  X509* signer = issuer ? issuer->cert : cert;
  X509_set_issuer_name(cert, X509_get_subject_name(signer));
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, signer, cert, nullptr, nullptr, 0);
  auto add = [&](int nid, const std::string& value) {
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    X509_add_ext(cert, ext, -1);
    X509_EXTENSION_free(ext);
  };
  add(NID_basic_constraints, issuer ? "CA:FALSE" : "critical,CA:TRUE");
  if (issuer) add(NID_ext_key_usage, "serverAuth");
  if (!alt_names.empty()) add(NID_subject_alt_name, alt_names);
  X509_sign(cert, issuer ? issuer->key : out->key, EVP_sha256());
  return out;
}

void WritePem(const std::string& path, X509* cert, EVP_PKEY* key = nullptr) {
  FILE* f = std::fopen(path.c_str(), "w");
  ASSERT_NE(f, nullptr);
  if (cert) PEM_write_X509(f, cert);
  if (key) PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr);
  std::fclose(f);
}

class TlsVerification : public ConnectionTest {
 public:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/kestrion-tlsv-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    auto ca = Make("Test CA", nullptr, "", -kDay, kDay);
    auto other_ca = Make("Other CA", nullptr, "", -kDay, kDay);
    WritePem(dir_ + "/ca.pem", ca->cert);
    WritePem(dir_ + "/other-ca.pem", other_ca->cert);
    auto server = Make("server", ca.get(), "DNS:localhost,IP:127.0.0.1", -kDay, kDay);
    WritePem(dir_ + "/server.pem", server->cert);
    WritePem(dir_ + "/server.key", nullptr, server->key);
    // The right CA, but only another host's name (and a common name that
    // would match, which must not count).
    auto elsewhere = Make("localhost", ca.get(), "DNS:db.example.test", -kDay, kDay);
    WritePem(dir_ + "/elsewhere.pem", elsewhere->cert);
    WritePem(dir_ + "/elsewhere.key", nullptr, elsewhere->key);
    auto expired = Make("server", ca.get(), "DNS:localhost,IP:127.0.0.1", -2 * kDay, -kDay);
    WritePem(dir_ + "/expired.pem", expired->cert);
    WritePem(dir_ + "/expired.key", nullptr, expired->key);
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(dir_); }

 protected:
  static std::unique_ptr<DevServer> Serve(const std::string& stem) {
    return std::make_unique<DevServer>(std::vector<std::string>{
        "--tls-cert", dir_ + "/" + stem + ".pem", "--tls-key", dir_ + "/" + stem + ".key",
        "--log-level", "debug"});
  }
  std::string Target(const DevServer& server, const std::string& host, const std::string& verify,
                     const std::string& ca = "ca") {
    return "DSN=*;Server=" + host + ";Port=" + std::to_string(server.port()) +
           ";UID=;LoginTimeout=5;TLSVerify=" + verify + (ca.empty() ? "" : ";TLSCAFile=" + dir_ + "/" + ca + ".pem");
  }
  // Connects, expecting a refusal with 08001 whose message holds `reason`;
  // the server must not have seen LOGIN.
  void ExpectRefused(const DevServer& server, const std::string& text, const std::string& reason) {
    EXPECT_EQ(Connect(text), SQL_ERROR);
    const std::string diagnostics = Diagnostics();
    EXPECT_EQ(diagnostics.rfind("08001 0 TLS verification failed: ", 0), 0u) << diagnostics;
    EXPECT_NE(diagnostics.find(reason), std::string::npos) << diagnostics;
    EXPECT_EQ(server.Log().find("LOGIN"), std::string::npos) << server.Log();
    SQLDisconnect(dbc);
  }

  static std::string dir_;
};
std::string TlsVerification::dir_;

TEST_F(TlsVerification, RightCaAndNameConnect) {
  auto server = Serve("server");
  ASSERT_TRUE(server->ok()) << server->error();
  for (const char* host : {"localhost", "127.0.0.1"}) {
    EXPECT_EQ(Connect(Target(*server, host, "full")), SQL_SUCCESS) << host << "\n" << Diagnostics();
    EXPECT_TRUE(conn().session.link && conn().session.link->tls());
    EXPECT_EQ(SQLDisconnect(dbc), SQL_SUCCESS);
  }
  // "ca" and verification modes in any case; verification turns TLS on
  // without SSL=true.
  EXPECT_EQ(Connect(Target(*server, "127.0.0.1", "CA")), SQL_SUCCESS) << Diagnostics();
  EXPECT_EQ(SQLDisconnect(dbc), SQL_SUCCESS);
  // A CA file may hold several certificates.
  const std::string bundle = dir_ + "/bundle.pem";
  {
    std::ofstream out(bundle);
    out << std::ifstream(dir_ + "/other-ca.pem").rdbuf() << std::ifstream(dir_ + "/ca.pem").rdbuf();
  }
  EXPECT_EQ(Connect(Target(*server, "localhost", "full", "bundle")), SQL_SUCCESS) << Diagnostics();
  EXPECT_EQ(SQLDisconnect(dbc), SQL_SUCCESS);
}

TEST_F(TlsVerification, AnotherCaIsRefused) {
  auto server = Serve("server");
  ASSERT_TRUE(server->ok()) << server->error();
  ExpectRefused(*server, Target(*server, "localhost", "ca", "other-ca"), "did not verify");
  ExpectRefused(*server, Target(*server, "localhost", "full", "other-ca"), "did not verify");
  // Without TLSCAFile the system's store does not know the test CA either.
  ExpectRefused(*server, Target(*server, "localhost", "ca", ""), "did not verify");
  // Without verification the same server is accepted, as before.
  EXPECT_EQ(Connect(Target(*server, "localhost", "none", "") + ";SSL=true"), SQL_SUCCESS) << Diagnostics();
  EXPECT_EQ(SQLDisconnect(dbc), SQL_SUCCESS);
}

TEST_F(TlsVerification, AnotherNameIsRefusedByFullOnly) {
  auto server = Serve("elsewhere");
  ASSERT_TRUE(server->ok()) << server->error();
  ExpectRefused(*server, Target(*server, "localhost", "full"), "is not for 'localhost'");
  ExpectRefused(*server, Target(*server, "127.0.0.1", "full"), "is not for '127.0.0.1'");
  EXPECT_EQ(Connect(Target(*server, "localhost", "ca")), SQL_SUCCESS) << Diagnostics();
  EXPECT_EQ(SQLDisconnect(dbc), SQL_SUCCESS);
}

TEST_F(TlsVerification, ExpiredCertificateIsRefused) {
  auto server = Serve("expired");
  ASSERT_TRUE(server->ok()) << server->error();
  ExpectRefused(*server, Target(*server, "localhost", "ca"), "expired");
  ExpectRefused(*server, Target(*server, "localhost", "full"), "expired");
}

TEST_F(TlsVerification, BadSettingsAreRefusedBeforeConnecting) {
  auto server = Serve("server");
  ASSERT_TRUE(server->ok()) << server->error();
  EXPECT_EQ(Connect(Target(*server, "localhost", "maybe")), SQL_ERROR);
  EXPECT_TRUE(Has(kestrion::SqlState::S08001, u"TLSVerify must be none, ca or full.")) << Diagnostics();
  ExpectRefused(*server, Target(*server, "localhost", "ca", "missing"), "cannot be read");
}

// The server name a TLS client sends (SNI), seen by a one-connection TLS
// server that closes the link after the handshake.
std::string ServerNameSent(const std::string& dir, const std::function<void(int port)>& connect) {
  int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listener, 1) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len) != 0)
    return "listen failed";
  SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
  SSL_CTX_use_certificate_file(ctx, (dir + "/server.pem").c_str(), SSL_FILETYPE_PEM);
  SSL_CTX_use_PrivateKey_file(ctx, (dir + "/server.key").c_str(), SSL_FILETYPE_PEM);
  std::string seen = "(none)";
  std::thread server([&] {
    int fd = ::accept(listener, nullptr, nullptr);
    if (fd < 0) return;
    SSL* ssl = SSL_new(ctx);
    SSL_set_fd(ssl, fd);
    if (SSL_accept(ssl) == 1) {
      const char* name = SSL_get_servername(ssl, TLSEXT_NAMETYPE_host_name);
      if (name) seen = name;
    }
    SSL_free(ssl);
    ::close(fd);
  });
  connect(ntohs(a.sin_port));
  server.join();
  SSL_CTX_free(ctx);
  ::close(listener);
  return seen;
}

TEST_F(TlsVerification, HostNameGoesOutAsServerName) {
  for (const char* host : {"localhost", "127.0.0.1"}) {
    std::string seen = ServerNameSent(dir_, [&](int port) {
      Connect("DSN=*;Server=" + std::string(host) + ";Port=" + std::to_string(port) +
              ";UID=;LoginTimeout=5;SSL=true");
      SQLDisconnect(dbc);
    });
    // A numeric address is never sent as a server name.
    EXPECT_EQ(seen, std::string(host) == "localhost" ? "localhost" : "(none)") << host;
  }
}

}  // namespace
}  // namespace kestrion_test
