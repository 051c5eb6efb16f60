#include "server/tls_context.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace kestrion::server {

namespace {
std::string LastSslError(const char* what) {
  char buf[256];
  unsigned long e = ERR_get_error();
  ERR_clear_error();
  if (e == 0) return what;
  ERR_error_string_n(e, buf, sizeof buf);
  return std::string(what) + ": " + buf;
}
}  // namespace

TlsContext::~TlsContext() {
  if (ctx_) SSL_CTX_free(ctx_);
}

bool TlsContext::CreateContext(std::string& error) {
  OPENSSL_init_ssl(0, nullptr);
  ctx_ = SSL_CTX_new(TLS_server_method());
  if (!ctx_) {
    error = LastSslError("cannot create the TLS context");
    return false;
  }
  // The driver offers TLS 1.2 only; newer clients may use 1.3.
  SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION);
  SSL_CTX_set_options(ctx_, SSL_OP_NO_RENEGOTIATION);
  SSL_CTX_set_mode(ctx_, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  return true;
}

bool TlsContext::LoadFiles(const std::string& cert_file, const std::string& key_file, std::string& error) {
  if (!CreateContext(error)) return false;
  if (SSL_CTX_use_certificate_chain_file(ctx_, cert_file.c_str()) != 1) {
    error = LastSslError(("cannot load certificate " + cert_file).c_str());
    return false;
  }
  if (SSL_CTX_use_PrivateKey_file(ctx_, key_file.c_str(), SSL_FILETYPE_PEM) != 1 ||
      SSL_CTX_check_private_key(ctx_) != 1) {
    error = LastSslError(("cannot load key " + key_file).c_str());
    return false;
  }
  return true;
}

bool TlsContext::CreateSelfSigned(std::string& error) {
  if (!CreateContext(error)) return false;
  EVP_PKEY* key = EVP_EC_gen("P-256");
  X509* cert = X509_new();
  bool ok = key && cert;
  if (ok) {
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 365L * 24 * 3600);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Kestrion"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("localhost"), -1,
                               -1, 0);
    X509_set_issuer_name(cert, name);
    ok = X509_sign(cert, key, EVP_sha256()) > 0 && SSL_CTX_use_certificate(ctx_, cert) == 1 &&
         SSL_CTX_use_PrivateKey(ctx_, key) == 1;
  }
  if (!ok) error = LastSslError("cannot create a self-signed certificate");
  if (cert) X509_free(cert);
  if (key) EVP_PKEY_free(key);
  return ok;
}

}  // namespace kestrion::server
