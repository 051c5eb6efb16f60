#include "protocol/tls_verification.h"

#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <memory>

#include "protocol/tls_context.h"

namespace kestrion {

namespace {
struct StoreFree {
  void operator()(X509_STORE* s) const { X509_STORE_free(s); }
};
struct StoreContextFree {
  void operator()(X509_STORE_CTX* c) const { X509_STORE_CTX_free(c); }
};
struct CertificateFree {
  void operator()(X509* c) const { X509_free(c); }
};
}  // namespace

std::optional<TlsVerifyMode> ParseTlsVerify(const std::optional<corvane::VString>& value) {
  if (!value || value->empty() || corvane::VString::EqualsFolded(*value, u"none")) return TlsVerifyMode::None;
  if (corvane::VString::EqualsFolded(*value, u"ca")) return TlsVerifyMode::Ca;
  if (corvane::VString::EqualsFolded(*value, u"full")) return TlsVerifyMode::Full;
  return std::nullopt;
}

bool VerifyServerCertificate(SSL* ssl, TlsVerifyMode mode, const std::string& server_name,
                             const std::string& ca_file, std::string& why) {
  if (mode == TlsVerifyMode::None) return true;
  if (ssl == nullptr) {
    why = "there is no TLS channel";
    return false;
  }
  std::unique_ptr<X509, CertificateFree> leaf(SSL_get1_peer_certificate(ssl));
  if (!leaf) {
    why = "the server sent no certificate";
    return false;
  }
  // The chain as the server sent it, its own certificate first.
  STACK_OF(X509)* chain = SSL_get_peer_cert_chain(ssl);

  std::unique_ptr<X509_STORE, StoreFree> store(X509_STORE_new());
  if (!store) {
    why = "no memory for the trusted certificates";
    return false;
  }
  if (!ca_file.empty()) {
    if (X509_STORE_load_file(store.get(), ca_file.c_str()) != 1) {
      DrainTlsErrors();
      why = "the trusted certificates of TLSCAFile '" + ca_file + "' cannot be read";
      return false;
    }
  } else if (X509_STORE_set_default_paths(store.get()) != 1) {
    DrainTlsErrors();
    why = "the system's trusted certificates cannot be read";
    return false;
  }

  std::unique_ptr<X509_STORE_CTX, StoreContextFree> context(X509_STORE_CTX_new());
  if (!context || X509_STORE_CTX_init(context.get(), store.get(), leaf.get(), chain) != 1) {
    DrainTlsErrors();
    why = "no memory to verify the certificate";
    return false;
  }
  X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(context.get());
  X509_VERIFY_PARAM_set_purpose(param, X509_PURPOSE_SSL_SERVER);
  X509_VERIFY_PARAM_set_depth(param, 10);
  const bool full = mode == TlsVerifyMode::Full;
  if (full) {
    // Only the subject alternative names count, never the common name.
    X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NEVER_CHECK_SUBJECT |
                                               X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    if (X509_VERIFY_PARAM_set1_ip_asc(param, server_name.c_str()) != 1 &&
        X509_VERIFY_PARAM_set1_host(param, server_name.c_str(), server_name.size()) != 1) {
      why = "the server name '" + server_name + "' cannot be checked";
      return false;
    }
  }
  const int verified = X509_verify_cert(context.get());
  DrainTlsErrors();
  if (verified == 1) return true;
  const int error = X509_STORE_CTX_get_error(context.get());
  if (error == X509_V_ERR_HOSTNAME_MISMATCH || error == X509_V_ERR_IP_ADDRESS_MISMATCH) {
    why = "the server's certificate is not for '" + server_name +
          "' (no subject alternative name matches)";
  } else {
    why = std::string("the server's certificate did not verify: ") +
          X509_verify_cert_error_string(error);
  }
  return false;
}

}  // namespace kestrion
